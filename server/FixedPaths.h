// Every fixed path of the program. On Windows these are the suite's own paths under C:\KORA;
// on Linux the same tree lives under one root, $KORA_ROOT when set, else /opt/kora (read at
// every call, so tests can point it elsewhere).
#pragma once

#include <string>

namespace paths {

std::string KoraRoot();              // "C:\KORA" | $KORA_ROOT | "/opt/kora"
std::string DefaultDatabase();       // "C:\KORA\DB\VELMAR.FDB"
std::string FirebirdDirectory();     // "C:\KORA\FIREBIRD"
std::string Gfix();                  // "C:\KORA\FIREBIRD\bin\gfix.exe"
std::string Gbak();                  // "C:\KORA\FIREBIRD\bin\gbak.exe"
std::string ServerLog();             // "C:\KORA\FIREBIRD\firebird.log"
std::string SessionLogFile();        // "C:\KORA\LogFiles\VelmarDBRepair.log"
std::string WorkDirectory();         // "C:\KORA\TEMP\DBRepair\" (trailing delimiter)
std::string ToolLog();               // "C:\KORA\TEMP\DBRepair\FireBirdFixLog.log"
std::string SafetyCopyFolder();      // "C:\Kora\Backup\FireBirdBase"
std::string SuiteLibrary();          // "C:\KORA\fbUtils.dll" | <root>/libfbUtils.so
std::string SuiteLibraryFileName();  // "fbUtils.dll" | "libfbUtils.so" (for messages)

}  // namespace paths
