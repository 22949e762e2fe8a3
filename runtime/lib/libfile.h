#pragma once
// Files opened by name from the current directory, loose or as members of
// the directory's library archive, on the home drive or its CD-ROM copy.

#include "runtime/file/file.h"
#include "runtime/success.h"

success libfileBegin();
void libfileEnd();
/// Opens the loose file, else the CD-ROM copy, else the archive member.
success libfileOpenRead(QuorFile** out, const char* name);
bool libfileExists(const char* name);
