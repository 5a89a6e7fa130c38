#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cstring>

#include "os/CodePage.h"
#include "os/DynamicLibrary.h"
#include "os/SystemError.h"

namespace {

TEST(PosixCodePage, ConversionsAreIdentities) {
  const std::string text = "Проверка";
  EXPECT_EQ(os::Utf8ToAnsi(text), text);
  EXPECT_EQ(os::Utf8ToOem(text), text);
  EXPECT_EQ(os::AnsiToUtf8("\xCF\xF0"), "\xCF\xF0");  // bytes are never reinterpreted
}

TEST(PosixCodePage, CaseDoesNotDependOnTheProcessLocale) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(os::LowerCase("ПРОВЕРКА Ёж ÀÉÎ Ÿ"), "проверка ёж àéî ÿ");
  EXPECT_EQ(os::UpperCase("straße ǆ"), "STRAßE ǆ");  // no one-to-many or title forms
  std::setlocale(LC_ALL, saved.c_str());
  // Broken UTF-8 passes through untouched.
  EXPECT_EQ(os::LowerCase("A\xFF\xD0Z"), "a\xFF\xD0z");
}

TEST(PosixSystemError, StrerrorTextAndNoSharingViolations) {
  EXPECT_EQ(os::SystemErrorText(ENOENT), std::strerror(ENOENT));
  EXPECT_FALSE(os::IsSharingViolation(32));
}

TEST(PosixDynamicLibrary, FindsExportsOfARealLibrary) {
  auto libc = os::DynamicLibrary::Load("libc.so.6");
  ASSERT_TRUE(libc);
  auto getpidFromLibrary = reinterpret_cast<pid_t (*)()>(libc->Symbol("getpid"));
  ASSERT_NE(getpidFromLibrary, nullptr);
  EXPECT_EQ(getpidFromLibrary(), ::getpid());
  EXPECT_EQ(libc->Symbol("no_such_export_velmar"), nullptr);
}

}  // namespace
