// The file name survives between runs exactly as the operator left it, whatever it holds.
#include <gtest/gtest.h>

#include <string>

#include "app/FormStorage.h"
#include "tests/app/TestSandbox.h"

TEST(FormStorage, NothingIsStoredOnAFirstRun) {
  TestSandbox sandbox;
  EXPECT_EQ(form_storage::LoadFileName(), std::nullopt);
}

TEST(FormStorage, KeepsEveryFileNameUnchanged) {
  TestSandbox sandbox;
  const std::string names[] = {
      "C:\\KORA\\DB\\VELMAR.FDB",
      "/srv/Базы данных/Копия №1 (старая).FDB",
      "  leading and trailing blanks  ",
      "semi;colon = [section] \\\\server\\share\\x.fdb",
      "quotes \"inside\" and 'single' %PATH% $HOME",
      "relative.fdb",
      std::string(300, 'x') + ".FDB",
      "",  // cleared by the operator: still a value, not "nothing stored"
  };
  for (const std::string& name : names) {
    ASSERT_TRUE(form_storage::StoreFileName(name)) << name;
    const std::optional<std::string> loaded = form_storage::LoadFileName();
    ASSERT_TRUE(loaded.has_value()) << name;
    EXPECT_EQ(*loaded, name);
  }
}

TEST(FormStorage, TheLastStoredNameWins) {
  TestSandbox sandbox;
  ASSERT_TRUE(form_storage::StoreFileName("/first/A.FDB"));
  ASSERT_TRUE(form_storage::StoreFileName("/second/B.FDB"));
  EXPECT_EQ(form_storage::LoadFileName(), std::optional<std::string>("/second/B.FDB"));
}
