#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include "os/win/Wide.h"
#include "tests/support/StandinArguments.h"

namespace standin {

std::vector<std::string> Arguments(int, char**) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; wide != nullptr && i < count; ++i)
    args.push_back(os::win::FromWide(wide[i]));
  if (wide != nullptr)
    LocalFree(wide);
  return args;
}

}  // namespace standin
