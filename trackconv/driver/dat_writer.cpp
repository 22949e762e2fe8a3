#include "trackconv/driver/dat_writer.h"

#include <algorithm>
#include <cstring>

#include "trackconv/foundation/byte_order.h"
#include "trackconv/foundation/errors.h"

namespace {

// Members are copied through a buffer of this size, not read whole.
constexpr uint32_t kCopyBlock = 1u << 20;

std::string Quoted(const DatEntry& entry) { return entry.Name(); }

}  // namespace

void DatMemorySource::Read(std::size_t index, uint32_t position, uint32_t count, uint8_t* out) {
  const std::vector<uint8_t>& bytes = members_[index];
  if (uint64_t{position} + count > bytes.size()) throw XFileRead("member " + std::to_string(index));
  std::copy_n(bytes.begin() + position, count, out);
}

std::vector<DatRange> UncoveredRanges(const std::vector<DatEntry>& entries, uint32_t directory_end, uint32_t size) {
  std::vector<std::pair<uint64_t, uint64_t>> covered{{0, directory_end}};
  for (const DatEntry& entry : entries)
    if (entry.length > 0) covered.push_back({entry.offset, uint64_t{entry.offset} + entry.length});
  std::sort(covered.begin(), covered.end());
  std::vector<DatRange> ranges;
  uint64_t cursor = 0;
  auto uncovered_until = [&](uint64_t end) {
    end = std::min<uint64_t>(end, size);
    if (end > cursor) ranges.push_back(DatRange{static_cast<uint32_t>(cursor), static_cast<uint32_t>(end)});
  };
  for (const auto& [start, end] : covered) {
    uncovered_until(start);
    cursor = std::max(cursor, end);
  }
  uncovered_until(size);
  return ranges;
}

std::vector<uint8_t> EncodeDatDirectory(const std::vector<DatEntry>& entries) {
  std::vector<uint8_t> block;
  block.reserve(2 + entries.size() * MOTADatFile::kEntrySize);
  FieldWriter(block).I16(static_cast<int16_t>(entries.size()));
  for (const DatEntry& entry : entries) EncodeDatEntry(entry, block);
  return block;
}

DatLayout::DatLayout(std::vector<DatEntry> entries, uint32_t directory_end, std::vector<DatGap> gaps)
    : entries_(std::move(entries)), gaps_(std::move(gaps)) {
  // Members with bytes, by offset; the directory comes first.
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].length > 0) order.push_back(i);
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return entries_[a].offset < entries_[b].offset; });

  Run directory;
  directory.directory = true;
  directory.old_end = directory_end;
  runs_.push_back(directory);
  // Bytes that two members (or a member and the directory) share tie them
  // into one run: touching is not sharing.
  for (std::size_t index : order) {
    const uint64_t start = entries_[index].offset;
    const uint64_t end = start + entries_[index].length;
    Run& last = runs_.back();
    if (start < last.old_end) {
      last.old_end = std::max(last.old_end, end);
      last.members.push_back(index);
    } else {
      Run run;
      run.old_start = start;
      run.old_end = end;
      run.members.push_back(index);
      runs_.push_back(run);
    }
  }

  for (std::size_t g = 0; g < gaps_.size(); ++g) {
    if (gaps_[g].bytes.empty()) continue;
    Run run;
    run.gap = true;
    run.gap_index = g;
    run.old_start = gaps_[g].offset;
    run.old_end = gaps_[g].offset + static_cast<uint64_t>(gaps_[g].bytes.size());
    runs_.push_back(run);
  }
  std::stable_sort(runs_.begin(), runs_.end(),
                   [](const Run& a, const Run& b) { return a.old_start < b.old_start; });
  for (std::size_t i = 1; i < runs_.size(); ++i) {
    if (runs_[i].old_start >= runs_[i - 1].old_end) continue;
    const Run& gap = runs_[i].gap ? runs_[i] : runs_[i - 1];
    throw XGeneral("the kept bytes at offset " + std::to_string(gap.old_start) +
                   " overlap the directory, a member or other kept bytes");
  }
}

uint64_t DatLayout::NewPosition(uint64_t old_position) const {
  // The run that holds the position, or the first one after it.
  auto after = std::upper_bound(runs_.begin(), runs_.end(), old_position,
                                [](uint64_t p, const Run& run) { return p < run.old_start; });
  if (after == runs_.begin()) return 0;
  const Run& run = *(after - 1);
  if (old_position < run.old_end)
    return run.new_start + std::min<uint64_t>(old_position - run.old_start, run.new_length);
  return after == runs_.end() ? old_position : after->new_start;
}

void DatLayout::Place(DatSource& source) {
  if (entries_.empty()) throw XGeneral("an archive needs at least one member");
  if (entries_.size() > kMostDatMembers)
    throw XGeneral("member " + std::to_string(kMostDatMembers + 1) + " does not fit: an archive holds at most " +
                   std::to_string(kMostDatMembers) + " members");
  const uint64_t directory_size = 2 + uint64_t{MOTADatFile::kEntrySize} * entries_.size();

  std::vector<uint32_t> sizes(entries_.size());
  for (std::size_t i = 0; i < entries_.size(); ++i) sizes[i] = source.Size(i);

  // Empty members are points between the runs, or inside one. One between
  // runs that gained bytes goes where it stood; one inside cannot grow.
  std::vector<std::size_t> points;
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].length == 0) points.push_back(i);
  std::stable_sort(points.begin(), points.end(),
                   [&](std::size_t a, std::size_t b) { return entries_[a].offset < entries_[b].offset; });

  // The runs are laid end to end: a hole that no run fills any more closes,
  // while empty members past the last run keep their distance from it.
  pieces_.clear();
  uint64_t position = 0;
  uint64_t old_cursor = 0;  // where the last run placed ended in the old archive
  std::size_t next_point = 0;
  std::vector<uint64_t> offsets(entries_.size(), 0);
  std::vector<bool> inside(entries_.size(), false);
  auto take_points = [&](uint64_t limit, bool past_last_run) {
    for (; next_point < points.size() && entries_[points[next_point]].offset <= limit; ++next_point) {
      const std::size_t index = points[next_point];
      const uint64_t old_offset = entries_[index].offset;
      if (old_offset < old_cursor) {
        inside[index] = true;
        continue;
      }
      if (sizes[index] == 0) {
        offsets[index] = position + (past_last_run ? old_offset - old_cursor : 0);
        continue;
      }
      offsets[index] = position;
      position += sizes[index];
      old_cursor = old_offset;
      pieces_.push_back(Piece{false, index});
    }
  };
  for (std::size_t r = 0; r < runs_.size(); ++r) {
    Run& run = runs_[r];
    if (!run.directory) take_points(run.old_start, false);
    run.new_start = static_cast<uint32_t>(std::min<uint64_t>(position, 0xFFFFFFFFu));
    uint64_t length = 0;
    if (run.gap) {
      length = gaps_[run.gap_index].bytes.size();
    } else if (Streamed(run)) {
      length = sizes[run.members.front()];
    } else {
      if (run.directory) length = directory_size;
      for (std::size_t index : run.members) {
        const DatEntry& entry = entries_[index];
        if (sizes[index] != entry.length) {
          std::string other = "the directory";
          if (!run.directory) other = Quoted(entries_[run.members[run.members[0] == index ? 1 : 0]]);
          throw XGeneral(Quoted(entry) + ": shares bytes with " + other + ", so its size cannot change");
        }
        length = std::max<uint64_t>(length, entry.offset - run.old_start + entry.length);
      }
    }
    run.new_length = static_cast<uint32_t>(std::min<uint64_t>(length, 0xFFFFFFFFu));
    position += length;
    old_cursor = run.old_end;
    pieces_.push_back(Piece{true, r});
    if (position > kLargestDatArchive) throw XGeneral("the archive would reach 4 GiB");
  }
  take_points(UINT64_MAX, true);
  if (position > kLargestDatArchive) throw XGeneral("the archive would reach 4 GiB");

  for (const Run& run : runs_)
    for (std::size_t index : run.members) offsets[index] = run.new_start + (entries_[index].offset - run.old_start);
  for (std::size_t index : points) {
    if (!inside[index]) continue;
    if (sizes[index] != 0) throw XGeneral(Quoted(entries_[index]) + ": lies inside other bytes, so it cannot grow");
    offsets[index] = NewPosition(entries_[index].offset);
  }
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (offsets[i] > 0xFFFFFFFFu) throw XGeneral(Quoted(entries_[i]) + ": its offset would pass 4 GiB");
    entries_[i].offset = static_cast<uint32_t>(offsets[i]);
    entries_[i].length = entries_[i].length_copy = sizes[i];
  }
  size_ = static_cast<uint32_t>(position);

  const std::vector<uint8_t> directory = EncodeDatDirectory(entries_);
  for (Run& run : runs_)
    if (!run.gap && !Streamed(run)) Compose(run, source, directory);
}

void DatLayout::Compose(Run& run, DatSource& source, const std::vector<uint8_t>& directory) const {
  run.image.assign(run.new_length, 0);
  std::vector<uint8_t> filled(run.new_length, 0);
  if (run.directory) {
    std::memcpy(run.image.data(), directory.data(), directory.size());
    std::fill(filled.begin(), filled.begin() + static_cast<std::ptrdiff_t>(directory.size()), 1);
  }
  std::vector<uint8_t> bytes;
  for (std::size_t index : run.members) {
    const DatEntry& entry = entries_[index];
    const uint32_t at = entry.offset - run.new_start;
    bytes.resize(entry.length);
    source.Read(index, 0, entry.length, bytes.data());
    for (uint32_t i = 0; i < entry.length; ++i) {
      if (filled[at + i] && run.image[at + i] != bytes[i]) {
        std::string other = "the directory";
        for (std::size_t o : run.members) {
          const DatEntry& e = entries_[o];
          if (o != index && e.offset <= at + run.new_start + i && at + run.new_start + i < e.offset + uint64_t{e.length})
            other = Quoted(e);
        }
        if (run.directory && at + i < directory.size()) other = "the directory";
        throw XGeneral(Quoted(entry) + ": shares bytes with " + other + " that no longer agree");
      }
      run.image[at + i] = bytes[i];
      filled[at + i] = 1;
    }
  }
}

void DatLayout::Write(DatSource& source, DatSink& sink) const {
  std::vector<uint8_t> buffer;
  auto copy_member = [&](std::size_t index) {
    const uint32_t length = entries_[index].length;
    buffer.resize(std::min(length, kCopyBlock));
    for (uint32_t done = 0; done < length;) {
      const uint32_t count = std::min(length - done, kCopyBlock);
      source.Read(index, done, count, buffer.data());
      sink.Write(buffer.data(), count);
      done += count;
    }
  };
  for (const Piece& piece : pieces_) {
    if (!piece.run) {
      copy_member(piece.index);
      continue;
    }
    const Run& run = runs_[piece.index];
    if (run.gap) {
      const std::vector<uint8_t>& bytes = gaps_[run.gap_index].bytes;
      sink.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
    } else if (Streamed(run)) {
      copy_member(run.members.front());
    } else {
      sink.Write(run.image.data(), static_cast<uint32_t>(run.image.size()));
    }
  }
}
