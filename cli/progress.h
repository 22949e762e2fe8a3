#pragma once
// The one line on standard error that shows how far a run is, redrawn in
// place; messages are written above it after Clear().

#include <chrono>
#include <string>

namespace cli {

/// A progress line; it draws nothing unless it was made `shown`. Not
/// thread-safe: callers that report from several threads hold one lock
/// around it and their own messages.
class ProgressLine {
 public:
  explicit ProgressLine(bool shown);
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  /// Whether a run shows a progress line: not quiet, and standard error is
  /// a terminal (a file or a pipe never receives one).
  static bool Wanted(bool quiet);

  bool shown() const { return shown_; }
  /// Seconds since the line was made.
  double Elapsed() const;
  /// `done` per second since the line was made (0 at the start).
  double Rate(std::size_t done) const;

  /// Replaces the line with `text`, blanking what a longer line left.
  void Show(const std::string& text);
  /// Blanks the line and puts the cursor at its start.
  void Clear();
  /// Ends a shown line with a line break, so that it stays on the screen.
  void Keep();

 private:
  const bool shown_;
  int width_ = 0;
  const std::chrono::steady_clock::time_point start_;
};

}  // namespace cli
