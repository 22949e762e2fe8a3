#pragma once
// The conversion run of trackconv, apart from the process entry.

/// Converts the track of the current directory into <Name>.xq beside it.
/// Throws the error classes of the foundation on any failure; an existing
/// <Name>.xq is then left as it was.
void ConvertCurrentDirectory();
