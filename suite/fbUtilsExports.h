// The exports of the suite's database utility library (fbUtils.dll / libfbUtils.so) and
// their calling shapes. Strings are 8-bit: on Windows in the system's ANSI code page, on
// Linux UTF-8. Names are exported undecorated.
#pragma once

#include <cstdint>

// The library's calling convention; a no-op on x86_64 and on Linux.
#if defined(_WIN32)
#define FBUTILS_CALL __stdcall
#else
#define FBUTILS_CALL
#endif

// The administrator's password for the application `appName` (its program file name). The
// returned text stays valid until the next call.
using GetFBPasswordFn = const char*(FBUTILS_CALL*)(const char* appName);
// The local server's TCP port for the application `appName`.
using GetFBPortFn = std::int32_t(FBUTILS_CALL*)(const char* appName);

// Every export, in the order a client resolves them.
inline constexpr const char* kFBUtilsExportNames[] = {
    "FBConnectDB",
    "FBDisconnectDB",
    "FBStartTransaction",
    "FBCommitTransaction",
    "FBRollBackTransaction",
    "FBOpenDataSet",
    "FBCloseDataSet",
    "FBExecDataSet",
    "CommitTransactionWithReOpenDST",
    "FBCreateTransaction",
    "FBSetGSMBaseConnect",
    "FBGetGSMDataBase",
    "FBCreateDataSetForWrite",
    "FBCreateDataSetForRead",
    "FBLogMessage",
    "GetFBPassword",
    "GetFBPort",
    "FBGetIBDataBaseFromPool",
    "FBReturnIBDataBaseToPool",
};
inline constexpr int kFBUtilsExportCount = 19;
inline constexpr int kGetFBPasswordIndex = 15;
inline constexpr int kGetFBPortIndex = 16;
