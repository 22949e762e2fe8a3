#pragma once
// A whole modbatch run: plan, tools, conversions, build records and summary.

#include "modbatch/command_line.h"
#include "modbatch/plan.h"

namespace modbatch {

/// Converts what the options name; the exit status (0 all converted or up
/// to date, 1 some input failed, 2 a folder or a tool is missing).
int RunBatch(const BatchOptions& options);

/// The tools the options name or the ones found.
Tools FindTools(const BatchOptions& options);

/// One build of the folders; `watching` prints one line per rebuilt input
/// instead of the progress and the summary. The exit status.
int BuildBatch(const BatchOptions& options, const Tools& tools, bool watching);

/// Prints what the plan makes of each path to explain.
int ExplainBatch(const BatchOptions& options, const Tools& tools);

}  // namespace modbatch
