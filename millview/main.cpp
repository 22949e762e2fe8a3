// The process entry of millview.

#include <string>
#include <vector>

#include "millview/run.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int a = 1; a < argc; ++a) arguments.push_back(argv[a]);
  return millview::Main(arguments);
}
