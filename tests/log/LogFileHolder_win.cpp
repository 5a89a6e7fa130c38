// Holds a file open without sharing for a while, as another program may do with the log:
//   log_file_holder <file> <hold ms> <marker file written once the file is held>
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::wstring Wide(const char* utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  std::wstring out(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1)
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), n);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4)
    return 2;
  HANDLE file = CreateFileW(Wide(argv[1]).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return 3;
  HANDLE marker = CreateFileW(Wide(argv[3]).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker != INVALID_HANDLE_VALUE)
    CloseHandle(marker);
  Sleep(static_cast<DWORD>(std::atoi(argv[2])));
  CloseHandle(file);
  return 0;
}
