// A child program for the process tests: prints its working directory and
// each argument on standard output and a fixed text on standard error, then
// exits with the status given as its first argument. With "--both" as the
// second argument every argument also goes to standard error.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

int main(int argc, char** argv) {
  const bool both = argc > 2 && std::strcmp(argv[2], "--both") == 0;
  std::printf("cwd=%s\n", std::filesystem::current_path().string().c_str());
  for (int i = 1; i < argc; ++i) {
    std::printf("[%s]\n", argv[i]);
    if (both) std::fprintf(stderr, "[%s]\n", argv[i]);
  }
  std::fprintf(stderr, "probe stderr");
  return argc > 1 ? std::atoi(argv[1]) : 0;
}
