#include "os/NamedMutex.h"

#include "os/Exception.h"
#include "os/SystemError.h"
#include "os/win/Wide.h"

namespace os {

namespace {

class WinNamedMutex : public NamedMutex {
 public:
  WinNamedMutex(HANDLE handle, std::string name) : handle_(handle), name_(std::move(name)) {}
  ~WinNamedMutex() override { CloseHandle(handle_); }

  void Lock() override {
    // An abandoned mutex (its holder died holding it) now belongs to us all the same.
    const DWORD result = WaitForSingleObject(handle_, INFINITE);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED)
      return;
    const int code = static_cast<int>(GetLastError());
    throw EFileError("Не удалось захватить мьютекс \"" + name_ + "\": " + SystemErrorText(code),
                     code);
  }

  bool TryLock() override {
    const DWORD result = WaitForSingleObject(handle_, 0);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED)
      return true;
    if (result == WAIT_TIMEOUT)
      return false;
    const int code = static_cast<int>(GetLastError());
    throw EFileError("Не удалось захватить мьютекс \"" + name_ + "\": " + SystemErrorText(code),
                     code);
  }

  void Unlock() override { ReleaseMutex(handle_); }

 private:
  HANDLE handle_;
  std::string name_;
};

}  // namespace

std::unique_ptr<NamedMutex> NamedMutex::Create(const std::string& fullName, Failure* failure) {
  const auto fail = [failure](Stage stage) -> std::unique_ptr<NamedMutex> {
    if (failure != nullptr)
      *failure = Failure{stage, static_cast<int>(GetLastError())};
    return nullptr;
  };
  // A NULL DACL lets every account open the mutex, whichever account created it.
  SECURITY_DESCRIPTOR descriptor{};
  if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION))
    return fail(Stage::SecurityDescriptor);
  if (!SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE))
    return fail(Stage::Dacl);
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof attributes;
  attributes.lpSecurityDescriptor = &descriptor;
  attributes.bInheritHandle = FALSE;
  HANDLE handle = CreateMutexW(&attributes, FALSE, win::ToWide(fullName).c_str());
  if (handle == nullptr)
    return fail(Stage::Create);
  if (failure != nullptr)
    *failure = Failure{};
  return std::make_unique<WinNamedMutex>(handle, fullName);
}

}  // namespace os
