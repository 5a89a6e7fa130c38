// The runtime's string formatting and the log's date-time text.
#include <gtest/gtest.h>

#include "log/DateTimeText.h"
#include "os/Format.h"

namespace {

TEST(Format, PlainAndIndexedItems) {
  EXPECT_EQ(Format("%s и %d%%", {"текст", std::int64_t{42}}), "текст и 42%");
  // An unindexed item takes the argument after the last one used.
  EXPECT_EQ(Format("%1:s-%s", {"a", "b", "c"}), "b-c");
  EXPECT_EQ(Format("%2:s %0:s %s %s", {"a", "b", "c"}), "c a b c");
  EXPECT_EQ(Format("%1:s %d", {std::int64_t{1}, "b", std::int64_t{3}}), "b 3");
  EXPECT_THROW(Format("%1:s %s", {std::int64_t{1}, "b", std::int64_t{3}}), EConvertError);
  EXPECT_EQ(Format("Log file open timeout: %d ms (%s)", {std::int64_t{200}, "занято"}),
            "Log file open timeout: 200 ms (занято)");
  EXPECT_EQ(Format("%s_%d_%d", {"C:\\x.log", std::int64_t{1234}, std::int64_t{5678}}),
            "C:\\x.log_1234_5678");
  EXPECT_EQ(Format("", {}), "");
}

TEST(Format, WidthPrecisionAndKinds) {
  EXPECT_EQ(Format("%.3d", {std::int64_t{7}}), "007");
  EXPECT_EQ(Format("%.3d", {std::int64_t{1000}}), "1000");
  EXPECT_EQ(Format("[%5d][%-5d]", {std::int64_t{-12}, std::int64_t{3}}), "[  -12][3    ]");
  EXPECT_EQ(Format("[%4s][%-4s][%.2s]", {"ab", "cd", "efgh"}), "[  ab][cd  ][ef]");
  EXPECT_EQ(Format("%x %u", {std::int64_t{255}, std::int64_t{-1}}), "FF 4294967295");
  EXPECT_EQ(Format("%*d", {std::int64_t{4}, std::int64_t{5}}), "   5");
  EXPECT_EQ(Format("%S|%D", {"up", std::int64_t{1}}), "up|1");
}

TEST(Format, MalformedPatternsAndWrongArgumentsRaise) {
  EXPECT_THROW(Format("%s", {std::int64_t{1}}), EConvertError);
  EXPECT_THROW(Format("%d", {"1"}), EConvertError);
  EXPECT_THROW(Format("%s %s", {"one"}), EConvertError);
  EXPECT_THROW(Format("100%", {}), EConvertError);
  EXPECT_THROW(Format("%f", {std::int64_t{1}}), EConvertError);
  EXPECT_THROW(Format("%q", {"x"}), EConvertError);
  EXPECT_THROW(Format("%3:s", {"a"}), EConvertError);
  try {
    Format("%d", {"x"});
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.ClassName(), "EConvertError");
    EXPECT_NE(e.Message().find("%d"), std::string::npos);
  }
}

TEST(LogDateTime, DefaultFormatGivesTheTwentyThreeCharacterStamp) {
  const os::LocalTime t{2026, 12, 8, 3, 54, 11, 123};
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn:ss.zzz", t), "08.12.2026 03:54:11.123");
  EXPECT_EQ(FormatDateTime("d/m/yy h:n:s.z", t), "8.12.26 3:54:11.123");
  EXPECT_EQ(FormatDateTime("hh:mm \"dd\"", t), "03:54 dd");  // m after an hour is minutes
  EXPECT_EQ(FormatDateTime("", t), "08.12.2026 03:54:11.123");
}

TEST(LogDateTime, StampsReadBack) {
  const os::LocalTime t{2026, 12, 8, 3, 54, 11, 123};
  TDateTime value = 0;
  ASSERT_TRUE(TryStrToDateTime("08.12.2026 03:54:11.123", 0, value));
  EXPECT_EQ(value, EncodeDateTime(t));
  const os::LocalTime back = DecodeDateTime(value);
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn:ss.zzz", back), "08.12.2026 03:54:11.123");
  // A time alone takes the given day.
  const TDateTime today = EncodeDateTime({2027, 1, 2, 0, 0, 0, 0});
  ASSERT_TRUE(TryStrToDateTime("03:54:11.123", today + 0.7, value));
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn:ss.zzz", DecodeDateTime(value)),
            "02.01.2027 03:54:11.123");
  ASSERT_TRUE(TryStrToDateTime("29.02.2024", 0, value));
  EXPECT_FALSE(TryStrToDateTime("29.02.2026 00:00:00.000", 0, value));
  EXPECT_FALSE(TryStrToDateTime("08.12.2026 24:00:00.000", 0, value));
  EXPECT_FALSE(TryStrToDateTime("08/12/2026 03:54:11.123", 0, value));
  EXPECT_FALSE(TryStrToDateTime("Программа запущен", 0, value));
  EXPECT_FALSE(TryStrToDateTime("", 0, value));
}

TEST(LogDateTime, EncodingKeepsWholeMilliseconds) {
  for (int ms = 0; ms < 1000; ms += 37) {
    const os::LocalTime t{1999, 12, 31, 23, 59, 59, ms};
    const os::LocalTime back = DecodeDateTime(EncodeDateTime(t));
    EXPECT_EQ(back.millisecond, ms);
    EXPECT_EQ(back.second, 59);
    EXPECT_EQ(back.day, 31);
  }
  EXPECT_EQ(EncodeDateTime({1899, 12, 30, 0, 0, 0, 0}), 0.0);
  EXPECT_EQ(EncodeDateTime({1900, 1, 1, 12, 0, 0, 0}), 2.5);
}

}  // namespace
