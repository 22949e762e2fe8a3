// trackconv's archive reader and the runtime's library archives read the
// same archives, made by the shared generator, to the same member bytes.

#include <exception>
#include <string>
#include <vector>

#include "runtime/file/home_fixture.h"
#include "tools/lib/synthetic_dat.h"
#include "trackconv/driver/dat_file.h"

namespace {

const char* const kRefused = "<refused>";

std::string ThroughTrackconv(const std::string& archive, const std::string& name) {
  try {
    MOTADatFile dat(archive);
    Handle<SubFile> member = dat.FindMember(name);
    if (!member.Get()) return kRefused;
    std::string bytes(member->Size(), '\0');
    member->Seek(0);
    member->Read(member->Size(), &bytes[0]);
    return bytes;
  } catch (const std::exception&) {
    return kRefused;
  }
}

std::string ThroughRuntime(const std::string& name) {
  QuorFile* file = nullptr;
  if (!libfileOpenRead(&file, name.c_str())) return kRefused;
  std::string bytes(fileSize(file), '\0');
  const bool read = bytes.empty() || fileReadExact(file, &bytes[0], fileSize(file));
  fileClose(file);
  return read ? bytes : "<read failed>";
}

std::vector<uint8_t> Pattern(std::size_t size) {
  std::vector<uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 256);
  return bytes;
}

}  // namespace

class DatReadersTest : public HomeTest {};

TEST_F(DatReadersTest, BothReadersSeeTheSameMembers) {
  const std::vector<trackgen::DatMember> members = {
      {"alpha.trk", Pattern(5000)},          // spans several read buffers
      {"empty.txt", {}},
      {"twelve12.abc", trackgen::BytesOf("twelve characters")},
      {"Mixed.Case", Pattern(300)},
      {"alpha.trk", trackgen::BytesOf("shadowed by the first")},
      {"beyond.bin", Pattern(10)},
  };
  std::vector<uint8_t> image = trackgen::BuildDatArchive(members);
  // The last member claims more bytes than the archive holds.
  for (std::size_t field : {trackgen::kDatEntryLength, trackgen::kDatEntryLengthCopy})
    image[trackgen::DatEntryOffset(5) + field] = 11;
  trackgen::WriteBytes(Path("main.dat"), image);
  ASSERT_TRUE(libfileBegin());

  struct Case {
    const char* name;
    std::string expected;
  };
  const auto text = [](const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); };
  const Case cases[] = {
      {"alpha.trk", text(Pattern(5000))},     {"ALPHA.TRK", text(Pattern(5000))},
      {"empty.txt", ""},                       {"twelve12.abc", "twelve characters"},
      {"mixed.case", text(Pattern(300))},     {"missing.trk", kRefused},
      {"beyond.bin", kRefused},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ThroughTrackconv(Path("main.dat"), c.name), c.expected) << c.name;
    EXPECT_EQ(ThroughRuntime(c.name), c.expected) << c.name;
  }
}
