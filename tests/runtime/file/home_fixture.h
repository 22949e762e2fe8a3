#pragma once
// A fresh temporary directory as the runtime's home and current directory.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "runtime/file/directory.h"
#include "runtime/file/file.h"
#include "runtime/lib/libfile.h"
#include "support/temp_dir.h"

class HomeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    startedFileLayer_ = !fileInitialized();
    if (startedFileLayer_) {
      ASSERT_TRUE(fileBegin());
    }
    fileCdromOff();
    ASSERT_TRUE(fileSetHomeDir(home_.path().string().c_str()));
  }
  void TearDown() override {
    libfileEnd();
    fileFindDone();
    fileCdromOff();
    if (startedFileLayer_) fileEnd();
  }
  std::string Path(const std::string& relative) const { return home_ / relative; }
  void MakeDirs(const std::string& relative) const { std::filesystem::create_directories(home_ / relative); }
  /// The current directory as the runtime reads it.
  static std::string CurrentDir() {
    char buffer[kFileDirSize];
    return fileGetDir(buffer) ? buffer : "";
  }

  bool startedFileLayer_ = false;
  testing_support::TempDir home_;
  testing_support::ScopedCurrentDirectory back_{std::filesystem::current_path()};
};
