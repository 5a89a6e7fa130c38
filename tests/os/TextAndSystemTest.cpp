#include <gtest/gtest.h>

#include "os/CodePage.h"
#include "os/DynamicLibrary.h"
#include "os/Environment.h"
#include "os/SystemError.h"
#include "os/Time.h"

namespace {

TEST(CodePage, CaseOfCyrillicAndLatinLetters) {
  EXPECT_EQ(os::LowerCase("ПРОВЕРКА Ёж"), "проверка ёж");
  EXPECT_EQ(os::UpperCase("проверка ёж"), "ПРОВЕРКА ЁЖ");
  EXPECT_EQ(os::LowerCase("C:\\KORA\\DB\\VELMAR.FDB"), "c:\\kora\\db\\velmar.fdb");
  EXPECT_EQ(os::UpperCase("Съешь же ещё этих мягких булок, да выпей чаю"),
            "СЪЕШЬ ЖЕ ЕЩЁ ЭТИХ МЯГКИХ БУЛОК, ДА ВЫПЕЙ ЧАЮ");
  EXPECT_EQ(os::LowerCase("АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"), "абвгдежзийклмнопрстуфхцчшщъыьэюя");
  // Digits, punctuation and an empty string pass unchanged.
  EXPECT_EQ(os::LowerCase("12:30 - №5!"), "12:30 - №5!");
  EXPECT_EQ(os::UpperCase(""), "");
}

TEST(CodePage, SameTextIgnoresCaseOnly) {
  EXPECT_TRUE(os::SameTextLocale("C:\\KORA\\DB\\Велмар.FDB", "c:\\kora\\db\\ВЕЛМАР.fdb"));
  EXPECT_TRUE(os::SameTextLocale("Ёлка", "ЁЛКА"));
  EXPECT_FALSE(os::SameTextLocale("Елка", "Ёлка"));
  EXPECT_FALSE(os::SameTextLocale("VELMAR.FDB", "VELMAR.FDB "));
  EXPECT_TRUE(os::SameTextLocale("", ""));
}

TEST(CodePage, ConversionsRoundTripCyrillic) {
  const std::string text = "Проверка базы данных: Ёж, ёлка, №1";
  EXPECT_EQ(os::AnsiToUtf8(os::Utf8ToAnsi(text)), text);
  EXPECT_EQ(os::OemToUtf8(os::Utf8ToOem(text)), text);
  EXPECT_EQ(os::Utf8ToAnsi(""), "");
  EXPECT_EQ(os::Utf8ToOem("plain ASCII\r\n"), "plain ASCII\r\n");
}

TEST(SystemError, TextsAreTrimmedAndNonEmpty) {
  for (int code : {1, 2, 5, 13}) {
    const std::string text = os::SystemErrorText(code);
    ASSERT_FALSE(text.empty()) << code;
    EXPECT_NE(text.back(), '\n') << code;
    EXPECT_NE(text.back(), '\r') << code;
    EXPECT_NE(text.back(), '.') << code;
  }
  EXPECT_NE(os::SystemErrorText(2), os::SystemErrorText(5));
  os::SetLastErrorCode(5);
  EXPECT_EQ(os::LastErrorCode(), 5);
  EXPECT_EQ(os::LastErrorText(), os::SystemErrorText(5));
}

TEST(Environment, SetAndGetRoundTrip) {
  const std::string name = "VELMAR_OS_TEST_VARIABLE";
  EXPECT_FALSE(os::GetEnv(name + "_UNSET").has_value());
  os::SetEnv(name, "C:\\KORA\\База");
  EXPECT_EQ(os::GetEnv(name), "C:\\KORA\\База");
  os::SetEnv(name, "");
  EXPECT_EQ(os::GetEnv(name).value_or("unset"), "");
}

TEST(Time, MonotonicClockAndSleep) {
  const std::uint64_t start = os::MonotonicMs();
  os::SleepMs(60);
  const std::uint64_t elapsed = os::MonotonicMs() - start;
  EXPECT_GE(elapsed, 59u);
  EXPECT_LT(elapsed, 5000u);
}

TEST(Time, LocalTimeIsPlausible) {
  const os::LocalTime now = os::LocalTimeNow();
  EXPECT_GE(now.year, 2024);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_GE(now.day, 1);
  EXPECT_LE(now.day, 31);
  EXPECT_LE(now.hour, 23);
  EXPECT_LE(now.minute, 59);
  EXPECT_LE(now.second, 60);
  EXPECT_GE(now.millisecond, 0);
  EXPECT_LE(now.millisecond, 999);
}

TEST(DynamicLibrary, MissingLibraryReportsTheLoaderText) {
  std::string error;
  EXPECT_EQ(os::DynamicLibrary::Load("no-such-velmar-library-42", &error), nullptr);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(os::DynamicLibrary::Load("no-such-velmar-library-42"), nullptr);
}

}  // namespace
