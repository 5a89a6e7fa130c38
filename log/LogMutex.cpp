// The machine-wide mutex of one log file, named after its path.
#include <string>

#include "log/HuxLogger.h"
#include "os/CodePage.h"
#include "os/NamedMutex.h"
#include "os/SystemError.h"

std::string THuxLogger::MutexNameOf(const std::string& fileName) {
  // Backslashes are replaced one by one: a doubled one gives two underscores.
  std::string name = os::LowerCase(fileName);
  for (char& c : name) {
    if (os::IsReservedInMutexName(c))
      c = '_';
  }
  return name;
}

namespace {

// Only a broken security descriptor is an error; failing names just fall through.
void RaiseOnDescriptorFailure(const os::NamedMutex::Failure& failure) {
  if (failure.stage == os::NamedMutex::Stage::SecurityDescriptor)
    throw Exception(
        Format("Error InitializeSecurityDescriptor: %s", {os::SystemErrorText(failure.code)}));
  if (failure.stage == os::NamedMutex::Stage::Dacl)
    throw Exception(
        Format("Error SetSecurityDescriptorDacl: %s", {os::SystemErrorText(failure.code)}));
}

}  // namespace

std::unique_ptr<os::NamedMutex> THuxLogger::CreateLogMutex(const std::string& name) {
  os::NamedMutex::Failure failure;
  auto mutex = os::NamedMutex::Create("Global\\" + name, &failure);
  if (mutex)
    return mutex;
  RaiseOnDescriptorFailure(failure);
  failure = {};
  mutex = os::NamedMutex::Create(name, &failure);
  if (mutex)
    return mutex;
  RaiseOnDescriptorFailure(failure);
  return nullptr;  // the logger goes on under its in-process lock alone
}
