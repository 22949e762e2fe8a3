// A child program for the process tests: prints its working directory and
// each argument on standard output and a fixed text on standard error, then
// exits with the status given as its first argument. "<status> --flood N"
// instead writes N long lines to both streams, alternating between them;
// "<status> --wait" runs until it is ended or a file "stop" shows up in its
// working directory.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

int main(int argc, char** argv) {
  const int status = argc > 1 ? std::atoi(argv[1]) : 0;
  if (argc > 3 && std::strcmp(argv[2], "--flood") == 0) {
    const std::string line(99, 'x');
    for (int i = std::atoi(argv[3]); i > 0; --i) {
      std::fprintf(stdout, "%s\n", line.c_str());
      std::fprintf(stderr, "%s\n", line.c_str());
    }
    return status;
  }
  if (argc > 2 && std::strcmp(argv[2], "--wait") == 0) {
    while (!std::filesystem::exists("stop")) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return status;
  }
  std::printf("cwd=%s\n", std::filesystem::current_path().string().c_str());
  for (int i = 1; i < argc; ++i) std::printf("[%s]\n", argv[i]);
  std::fprintf(stderr, "probe stderr");
  return status;
}
