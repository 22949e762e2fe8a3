#include "cli/progress.h"

#include <cstdio>

#include "platform/terminal.h"

namespace cli {

ProgressLine::ProgressLine(bool shown) : shown_(shown), start_(std::chrono::steady_clock::now()) {}

bool ProgressLine::Wanted(bool quiet) { return !quiet && platform::StandardErrorIsTerminal(); }

double ProgressLine::Elapsed() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

double ProgressLine::Rate(std::size_t done) const {
  const double seconds = Elapsed();
  return seconds > 0 ? static_cast<double>(done) / seconds : 0.0;
}

void ProgressLine::Show(const std::string& text) {
  if (!shown_) return;
  const int width = static_cast<int>(text.size());
  std::fprintf(stderr, "\r%s%*s", text.c_str(), width_ > width ? width_ - width : 0, "");
  if (width > width_) width_ = width;
  std::fflush(stderr);
}

void ProgressLine::Clear() {
  if (!shown_ || width_ == 0) return;
  std::fprintf(stderr, "\r%*s\r", width_, "");
  width_ = 0;
  std::fflush(stderr);
}

void ProgressLine::Keep() {
  if (!shown_ || width_ == 0) return;
  std::fputs("\n", stderr);
  width_ = 0;
  std::fflush(stderr);
}

}  // namespace cli
