#pragma once
// Whether a standard stream is an interactive terminal.

namespace platform {

/// True when standard error goes to a terminal (not a file or a pipe).
bool StandardErrorIsTerminal();

}  // namespace platform
