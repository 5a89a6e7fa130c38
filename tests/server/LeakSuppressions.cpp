// The progress windows draw through fontconfig, Xft and Xlib, which keep their caches until
// the process ends; the sanitizer must not count those as leaks of the tests.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libXft.so\n"
         "leak:libX11.so\n";
}
