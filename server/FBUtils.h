// Binding to the suite's database utility library (fbUtils.dll / libfbUtils.so), the
// instance mutex, and two general operations: CreateGlobalMutex and ChainException.
//
// Start-up: FBUtilsInitialize() creates the instance mutex, loads the library from its fixed
// path and resolves its exports; without the library the program must refuse to start
// (FBUtilsRefusalText(), caption kFBUtilsRefusalCaption, exit code 0). FBUtilsFinalize()
// undoes it in order.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "os/Exception.h"
#include "os/NamedMutex.h"

// The administrator's password and the server's port, asked from the library at every call.
// Both throw Exception when the library does not export the function.
std::string GetFBPassword();
std::int32_t GetFBPort();

// Creates or opens the mutex "Global\<name>", else "<name>"; throws the chained error
// "СозданиеМьютекса -> ... <# Exception #>" when neither can be made. The caller owns it.
std::unique_ptr<os::NamedMutex> CreateGlobalMutex(const std::string& name);

// A new error of e's class whose message is "<context> -> <e's message>", with the class tag
// " <# Class #>" appended when asked and not yet present. Raise it with ->Raise().
std::unique_ptr<Exception> ChainException(const std::exception& e, const std::string& context,
                                          bool addClassTag);

// prefix + path lowered under the locale, doubled backslashes collapsed, and the characters
// that a mutex name may not hold ("*/:<>?\| and the double quote) replaced by '_'.
std::string BuildInstanceMutexName(const std::string& prefix, const std::string& path);

// Held by a copy of the program while it checks or repairs. Two copies would share the
// runner's batch files, the tool log and the files beside the database, so a second copy
// must not start either while the first runs one. Released when destroyed.
class TWorkMutexHold {
 public:
  explicit TWorkMutexHold(std::unique_ptr<os::NamedMutex> mutex) : mutex_(std::move(mutex)) {}
  ~TWorkMutexHold() { mutex_->Unlock(); }
  TWorkMutexHold(const TWorkMutexHold&) = delete;
  TWorkMutexHold& operator=(const TWorkMutexHold&) = delete;

 private:
  std::unique_ptr<os::NamedMutex> mutex_;
};
// The work mutex ("FBUtilsWorkMutex" and the mapped work directory), taken without waiting;
// nullptr while another copy holds it. Throws the chained error of CreateGlobalMutex.
std::unique_ptr<TWorkMutexHold> TryHoldWorkMutex();

// Start-up of the binding. Throws the mutex error; returns false when the library could not
// be loaded (the caller then refuses to start), true otherwise.
bool FBUtilsInitialize();
// Closes the instance mutex, frees the library, forgets the exports and the application name.
void FBUtilsFinalize();
bool FBUtilsLibraryLoaded();

// "Модуль fbUtils.dll не загружен. В запуске приложения отказано!" with the library file of
// the platform the program runs on.
std::string FBUtilsRefusalText();
inline constexpr const char* kFBUtilsRefusalCaption = "Ошибка!";

// FBUtilsInitialize() for the program's start-up: when the library is missing, shows the
// refusal through `showRefusal(text, caption)` (stderr when none is given) and ends the
// process at once with exit code 0, running no finalisation.
void FBUtilsStartOrRefuse(
    const std::function<void(const std::string& text, const std::string& caption)>& showRefusal =
        nullptr);
