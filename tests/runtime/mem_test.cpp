#include "runtime/mem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "runtime/profile/profile.h"
#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;

// The bracket with the given options text loaded into the process profile.
class Bracket {
 public:
  explicit Bracket(const std::string& options = "") {
    testing_support::WriteText(dir_ / "o.ini", "[Profile]\n" + options);
    EXPECT_EQ(ProfilePtr->Load((dir_ / "o.ini").c_str()), 1);
    EXPECT_EQ(memBegin(), 1);
  }
  ~Bracket() {
    memEnd();
    ProfilePtr->Release();
  }
  const TempDir& dir() const { return dir_; }

 private:
  TempDir dir_;
};

// 524288 + 12 bytes rounded up to whole pages, less one header.
constexpr uint32_t kDefaultPoolPayload = 528384 - 12;

void* Alloc(uint32_t size) {
  void* block = nullptr;
  EXPECT_EQ(_memAlloc(&block, size), 1);
  return block;
}

memPoolInfo Info(int index) {
  memPoolInfo info{};
  EXPECT_EQ(memGetPoolInfo(index, &info), 1);
  return info;
}

TEST(Mem, OutsideTheBracketBlocksAreDirect) {
  const uint32_t before = memDirectBytes();
  void* block = nullptr;
  ASSERT_EQ(_memAlloc(&block, 10), 1);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(memDirectBytes() - before, 24u);  // (10 + 15) rounded down to 4
  uint32_t header[3];
  std::memcpy(header, static_cast<char*>(block) - 12, sizeof header);
  EXPECT_EQ(header[0], 0xBEEFF00Du);
  EXPECT_EQ(header[1], 10u);
  EXPECT_EQ(header[2], 24u);
  void* temp = &block;
  EXPECT_EQ(_memAllocTemp(&temp, 10), 0);
  EXPECT_EQ(temp, &block);
  {
    // Made before the bracket, freed inside it.
    Bracket bracket;
    const uint32_t inside = memDirectBytes();
    memFree(block);
    EXPECT_EQ(inside - memDirectBytes(), 24u);
    memFree(block);  // twice: ignored
  }
  memFree(nullptr);
}

TEST(Mem, ZeroSizeAndImpossibleSizesLeaveOutUntouched) {
  void* sentinel = &sentinel;
  void* out = sentinel;
  EXPECT_EQ(_memAlloc(&out, 0xFFFFFFFFu), 0);
  EXPECT_EQ(out, sentinel);
  Bracket bracket;
  EXPECT_EQ(_memAlloc(&out, 0), 1);
  EXPECT_EQ(out, nullptr);
  out = sentinel;
  EXPECT_EQ(_memAllocTemp(&out, 0), 1);
  EXPECT_EQ(out, nullptr);
  for (uint32_t size : {0xFFFFFFFFu, 0xFFFFFFF4u, 0x80000000u, 0x40000000u}) {
    out = sentinel;
    EXPECT_EQ(_memAlloc(&out, size), 0) << size;
    EXPECT_EQ(_memAllocTemp(&out, size), 0) << size;
    EXPECT_EQ(out, sentinel);
  }
  EXPECT_EQ(memPoolCount(), 1);
  EXPECT_EQ(memCheckPools(), 1);
}

TEST(Mem, FirstPoolAndSplitThreshold) {
  struct Case {
    uint32_t request;
    uint32_t handedOut;  // payload taken from a free block of 100 bytes
  };
  // A remainder of more than 16 bytes is split off; otherwise the whole
  // block goes out. Payloads are 4 more than a multiple of 8.
  const Case cases[] = {{1, 4}, {4, 4}, {5, 12}, {68, 68}, {76, 76}, {77, 100}, {84, 100}, {100, 100}};
  for (const Case& c : cases) {
    Bracket bracket;
    ASSERT_EQ(memPoolCount(), 1);
    EXPECT_EQ(Info(0).size, 528384u);
    EXPECT_EQ(Info(0).freeBytes, kDefaultPoolPayload);
    void* hole = Alloc(100);
    void* guard = Alloc(4);
    memFree(hole);
    ASSERT_EQ(Info(0).freeBlocks, 2u);
    const uint32_t before = memBytesInUse();
    void* block = Alloc(c.request);
    EXPECT_EQ(block, hole) << c.request;
    EXPECT_EQ(memBytesInUse() - before, c.handedOut) << c.request;
    EXPECT_EQ(Info(0).freeBlocks, c.handedOut == 100 ? 1u : 2u) << c.request;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 8, 0u);
    EXPECT_EQ(memCheckPools(), 1);
    memFree(block);
    memFree(guard);
    EXPECT_EQ(memBytesInUse(), 0u);
    EXPECT_EQ(Info(0).freeBytes, kDefaultPoolPayload);
  }
}

TEST(Mem, FreedBlocksMergeWithBothNeighboursInEveryOrder) {
  int order[3] = {0, 1, 2};
  do {
    Bracket bracket;
    void* blocks[3] = {Alloc(100), Alloc(196), Alloc(300)};
    void* guard = Alloc(4);
    for (int i : order) {
      memFree(blocks[i]);
      ASSERT_EQ(memCheckPools(), 1);
    }
    // The three run together into one free block in front of the guard.
    EXPECT_EQ(Info(0).freeBlocks, 2u);
    EXPECT_EQ(Info(0).freeBytes, kDefaultPoolPayload - 4 - 12 - 12);
    const uint32_t before = memBytesInUse();
    EXPECT_EQ(Alloc(100 + 196 + 300 + 24), blocks[0]);
    EXPECT_EQ(memBytesInUse() - before, 620u);
    memFree(blocks[0]);
    memFree(guard);
    EXPECT_EQ(Info(0).freeBlocks, 1u);
    EXPECT_EQ(Info(0).freeBytes, kDefaultPoolPayload);
  } while (std::next_permutation(order, order + 3));
}

TEST(Mem, LargeRequestsGetADedicatedPoolReturnedAtOnce) {
  Bracket bracket;  // MaxBlockSize defaults to PoolSize / 4
  void* below = Alloc(131071);
  EXPECT_EQ(memPoolOf(below), 0);
  void* big = Alloc(131072);
  const int index = memPoolOf(big);
  ASSERT_GT(index, 0);
  EXPECT_TRUE(Info(index).dedicated);
  EXPECT_EQ(Info(index).size, 135168u);  // 131072 + 12 rounded up to pages
  EXPECT_EQ(memPoolCount(), 2);
  memFree(big);
  EXPECT_EQ(memPoolCount(), 1);
  memFree(below);
  EXPECT_EQ(memPoolCount(), 1);
}

TEST(Mem, EmptyPoolsBeyondNumEmptyBlocksGoBack) {
  struct Case {
    const char* options;
    int poolsLeft;
  };
  // One block fills each 4096-byte pool.
  const Case cases[] = {{"PoolSize=4084\nMaxBlockSize=99999\n", 3},
                        {"PoolSize=4084\nMaxBlockSize=99999\nNumEmptyBlocks=0\n", 0},
                        {"PoolSize=4084\nMaxBlockSize=99999\nNumEmptyBlocks=9\n", 4}};
  for (const Case& c : cases) {
    Bracket bracket(c.options);
    std::vector<void*> blocks;
    for (int i = 0; i < 4; ++i) blocks.push_back(Alloc(4000));
    EXPECT_EQ(memPoolCount(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(memPoolOf(blocks[i]), i);
    for (void* block : blocks) memFree(block);
    EXPECT_EQ(memPoolCount(), c.poolsLeft) << c.options;
    EXPECT_EQ(memCheckPools(), 1);
  }
}

TEST(Mem, AFullPoolTableFailsCleanly) {
  Bracket bracket("PoolSize=4084\nMaxBlockSize=99999\n");
  std::vector<void*> blocks;
  void* block = nullptr;
  while (blocks.size() < 300 && _memAlloc(&block, 4000)) blocks.push_back(block);
  EXPECT_EQ(blocks.size(), 256u);
  void* out = &block;
  EXPECT_EQ(_memAllocTemp(&out, 8), 0);
  EXPECT_EQ(out, &block);
  for (void* b : blocks) memFree(b);
  EXPECT_EQ(memPoolCount(), 3);
}

TEST(Mem, TempAndOrdinaryBlocksNeverShareAPool) {
  Bracket bracket;
  void* temp = nullptr;
  ASSERT_EQ(_memAllocTemp(&temp, 64), 1);
  const int tempPool = memPoolOf(temp);
  EXPECT_EQ(tempPool, 1);
  EXPECT_TRUE(Info(tempPool).temp);
  void* ordinary = Alloc(64);
  EXPECT_EQ(memPoolOf(ordinary), 0);
  void* temp2 = nullptr;
  ASSERT_EQ(_memAllocTemp(&temp2, 64), 1);
  EXPECT_EQ(memPoolOf(temp2), tempPool);
  memFreeTemp(temp);
  memFreeTemp(temp2);
  memFree(ordinary);
  EXPECT_EQ(memPoolCount(), 2);  // both empty pools stay for reuse
  EXPECT_EQ(memBytesInUse(), 0u);
}

TEST(Mem, PeakIsTheHighestTotalInUse) {
  TempDir dir;
  {
    testing_support::ScopedCurrentDirectory here(dir.path());
    Bracket bracket("ShowMemStats=1\n");
    void* a = Alloc(100);
    void* b = Alloc(204);
    memFree(a);
    void* c = Alloc(12);
    EXPECT_EQ(memPeakBytes(), 304u);
    EXPECT_EQ(memBytesInUse(), 216u);
    memFree(b);
    memFree(c);
  }
  std::ifstream stats((dir / "memstats.txt").c_str(), std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(stats)), std::istreambuf_iterator<char>());
  // A text file: Windows ends the line with CR LF.
  std::string line = text;
  line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
  EXPECT_EQ(line, "Max memory allocated: 304\n");
}

// An older statistics file in another letter case is the one replaced.
TEST(Mem, StatisticsReplaceTheFileInAnyLetterCase) {
  TempDir dir;
  testing_support::WriteText(dir / "MEMSTATS.TXT", "an older run, and a longer text\n");
  {
    testing_support::ScopedCurrentDirectory here(dir.path());
    Bracket bracket("ShowMemStats=1\n");
  }
  EXPECT_EQ(testing_support::ListNames(dir.path()), std::vector<std::string>{"MEMSTATS.TXT"});
  std::ifstream stats((dir / "MEMSTATS.TXT").c_str(), std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(stats)), std::istreambuf_iterator<char>());
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  EXPECT_EQ(text, "Max memory allocated: 0\n");
}

TEST(Mem, ForeignPointersAndDoubleFreesAreIgnored) {
  Bracket bracket;
  void* a = Alloc(100);
  void* b = Alloc(100);
  std::unique_ptr<char[]> heap(new char[64]);
  int local = 0;
  const uint32_t inUse = memBytesInUse();
  void* foreign[] = {heap.get(), &local, static_cast<char*>(a) + 4, static_cast<char*>(a) + 12,
                     static_cast<char*>(a) - 12, static_cast<char*>(a) + 104};
  for (void* p : foreign) {
    memFree(p);
    memFreeTemp(p);
  }
  EXPECT_EQ(memBytesInUse(), inUse);
  memFree(a);
  memFree(a);
  memFreeTemp(a);
  EXPECT_EQ(memCheckPools(), 1);
  EXPECT_EQ(memBytesInUse(), 100u);
  void* again = Alloc(100);
  EXPECT_EQ(again, a);
  memFree(again);
  memFree(b);
  EXPECT_EQ(memBytesInUse(), 0u);
}

TEST(Mem, BlocksLeftAtTheEndAreNotFreedAfterwards) {
  void* stale = nullptr;
  {
    Bracket bracket;
    stale = Alloc(100);
  }
  memFree(stale);  // its pool is gone: ignored, not read
  EXPECT_FALSE(memInsideBracket());
}

TEST(Mem, ConventionalAndAvailable) {
  Bracket bracket("minPhysMemWontUse=1\n");
  void* block = nullptr;
  EXPECT_EQ(memAllocConventional(&block, 40, 0, nullptr), 1);
  EXPECT_EQ(memPoolOf(block), 0);
  memFreeConventional(block);
  EXPECT_EQ(memBytesInUse(), 0u);
  uint32_t out = 1;
  EXPECT_EQ(memAvailable(3, &out), 0u);
  EXPECT_EQ(out, 0u);
  const uint32_t all = memAvailable(15, &out);
  EXPECT_EQ(out, all);
  EXPECT_EQ(memAvailable(2, nullptr), all);
  EXPECT_GT(all, 0u);
}

// Random allocations and frees against a model: blocks never overlap, keep
// their contents, and the totals agree.
TEST(Mem, RandomSequenceMatchesAModel) {
  Bracket bracket("PoolSize=65536\nNumEmptyBlocks=1\n");
  std::mt19937 random(12345);
  struct Live {
    uint32_t size;
    bool temp;
    uint8_t fill;
  };
  std::map<uintptr_t, Live> live;
  auto pick = [&](uint32_t n) { return static_cast<uint32_t>(random() % n); };
  for (int step = 0; step < 20000; ++step) {
    if (live.empty() || pick(100) < 55) {
      const uint32_t kind = pick(20);
      const uint32_t size = kind == 0 ? 16384 + pick(40000) : kind < 5 ? 1 + pick(4000) : 1 + pick(200);
      const bool temp = pick(4) == 0;
      void* block = nullptr;
      ASSERT_EQ(temp ? _memAllocTemp(&block, size) : _memAlloc(&block, size), 1);
      const uintptr_t at = reinterpret_cast<uintptr_t>(block);
      ASSERT_EQ(at % 8, 0u);
      auto next = live.lower_bound(at);
      if (next != live.end()) {
        ASSERT_LE(at + size, next->first);
      }
      if (next != live.begin()) {
        auto prev = std::prev(next);
        ASSERT_LE(prev->first + prev->second.size, at);
      }
      const uint8_t fill = static_cast<uint8_t>(step);
      std::memset(block, fill, size);
      live[at] = Live{size, temp, fill};
    } else {
      auto it = std::next(live.begin(), pick(static_cast<uint32_t>(live.size())));
      const uint8_t* bytes = reinterpret_cast<const uint8_t*>(it->first);
      for (uint32_t i = 0; i < it->second.size; ++i) ASSERT_EQ(bytes[i], it->second.fill);
      if (it->second.temp)
        memFreeTemp(reinterpret_cast<void*>(it->first));
      else
        memFree(reinterpret_cast<void*>(it->first));
      live.erase(it);
    }
    uint64_t requested = 0;
    for (const auto& entry : live) requested += entry.second.size;
    ASSERT_GE(memBytesInUse(), requested);
    ASSERT_LE(memBytesInUse(), requested + 8 * live.size() + 16 * live.size());
    ASSERT_EQ(memCheckPools(), 1) << "step " << step;
  }
  for (const auto& entry : live) memFree(reinterpret_cast<void*>(entry.first));
  EXPECT_EQ(memBytesInUse(), 0u);
  EXPECT_LE(memPoolCount(), 2);
}

}  // namespace
