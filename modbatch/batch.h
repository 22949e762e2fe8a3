#pragma once
// A whole modbatch run: plan, tools, conversions, manifests and summary.

#include "modbatch/command_line.h"

namespace modbatch {

/// Converts what the options name; the exit status (0 all converted or up
/// to date, 1 some input failed, 2 a folder or a tool is missing).
int RunBatch(const BatchOptions& options);

}  // namespace modbatch
