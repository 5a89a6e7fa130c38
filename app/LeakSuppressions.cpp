// Leaks of the system's font and X libraries are theirs, not ours: fontconfig keeps its caches
// until the process ends. Without this a sanitized build ends every run with a leak report and
// exit code 1. Harmless in builds without the sanitizer, which never call it.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libXft.so\n"
         "leak:libX11.so\n";
}
