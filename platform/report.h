#pragma once
// Showing reports to the user: debugger output and message boxes.

namespace platform {

/// Sends `text` to an attached debugger. On POSIX it is dropped unless the
/// environment variable PIXMILL_DEBUG_OUTPUT is set; then it goes to
/// standard error.
void DebugOutput(const char* text);

/// Shows `text` under `caption` with a single OK button and answers 1 (OK).
/// Where no window can be shown, or when the environment variable
/// PIXMILL_NO_MESSAGE_BOX is set, or standard error is not a console, it
/// writes "<caption>: <text>" and a line feed to standard error instead, so
/// that nothing ever waits for a click in unattended runs.
int ShowMessageBox(const char* text, const char* caption);

}  // namespace platform
