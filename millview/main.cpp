// The process entry of millview.

#include <string>
#include <vector>

#include "millview/run.h"
#include "platform/interrupt.h"

int main(int argc, char** argv) {
  platform::HandleInterrupts(platform::InterruptAnswer::kEndAtOnce);
  std::vector<std::string> arguments;
  for (int a = 1; a < argc; ++a) arguments.push_back(argv[a]);
  return millview::Main(arguments);
}
