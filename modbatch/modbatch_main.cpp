// modbatch: converts a whole mod folder with pixmill and trackconv, in
// parallel, converting only what changed since the last run.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "modbatch/batch.h"
#include "modbatch/command_line.h"
#include "platform/interrupt.h"
#include "rt_version.h"

int main(int argc, char** argv) {
  platform::HandleInterrupts(platform::InterruptAnswer::kFinishChildren);
  std::vector<std::string> arguments;
  for (int a = 1; a < argc; ++a) arguments.push_back(argv[a]);
  modbatch::BatchOptions options;
  std::string error;
  switch (modbatch::ParseCommandLine(arguments, options, error)) {
    case cli::Request::kHelp:
      std::fputs(modbatch::kHelpText, stdout);
      return cli::kAllDone;
    case cli::Request::kVersion:
      std::printf("modbatch %s\n", RT_VERSION);
      return cli::kAllDone;
    case cli::Request::kUsageError:
      cli::PrintUsageError("modbatch", error,
                           "usage: modbatch [options] FOLDER... [-- pixmill switches]; see modbatch --help");
      return cli::kUsageError;
    case cli::Request::kRun:
      break;
  }
  return modbatch::RunBatch(options);
}
