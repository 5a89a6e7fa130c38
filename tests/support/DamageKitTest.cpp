// The damage kit against the real private server: the databases it makes hold what it says,
// its page scanner agrees with the server's own page list, and every kind of damage gets the
// answer from gfix that the tests of the check and the repair rely on.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "tests/support/DamageKit.h"
#include "tests/support/DatabasePages.h"
#include "tests/support/TestDatabase.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

constexpr int kRows = 2000;

class DamageKitTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    auto found = FbTestServer::FromEnvironment();
    ASSERT_TRUE(found) << "the private Firebird server is not running";
    server_ = new FbTestServer(*found);
    folder_ = new std::string(FreshTestFolder("damagekit"));
    CreateTestDatabase(*server_, *folder_ + "/base.fdb", kRows, true);
    CreateTestDatabase(*server_, *folder_ + "/noblobs.fdb", 50, false);
  }
  static void TearDownTestSuite() {
    delete server_;
    delete folder_;
  }

  // A private copy of the base database, so no file is validated twice after damage.
  std::string CopyOfBase(const std::string& name) {
    std::string path = *folder_ + "/" + name + ".fdb";
    fs::copy_file(*folder_ + "/base.fdb", path, fs::copy_options::overwrite_existing);
    return path;
  }

  static FbTestServer* server_;
  static std::string* folder_;
};

FbTestServer* DamageKitTest::server_ = nullptr;
std::string* DamageKitTest::folder_ = nullptr;

bool OnlyWhiteSpace(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

TEST_F(DamageKitTest, CreatedDatabaseHoldsTheRowsAndValidatesClean) {
  const std::string base = *folder_ + "/base.fdb";
  EXPECT_EQ(CountRows(*server_, base, "CUSTOMERS"), kRows);
  EXPECT_EQ(CountRows(*server_, base, "SALES"), kRows);
  EXPECT_EQ(CountRows(*server_, base, "DOCUMENTS"), kRows / 10 + 1);
  EXPECT_EQ(CountRows(*server_, *folder_ + "/noblobs.fdb", "SALES"), 50);

  ToolResult check = ValidateFull(*server_, base);
  EXPECT_EQ(check.exitCode, 0);
  EXPECT_TRUE(OnlyWhiteSpace(check.err)) << check.err;
  EXPECT_EQ(check.out.find("Summary of validation errors"), std::string::npos) << check.out;
}

TEST_F(DamageKitTest, PageScannerAgreesWithTheServersPageList) {
  const std::string base = *folder_ + "/base.fdb";
  const int relation = RelationId(*server_, base, kDamagedTable);
  ToolResult listed = RunIsql(*server_, base,
                              "set heading off;\n"
                              "select rdb$page_type, rdb$page_number from rdb$pages\n"
                              " where rdb$relation_id = " +
                                  std::to_string(relation) +
                                  " and rdb$page_type in (4, 6) and rdb$page_sequence = 0\n"
                                  " order by rdb$page_type;\n");
  ASSERT_EQ(listed.exitCode, 0) << listed.err;
  std::istringstream in(listed.out);
  int pointerType = 0, indexRootType = 0;
  std::uint32_t pointerPage = 0, indexRootPage = 0;
  ASSERT_TRUE(in >> pointerType >> pointerPage >> indexRootType >> indexRootPage) << listed.out;
  ASSERT_EQ(pointerType, 4);
  ASSERT_EQ(indexRootType, 6);

  DatabasePages pages(base);
  EXPECT_EQ(pages.PageSize(), 8192u);
  auto pointers = pages.Find(PageType::Pointer, relation);
  ASSERT_FALSE(pointers.empty());
  EXPECT_EQ(pointers.front().number, pointerPage);
  auto roots = pages.Find(PageType::IndexRoot, relation);
  ASSERT_EQ(roots.size(), 1u);
  EXPECT_EQ(roots.front().number, indexRootPage);
  EXPECT_FALSE(pages.Find(PageType::Data, relation).empty());
  EXPECT_FALSE(pages.Find(PageType::BTree, relation).empty());
  EXPECT_FALSE(pages.Find(PageType::Blob).empty());
}

enum class Stream { Out, Err };

struct Expected {
  DamageKind kind;
  Stream stream;
  const char* text;
};

class DamageKindTest : public DamageKitTest, public ::testing::WithParamInterface<Expected> {};

TEST_P(DamageKindTest, ValidationReportsTheDamage) {
  const Expected expected = GetParam();
  const std::string path = CopyOfBase(DamageKindName(expected.kind));
  DamageReport report = Damage(*server_, path, expected.kind);
  EXPECT_FALSE(report.what.empty());

  ToolResult check = ValidateFull(*server_, path);
  const std::string& stream = expected.stream == Stream::Out ? check.out : check.err;
  EXPECT_NE(stream.find(expected.text), std::string::npos)
      << DamageKindName(expected.kind) << ": " << report.what << "\nout: " << check.out
      << "\nerr: " << check.err;
  if (expected.stream == Stream::Out) {
    EXPECT_NE(check.out.find("Summary of validation errors"), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    AllKinds, DamageKindTest,
    ::testing::Values(
        Expected{DamageKind::RecordGarbage, Stream::Out, "Number of record level errors"},
        Expected{DamageKind::ZeroDataPage, Stream::Out, "Number of data page errors"},
        Expected{DamageKind::IndexGarbage, Stream::Out, "Number of index page errors"},
        Expected{DamageKind::ZeroBlobPage, Stream::Out, "Number of Blob page errors"},
        Expected{DamageKind::ZeroPointerPage, Stream::Out, "Number of pointer page errors"},
        Expected{DamageKind::Truncate, Stream::Err, "I/O error"},
        Expected{DamageKind::TextFile, Stream::Err, "is not a valid database"},
        Expected{DamageKind::LostReferencedRows, Stream::Out, "Number of record level errors"}),
    [](const auto& info) {
      std::string name = DamageKindName(info.param.kind);
      for (char& c : name) {
        if (c == '-')
          c = '_';
      }
      return name;
    });

TEST_F(DamageKitTest, KindsHaveDistinctNamesThatParseBack) {
  std::set<std::string> names;
  for (DamageKind kind : AllDamageKinds()) {
    const std::string name = DamageKindName(kind);
    EXPECT_TRUE(names.insert(name).second) << name;
    EXPECT_EQ(ParseDamageKind(name), kind);
  }
  EXPECT_EQ(names.size(), 10u);
  EXPECT_FALSE(ParseDamageKind("zero-everything"));
}

TEST_F(DamageKitTest, DuplicateKeyPassesValidationButNotTheKey) {
  const std::string path = CopyOfBase("duplicate-key");
  Damage(*server_, path, DamageKind::DuplicateKey);
  ToolResult check = ValidateFull(*server_, path);
  EXPECT_TRUE(OnlyWhiteSpace(check.err + check.out)) << check.err << check.out;
  const std::string twice =
      "select count(*) from CUSTOMERS where ID + 0 = " + std::to_string(kDuplicatedFromId - 1);
  EXPECT_EQ(QueryNumber(*server_, path, twice), 2);
  EXPECT_EQ(CountRows(*server_, path, "CUSTOMERS"), kRows);
}

TEST_F(DamageKitTest, BlobDamageNeedsADatabaseWithBlobs) {
  std::string path = *folder_ + "/noblobs-damaged.fdb";
  fs::copy_file(*folder_ + "/noblobs.fdb", path, fs::copy_options::overwrite_existing);
  EXPECT_THROW(Damage(*server_, path, DamageKind::ZeroBlobPage), std::runtime_error);
}

TEST_F(DamageKitTest, CreatingOverAnExistingFileFails) {
  EXPECT_THROW(CreateTestDatabase(*server_, *folder_ + "/base.fdb", 1, false), std::runtime_error);
  EXPECT_EQ(CountRows(*server_, *folder_ + "/base.fdb", "SALES"), kRows);
}

}  // namespace
