// A stand-in tool for the runner's tests. It writes each of its arguments on a line of its
// standard output, exactly as it received them, and one line on its error stream; the
// environment shapes the rest of its run:
//   VELMAR_ECHO_SLEEP_MS   wait this long first
//   VELMAR_ECHO_STARTED    create this file when started
//   VELMAR_ECHO_MARKER     create this file at the end
//   VELMAR_ECHO_QUIET      write nothing
//   VELMAR_ECHO_TEXT       write the bytes of this file instead of the arguments
//   VELMAR_ECHO_ARGS       also write the arguments, one a line, into this file
//   VELMAR_ECHO_EXIT       exit with this code (0 when unset)
// ISC_USER and ISC_PASSWORD, when set, follow the arguments as NAME=value lines.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>
#endif

namespace {

// The arguments in UTF-8 (on Windows from the wide command line, so nothing is lost).
std::vector<std::string> Arguments(int argc, char** argv) {
  std::vector<std::string> args;
#ifdef _WIN32
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; i < count; ++i) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, utf8.data(), size, nullptr, nullptr);
    args.push_back(utf8);
  }
  LocalFree(wide);
#else
  for (int i = 1; i < argc; ++i)
    args.emplace_back(argv[i]);
#endif
  return args;
}

// A variable of the environment in UTF-8 (on Windows read wide, so nothing is lost).
std::string Utf8Env(const char* name) {
#ifdef _WIN32
  const std::wstring wideName(name, name + std::char_traits<char>::length(name));
  const wchar_t* wide = _wgetenv(wideName.c_str());
  if (wide == nullptr)
    return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(size > 0 ? size - 1 : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), size, nullptr, nullptr);
  return utf8;
#else
  const char* value = std::getenv(name);
  return value ? value : "";
#endif
}

const char* Env(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

void Touch(const char* path) {
  if (FILE* file = std::fopen(path, "wb"))
    std::fclose(file);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  if (const char* started = Env("VELMAR_ECHO_STARTED"))
    Touch(started);
  if (const char* sleepMs = Env("VELMAR_ECHO_SLEEP_MS"))
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(sleepMs)));
  const std::vector<std::string> args = Arguments(argc, argv);
  if (const char* argsFile = Env("VELMAR_ECHO_ARGS")) {
    if (FILE* file = std::fopen(argsFile, "wb")) {
      for (const std::string& arg : args)
        std::fprintf(file, "%s\n", arg.c_str());
      std::fclose(file);
    }
  }
  if (const char* textFile = Env("VELMAR_ECHO_TEXT")) {
    if (FILE* file = std::fopen(textFile, "rb")) {
      char chunk[4096];
      std::size_t got;
      while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        std::fwrite(chunk, 1, got, stdout);
      std::fclose(file);
    }
    std::fflush(stdout);
  } else if (!Env("VELMAR_ECHO_QUIET")) {
    for (const std::string& arg : args)
      std::printf("%s\n", arg.c_str());
    for (const char* name : {"ISC_USER", "ISC_PASSWORD"})
      if (!Utf8Env(name).empty())
        std::printf("%s=%s\n", name, Utf8Env(name).c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "echo tool: done\n");
  }
  if (const char* marker = Env("VELMAR_ECHO_MARKER"))
    Touch(marker);
  const char* exitCode = Env("VELMAR_ECHO_EXIT");
  return exitCode ? std::atoi(exitCode) : 0;
}
