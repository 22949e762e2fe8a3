#pragma once
// The result type of the runtime library.

/// Result of every runtime-library call that can fail: 1 success, 0 failure.
typedef int success;
