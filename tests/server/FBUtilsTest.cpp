// The binding to the suite library: instance mutex names, error chaining, the named mutex,
// and the password and port read through the stand-in library.
#include <gtest/gtest.h>

#include <stdexcept>

#include "os/DynamicLibrary.h"
#include "os/Files.h"
#include "progress/ProgressViewer.h"
#include "server/FBUtils.h"
#include "server/FixedPaths.h"
#include "suite/fbUtilsExports.h"
#include "tests/server/KoraSandbox.h"

namespace {

std::string ApplicationName() {
  return os::ExtractFileName(os::ProgramPath());
}

TEST(InstanceMutexName, MapsTheProgramPathAsTheSuiteExpects) {
  EXPECT_EQ(BuildInstanceMutexName("FBUtilsMutex", "C:\\KORA\\Tools\\VelmarDBRepair.exe"),
            "FBUtilsMutexc__kora_tools_velmardbrepair.exe");
}

TEST(InstanceMutexName, CollapsesDoubledBackslashesBeforeMapping) {
  const std::string single = BuildInstanceMutexName("P", "C:\\KORA\\Tools\\a.exe");
  EXPECT_EQ(BuildInstanceMutexName("P", "C:\\\\KORA\\\\\\Tools\\\\\\\\a.exe"), single);
  EXPECT_EQ(single, "Pc__kora_tools_a.exe");
}

TEST(InstanceMutexName, LowersCyrillicAndKeepsIt) {
  EXPECT_EQ(BuildInstanceMutexName("FBUtilsMutex", "D:\\ПРОГРАММЫ\\Кора\\Ремонт.EXE"),
            "FBUtilsMutexd__программы_кора_ремонт.exe");
}

TEST(InstanceMutexName, ReplacesEveryForbiddenCharacterAndKeepsThePrefixCase) {
  EXPECT_EQ(BuildInstanceMutexName("MiXeD", "a\"b*c/d:e<f>g?h\\i|j k"),
            "MiXeDa_b_c_d_e_f_g_h_i_j k");
  // The Linux program path maps the same way.
  EXPECT_EQ(BuildInstanceMutexName("FBUtilsMutex", "/opt/Kora/bin/VelmarDBRepair"),
            "FBUtilsMutex_opt_kora_bin_velmardbrepair");
}

TEST(ChainException, AddsContextAndOneClassTagWhenChainedTwice) {
  const Exception inner("Сбой");
  const std::unique_ptr<Exception> once = ChainException(inner, "A", true);
  EXPECT_EQ(once->Message(), "A -> Сбой <# Exception #>");
  const std::unique_ptr<Exception> twice = ChainException(*once, "B", true);
  EXPECT_EQ(twice->Message(), "B -> A -> Сбой <# Exception #>");
  EXPECT_STREQ(twice->ClassName(), "Exception");
}

TEST(ChainException, KeepsTheClassOfTheCaughtError) {
  const EProgressCancelByUser cancel("Прервано пользователем!");
  const std::unique_ptr<Exception> chained = ChainException(cancel, "Шаг", true);
  EXPECT_EQ(chained->Message(), "Шаг -> Прервано пользователем! <# EProgressCancelByUser #>");
  EXPECT_THROW(chained->Raise(), EProgressCancelByUser);
  EXPECT_EQ(ChainException(cancel, "Шаг", false)->Message(), "Шаг -> Прервано пользователем!");
}

TEST(ChainException, TreatsAForeignErrorAsAPlainException) {
  const std::runtime_error foreign("disk full");
  const std::unique_ptr<Exception> chained = ChainException(foreign, "Копия", true);
  EXPECT_EQ(chained->Message(), "Копия -> disk full <# Exception #>");
  EXPECT_STREQ(chained->ClassName(), "Exception");
}

TEST(CreateGlobalMutex, CreatesAndOpensTheSameNameTwice) {
  const std::string name = "VelmarServerTest" + std::to_string(os::ProgramPath().size());
  auto first = CreateGlobalMutex(name);
  auto second = CreateGlobalMutex(name);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  first->Lock();
  first->Unlock();
}

#ifdef _WIN32
TEST(CreateGlobalMutex, ReportsAnImpossibleNameAsAChainedError) {
  try {
    CreateGlobalMutex("no\\such\\namespace");
    FAIL() << "a name with a backslash was accepted";
  } catch (const Exception& e) {
    const std::string prefix = "СозданиеМьютекса -> Ошибка создания объекта \"мьютекс\": ";
    EXPECT_EQ(e.Message().substr(0, prefix.size()), prefix) << e.Message();
    EXPECT_EQ(e.Message().substr(e.Message().size() - 16), " <# Exception #>") << e.Message();
  }
}
#endif

class Binding : public ::testing::Test {
 protected:
  void TearDown() override { FBUtilsFinalize(); }
  KoraSandbox sandbox;
};

TEST_F(Binding, TheStandInExportsEveryEntryPointUndecorated) {
  sandbox.InstallSuiteLibrary(BuiltSuiteLibraryWithoutPort(), "");
  std::string error;
  auto noPort = os::DynamicLibrary::Load(paths::SuiteLibrary(), &error);
  ASSERT_NE(noPort, nullptr) << error;
  for (const char* name : kFBUtilsExportNames)
    EXPECT_EQ(noPort->Symbol(name) != nullptr, std::string(name) != "GetFBPort") << name;
  noPort.reset();

  sandbox.InstallSuiteLibrary(BuiltSuiteLibrary(), "");
  auto full = os::DynamicLibrary::Load(paths::SuiteLibrary(), &error);
  ASSERT_NE(full, nullptr) << error;
  for (const char* name : kFBUtilsExportNames)
    EXPECT_NE(full->Symbol(name), nullptr) << name;
}

TEST_F(Binding, ReadsTheApplicationsOwnSection) {
  sandbox.InstallSuiteLibrary(BuiltSuiteLibrary(),
                              "[Common]\nPassword=common\nPort=1111\n[" + ApplicationName() +
                                  "]\r\nPassword = s3cret% &x\r\nPort=32123\r\n");
  ASSERT_TRUE(FBUtilsInitialize());
  EXPECT_TRUE(FBUtilsLibraryLoaded());
  EXPECT_EQ(GetFBPassword(), "s3cret% &x");
  EXPECT_EQ(GetFBPort(), 32123);
}

TEST_F(Binding, FallsBackToTheCommonSectionAndThenToDefaults) {
  sandbox.InstallSuiteLibrary(BuiltSuiteLibrary(),
                              "[OtherProgram.exe]\nPassword=other\nPort=1\n[Common]\nPort=4050\n");
  ASSERT_TRUE(FBUtilsInitialize());
  EXPECT_EQ(GetFBPort(), 4050);
  EXPECT_EQ(GetFBPassword(), "masterkey");

  FBUtilsFinalize();  // a loaded library cannot be replaced on Windows
  sandbox.InstallSuiteLibrary(BuiltSuiteLibrary(), "");
  ASSERT_TRUE(FBUtilsInitialize());
  EXPECT_EQ(GetFBPort(), 3050);
  EXPECT_EQ(GetFBPassword(), "masterkey");
}

// The entry points' calling convention (FBUTILS_CALL) must be the library's: on 32-bit Windows
// a mismatch leaves the stack a little off at every call, and a thousand calls crash.
TEST_F(Binding, CallsTheLibraryWithItsOwnCallingConvention) {
  sandbox.InstallSuiteLibrary(BuiltSuiteLibrary(), "[Common]\nPassword=pw\nPort=4321\n");
  ASSERT_TRUE(FBUtilsInitialize());
  for (int i = 0; i < 1000; ++i)
    ASSERT_EQ(GetFBPort(), 4321) << "call " << i;
}

#ifdef _WIN32
// A suite library of the other bitness (64-bit beside a 32-bit program or the reverse) does
// not load: the start is refused as for a missing one.
TEST_F(Binding, ALibraryOfTheOtherBitnessIsRefused) {
  sandbox.InstallSuiteLibrary("other-bitness\\fbUtils.dll", "[Common]\nPassword=pw\n");
  EXPECT_FALSE(FBUtilsInitialize());
  EXPECT_FALSE(FBUtilsLibraryLoaded());
  EXPECT_EQ(FBUtilsRefusalText(), "Модуль fbUtils.dll не загружен. В запуске приложения отказано!");
}
#endif

TEST_F(Binding, AsksTheLibraryAgainOnEveryCall) {
  sandbox.InstallSuiteLibrary(BuiltSuiteLibrary(), "[Common]\nPassword=first\nPort=5000\n");
  ASSERT_TRUE(FBUtilsInitialize());
  EXPECT_EQ(GetFBPassword(), "first");
  WriteFileBytes(os::ExtractFilePath(paths::SuiteLibrary()) + "fbUtils.ini",
                 "[Common]\nPassword=second\nPort=5001\n");
  EXPECT_EQ(GetFBPassword(), "second");
  EXPECT_EQ(GetFBPort(), 5001);
}

TEST_F(Binding, ALibraryWithoutGetFBPortStartsAndFailsOnlyOnTheCall) {
  sandbox.InstallSuiteLibrary(BuiltSuiteLibraryWithoutPort(), "[Common]\nPassword=pw\n");
  ASSERT_TRUE(FBUtilsInitialize());
  EXPECT_EQ(GetFBPassword(), "pw");
  try {
    GetFBPort();
    FAIL() << "GetFBPort answered without the export";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Функция \"GetFBPort\" в библиотеке \"" + paths::SuiteLibraryFileName() +
                               "\" не найдена!");
    EXPECT_STREQ(e.ClassName(), "Exception");
  }
}

TEST_F(Binding, FinalisationForgetsTheExports) {
  sandbox.InstallSuiteLibrary(BuiltSuiteLibrary(), "");
  ASSERT_TRUE(FBUtilsInitialize());
  FBUtilsFinalize();
  EXPECT_FALSE(FBUtilsLibraryLoaded());
  EXPECT_THROW(GetFBPassword(), Exception);
  EXPECT_THROW(GetFBPort(), Exception);
}

TEST_F(Binding, AMissingLibraryIsReportedAsNotLoaded) {
  ASSERT_FALSE(os::FileExists(paths::SuiteLibrary()));
  EXPECT_FALSE(FBUtilsInitialize());
  EXPECT_FALSE(FBUtilsLibraryLoaded());
  EXPECT_THROW(GetFBPassword(), Exception);
  EXPECT_EQ(FBUtilsRefusalText(), "Модуль " + paths::SuiteLibraryFileName() +
                                      " не загружен. В запуске приложения отказано!");
  EXPECT_STREQ(kFBUtilsRefusalCaption, "Ошибка!");
}

TEST_F(Binding, AMissingLibraryEndsTheStartUpWithExitCodeZeroAndNothingAfter) {
  const std::string marker = sandbox.Root() + "/after-start-up";
  EXPECT_EXIT(
      {
        FBUtilsStartOrRefuse();
        WriteFileBytes(marker, "start-up went on");
      },
      ::testing::ExitedWithCode(0), "Модуль .*fbUtils.* не загружен");
  EXPECT_FALSE(os::FileExists(marker));
  EXPECT_FALSE(os::DirectoryExists(os::ExtractFileDir(paths::SessionLogFile())));
}

TEST_F(Binding, TheRefusalIsShownThroughTheGivenDisplay) {
  EXPECT_EXIT(
      {
        FBUtilsStartOrRefuse([](const std::string& text, const std::string& caption) {
          std::fprintf(stderr, "[%s|%s]", caption.c_str(), text.c_str());
        });
      },
      ::testing::ExitedWithCode(0), "\\[Ошибка!\\|Модуль");
}

}  // namespace
