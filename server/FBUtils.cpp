// The binding's state lives from start-up to finalisation; the library is asked afresh at
// every call, so a changed password or port is seen without a restart.
#include "server/FBUtils.h"

#include <array>
#include <cstdio>
#include <cstdlib>

#include "os/CodePage.h"
#include "os/DynamicLibrary.h"
#include "os/Files.h"
#include "os/SystemError.h"
#include "server/FixedPaths.h"
#include "suite/fbUtilsExports.h"

namespace {

struct Binding {
  std::unique_ptr<os::NamedMutex> instanceMutex;
  std::unique_ptr<os::DynamicLibrary> library;
  std::array<void*, kFBUtilsExportCount> exports{};
  std::string applicationName;
};

Binding& State() {
  static Binding binding;
  return binding;
}

[[noreturn]] void ThrowMissingExport(const char* name) {
  throw Exception("Функция \"" + std::string(name) + "\" в библиотеке \"" +
                  paths::SuiteLibraryFileName() + "\" не найдена!");
}

std::string MutexFailureText(const os::NamedMutex::Failure& failure) {
  const std::string systemText = os::SystemErrorText(failure.code);
  switch (failure.stage) {
    case os::NamedMutex::Stage::SecurityDescriptor:
      return "Error InitializeSecurityDescriptor: " + systemText;
    case os::NamedMutex::Stage::Dacl:
      return "Error SetSecurityDescriptorDacl: " + systemText;
    default:
      return "Ошибка создания объекта \"мьютекс\": " + systemText;
  }
}

bool IsSecurityFailure(const os::NamedMutex::Failure& failure) {
  return failure.stage == os::NamedMutex::Stage::SecurityDescriptor ||
         failure.stage == os::NamedMutex::Stage::Dacl;
}

}  // namespace

std::unique_ptr<Exception> ChainException(const std::exception& e, const std::string& context,
                                          bool addClassTag) {
  const auto* known = dynamic_cast<const Exception*>(&e);
  std::string message = context + " -> " + e.what();
  if (addClassTag && message.find(" <# ") == std::string::npos)
    message += std::string(" <# ") + (known ? known->ClassName() : "Exception") + " #>";
  if (known)
    return known->CloneWithMessage(std::move(message));
  return std::make_unique<Exception>(std::move(message));
}

std::string BuildInstanceMutexName(const std::string& prefix, const std::string& path) {
  std::string name = prefix + os::LowerCase(path);
  for (std::size_t pair = name.find("\\\\"); pair != std::string::npos; pair = name.find("\\\\")) {
    std::string collapsed;
    for (std::size_t i = 0; i < name.size(); ++i) {
      collapsed += name[i];
      if (name[i] == '\\' && i + 1 < name.size() && name[i + 1] == '\\')
        ++i;
    }
    name = std::move(collapsed);
  }
  for (char& c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte <= 0x7F && os::IsReservedInMutexName(static_cast<char>(byte)))
      c = '_';
  }
  return name;
}

std::unique_ptr<os::NamedMutex> CreateGlobalMutex(const std::string& name) {
  try {
    os::NamedMutex::Failure failure;
    auto mutex = os::NamedMutex::Create("Global\\" + name, &failure);
    // Sessions that may not use the global namespace still get a mutex of their own.
    if (!mutex && !IsSecurityFailure(failure))
      mutex = os::NamedMutex::Create(name, &failure);
    if (!mutex)
      throw Exception(MutexFailureText(failure));
    return mutex;
  } catch (const std::exception& e) {
    ChainException(e, "СозданиеМьютекса", true)->Raise();
  }
  return nullptr;  // not reached: Raise() throws
}

std::unique_ptr<TWorkMutexHold> TryHoldWorkMutex() {
  // Named after the work directory: copies that share it share every scratch file.
  std::unique_ptr<os::NamedMutex> mutex =
      CreateGlobalMutex(BuildInstanceMutexName("FBUtilsWorkMutex", paths::WorkDirectory()));
  if (!mutex->TryLock())
    return nullptr;
  return std::make_unique<TWorkMutexHold>(std::move(mutex));
}

bool FBUtilsInitialize() {
  FBUtilsFinalize();
  Binding& state = State();
  const std::string programPath = os::ProgramPath();
  state.instanceMutex = CreateGlobalMutex(BuildInstanceMutexName("FBUtilsMutex", programPath));
  // The fixed absolute path only: a library found elsewhere could answer for another suite.
  state.library = os::DynamicLibrary::Load(paths::SuiteLibrary());
  if (!state.library)
    return false;
  for (int i = 0; i < kFBUtilsExportCount; ++i)
    state.exports[i] = state.library->Symbol(kFBUtilsExportNames[i]);
  state.applicationName = os::ExtractFileName(programPath);
  return true;
}

void FBUtilsFinalize() {
  Binding& state = State();
  state.instanceMutex.reset();
  state.library.reset();
  state.exports.fill(nullptr);
  state.applicationName.clear();
}

bool FBUtilsLibraryLoaded() {
  return State().library != nullptr;
}

std::string FBUtilsRefusalText() {
  return "Модуль " + paths::SuiteLibraryFileName() + " не загружен. В запуске приложения отказано!";
}

void FBUtilsStartOrRefuse(
    const std::function<void(const std::string& text, const std::string& caption)>& showRefusal) {
  if (FBUtilsInitialize())
    return;
  if (showRefusal) {
    showRefusal(FBUtilsRefusalText(), kFBUtilsRefusalCaption);
  } else {
    std::fprintf(stderr, "%s: %s\n", kFBUtilsRefusalCaption, FBUtilsRefusalText().c_str());
    std::fflush(stderr);
  }
  // Nothing else of the start-up may run, and no finalisation either.
  std::_Exit(0);
}

std::string GetFBPassword() {
  const Binding& state = State();
  auto* exported = reinterpret_cast<GetFBPasswordFn>(state.exports[kGetFBPasswordIndex]);
  if (!exported)
    ThrowMissingExport("GetFBPassword");
  const char* password = exported(os::Utf8ToAnsi(state.applicationName).c_str());
  return password ? os::AnsiToUtf8(password) : std::string();
}

std::int32_t GetFBPort() {
  const Binding& state = State();
  auto* exported = reinterpret_cast<GetFBPortFn>(state.exports[kGetFBPortIndex]);
  if (!exported)
    ThrowMissingExport("GetFBPort");
  return exported(os::Utf8ToAnsi(state.applicationName).c_str());
}
