// The viewer's lines, defaults, cancel and life cycle, as callers see them.
#include <atomic>
#include <string>
#include <vector>

#include "tests/progress/ViewerTestSupport.h"

namespace {

std::vector<std::int32_t> NumbersOf(const TProgressViewer& viewer) {
  std::vector<std::int32_t> numbers;
  for (const TStringInfo& line : viewer.StringsSnapshot()) {
    numbers.push_back(line.Number);
  }
  return numbers;
}

TStringInfo LineOf(const TProgressViewer& viewer, std::int32_t number) {
  for (const TStringInfo& line : viewer.StringsSnapshot()) {
    if (line.Number == number) {
      return line;
    }
  }
  ADD_FAILURE() << "no line " << number;
  return TStringInfo{};
}

void ExpectSameLine(const TStringInfo& a, const TStringInfo& b) {
  EXPECT_EQ(a.Number, b.Number);
  EXPECT_EQ(a.Text, b.Text);
  EXPECT_EQ(a.Alignment, b.Alignment);
  EXPECT_EQ(a.WordWrap, b.WordWrap);
  EXPECT_EQ(a.FontName, b.FontName);
  EXPECT_EQ(a.FontSize, b.FontSize);
  EXPECT_EQ(a.FontStyle, b.FontStyle);
  EXPECT_EQ(a.Color, b.Color);
}

// The viewer is handed back to its thread whatever the test's outcome.
struct ViewerHolder {
  TProgressViewer* viewer;
  ~ViewerHolder() { viewer->Terminate(); }
  TProgressViewer* operator->() const { return viewer; }
};

}  // namespace

using ViewerLinesTest = ViewerTest;

TEST_F(ViewerLinesTest, TerminateRightAfterConstructionEndsTheViewer) {
  auto* viewer = new TProgressViewer("Проверка", false, true);
  viewer->Terminate();
  // The thread still creates, shows and hides its window, then frees the object.
  EXPECT_TRUE(WaitForViewerThreads(3000));
  EXPECT_EQ(LiveViewerThreads(), 0);
  EXPECT_TRUE(WindowListSnapshot().empty());
}

TEST_F(ViewerLinesTest, PresetLinesAreInPlaceWithTheirAttributes) {
  ViewerHolder v{new TProgressViewer("Выполняется проверка базы данных...", false, true)};
  EXPECT_EQ(NumbersOf(*v.viewer), (std::vector<std::int32_t>{-1, 0, 1000, 1001, 1002}));

  TStringInfo heading = LineOf(*v.viewer, -1);
  EXPECT_EQ(heading.Text, ApplicationCaption);
  EXPECT_EQ(heading.FontName, "MS Sans Serif");
  EXPECT_EQ(heading.FontSize, 12);
  EXPECT_EQ(heading.FontStyle, fsBold);
  EXPECT_EQ(heading.Alignment, taCenter);

  TStringInfo caption = LineOf(*v.viewer, 0);
  EXPECT_EQ(caption.Text, "Выполняется проверка базы данных...");
  EXPECT_EQ(caption.FontSize, 14);
  EXPECT_EQ(caption.FontName, GlobalFontName);
  EXPECT_EQ(caption.Color, 0u);

  TStringInfo spacer = LineOf(*v.viewer, 1000);
  EXPECT_EQ(spacer.Text, " ");
  EXPECT_EQ(spacer.FontSize, 8);

  EXPECT_EQ(LineOf(*v.viewer, 1001).Text, "Выполняется длительная операция. Она может");
  EXPECT_EQ(LineOf(*v.viewer, 1002).Text, "продлиться несколько минут. Пожалуйста, подождите!");
  EXPECT_EQ(LineOf(*v.viewer, 1002).FontSize, 10);
  EXPECT_EQ(v->GetWidth(), 450);
  EXPECT_EQ(v->GetCaption(), "Выполняется проверка базы данных...");
}

TEST_F(ViewerLinesTest, StatusLinesSortBetweenCaptionAndSpacer) {
  ViewerHolder v{new TProgressViewer("Создание резервной копии", false, true)};
  // Added out of order, as a caller may.
  v->SetString(20, "Ожидание освобождения файла...", taLeft, false, 0x008000, fsBold, 12, "");
  v->SetString(10, "gbak: writing data", taLeft, false, 0x008000, fsBold, 12, "");
  v->SetString(15, "Прервано пользователем!", taLeft, false, 0x008000, fsBold, 12, "");
  EXPECT_EQ(NumbersOf(*v.viewer), (std::vector<std::int32_t>{-1, 0, 10, 15, 20, 1000, 1001, 1002}));
  EXPECT_EQ(v->IndexOfString(15), 3);
  EXPECT_EQ(v->IndexOfString(16), -1);

  // Overwriting a line replaces every attribute and keeps its place.
  v->SetString(10, "gbak: closing file", taRight, true, 0x0000FF, fsItalic, 9, "Arial");
  TStringInfo line = LineOf(*v.viewer, 10);
  EXPECT_EQ(line.Text, "gbak: closing file");
  EXPECT_EQ(line.Alignment, taRight);
  EXPECT_TRUE(line.WordWrap);
  EXPECT_EQ(line.Color, 0x0000FFu);
  EXPECT_EQ(line.FontStyle, fsItalic);
  EXPECT_EQ(line.FontSize, 9);
  EXPECT_EQ(line.FontName, "Arial");
  EXPECT_EQ(v->IndexOfString(10), 2);
  EXPECT_EQ(v->StringsSnapshot().size(), 8u);
}

TEST_F(ViewerLinesTest, DefaultArgumentsTakeTheUnitDefaults) {
  ViewerHolder v{new TProgressViewer("Копирование файла базы данных", false, false)};
  v->SetString(10, "строка", taLeft, false, kDefaultColor, kDefaultFontStyle, -1, "");
  TStringInfo line = LineOf(*v.viewer, 10);
  EXPECT_EQ(line.Color, 0u);
  EXPECT_EQ(line.FontStyle, 0);
  EXPECT_EQ(line.FontSize, 8);
  EXPECT_EQ(line.FontName, "MS Sans Serif");
}

TEST_F(ViewerLinesTest, UnitDefaultsAreReadWhenALineIsSet) {
  const std::string savedName = GlobalFontName;
  const std::int32_t savedSize = GlobalFontSize;
  GlobalFontName = "Tahoma";
  GlobalFontSize = 11;
  ViewerHolder v{new TProgressViewer("x", false, false)};
  v->SetString(10, "строка", taLeft, false, kDefaultColor, kDefaultFontStyle, -1, "");
  GlobalFontName = savedName;
  GlobalFontSize = savedSize;
  EXPECT_EQ(LineOf(*v.viewer, 10).FontName, "Tahoma");
  EXPECT_EQ(LineOf(*v.viewer, 10).FontSize, 11);
  // The caption took the default face at construction too.
  EXPECT_EQ(LineOf(*v.viewer, 0).FontName, "Tahoma");
}

TEST_F(ViewerLinesTest, ChangeStringParamsChangesOnlyTheNamedAttributes) {
  ViewerHolder v{new TProgressViewer("x", false, true)};
  v->SetString(10, "было", taLeft, false, 0x008000, fsBold, 12, "");
  v->ChangeStringParams(
      10, {spText, spFontSize, spWordWrap, spColor, spAlignment},
      {std::string("стало"), std::int64_t{16}, true, std::int64_t{0xFF}, std::string("1")});
  TStringInfo line = LineOf(*v.viewer, 10);
  EXPECT_EQ(line.Text, "стало");
  EXPECT_EQ(line.FontSize, 16);
  EXPECT_TRUE(line.WordWrap);
  EXPECT_EQ(line.Color, 0xFFu);
  EXPECT_EQ(line.Alignment, taRight);
  EXPECT_EQ(line.FontStyle, fsBold);  // untouched
  // No default is resolved: the values are stored as given.
  v->ChangeStringParams(10, {spFontSize, spColor, spFontName},
                        {std::int64_t{-1}, std::int64_t{kDefaultColor}, std::string()});
  line = LineOf(*v.viewer, 10);
  EXPECT_EQ(line.FontSize, -1);
  EXPECT_EQ(line.Color, kDefaultColor);
  EXPECT_EQ(line.FontName, "");
}

TEST_F(ViewerLinesTest, ChangeStringParamsFailuresLeaveTheLineUnchanged) {
  ViewerHolder v{new TProgressViewer("x", false, true)};
  v->SetString(10, "исходная", taLeft, false, 0x008000, fsBold, 12, "");
  const TStringInfo original = LineOf(*v.viewer, 10);

  try {
    v->ChangeStringParams(77, {spText}, {std::string("новая")});
    FAIL() << "no error for a missing line";
  } catch (const EProgressException& e) {
    EXPECT_EQ(e.Message(), "TProgressViewer.ChangeStringParams -> Строка с номером 77 не найдена!");
  }

  try {
    v->ChangeStringParams(10, {spText, spFontSize, spColor},
                          {std::string("новая"), std::int64_t{20}});
    FAIL() << "no error for three kinds and two values";
  } catch (const EProgressException& e) {
    EXPECT_EQ(e.Message(),
              "TProgressViewer.ChangeStringParams -> Количество параметров и соответствующих им "
              "значений не совпадают!");
  }
  ExpectSameLine(LineOf(*v.viewer, 10), original);

  // A value that cannot be converted fails after earlier kinds were applied to the copy:
  // the line must still be as it was.
  try {
    v->ChangeStringParams(10, {spText, spFontSize}, {std::string("новая"), std::string("abc")});
    FAIL() << "no error for a size that is not a number";
  } catch (const EProgressException& e) {
    EXPECT_EQ(e.Message().rfind("TProgressViewer.ChangeStringParams -> ", 0), 0u) << e.Message();
    EXPECT_NE(e.Message().find("abc"), std::string::npos) << e.Message();
  }
  ExpectSameLine(LineOf(*v.viewer, 10), original);

  try {
    v->ChangeStringParams(10, {spWordWrap}, {std::string("может быть")});
    FAIL() << "no error for a flag that is not a boolean";
  } catch (const EProgressException&) {
  }
  ExpectSameLine(LineOf(*v.viewer, 10), original);
}

TEST_F(ViewerLinesTest, UnknownParameterKindsAreSkipped) {
  ViewerHolder v{new TProgressViewer("x", false, true)};
  v->SetString(10, "текст", taLeft, false, 0, 0, 8, "");
  v->ChangeStringParams(10, {static_cast<TStringParam>(9), spText},
                        {std::string("пропущено"), std::string("новый")});
  EXPECT_EQ(LineOf(*v.viewer, 10).Text, "новый");
}

TEST_F(ViewerLinesTest, EmptyCaptionGivesOneSpace) {
  ViewerHolder v{new TProgressViewer("", false, true)};
  EXPECT_EQ(LineOf(*v.viewer, 0).Text, " ");
  EXPECT_EQ(LineOf(*v.viewer, 0).FontSize, 14);
  EXPECT_EQ(NumbersOf(*v.viewer), (std::vector<std::int32_t>{-1, 0, 1000, 1001, 1002}));
}

TEST_F(ViewerLinesTest, SetCaptionChangesTheTextOnly) {
  ViewerHolder v{new TProgressViewer("первый", false, true)};
  v->ChangeStringParams(0, {spFontSize, spColor}, {std::int64_t{20}, std::int64_t{0x008000}});
  v->SetCaption("второй");
  TStringInfo caption = LineOf(*v.viewer, 0);
  EXPECT_EQ(caption.Text, "второй");
  EXPECT_EQ(caption.FontSize, 20);
  EXPECT_EQ(caption.Color, 0x008000u);
  EXPECT_EQ(v->GetCaption(), "второй");
}

TEST_F(ViewerLinesTest, ApplicationCaptionAffectsOnlyLaterViewers) {
  const std::string saved = ApplicationCaption;
  EXPECT_EQ(saved, "Ваше приложение");
  ViewerHolder before{new TProgressViewer("до", false, true)};
  UseVelmarApplicationCaption();
  ViewerHolder after{new TProgressViewer("после", false, true)};
  ApplicationCaption = saved;
  EXPECT_EQ(LineOf(*before.viewer, -1).Text, "Ваше приложение");
  EXPECT_EQ(LineOf(*after.viewer, -1).Text, "Velmar: Диагностика базы данных");
}

TEST_F(ViewerLinesTest, CheckCancelRaisesOnEveryCallUntilReset) {
  ViewerHolder v{new TProgressViewer("x", false, true)};
  EXPECT_NO_THROW(v->CheckCancel());
  v->Cancel();
  for (int i = 0; i < 3; ++i) {
    try {
      v->CheckCancel();
      FAIL() << "call " << i << " did not raise";
    } catch (const EProgressCancelByUser& e) {
      EXPECT_EQ(e.Message(), "Прервано пользователем!");
      EXPECT_STREQ(e.ClassName(), "EProgressCancelByUser");
    }
  }
  EXPECT_TRUE(v->Cancelled());
  v->SetCancelled(false);
  EXPECT_NO_THROW(v->CheckCancel());
}

TEST_F(ViewerLinesTest, CancelStandsWhenTheHandlerFails) {
  ViewerHolder v{new TProgressViewer("x", false, true)};
  std::atomic<int> calls{0};
  v->SetOnCancel([&](TProgressViewer& viewer) {
    ++calls;
    EXPECT_TRUE(viewer.Cancelled());
    throw Exception("сбой обработчика");
  });
  EXPECT_NO_THROW(v->Cancel());
  EXPECT_EQ(calls.load(), 1);
  EXPECT_THROW(v->CheckCancel(), EProgressCancelByUser);
}

TEST_F(ViewerLinesTest, CycleHookRunsOnTheViewerThreadAndCancels) {
  std::atomic<bool> onOtherThread{false};
  const auto testThread = std::this_thread::get_id();
  SetViewerCycleHook([&](TProgressViewer& viewer) {
    onOtherThread = std::this_thread::get_id() != testThread;
    viewer.Cancel();
  });
  ViewerHolder v{new TProgressViewer("x", false, true)};
  EXPECT_TRUE(WaitFor([&] { return v->Cancelled(); }, 2000));
  EXPECT_TRUE(onOtherThread.load());
  EXPECT_THROW(v->CheckCancel(), EProgressCancelByUser);
}

TEST_F(ViewerLinesTest, WorkProcRunsBesideTheViewer) {
  std::atomic<TProgressViewer*> seen{nullptr};
  std::atomic<bool> onOtherThread{false};
  const auto testThread = std::this_thread::get_id();
  ViewerHolder v{new TProgressViewer("x", false, true, [&](TProgressViewer& viewer) {
    onOtherThread = std::this_thread::get_id() != testThread;
    seen = &viewer;
  })};
  EXPECT_TRUE(WaitFor([&] { return seen.load() != nullptr; }, 2000));
  EXPECT_EQ(seen.load(), v.viewer);
  EXPECT_TRUE(onOtherThread.load());
}

TEST_F(ViewerLinesTest, LinesMayChangeFromAnotherThreadWhileTheViewerRuns) {
  ViewerHolder v{new TProgressViewer("x", false, true)};
  std::thread writer([&] {
    for (int i = 0; i < 200; ++i) {
      v->SetString(10 + i % 5, "строка " + std::to_string(i), taLeft, i % 2 == 0, 0x008000, fsBold,
                   12, "");
      if (i % 7 == 0) {
        v->SetCaption("заголовок " + std::to_string(i));
      }
    }
  });
  writer.join();
  EXPECT_EQ(NumbersOf(*v.viewer),
            (std::vector<std::int32_t>{-1, 0, 10, 11, 12, 13, 14, 1000, 1001, 1002}));
  EXPECT_EQ(LineOf(*v.viewer, 14).Text, "строка 199");
}
