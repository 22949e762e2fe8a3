#pragma once
// The conversion run: picture to mip chain to MIP, SRB and PBF files.

#include "pixmill/options.h"
#include "runtime/file/file.h"

/// Runs the conversion of the open input (which the run closes); prints its
/// messages on standard output and answers 0 on success, 1 otherwise.
int convertRun(const ConvertOptions& options, QuorFile* input, InputKind kind);
