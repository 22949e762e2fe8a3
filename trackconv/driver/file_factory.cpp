#include "trackconv/driver/file_factory.h"

#include "trackconv/foundation/errors.h"

namespace {
[[noreturn]] void Refuse(const char* message) { throw XAssumption(message); }
}  // namespace

FileFactory::~FileFactory() = default;

void FileFactory::Palettes1() { Refuse("Palettes not supported"); }
void FileFactory::Palettes2() { Refuse("Palettes not supported"); }
void FileFactory::Palettes3() { Refuse("Palettes not supported"); }
void FileFactory::Palettes4() { Refuse("Palettes not supported"); }
void FileFactory::Cam1() { Refuse("CAM files not supported"); }
void FileFactory::Cam2() { Refuse("CAM files not supported"); }
void FileFactory::Lp1() { Refuse("LP files not supported"); }
void FileFactory::Lp2() { Refuse("LP files not supported"); }
void FileFactory::Mip1() { Refuse("MIP files not supported"); }
void FileFactory::Mip2() { Refuse("MIP files not supported"); }
void FileFactory::Pbf1() { Refuse("PBF files not supported"); }
void FileFactory::Pbf2() { Refuse("PBF files not supported"); }
void FileFactory::Pcx1() { Refuse("PCX files not supported"); }
void FileFactory::Pcx2() { Refuse("PCX files not supported"); }
void FileFactory::Rpy1() { Refuse("RPY files not supported"); }
void FileFactory::Srb1() { Refuse("SRB files not supported"); }
void FileFactory::Srb2() { Refuse("SRB files not supported"); }
void FileFactory::Tdo1() { Refuse("TDO files not supported"); }
void FileFactory::Tdo2() { Refuse("TDO files not supported"); }

Handle<TrkFile> FileFactory::OpenTrackBase(const std::string&, const std::string&, bool) {
  Refuse("TRK files not supported");
}
Handle<TrkFile> FileFactory::OpenTrack(const std::string&, const std::string&, bool) {
  Refuse("TRK files not supported");
}

void FileFactory::Lp3() { Refuse("LP files not supported"); }
void FileFactory::Mip3() { Refuse("MIP files not supported"); }
void FileFactory::Srb3() { Refuse("SRB files not supported"); }
void FileFactory::Tdo3() { Refuse("TDO files not supported"); }

Handle<TrkFile> FileFactory::CreateTrack(const Handle<TrkFile>&, bool) {
  Refuse("TRK files not supported");
}
