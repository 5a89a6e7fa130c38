// A viewer needs its unit's start-up; without it the constructor refuses.
#include <gtest/gtest.h>

#include "progress/ProgressViewer.h"

TEST(ProgressViewerUnit, ViewerBeforeInitialisationRaisesAndStartsNoThread) {
  ASSERT_FALSE(ClassRegistered.load());
  try {
    new TProgressViewer("Проверка", false, true);
    FAIL() << "the viewer was constructed";
  } catch (const EProgressException& e) {
    EXPECT_EQ(e.Message(),
              "Класс окна визуализации \"ProgressViewerFormClass\" не зарегистрирован!");
  }
  EXPECT_EQ(LiveViewerThreads(), 0);

  ProgressViewerUnitInitialize();
  EXPECT_TRUE(ClassRegistered.load());
  // Start-up twice (the class exists already) keeps the class available.
  ProgressViewerUnitInitialize();
  EXPECT_TRUE(ClassRegistered.load());
  auto* viewer = new TProgressViewer("Проверка", false, true);
  viewer->Terminate();
  EXPECT_TRUE(WaitForViewerThreads(3000));
  ProgressViewerUnitFinalize();
  EXPECT_TRUE(WindowListSnapshot().empty());
}
