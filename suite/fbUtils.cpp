// Stand-in for the suite's database utility library: it answers the two questions this
// program asks (the administrator's password and the server's port) from fbUtils.ini beside
// itself, first in the section named after the application, then in [Common]. The other
// exports exist so that a client can resolve them; they do nothing.
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>

#include "suite/IniFile.h"
#include "suite/fbUtilsExports.h"

#if defined(_WIN32)
#define FBUTILS_EXPORT extern "C" __declspec(dllexport)
#else
#define FBUTILS_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

const char* const kCommonSection = "Common";
const char* const kDefaultPassword = "masterkey";
const std::int32_t kDefaultPort = 3050;

std::optional<std::string> Setting(const char* appName, const char* key) {
  const std::string ini = fbutils::ReadIniBesideLibrary();
  if (appName && *appName) {
    if (auto value = fbutils::IniValue(ini, appName, key))
      return value;
  }
  return fbutils::IniValue(ini, kCommonSection, key);
}

}  // namespace

FBUTILS_EXPORT const char* FBUTILS_CALL GetFBPassword(const char* appName) {
  // The caller reads the text after the call returns, so it lives on in a buffer of the
  // library (not a thread-local one: those would keep the library from being unloaded).
  static std::mutex lock;
  static std::string password;
  std::lock_guard<std::mutex> guard(lock);
  password = Setting(appName, "Password").value_or(kDefaultPassword);
  return password.c_str();
}

#if !defined(FBUTILS_WITHOUT_GETFBPORT)
FBUTILS_EXPORT std::int32_t FBUTILS_CALL GetFBPort(const char* appName) {
  const std::optional<std::string> text = Setting(appName, "Port");
  if (!text || text->empty())
    return kDefaultPort;
  char* end = nullptr;
  const long port = std::strtol(text->c_str(), &end, 10);
  if (*end != '\0' || port <= 0 || port > 65535)
    return kDefaultPort;
  return static_cast<std::int32_t>(port);
}
#endif

// Entry points of the real library that this program resolves but never calls.
#define FBUTILS_UNUSED_EXPORT(name)                 \
  FBUTILS_EXPORT std::int32_t FBUTILS_CALL name() { \
    return 0;                                       \
  }

FBUTILS_UNUSED_EXPORT(FBConnectDB)
FBUTILS_UNUSED_EXPORT(FBDisconnectDB)
FBUTILS_UNUSED_EXPORT(FBStartTransaction)
FBUTILS_UNUSED_EXPORT(FBCommitTransaction)
FBUTILS_UNUSED_EXPORT(FBRollBackTransaction)
FBUTILS_UNUSED_EXPORT(FBOpenDataSet)
FBUTILS_UNUSED_EXPORT(FBCloseDataSet)
FBUTILS_UNUSED_EXPORT(FBExecDataSet)
FBUTILS_UNUSED_EXPORT(CommitTransactionWithReOpenDST)
FBUTILS_UNUSED_EXPORT(FBCreateTransaction)
FBUTILS_UNUSED_EXPORT(FBSetGSMBaseConnect)
FBUTILS_UNUSED_EXPORT(FBGetGSMDataBase)
FBUTILS_UNUSED_EXPORT(FBCreateDataSetForWrite)
FBUTILS_UNUSED_EXPORT(FBCreateDataSetForRead)
FBUTILS_UNUSED_EXPORT(FBLogMessage)
FBUTILS_UNUSED_EXPORT(FBGetIBDataBaseFromPool)
FBUTILS_UNUSED_EXPORT(FBReturnIBDataBaseToPool)
