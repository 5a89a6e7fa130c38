// Rules the window and the dialogs follow on both platforms, checked without a display.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/MainFormLayout.h"
#include "app/PlatformDialogs.h"
#include "os/Files.h"
#include "tests/app/TestSandbox.h"

TEST(SaveDialogSettings, WhatTheRepairLeavesOpenComesFromSaveDialog1) {
  SaveDialogSettings requested;
  requested.initialDir = "/backup";
  requested.fileName = "VELMAR_BACKUP.FDB";
  const SaveDialogSettings s = layout::WithSaveDialog1Defaults(requested);
  EXPECT_EQ(s.title, "Укажите файл для сохранения копии базы данных");
  EXPECT_EQ(s.filterName, "База данных (*.FDB)");
  EXPECT_EQ(s.filterPattern, "*.FDB");
  EXPECT_EQ(s.defaultExt, "*.FDB");
  EXPECT_TRUE(s.overwritePrompt);
  // What the caller set stays.
  EXPECT_EQ(s.initialDir, "/backup");
  EXPECT_EQ(s.fileName, "VELMAR_BACKUP.FDB");

  const SaveDialogSettings bare = layout::WithSaveDialog1Defaults({});
  EXPECT_EQ(bare.fileName, "VELMAR.FDB");
  EXPECT_TRUE(bare.initialDir.empty());
}

TEST(SaveDialogSettings, DefaultExtensionIsAppendedBare) {
  EXPECT_EQ(BareExtension("*.FDB"), "FDB");
  EXPECT_EQ(BareExtension(".FDB"), "FDB");
  EXPECT_EQ(BareExtension("FDB"), "FDB");
  EXPECT_EQ(BareExtension(""), "");
}

TEST(MessageBoxAnswers, ClosingIsCancelOrNoAndButtonsAnswerInOrder) {
  EXPECT_EQ(CloseAnswer(DialogButtons::Ok), DialogResult::Ok);
  EXPECT_EQ(CloseAnswer(DialogButtons::OkCancel), DialogResult::Cancel);
  EXPECT_EQ(CloseAnswer(DialogButtons::YesNo), DialogResult::No);
  EXPECT_EQ(ButtonAnswer(DialogButtons::OkCancel, 0), DialogResult::Ok);
  EXPECT_EQ(ButtonAnswer(DialogButtons::OkCancel, 1), DialogResult::Cancel);
  EXPECT_EQ(ButtonAnswer(DialogButtons::YesNo, 0), DialogResult::Yes);
  EXPECT_EQ(ButtonAnswer(DialogButtons::YesNo, 1), DialogResult::No);
}

TEST(FileDialogs, OpenAtTheNearestFolderThatExists) {
  TestSandbox sandbox;
  const char d = os::PathDelimiter();
  const std::string existing = sandbox.Scratch() + d + "Копии";
  ASSERT_TRUE(os::ForceDirectories(existing));
  EXPECT_EQ(NearestExistingFolder(existing), existing);
  EXPECT_EQ(NearestExistingFolder(existing + d + "нет" + d + "и нет"), existing);
  EXPECT_EQ(NearestExistingFolder(""), os::ProgramDirectory());
}

TEST(Layout, WrappedLabelsGrowOnlyIntoFreeSpace) {
  // The repair text may take the empty space above its button; the long text of the first
  // tab has the next label right below it and may not grow at all.
  const layout::Rect sheet = layout::TabSheetArea(layout::Component("PageControl1").bounds);
  EXPECT_EQ(layout::RoomToGrow(layout::Component("Label11"), sheet.height),
            layout::Component("btnRepairDB").bounds.top - layout::Component("Label11").bounds.top);
  EXPECT_EQ(layout::RoomToGrow(layout::Component("Label4"), sheet.height),
            layout::Component("Label4").bounds.height);
}

TEST(Layout, EveryComponentIsDeclaredOnceAndItsParentBeforeIt) {
  std::vector<std::string> seen;
  for (const layout::ControlSpec& c : layout::Components()) {
    EXPECT_EQ(std::count(seen.begin(), seen.end(), c.name), 0) << c.name;
    const std::string parent = c.parent;
    if (!parent.empty()) {
      EXPECT_NE(std::find(seen.begin(), seen.end(), parent), seen.end())
          << c.name << " comes before its parent " << parent;
    }
    seen.push_back(c.name);
  }
  EXPECT_EQ(seen.size(), 20u);  // PageControl1 ... SaveDialog1
}
