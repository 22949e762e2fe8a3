// The process entry of pixmill: everything happens inside the frame.

#include "platform/interrupt.h"
#include "runtime/frame.h"

int main(int argc, char** argv) {
  platform::HandleInterrupts(platform::InterruptAnswer::kEndAtOnce);
  return frameMain(argc, argv);
}
