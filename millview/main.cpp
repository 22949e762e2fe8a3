// The process entry of millview. The runtime library under pixmill's
// readers needs its frame (memory manager, file layer, error system), so
// millview runs inside it as the frame's application.

#include <string>
#include <vector>

#include "millview/run.h"
#include "platform/interrupt.h"
#include "runtime/frame.h"

int pixmillMain(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int a = 1; a < argc; ++a) arguments.push_back(argv[a]);
  return millview::Main(arguments);
}

int main(int argc, char** argv) {
  platform::HandleInterrupts(platform::InterruptAnswer::kEndAtOnce);
  return frameMain(argc, argv);
}
