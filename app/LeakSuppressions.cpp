// Leaks of the system's font, X and GTK libraries (the file dialogs) are theirs, not ours:
// they keep their caches until the process ends. Without this a sanitized build ends every run with
// a leak report and exit code 1. Harmless in builds without the sanitizer, which never call it.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libXft.so\n"
         "leak:libX11.so\n"
         "leak:libglib-2.0.so\n"
         "leak:libgobject-2.0.so\n"
         "leak:libgtk-3.so\n"
         "leak:libgdk-3.so\n"
         "leak:libpango-1.0.so\n"
         "leak:libpangoft2-1.0.so\n"
         "leak:libcairo.so\n"
         "leak:libgio-2.0.so\n";
}
