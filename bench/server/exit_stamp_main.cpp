// The tool of the runner benchmark: writes the steady clock's time (nanoseconds) into the
// file named by its argument just before it exits, so the benchmark can tell how long the
// runner took to notice the end.
#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2)
    return 2;
  FILE* file = std::fopen(argv[1], "wb");
  if (!file)
    return 1;
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  std::fprintf(
      file, "%lld\n",
      static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
  std::fclose(file);
  return 0;
}
