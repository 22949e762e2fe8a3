#include "runtime/session.h"

#include "runtime/file/file.h"
#include "runtime/frame.h"
#include "runtime/mem.h"
#include "runtime/profile/profile.h"

RuntimeSession::RuntimeSession() {
  frameRecordStartDirectory();
  errors_ = errBegin() == 1;
  if (!errors_) return;
  memory_ = memBegin() != 0;
  if (memory_) files_ = fileBegin() != 0;
}

RuntimeSession::~RuntimeSession() {
  if (files_) fileEnd();
  if (memory_) {
    ProfilePtr->Release();
    memEnd();
  }
  if (errors_) errEnd();
}
