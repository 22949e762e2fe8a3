#pragma once
// A whole modbatch run: plan, tools, conversions, build records and summary.

#include <map>
#include <string>

#include "modbatch/build_record.h"
#include "modbatch/command_line.h"
#include "modbatch/plan.h"

namespace modbatch {

/// Converts what the options name; the exit status (0 all converted or up
/// to date, 1 some input failed, 2 a folder or a tool is missing).
int RunBatch(const BatchOptions& options);

/// The tools the options name or the ones found.
Tools FindTools(const BatchOptions& options);

/// What inputs failed to convert from, so that a watch tries them again only
/// once they change: by input as shown.
using FailedBuilds = std::map<std::string, BuildEntry>;

/// One build of the folders; the exit status. With `failed` (a watch) an
/// input that failed is tried again only when its inputs, switches or tool
/// changed; `rebuildLines` prints one line per rebuilt input instead of
/// the progress and the summary.
int BuildBatch(const BatchOptions& options, const Tools& tools, FailedBuilds* failed = nullptr,
               bool rebuildLines = false);

/// Prints what the plan makes of each path to explain.
int ExplainBatch(const BatchOptions& options, const Tools& tools);

}  // namespace modbatch
