#include <gtest/gtest.h>
#include <windows.h>

#include "os/CodePage.h"
#include "os/DynamicLibrary.h"
#include "os/SystemError.h"
#include "os/win/CodePageSet.h"

namespace {

// "Проверка" in Windows-1251 and in the console's 866.
const std::string kAnsiProverka = "\xCF\xF0\xEE\xE2\xE5\xF0\xEA\xE0";
const std::string kOemProverka = "\x8F\xE0\xAE\xA2\xA5\xE0\xAA\xA0";

TEST(WindowsCodePage, RussianSystemCodePages) {
  ASSERT_EQ(GetACP(), 1251u) << "the tests expect a Russian system (wine-run sets ru_RU)";
  ASSERT_EQ(GetOEMCP(), 866u);
  EXPECT_EQ(os::Utf8ToAnsi("Проверка"), kAnsiProverka);
  EXPECT_EQ(os::Utf8ToOem("Проверка"), kOemProverka);
  EXPECT_EQ(os::AnsiToUtf8(kAnsiProverka), "Проверка");
  EXPECT_EQ(os::OemToUtf8(kOemProverka), "Проверка");
  // Ё and № differ between the two pages.
  EXPECT_EQ(os::Utf8ToAnsi("Ёё№"), "\xA8\xB8\xB9");
  EXPECT_EQ(os::Utf8ToOem("Ёё"), "\xF0\xF1");
  EXPECT_EQ(os::Utf8ToOem("C:\\KORA\\База\\x.fdb"), "C:\\KORA\\\x81\xA0\xA7\xA0\\x.fdb");
}

TEST(WindowsCodePage, AUtf8SystemCodePageCarriesEveryCharacter) {
  EXPECT_EQ(os::win::CharactersOutside("База\\日本\\😀.fdb", CP_UTF8, CP_UTF8), "");
  EXPECT_EQ(os::win::CharactersOutside("База\\日本.fdb", CP_UTF8, 866), "日本");
  EXPECT_EQ(os::win::CharactersOutside("База\\日本.fdb", 1251, 866), "日本");
}

TEST(WindowsSystemError, SharingViolationCodesAndTexts) {
  EXPECT_TRUE(os::IsSharingViolation(ERROR_SHARING_VIOLATION));
  EXPECT_TRUE(os::IsSharingViolation(ERROR_LOCK_VIOLATION));
  EXPECT_FALSE(os::IsSharingViolation(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(os::SystemErrorText(ERROR_SHARING_VIOLATION).empty());
}

TEST(WindowsDynamicLibrary, FindsExportsOfASystemLibrary) {
  auto kernel = os::DynamicLibrary::Load("kernel32.dll");
  ASSERT_TRUE(kernel);
  auto getId = reinterpret_cast<DWORD(WINAPI*)()>(kernel->Symbol("GetCurrentProcessId"));
  ASSERT_NE(getId, nullptr);
  EXPECT_EQ(getId(), GetCurrentProcessId());
  EXPECT_EQ(kernel->Symbol("NoSuchExportVelmar"), nullptr);
}

}  // namespace
