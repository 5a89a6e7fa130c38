// Reading the service manager's answers: lines, the end of output, and answers that are cut
// or malformed, which must fail loudly instead of being read past their end.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "server/FbOnlineValidation.h"
#include "server/FbService.h"
#include "server/FbServiceReply.h"

using fbreply::ParseServiceReply;

namespace {

std::vector<std::uint8_t> LineItem(const std::string& text) {
  // Sized up front: growing a three-byte vector trips a false bounds warning of the mingw GCC.
  std::vector<std::uint8_t> item(3 + text.size());
  item[0] = fbreply::kServiceLine;
  item[1] = static_cast<std::uint8_t>(text.size());
  item[2] = static_cast<std::uint8_t>(text.size() >> 8);
  std::copy(text.begin(), text.end(), item.begin() + 3);
  return item;
}

std::vector<std::uint8_t> Reply(std::initializer_list<std::vector<std::uint8_t>> items,
                                std::size_t padTo = 64) {
  std::vector<std::uint8_t> buffer;
  for (const auto& item : items)
    buffer.insert(buffer.end(), item.begin(), item.end());
  buffer.push_back(fbreply::kEnd);
  if (buffer.size() < padTo)
    buffer.resize(padTo, 0);  // the rest of the caller's buffer
  return buffer;
}

TEST(FbServiceReply, LineIsTakenWithItsOwnLengthAndTrailingSpace) {
  auto buffer = Reply({LineItem("gbak:readied database /db/a.fdb for backup ")});
  auto reply = ParseServiceReply(buffer.data(), buffer.size());
  ASSERT_EQ(reply.lines.size(), 1u);
  EXPECT_EQ(reply.lines[0], "gbak:readied database /db/a.fdb for backup ");
  EXPECT_FALSE(reply.endOfOutput);
  EXPECT_FALSE(reply.dataNotReady);
  EXPECT_FALSE(reply.truncated);
}

TEST(FbServiceReply, LongUtf8LineKeepsEveryByte) {
  std::string text = "gbak:writing data for table \"Продажи\" ";
  while (text.size() < 700)
    text += "ж";  // length needs both bytes of the length field
  auto buffer = Reply({LineItem(text)}, 1024);
  auto reply = ParseServiceReply(buffer.data(), buffer.size());
  ASSERT_EQ(reply.lines.size(), 1u);
  EXPECT_EQ(reply.lines[0], text);
}

TEST(FbServiceReply, EmptyLineMeansTheEndOfOutput) {
  auto buffer = Reply({LineItem("")});
  auto reply = ParseServiceReply(buffer.data(), buffer.size());
  EXPECT_TRUE(reply.lines.empty());
  EXPECT_TRUE(reply.endOfOutput);
}

TEST(FbServiceReply, SeveralItemsKeepTheirOrder) {
  auto buffer = Reply({LineItem("first"), LineItem("second"), LineItem("")});
  auto reply = ParseServiceReply(buffer.data(), buffer.size());
  EXPECT_EQ(reply.lines, (std::vector<std::string>{"first", "second"}));
  EXPECT_TRUE(reply.endOfOutput);
}

TEST(FbServiceReply, NotReadyAndTruncatedAreReported) {
  auto notReady = Reply({{fbreply::kDataNotReady}});
  EXPECT_TRUE(ParseServiceReply(notReady.data(), notReady.size()).dataNotReady);

  std::vector<std::uint8_t> cut = LineItem("partial");
  cut.push_back(fbreply::kTruncated);
  auto reply = ParseServiceReply(cut.data(), cut.size());
  EXPECT_TRUE(reply.truncated);
  EXPECT_EQ(reply.lines, std::vector<std::string>{"partial"});
}

TEST(FbServiceReply, MalformedAnswersThrowInsteadOfReadingPastTheBuffer) {
  // A length pointing beyond the buffer.
  std::vector<std::uint8_t> tooLong{fbreply::kServiceLine, 200, 0, 'a', 'b'};
  EXPECT_THROW(ParseServiceReply(tooLong.data(), tooLong.size()), EFirebirdError);
  // A length field cut in half.
  std::vector<std::uint8_t> halfLength{fbreply::kServiceLine, 3};
  EXPECT_THROW(ParseServiceReply(halfLength.data(), halfLength.size()), EFirebirdError);
  // No end tag at all.
  auto noEnd = LineItem("abc");
  EXPECT_THROW(ParseServiceReply(noEnd.data(), noEnd.size()), EFirebirdError);
  // An item this client never asked for.
  std::vector<std::uint8_t> unknown{63, 0, 0, fbreply::kEnd};
  try {
    ParseServiceReply(unknown.data(), unknown.size());
    FAIL() << "an unknown item was accepted";
  } catch (const EFirebirdError& e) {
    EXPECT_STREQ(e.ClassName(), "EFirebirdError");
    EXPECT_NE(e.Message().find("63"), std::string::npos) << e.Message();
  }
  EXPECT_THROW(ParseServiceReply(nullptr, 0), EFirebirdError);
}

// The online validation's lines as the server printed them (clock, trailing blank): a table
// whose lock a writer held is busy, not damaged, though the server counts it as an error; a
// warning is damage; a name may hold parentheses.
TEST(OnlineValidationOutput, TablesAreOkDamagedOrBusy) {
  OnlineValidationOutput output;
  for (const char* line :
       {"10:45:38.13 Validation started ", " ", "10:45:38.13 Relation 128 (CUSTOMERS) ",
        "10:45:39.01 Acquire relation lock failed ",
        "10:45:39.01 Relation 128 (CUSTOMERS) : 1 ERRORS found ",
        "10:45:39.01 Relation 129 (SALES (2)) ", "10:45:39.01   process pointer page    0 of    1 ",
        "10:45:39.01 Warning: Pointer page 190 {sequence 0} bits {0x01 full} are not consistent ",
        "\t ", "10:45:39.01 Relation 129 (SALES (2)) is ok ",
        "10:45:39.01 Relation 130 (DOCUMENTS) ", "10:45:39.14 Relation 130 (DOCUMENTS) is ok "}) {
    output.Take(line);
  }
  EXPECT_FALSE(output.Finished());
  output.Take("10:45:39.14 Validation finished ");
  EXPECT_TRUE(output.Finished());
  EXPECT_TRUE(output.Other().empty());
  ASSERT_EQ(output.Tables().size(), 3u);
  EXPECT_EQ(output.Tables()[0].state, TableState::Busy);
  EXPECT_EQ(output.Tables()[1].name, "SALES (2)");
  EXPECT_EQ(output.Tables()[1].state, TableState::Damaged);
  EXPECT_EQ(output.Tables()[1].details.size(), 1u);
  EXPECT_EQ(output.Tables()[2].state, TableState::Ok);
  EXPECT_EQ(ExactTablesPattern({"A_B", "C(1)"}), "(A\\_B|C\\(1\\))");
}

TEST(FbServiceConnection, ServiceNameIsHostSlashPortInDecimal) {
  EXPECT_EQ(FbServiceConnection::ServiceName("127.0.0.1", 3050), "127.0.0.1/3050:service_mgr");
  EXPECT_EQ(FbServiceConnection::ServiceName("127.0.0.1", 7), "127.0.0.1/7:service_mgr");
}

TEST(FbServiceConnection, UseOutOfOrderFailsWithoutTheLibrary) {
  FbServiceConnection service;
  EXPECT_FALSE(service.Attached());
  EXPECT_THROW(service.StartBackup("a.fdb", "a.fbk"), EFirebirdError);
  EXPECT_THROW(service.NextLine(), EFirebirdError);
  service.Detach();  // harmless when not attached
  service.Detach();
  EXPECT_FALSE(service.Attached());
}

}  // namespace
