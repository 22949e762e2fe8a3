// Every platform call that allocates answers when memory runs out instead of
// letting std::bad_alloc out of the layer: each call runs again and again
// with its first, second, third ... allocation failing, until it runs
// through without one. It must never throw, and whatever it answers must be
// true (a call may still succeed where a failing allocation only cost it a
// shortcut, such as the look-up of in-memory files). The global operator new
// is replaced to fail on request, which is why these tests are a program of
// their own.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "platform/atomic_replace.h"
#include "platform/directory_enum.h"
#include "platform/directory_services.h"
#include "platform/file_attributes.h"
#include "platform/memory_files.h"
#include "platform/native_file.h"
#include "platform/path.h"
#include "platform/stream.h"
#include "support/temp_dir.h"

namespace {

int gFailAt = 0;  // the allocation that fails, counted from 1; 0 for none
int gCount = 0;
bool gFailed = false;

void* Allocate(std::size_t size) {
  if (gFailAt > 0 && ++gCount == gFailAt) {
    gFailed = true;
    return nullptr;
  }
  return std::malloc(size ? size : 1);
}

void* AllocateOrThrow(std::size_t size) {
  void* block = Allocate(size);
  if (!block) throw std::bad_alloc();
  return block;
}

}  // namespace

void* operator new(std::size_t size) { return AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }

namespace {

namespace fs = std::filesystem;
using testing_support::TempDir;
using testing_support::WriteText;

struct Call {
  const char* name;
  std::function<void()> prepare;  // runs with every allocation working
  std::function<bool()> run;      // true when the call succeeded
};

class AllocationFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(dir_.path() / "sub");
    WriteText(dir_ / "sub/file.txt", "text");
    WriteText(dir_ / "out.bin", "old");
    platform::MountMemoryDirectory(memory_root_);
  }
  void TearDown() override { platform::UnmountMemoryDirectories(); }

  // Runs each call with each of its allocations failing in turn.
  void Check(const std::vector<Call>& calls) {
    for (const Call& call : calls) {
      for (int failing = 1;; ++failing) {
        call.prepare();
        gCount = 0;
        gFailed = false;
        gFailAt = failing;
        bool succeeded = false;
        bool threw = false;
        try {
          succeeded = call.run();
        } catch (...) {
          threw = true;
        }
        gFailAt = 0;
        EXPECT_FALSE(threw) << call.name << " threw with allocation " << failing << " failing";
        if (!gFailed) {
          EXPECT_TRUE(succeeded) << call.name;
          break;
        }
      }
    }
  }

  TempDir dir_;
  testing_support::ScopedCurrentDirectory in_dir_{dir_.path()};
  // Every name the calls take is made before allocations start failing.
  const std::string start_ = dir_.path().string();
  const std::string sub_ = dir_ / "sub";
  const std::string roundabout_ = "sub/../sub/file.txt";
  const std::string file_ = dir_ / "sub/file.txt";
  const std::string file_other_case_ = dir_ / "SUB/FILE.TXT";
  const std::string pattern_ = dir_ / "sub/*";
  const std::string made_ = dir_ / "made";
  const std::string renamed_ = dir_ / "renamed.txt";
  const std::string out_ = dir_ / "out.bin";
  const std::string temporary_ = dir_ / "from.tmp";
  const std::string memory_root_ = dir_ / "memory";
  const std::string memory_file_ = dir_ / "memory/in.bin";
  char buffer_[4096 + 1] = {};
};

TEST_F(AllocationFaults, PathsAndDirectoriesAnswerFailure) {
  auto nothing = [] {};
  Check({
      {"FullPathName", nothing,
       [&] {
         std::string full;
         std::size_t last = 0;
         return platform::FullPathName(roundabout_, full, last) && full == file_;
       }},
      {"CurrentDirectory", nothing, [&] { return !platform::CurrentDirectory().empty(); }},
      {"MakeFullPath", nothing, [&] { return platform::MakeFullPath("sub", buffer_, sizeof buffer_); }},
      {"GetDirectory", nothing, [&] { return platform::GetDirectory(buffer_, sizeof buffer_); }},
      {"SetDirectory", nothing, [&] { return platform::SetDirectory(start_.c_str()); }},
      {"IsDirectory", nothing, [&] { return platform::IsDirectory(sub_.c_str()); }},
      {"SameDirectory", nothing, [&] { return platform::SameDirectory(sub_.c_str(), sub_.c_str()); }},
      {"MakeDirectory", [&] { fs::remove(made_); }, [&] { return platform::MakeDirectory(made_.c_str()); }},
      {"RemoveDirectory", [&] { fs::create_directory(made_); },
       [&] { return platform::RemoveDirectory(made_.c_str()); }},
      {"RenamePath", [&] { fs::remove(renamed_), WriteText(temporary_, "x"); },
       [&] { return platform::RenamePath(temporary_.c_str(), renamed_.c_str()); }},
      {"DeleteFile", [&] { WriteText(temporary_, "x"); },
       [&] { return platform::DeleteFile(temporary_.c_str()); }},
      {"FindFirst and FindNext", nothing,
       [&] {
         platform::FindEntry entry;
         platform::FindHandle* search = platform::FindFirst(pattern_.c_str(), &entry);
         int count = search ? 1 : 0;
         while (search && platform::FindNext(search, &entry)) ++count;
         platform::FindClose(search);
         return count == 3;  // ".", ".." and file.txt
       }},
      {"FindFiles", nothing, [&] { return platform::FindFiles(pattern_).size() == 3; }},
  });
}

TEST_F(AllocationFaults, FilesAndOutputsAnswerFailure) {
  auto nothing = [] {};
  const std::vector<uint8_t> bytes(40, 7);
  Check({
      {"GetFileAttributes", nothing,
       [&] {
         uint32_t attributes = 0;
         return platform::GetFileAttributes(file_other_case_, attributes) && !(attributes & platform::kAttributeDirectory);
       }},
      {"GetFileAttributes of text", nothing,
       [&] {
         uint32_t attributes = 0;
         return platform::GetFileAttributes("SUB/FILE.TXT", attributes) && !(attributes & platform::kAttributeDirectory);
       }},
      {"OpenFile", nothing,
       [&] {
         platform::NativeFile file =
             platform::OpenFile(file_other_case_, platform::kGenericRead, 0, platform::kOpenExisting);
         platform::CloseFile(file);
         return file.valid();
       }},
      {"OpenStream", nothing,
       [&] {
         std::FILE* stream = platform::OpenStream(file_other_case_.c_str(), "rb");
         if (stream) std::fclose(stream);
         return stream != nullptr;
       }},
      {"CanTakeOutput", nothing, [&] { return platform::CanTakeOutput(out_.c_str()); }},
      {"CreateTemporaryFileBeside", nothing,
       [&] {
         if (!platform::CreateTemporaryFileBeside(out_.c_str(), buffer_, sizeof buffer_)) return false;
         return platform::RemoveFile(buffer_);
       }},
      {"CreateTemporaryFileBeside of a string", nothing,
       [&] {
         const std::string temporary = platform::CreateTemporaryFileBeside(out_);
         return !temporary.empty() && platform::RemoveFile(temporary);
       }},
      {"ReplaceFileWith", [&] { WriteText(temporary_, "new"); },
       [&] { return platform::ReplaceFileWith(temporary_.c_str(), out_.c_str()); }},
      {"PutMemoryFile", nothing,
       [&] { return platform::PutMemoryFile(memory_file_, bytes.data(), bytes.size()); }},
      {"GetMemoryFile", [&] { platform::PutMemoryFile(memory_file_, bytes.data(), bytes.size()); },
       [&] {
         std::vector<uint8_t> read;
         return platform::GetMemoryFile(memory_file_, read) && read == bytes;
       }},
  });
  EXPECT_EQ(testing_support::ListNames(dir_.path()), (std::vector<std::string>{"out.bin", "sub"}))
      << "no temporary file left behind";
}

}  // namespace
