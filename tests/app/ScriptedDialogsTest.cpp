// The scripted operator must catch a workflow that shows the wrong box: these cases prove that
// every kind of deviation fails the test that uses it.
#include "tests/support/ScriptedDialogs.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <memory>

TEST(ScriptedDialogs, AnswersInScriptOrderAndRecordsEverything) {
  ScriptedDialogs dialogs;
  dialogs.Box(DialogResult::Yes, {.caption = "Вопрос", .buttons = DialogButtons::YesNo})
      .Save("/tmp/копия.FDB")
      .Box(DialogResult::Cancel, {.textContains = "вторая", .icon = DialogIcon::Information})
      .SaveCancelled()
      .Error("сбой");

  EXPECT_EQ(
      dialogs.ShowMessage("Вопрос", "Продолжить?", DialogButtons::YesNo, DialogIcon::Warning, 1),
      DialogResult::Yes);
  SaveDialogSettings settings;
  settings.title = "Укажите файл";
  settings.fileName = "VELMAR.FDB";
  EXPECT_EQ(dialogs.ShowSaveDialog(settings), std::optional<std::string>("/tmp/копия.FDB"));
  EXPECT_EQ(dialogs.ShowMessage("", "строка первая\r\nстрока вторая", DialogButtons::OkCancel,
                                DialogIcon::Information),
            DialogResult::Cancel);
  EXPECT_EQ(dialogs.ShowSaveDialog(settings), std::nullopt);
  dialogs.ShowError("Внезапный сбой диска");

  ASSERT_EQ(dialogs.Boxes().size(), 2u);
  EXPECT_EQ(dialogs.Boxes()[0].text, "Продолжить?");
  EXPECT_EQ(dialogs.Boxes()[0].icon, DialogIcon::Warning);
  EXPECT_EQ(dialogs.Boxes()[0].defaultButton, 1);
  EXPECT_EQ(dialogs.Boxes()[1].answer, DialogResult::Cancel);
  ASSERT_EQ(dialogs.SaveRequests().size(), 2u);
  EXPECT_EQ(dialogs.SaveRequests()[0].settings.title, "Укажите файл");
  EXPECT_EQ(dialogs.SaveRequests()[1].answer, std::nullopt);
  EXPECT_EQ(dialogs.Errors(), std::vector<std::string>{"Внезапный сбой диска"});

  const std::vector<DialogEvent> events = dialogs.Events();
  ASSERT_EQ(events.size(), 5u);
  EXPECT_EQ(events[0].kind, DialogKind::Box);
  EXPECT_EQ(events[1].kind, DialogKind::Save);
  EXPECT_EQ(events[3].kind, DialogKind::Save);
  EXPECT_EQ(events[3].index, 1u);
  EXPECT_EQ(events[4].kind, DialogKind::Error);
  EXPECT_EQ(dialogs.PendingSteps(), 0u);
  EXPECT_NE(dialogs.Transcript().find("Продолжить?\n  -> Yes"), std::string::npos)
      << dialogs.Transcript();
}

TEST(ScriptedDialogs, SideActionRunsWhileTheDialogIsOpen) {
  ScriptedDialogs dialogs;
  int openBoxesSeen = -1;
  dialogs.Box(DialogResult::Ok, {}, [&] { openBoxesSeen = int(dialogs.Boxes().size()); });
  dialogs.ShowMessage("", "текст", DialogButtons::Ok, DialogIcon::None);
  // Recorded before the action ran, so the action can inspect the box it answers.
  EXPECT_EQ(openBoxesSeen, 1);
}

TEST(ScriptedDialogs, UnexpectedBoxFailsAndIsClosedSafely) {
  ScriptedDialogs dialogs;
  DialogResult answer = DialogResult::Yes;
  EXPECT_NONFATAL_FAILURE(answer = dialogs.ShowMessage("Внимание", "Удалить базу?",
                                                       DialogButtons::YesNo, DialogIcon::Warning),
                          "Удалить базу?");
  EXPECT_EQ(answer, DialogResult::No);
  EXPECT_NONFATAL_FAILURE(
      answer = dialogs.ShowMessage("", "Продолжить?", DialogButtons::OkCancel, DialogIcon::None),
      "no more steps");
  EXPECT_EQ(answer, DialogResult::Cancel);
  EXPECT_EQ(dialogs.Boxes().size(), 2u);
}

TEST(ScriptedDialogs, DialogOfAnotherKindThanScriptedFails) {
  auto dialogs = std::make_unique<ScriptedDialogs>();
  dialogs->Save("/tmp/x.FDB");
  std::optional<std::string> picked = "untouched";
  EXPECT_NONFATAL_FAILURE(
      dialogs->ShowMessage("", "Продолжить?", DialogButtons::OkCancel, DialogIcon::None),
      "expected a save dialog");
  EXPECT_NONFATAL_FAILURE(dialogs->ShowError("ошибка"), "expected a save dialog");
  // The save step still waits and is answered by the save dialog that comes later.
  picked = dialogs->ShowSaveDialog({});
  EXPECT_EQ(picked, std::optional<std::string>("/tmp/x.FDB"));
  EXPECT_EQ(dialogs->PendingSteps(), 0u);
}

TEST(ScriptedDialogs, BoxThatDiffersFromTheScriptFailsOnEachField) {
  struct Case {
    BoxExpectation expect;
    const char* complaint;
  };
  const Case cases[] = {
      {{.caption = "Ошибка!"}, "caption expected: Ошибка!"},
      {{.text = "Точно"}, "text expected: Точно"},
      {{.textContains = "повреждена"}, "text expected to contain: повреждена"},
      {{.buttons = DialogButtons::YesNo}, "buttons expected: Yes+No"},
      {{.icon = DialogIcon::Error}, "icon expected: error"},
      {{.defaultButton = 1}, "default button expected: 1"},
  };
  for (const Case& c : cases) {
    ScriptedDialogs dialogs;
    dialogs.Box(DialogResult::Ok, c.expect);
    DialogResult answer = DialogResult::Ok;
    EXPECT_NONFATAL_FAILURE(
        answer = dialogs.ShowMessage("Внимание", "База цела", DialogButtons::OkCancel,
                                     DialogIcon::Information),
        c.complaint);
    // A box that is not the scripted one is closed, not confirmed.
    EXPECT_EQ(answer, DialogResult::Cancel) << c.complaint;
  }
}

TEST(ScriptedDialogs, AnswerWithoutSuchButtonFails) {
  ScriptedDialogs dialogs;
  dialogs.Box(DialogResult::Yes);
  DialogResult answer = DialogResult::Yes;
  EXPECT_NONFATAL_FAILURE(
      answer = dialogs.ShowMessage("", "Готово", DialogButtons::Ok, DialogIcon::Information),
      "has no such button");
  EXPECT_EQ(answer, DialogResult::Ok);
}

TEST(ScriptedDialogs, ErrorWithOtherMessageFails) {
  ScriptedDialogs dialogs;
  dialogs.Error("Файл не найден");
  EXPECT_NONFATAL_FAILURE(dialogs.ShowError("Прервано пользователем!"), "Файл не найден");
}

TEST(ScriptedDialogs, StepsNeverShownFailWhenTheScriptEnds) {
  EXPECT_NONFATAL_FAILURE(
      {
        ScriptedDialogs dialogs;
        dialogs.Box(DialogResult::Ok).Save("/tmp/y.FDB");
        dialogs.ShowMessage("", "одна", DialogButtons::Ok, DialogIcon::None);
      },
      "1 scripted dialog(s) never shown; the next one expected was a save dialog");
}
