// 16-colour maps for mip levels: colour groups, histogram selection, median
// cut, and the weighted nearest colour for each pixel.

#include "pixmill/quantize.h"

#include <cstdio>
#include <cstring>

#include "pixmill/mip_data.h"
#include "pixmill/weighted_nearest.h"
#include "runtime/mem.h"

namespace {

constexpr int kMapSize = 16;
constexpr int kMedianCutDepth = 4;

uint32_t alphaOf(uint32_t c) { return c >> 24; }
uint32_t redOf(uint32_t c) { return (c >> 16) & 0xFF; }
uint32_t greenOf(uint32_t c) { return (c >> 8) & 0xFF; }
uint32_t blueOf(uint32_t c) { return c & 0xFF; }
uint32_t makeColour(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return a << 24 | r << 16 | g << 8 | b;
}

/// The grouping mask as 0xAARRGGBB.
uint32_t chooseMask(bool transparent, bool translucent, int32_t maskBits) {
  if (maskBits >= 0) {
    const uint32_t byte = maskBits > 7 ? 0 : ((0xFFu << maskBits) & 0xFF);
    return makeColour(byte, byte, byte, byte);
  }
  if (transparent) return makeColour(0x80, 0xF8, 0xF8, 0xF8);
  if (translucent) return makeColour(0xF0, 0xF0, 0xF0, 0xF0);
  return makeColour(0x00, 0xF8, 0xFC, 0xF8);
}

BitmapFormat outputFormat(bool transparent, bool translucent) {
  if (transparent) return kFormat4BitTransparent;
  if (translucent) return kFormat4BitTranslucent;
  return kFormat4BitOpaque;
}

void* allocate(size_t bytes) {
  void* block = nullptr;
  if (bytes > 0xFFFFFFF0u || !_memAlloc(&block, static_cast<uint32_t>(bytes))) return nullptr;
  return block;
}

/// Colour groups in first-occurrence order. A table of group numbers finds
/// the group of a masked colour: indexed by the masked colour itself when its
/// kept bits are few, else an open-addressing hash table. A group's masked
/// colour is unique, so either finds the same group a scan from the first
/// would.
class Histogram {
 public:
  Histogram() = default;
  Histogram(const Histogram&) = delete;
  Histogram& operator=(const Histogram&) = delete;
  ~Histogram() {
    memFree(colours_);
    memFree(counts_);
    memFree(sumRows_);
    memFree(sums_);
    memFree(table_);
  }

  bool reserve(int32_t maxEntries, uint32_t mask) {
    mask_ = mask;
    // A mask that keeps every bit groups equal colours only: each group's
    // mean is its colour, and no sums are needed.
    exact_ = mask == 0xFFFFFFFFu;
    const size_t entries = static_cast<size_t>(maxEntries);
    // The hash table stays at most half full.
    uint32_t hashSize = 2;
    while (hashSize < static_cast<uint32_t>(maxEntries) * 2u) hashSize *= 2;
    const int keptBits = directIndexBits(mask);
    direct_ = keptBits >= 0 && (uint64_t{1} << keptBits) <= uint64_t{hashSize} * 2;
    tableSize_ = direct_ ? uint32_t{1} << keptBits : hashSize;
    // Room for two 4-byte values per possible group as well (spareMemory).
    const size_t tableEntries = tableSize_ > 2 * entries ? tableSize_ : 2 * entries;
    colours_ = static_cast<uint32_t*>(allocate(sizeof(uint32_t) * entries));
    counts_ = static_cast<int32_t*>(allocate(sizeof(int32_t) * entries));
    if (!exact_) {
      // Only groups of two or more pixels get sums, and there are at most
      // half as many of those as pixels.
      sumRows_ = static_cast<int32_t*>(allocate(sizeof(int32_t) * entries));
      sums_ = static_cast<uint64_t*>(allocate(sizeof(uint64_t) * 4 * (entries / 2 + 1)));
    }
    table_ = static_cast<int32_t*>(allocate(sizeof(int32_t) * tableEntries));
    if (colours_ == nullptr || counts_ == nullptr ||
        (!exact_ && (sumRows_ == nullptr || sums_ == nullptr)) || table_ == nullptr) {
      return false;
    }
    std::memset(table_, 0, sizeof(int32_t) * tableSize_);
    return true;
  }

  /// Adds `count` pixels in order.
  void addRow(const uint32_t* row, int32_t count) {
    // Kept in locals: the compiler cannot tell that stores into the tables
    // leave them as they are.
    const uint32_t mask = mask_;
    const uint32_t slotMask = tableSize_ - 1;
    const bool direct = direct_;
    const bool exact = exact_;
    int32_t* const table = table_;
    uint32_t* const colours = colours_;
    int32_t* const counts = counts_;
    const int shift0 = fieldShifts_[0], shift1 = fieldShifts_[1];
    const int shift2 = fieldShifts_[2], shift3 = fieldShifts_[3];
    const uint32_t field0 = fieldMasks_[0], field1 = fieldMasks_[1];
    const uint32_t field2 = fieldMasks_[2], field3 = fieldMasks_[3];
    int32_t groups = count_;
    for (int32_t i = 0; i < count; ++i) {
      const uint32_t colour = row[i];
      const uint32_t key = colour & mask;
      int32_t* at;
      if (direct) {
        // The kept bits of the masked colour, packed: blue lowest.
        at = table + (((key >> shift0) & field0) | ((key >> shift1) & field1) |
                      ((key >> shift2) & field2) | ((key >> shift3) & field3));
      } else {
        uint32_t slot = mix(key) & slotMask;
        while (table[slot] != 0 && (colours[table[slot] - 1] & mask) != key)
          slot = (slot + 1) & slotMask;
        at = table + slot;
      }
      if (*at != 0) {
        const int32_t entry = *at - 1;
        if (!exact) addToSums(entry, colour);
        counts[entry] += 1;
        continue;
      }
      *at = groups + 1;
      colours[groups] = colour;
      counts[groups] = 1;
      ++groups;
    }
    count_ = groups;
  }

  /// Each group's colour becomes its mean, each component rounded half up
  /// (a group of one keeps its colour). Ends the grouping: the table no
  /// longer matches the colours.
  void resetToMeans() {
    if (exact_) return;
    for (int32_t i = 0; i < count_; ++i) {
      if (counts_[i] == 1) continue;
      const uint64_t* sums = sums_ + 4 * static_cast<size_t>(sumRows_[i]);
      const double n = counts_[i];
      colours_[i] = makeColour(static_cast<uint32_t>(static_cast<double>(sums[3]) / n + 0.5),
                               static_cast<uint32_t>(static_cast<double>(sums[0]) / n + 0.5),
                               static_cast<uint32_t>(static_cast<double>(sums[1]) / n + 0.5),
                               static_cast<uint32_t>(static_cast<double>(sums[2]) / n + 0.5));
    }
  }

  void print() const {
    std::printf("Histogram list:\n");
    for (int32_t i = 0; i < count_; ++i) {
      const uint32_t c = colours_[i];
      std::printf("  %d: %d %d %d  count: %d\n", static_cast<int>(i),
                  static_cast<int>(redOf(c)), static_cast<int>(greenOf(c)),
                  static_cast<int>(blueOf(c)), static_cast<int>(counts_[i]));
    }
  }

  /// The groups' colours and counts; the caller may reorder them once the
  /// grouping is over.
  uint32_t* colours() { return colours_; }
  int32_t* counts() { return counts_; }
  int32_t count() const { return count_; }

  /// The table's memory, free for other use once the grouping is over:
  /// room for two 4-byte values per group.
  void* spareMemory() { return table_; }

 private:
  /// Spreads every input bit over the low bits that pick the slot.
  static uint32_t mix(uint32_t key) {
    key ^= key >> 16;
    key *= 0x85EBCA6Bu;
    key ^= key >> 13;
    key *= 0xC2B2AE35u;
    key ^= key >> 16;
    return key;
  }

  /// Bits kept by a mask whose every byte keeps only top bits, at most 16;
  /// -1 for any other mask. Prepares the packing of the kept bits.
  int directIndexBits(uint32_t mask) {
    int kept = 0;
    int shift = 0;
    for (int byte = 0; byte < 4; ++byte) {
      const uint32_t m = (mask >> (8 * byte)) & 0xFF;
      int dropped = 0;
      while (dropped < 8 && ((0xFFu << dropped) & 0xFF) != m) ++dropped;
      if (((0xFFu << dropped) & 0xFF) != m) return -1;
      // The byte's kept bits move down over the bits dropped so far.
      shift += dropped;
      // A byte that keeps nothing contributes nothing; its shift could reach
      // the width of the key.
      fieldShifts_[byte] = dropped == 8 ? 0 : shift;
      fieldMasks_[byte] = ((uint32_t{1} << (8 - dropped)) - 1) << kept;
      kept += 8 - dropped;
    }
    return kept <= 16 ? kept : -1;
  }

  /// Adds a further pixel to the red, green, blue and alpha sums of a group;
  /// the group's second pixel starts its row of sums with the first.
  void addToSums(int32_t entry, uint32_t colour) {
    if (counts_[entry] == 1) {
      sumRows_[entry] = rowCount_++;
      uint64_t* sums = sums_ + 4 * static_cast<size_t>(sumRows_[entry]);
      const uint32_t first = colours_[entry];
      sums[0] = redOf(first);
      sums[1] = greenOf(first);
      sums[2] = blueOf(first);
      sums[3] = alphaOf(first);
    }
    uint64_t* sums = sums_ + 4 * static_cast<size_t>(sumRows_[entry]);
    sums[0] += redOf(colour);
    sums[1] += greenOf(colour);
    sums[2] += blueOf(colour);
    sums[3] += alphaOf(colour);
  }

  uint32_t* colours_ = nullptr;  ///< first pixel of each group, later its mean
  int32_t* counts_ = nullptr;
  int32_t* sumRows_ = nullptr;   ///< row of sums_ of each group of two or more
  uint64_t* sums_ = nullptr;     ///< red, green, blue, alpha sums per row
  int32_t* table_ = nullptr;     ///< group number + 1 per slot; 0: free
  uint32_t tableSize_ = 0;
  uint32_t mask_ = 0;
  int32_t count_ = 0;
  int32_t rowCount_ = 0;
  int fieldShifts_[4] = {};    ///< per byte the right shift of its kept bits
  uint32_t fieldMasks_[4] = {};  ///< and where they land
  bool exact_ = false;
  bool direct_ = false;
};

/// The 16 most frequent groups, most frequent first (the earlier group on
/// equal counts); once every group is taken, the first group again. This is
/// what sixteen scans for the strictly largest count would pick, in one pass.
void selectByCount(const uint32_t* groupColours, const int32_t* counts, int32_t count,
                   uint32_t* colours) {
  int32_t top[kMapSize];
  int taken = 0;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t n = counts[i];
    if (taken == kMapSize && n <= counts[top[kMapSize - 1]]) continue;
    int at = taken < kMapSize ? taken++ : kMapSize - 1;
    while (at > 0 && counts[top[at - 1]] < n) {
      top[at] = top[at - 1];
      --at;
    }
    top[at] = i;
  }
  for (int slot = 0; slot < kMapSize; ++slot) colours[slot] = groupColours[slot < taken ? top[slot] : 0];
}

/// Recursive median cut over the groups' colours and counts. Boxes are
/// ranges of the groups, sorted by a stable counting sort on one colour
/// component into a second pair of arrays; the halves go on from there, the
/// arrays trading places.
class MedianCut {
 public:
  struct Items {
    uint32_t* colours;
    int32_t* counts;
  };

  MedianCut(Items items, Items spare, uint32_t* colours)
      : items_(items), spare_(spare), colours_(colours) {}

  void run(int32_t count) {
    emitted_ = 0;
    cut(items_, spare_, 0, count, 0);
  }
  int emitted() const { return emitted_; }

 private:
  void cut(Items items, Items spare, int32_t first, int32_t end, int depth) {
    const int32_t size = end - first;
    // At the last depth a box is never split, and its colour does not
    // depend on the order of its items: it needs no sorting.
    if (depth < kMedianCutDepth && size > 0) {
      const int shift = chooseChannelShift(items.colours, first, end);
      const int64_t total = sortByComponent(items, spare, first, end, shift);
      const int64_t half = total / 2;
      int32_t lower = 0;
      if (half > 0) {
        int64_t running = 0;
        while (lower < size) {
          running += spare.counts[first + lower];
          ++lower;
          if (running >= half) break;
        }
      }
      if (lower < size) {
        cut(spare, items, first, first + lower, depth + 1);
        cut(spare, items, first + lower, end, depth + 1);
        return;
      }
      items = spare;
    }
    // A box with no entries (the lower half of a single entry whose count
    // halves to 0) has no colour to give.
    if (size == 0 || emitted_ >= kMapSize) return;
    uint64_t a = 0, r = 0, g = 0, b = 0;
    for (int32_t i = first; i < end; ++i) {
      const uint32_t c = items.colours[i];
      a += alphaOf(c);
      r += redOf(c);
      g += greenOf(c);
      b += blueOf(c);
    }
    const uint64_t n = static_cast<uint64_t>(size);
    colours_[emitted_++] = makeColour(static_cast<uint32_t>(a / n), static_cast<uint32_t>(r / n),
                                      static_cast<uint32_t>(g / n), static_cast<uint32_t>(b / n));
  }

  /// Bit position of the component to split on: a channel spanning 255 at
  /// once (red, green, blue in that order), else the widest, blue before
  /// green before red on equal spans.
  static int chooseChannelShift(const uint32_t* colours, int32_t first, int32_t end) {
    // Signed components: the compiler turns signed minima and maxima into
    // vector code.
    int32_t lowR = 255, highR = 0, lowG = 255, highG = 0, lowB = 255, highB = 0;
    for (int32_t i = first; i < end; ++i) {
      const uint32_t c = colours[i];
      const int32_t r = int32_t(redOf(c)), g = int32_t(greenOf(c)), b = int32_t(blueOf(c));
      lowR = r < lowR ? r : lowR;
      highR = r > highR ? r : highR;
      lowG = g < lowG ? g : lowG;
      highG = g > highG ? g : highG;
      lowB = b < lowB ? b : lowB;
      highB = b > highB ? b : highB;
    }
    const int32_t spanR = highR >= lowR ? highR - lowR : 0;
    const int32_t spanG = highG >= lowG ? highG - lowG : 0;
    const int32_t spanB = highB >= lowB ? highB - lowB : 0;
    if (spanR == 255) return 16;
    if (spanG == 255) return 8;
    if (spanB == 255) return 0;
    if (spanB >= spanG && spanB >= spanR) return 0;
    if (spanG >= spanR) return 8;
    return 16;
  }

  /// Stable counting sort of items[first, end) into to[first, end); answers
  /// the sum of their counts.
  static int64_t sortByComponent(Items items, Items to, int32_t first, int32_t end, int shift) {
    int32_t starts[257] = {};
    int64_t total = 0;
    for (int32_t i = first; i < end; ++i) {
      ++starts[((items.colours[i] >> shift) & 0xFF) + 1];
      total += items.counts[i];
    }
    for (int v = 0; v < 256; ++v) starts[v + 1] += starts[v];
    for (int32_t i = first; i < end; ++i) {
      const uint32_t v = (items.colours[i] >> shift) & 0xFF;
      const int32_t at = first + starts[v]++;
      to.colours[at] = items.colours[i];
      to.counts[at] = items.counts[i];
    }
    return total;
  }

  Items items_;
  Items spare_;
  uint32_t* colours_;
  int emitted_ = 0;
};

void printColormap(const Colormap* map) {
  for (int i = 0; i < kMapSize; ++i) {
    const uint32_t c = map->entries[i];
    std::printf("%d: %d %d %d %d\n", i, static_cast<int>(redOf(c)), static_cast<int>(greenOf(c)),
                static_cast<int>(blueOf(c)), static_cast<int>(alphaOf(c)));
  }
}

/// Reads `count` pixels of row y of the source as working colours: an
/// opaque level takes every pixel as fully opaque.
void readWorkingRow(const Bitmap* source, int32_t y, int32_t count, bool opaque, uint32_t* row) {
  bitmapGetRow(source, 0, y, count, row);
  if (opaque) {
    for (int32_t i = 0; i < count; ++i) row[i] |= 0xFF000000u;
  }
}

/// Builds the level's own 16 colours from the used part of the working
/// colours, read row by row into `row`. False when memory runs out (after
/// printing why).
bool buildColours(const Bitmap* source, bool opaque, uint32_t* row, uint32_t mask, bool heckbert,
                  bool info, uint32_t* colours) {
  const int32_t usedWidth = mipUsedWidth(source);
  const int32_t usedHeight = mipUsedHeight(source);
  Histogram histogram;
  if (!histogram.reserve(usedWidth * usedHeight, mask)) {
    std::printf("Couldn't allocate histogram.");
    return false;
  }
  for (int32_t y = 0; y < usedHeight; ++y) {
    readWorkingRow(source, y, usedWidth, opaque, row);
    histogram.addRow(row, usedWidth);
  }
  if (info) histogram.print();
  histogram.resetToMeans();
  if (info) {
    std::printf("After resetting to average colors...\n");
    histogram.print();
  }
  if (!heckbert) {
    selectByCount(histogram.colours(), histogram.counts(), histogram.count(), colours);
    return true;
  }

  // The groups are cut where they are, with the table's memory as the
  // second pair of arrays.
  const MedianCut::Items items{histogram.colours(), histogram.counts()};
  uint32_t* spareColours = static_cast<uint32_t*>(histogram.spareMemory());
  const MedianCut::Items spare{spareColours,
                               reinterpret_cast<int32_t*>(spareColours + histogram.count())};
  MedianCut medianCut(items, spare, colours);
  medianCut.run(histogram.count());
  // Fewer leaves than entries: the rest repeat the first colour, as the
  // histogram selection does, so no index stands for a colour not in the level.
  for (int i = medianCut.emitted(); i < kMapSize; ++i) colours[i] = colours[0];
  return true;
}

}  // namespace

success build4Bit(const Bitmap* source, Bitmap** out, bool transparent, bool translucent,
                  bool heckbert, const Colormap* givenMap, bool copyGivenMap, int32_t maskBits,
                  bool info) {
  *out = nullptr;
  const uint32_t mask = chooseMask(transparent, translucent, maskBits);
  const bool opaque = !transparent && !translucent;
  const int32_t width = source->width;
  const int32_t height = source->height;

  // The nearest-entry table and one row of working colours share a block.
  void* block = allocate(sizeof(WeightedNearestTable) + sizeof(uint32_t) * static_cast<size_t>(width));
  if (block == nullptr) {
    std::printf("Couldn't allocate working colours.");
    return 0;
  }
  WeightedNearestTable* nearest = static_cast<WeightedNearestTable*>(block);
  uint32_t* row = reinterpret_cast<uint32_t*>(nearest + 1);

  Bitmap* level = nullptr;
  if (!bitmapCreate(&level, outputFormat(transparent, translucent), width, height)) {
    std::printf("Couldn't allocate bitmap.");
    memFree(block);
    return 0;
  }
  if (givenMap == nullptr || copyGivenMap) {
    if (!colormapCreate(&level->colormap)) {
      level->colormap = nullptr;
      std::printf("Couldn't allocate colormap.");
      bitmapDestroy(level);
      memFree(block);
      return 0;
    }
    std::memset(level->colormap, 0, sizeof(Colormap));
  }

  if (givenMap == nullptr) {
    uint32_t colours[kMapSize] = {};
    if (!buildColours(source, opaque, row, mask, heckbert, info, colours)) {
      bitmapDestroy(level);
      memFree(block);
      return 0;
    }
    for (int i = 0; i < kMapSize; ++i) level->colormap->entries[i] = colours[i];
    if (info) {
      std::printf("New colormap from histogram:\n");
      printColormap(level->colormap);
    }
  } else if (copyGivenMap) {
    *level->colormap = *givenMap;
  }

  weightedNearestPrepare(nearest, givenMap != nullptr ? givenMap : level->colormap);
  std::memset(level->pixels, 0, static_cast<size_t>(level->stride) * static_cast<size_t>(height));
  // Neighbouring pixels often share a colour: remember the last answer.
  uint32_t lastColour = 0;
  int lastIndex = -1;
  for (int32_t y = 0; y < height; ++y) {
    readWorkingRow(source, y, width, opaque, row);
    uint8_t* indexes = level->pixels + static_cast<size_t>(y) * static_cast<size_t>(level->stride);
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t colour = row[x];
      if (lastIndex < 0 || colour != lastColour) {
        lastColour = colour;
        lastIndex = weightedNearestFind(nearest, colour);
      }
      row[x] = static_cast<uint32_t>(lastIndex);  // the colour is no longer needed
    }
    // Two indexes a byte, the first in the high half; an odd width leaves
    // the last low half 0.
    for (int32_t x = 0; x + 1 < width; x += 2)
      indexes[x / 2] = static_cast<uint8_t>(row[x] << 4 | row[x + 1]);
    if (width % 2 != 0) indexes[width / 2] = static_cast<uint8_t>(row[width - 1] << 4);
  }
  memFree(block);
  *out = level;
  return 1;
}
