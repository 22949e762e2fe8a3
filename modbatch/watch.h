#pragma once
// modbatch --watch: a first build, then a rebuild of what each change
// touched, until the user interrupts it.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "modbatch/command_line.h"
#include "modbatch/plan.h"
#include "platform/watch.h"

namespace modbatch {

/// Builds, then waits on `watches` and calls `build` once the changes
/// they tell of have settled (no change for `settleMs`), until `stop`
/// answers true. Changes to the build records alone start no build.
void WatchLoop(std::vector<std::unique_ptr<platform::FolderWatch>>& watches,
               const std::function<void()>& build, const std::function<bool()>& stop,
               int settleMs = 100);

/// The whole of --watch on the options' folders; the exit status.
int WatchBatch(const BatchOptions& options, const Tools& tools);

}  // namespace modbatch
