#include "modbatch/watch.h"

#include <chrono>
#include <cstdio>

#include "modbatch/batch.h"
#include "modbatch/build_record.h"
#include "platform/interrupt.h"

namespace modbatch {

namespace {

// Whether a change is one modbatch made itself and rebuilds nothing.
bool OwnChange(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return path.compare(slash == std::string::npos ? 0 : slash + 1, std::string::npos,
                      BuildRecord::kFileName) == 0;
}

}  // namespace

void WatchLoop(std::vector<std::unique_ptr<platform::FolderWatch>>& watches,
               const std::function<void()>& build, const std::function<bool()>& stop,
               int settleMs) {
  build();
  const int slice = watches.empty() ? 100 : std::max(10, 100 / static_cast<int>(watches.size()));
  const auto settle = std::chrono::milliseconds(settleMs);
  bool pending = false;
  auto last = std::chrono::steady_clock::now();
  while (!stop()) {
    // While changes settle, wait no longer than the rest of the quiet time.
    int wait = slice;
    if (pending) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          last + settle - std::chrono::steady_clock::now());
      wait = std::max(1, std::min(slice, static_cast<int>(left.count())));
    }
    bool changed = false;
    for (auto& watch : watches) {
      std::vector<std::string> paths;
      if (!watch->Wait(wait, paths)) continue;
      for (const std::string& path : paths) changed = changed || !OwnChange(path);
    }
    const auto now = std::chrono::steady_clock::now();
    if (changed) {
      pending = true;
      last = now;
    } else if (pending && now - last >= settle) {
      pending = false;
      // What changed is found again by the plan: the build records tell
      // what is out of date, and a changed rules file plans anew.
      build();
    }
  }
}

int WatchBatch(const BatchOptions& options, const Tools& tools) {
  std::vector<std::unique_ptr<platform::FolderWatch>> watches;
  for (const std::string& folder : options.folders) {
    std::unique_ptr<platform::FolderWatch> watch = platform::WatchFolder(folder);
    if (watch == nullptr) {
      std::fprintf(stderr, "modbatch: cannot watch %s\n", folder.c_str());
      return 2;
    }
    watches.push_back(std::move(watch));
  }
  int status = 0;
  bool first = true;
  FailedBuilds failed;
  WatchLoop(
      watches,
      [&] {
        // The first build reports as a plain run; the later ones a line per rebuild.
        status = BuildBatch(options, tools, &failed, !first);
        if (first && !options.quiet) std::printf("watching for changes; Ctrl-C ends\n");
        std::fflush(stdout);
        first = false;
      },
      [] { return platform::InterruptRequested(); });
  // Only an interruption ends a watch; between builds the records are
  // whole, and it ends as interrupted programs end.
  (void)status;
  platform::EndInterrupted();
}

}  // namespace modbatch
