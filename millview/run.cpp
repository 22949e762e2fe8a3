#include "millview/run.h"

#include <cstdio>
#include <exception>
#include <map>
#include <set>
#include <new>
#include <mutex>

#include "millview/archive.h"
#include "millview/files.h"
#include "millview/gallery.h"
#include "millview/model.h"
#include "millview/model_page.h"
#include "millview/names.h"
#include "millview/textures.h"
#include "millview/tracks.h"
#include "cli/pool.h"
#include "cli/progress.h"
#include "cli/walk.h"
#include "platform/memory.h"
#include "platform/path.h"
#include "rt_version.h"

namespace millview {

namespace {

const char kUsage[] =
    "Usage: millview [OPTION]... FILE|FOLDER...\n"
    "Turns textures (MIP, SRB, PBF), pictures (PCX, Targa, PNG) into PNG and tracks\n"
    "(VTR or MOTA .trk, loose or in a .dat, and .xq) into SVG plans; the textures\n"
    "and pictures in a .dat too. Folders are walked recursively; files of other\n"
    "kinds are skipped.\n"
    "\n"
    "  -o DIR      write outputs under DIR, keeping the folders' structure\n"
    "              (default: beside each input)\n"
    "  -j N        convert N files at a time (default: one per processor)\n"
    "  --sheet     one PNG per texture with all levels in a row\n"
    "              (default: one PNG per level)\n"
    "  --3d        also write every track as a glTF model, <plan>.glb\n"
    "  --html      also write an index.html gallery in every output folder\n"
    "              (textures then get their levels and their sheet; tracks\n"
    "              their model and a 3D page, <plan>.3d.html)\n"
    "  -q          print only errors\n"
    "  -v          also name every file that is skipped, and why\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Examples:\n"
    "  millview wall.mip                  wall.mip.0.png, wall.mip.1.png, ...\n"
    "  millview --sheet wall.mip          wall.mip.png with every level\n"
    "  millview tracks/alpha/alpha.trk    tracks/alpha/alpha.trk.svg\n"
    "  millview BRAVO.DAT                 BRAVO.DAT.svg, BRAVO.DAT.wall.mip.0.png, ...\n"
    "  millview --3d alpha.trk            alpha.trk.svg and alpha.trk.glb\n"
    "  millview -o view --html game/      view/**, view/index.html to browse\n"
    "\n"
    "Exit status: 0 all converted, 1 some file failed, 2 usage error.\n";

enum class Kind { kTexture, kPicture, kTrack, kUnknown };

Kind KindOf(const std::string& extension) {
  if (extension == "mip" || extension == "srb" || extension == "pbf") return Kind::kTexture;
  if (extension == "pcx" || extension == "tga" || extension == "png") return Kind::kPicture;
  if (extension == "trk" || extension == "xq" || extension == "dat") return Kind::kTrack;
  return Kind::kUnknown;
}

/// One input file and where its outputs go: the folder `rel` of the
/// gallery tree `root` (its output folder is FolderPath of the two).
struct Job {
  std::string input;
  std::string extension;
  Kind kind = Kind::kUnknown;
  std::size_t root = 0;
  std::string rel;  ///< '/'-separated, "" for the tree's root
  bool member = false;     ///< a texture or picture inside the archive `input`
  uint32_t memberIndex = 0;
  std::string memberName;  ///< as the archive reader gives it

  /// The input as messages name it: "BRAVO.DAT:wall.mip" for a member.
  std::string Label() const { return member ? input + ":" + memberName : input; }
  /// The name the outputs are named after: the file's, or for a member
  /// "<archive>.<member>" ("BRAVO.DAT.wall.mip").
  std::string OutputName() const {
    return member ? FileNameOf(input) + "." + SafeNamePart(memberName) : FileNameOf(input);
  }
};

/// The file a PNG of millview's own was made from: "wall.mip" for
/// "wall.mip.0.png" or "wall.mip.png", "pic.tga" for "pic.tga.png"; empty
/// when the name is no such output or its source is not beside it.
std::string SourceOfOwnOutput(const std::string& folder, const std::string& name) {
  if (LowerExtension(name) != "png") return std::string();
  std::string source = StemOf(name);
  const std::size_t dot = source.rfind('.');
  const bool level = dot != std::string::npos && dot + 1 < source.size() &&
                     source.find_first_not_of("0123456789", dot + 1) == std::string::npos;
  if (level) source.erase(dot);
  const Kind kind = KindOf(LowerExtension(source));
  if (kind == Kind::kUnknown || kind == Kind::kTrack || (level && kind != Kind::kTexture))
    return std::string();
  const std::string path = JoinPath(folder, source);
  return Exists(path) && !IsFolder(path) ? source : std::string();
}

struct Plan {
  std::vector<Job> jobs;
  std::vector<std::string> roots;  ///< output folder of each gallery tree
  unsigned skipped = 0;
  std::vector<std::string> skipNotes;  ///< "<file>: skipped, <reason>" for -v

  std::string OutputFolder(const Job& job) const { return FolderPath(roots[job.root], job.rel); }

  /// Counts `path` as skipped, keeping the reason for -v.
  void Skip(const std::string& path, const std::string& reason) {
    ++skipped;
    skipNotes.push_back(path + ": skipped, " + reason);
  }

  /// Adds the file `input` as a job when millview reads its kind and the
  /// file is not one millview made itself.
  void Add(const std::string& input, std::size_t root, const std::string& rel) {
    const std::string name = FileNameOf(input);
    const std::string extension = LowerExtension(name);
    const Kind kind = KindOf(extension);
    if (kind == Kind::kUnknown) {
      Skip(input, "not a texture, picture or track");
      return;
    }
    const std::string source = SourceOfOwnOutput(DirectoryOf(input), name);
    if (!source.empty()) {
      Skip(input, "made by millview from " + source);
      return;
    }
    jobs.push_back(Job{input, extension, kind, root, rel, false, 0, ""});
    if (extension != "dat") return;
    // The textures and pictures among an archive's members are converted
    // as loose files are, named after the archive and the member.
    for (const ArchiveMember& found : ArchiveMembers(input)) {
      const std::string memberExtension = LowerExtension(found.name);
      const Kind memberKind = KindOf(memberExtension);
      if (memberKind != Kind::kTexture && memberKind != Kind::kPicture) continue;
      Job job{input, memberExtension, memberKind, root, rel, true, found.index, found.name};
      jobs.push_back(job);
    }
  }
};

/// An output's name for comparing with the others: absolute and in lower
/// case, as an output created in another letter case reuses the file there.
std::string OutputKey(const std::string& path) {
  std::string key = path, full;
  std::size_t last = 0;
  if (platform::FullPathName(path, full, last)) key = full;
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return key;
}

/// The outputs of two jobs that both turn an input of one name into one
/// output folder would be the same files: the later job is refused, naming
/// the earlier. Names that differ only in letter case are one output name.
std::map<std::size_t, std::string> SharedOutputs(const Plan& plan) {
  std::map<std::size_t, std::string> refused;
  std::map<std::string, std::size_t> first;
  for (std::size_t n = 0; n < plan.jobs.size(); ++n) {
    const Job& job = plan.jobs[n];
    const auto claimed =
        first.emplace(OutputKey(JoinPath(plan.OutputFolder(job), job.OutputName())), n);
    if (!claimed.second)
      refused[n] = "its outputs are also made from " + plan.jobs[claimed.first->second].Label();
  }
  return refused;
}

/// Everything a job made, for the gallery and the summary.
struct Result {
  bool ok = false;
  std::string reason;
  std::vector<GalleryItem> items;
  std::vector<std::string> notes;  ///< lines for standard output
};

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

/// The output files the run has claimed, by their absolute name in lower
/// case: a file that two inputs would write is written for the first only.
class Claims {
 public:
  /// Claims every output for `input`; false with `reason` naming the
  /// input that holds one of them already.
  bool Take(const std::string& input, const std::vector<Output>& outputs, std::string& reason) {
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<std::string> keys;
    for (const Output& output : outputs) {
      const std::string key = OutputKey(output.path);
      const auto found = owners_.find(key);
      if (found != owners_.end() && found->second != input) {
        reason = "its output " + FileNameOf(output.path) + " is also made from " + found->second;
        return false;
      }
      keys.push_back(key);
    }
    for (const std::string& key : keys) owners_.emplace(key, input);
    return true;
  }

 private:
  std::mutex lock_;
  std::map<std::string, std::string> owners_;
};

/// What every conversion of a run shares.
struct Context {
  const Options& options;
  RuntimeSession& runtime;
  Claims claims;
  const ViewerScripts* scripts;  ///< null when the 3D pages cannot be made
};

/// Makes the folder and writes the outputs of `job`, once they are claimed.
bool Store(Context& context, const Job& job, const std::string& folder,
           const std::vector<Output>& outputs, std::string& reason) {
  if (!context.claims.Take(job.Label(), outputs, reason)) return false;
  if (!MakeFolders(folder)) {
    reason = "cannot make the folder " + folder;
    return false;
  }
  return WriteOutputs(outputs, job.input, reason);
}

void ConvertTexture(Context& context, const Job& job, const std::string& folder, Result& result) {
  const Options& options = context.options;
  std::vector<uint8_t> bytes;
  Texture texture;
  const bool read = job.member
                        ? ReadArchiveMember(job.input, job.memberIndex, bytes, result.reason)
                        : ReadWholeFile(job.input, bytes, result.reason);
  if (!read || !ReadTexture(context.runtime, bytes, job.extension, texture, result.reason))
    return;
  const std::string name = job.OutputName();
  GalleryItem item;
  item.source = job.member ? job.memberName : name;
  if (job.member) item.group = FileNameOf(job.input);
  item.kind = job.kind == Kind::kPicture ? GalleryItem::kPicture : GalleryItem::kTexture;
  item.width = texture.levels[0].width;
  item.height = texture.levels[0].height;
  std::vector<Output> outputs;
  if (item.kind == GalleryItem::kPicture) {
    item.image = name + ".png";
    outputs.push_back(Output{JoinPath(folder, item.image), EncodePng(texture.levels[0])});
  } else {
    const bool levels = !options.sheet || options.html;
    const bool sheet = options.sheet || options.html;
    if (levels)
      for (std::size_t i = 0; i < texture.levels.size(); ++i) {
        const std::string level = name + "." + std::to_string(i) + ".png";
        item.levels.push_back(level);
        outputs.push_back(Output{JoinPath(folder, level), EncodePng(texture.levels[i])});
      }
    if (sheet) {
      item.sheet = name + ".png";
      outputs.push_back(Output{JoinPath(folder, item.sheet), EncodePng(MakeSheet(texture.levels))});
    }
    item.image = levels ? item.levels[0] : item.sheet;
  }
  for (const Output& output : outputs)
    if (output.bytes.empty()) {
      result.reason = "cannot encode " + output.path;
      return;
    }
  if (texture.sprite) {
    const SpriteInfo& s = texture.spriteInfo;
    item.sprite = true;
    item.details = Number(s.widthM) + " x " + Number(s.heightM) + " m, " + Number(s.pixelWidth) +
                   " x " + Number(s.pixelHeight) + " pixels, centre " + Number(s.centreX) + ", " +
                   Number(s.centreY);
    result.notes.push_back(job.Label() + ": sprite " + item.details);
  }
  if (!Store(context, job, folder, outputs, result.reason)) return;
  result.items.push_back(item);
  result.ok = true;
}

/// The name of a member's plan. A loose track's plan is named after the
/// file; an archive's after the archive, its second and later tracks with
/// the member's name after it (characters that would lead out of the
/// folder or are not allowed in a name become '_').
std::string PlanName(const std::string& input, const NamedTrack& named, bool archive, bool first) {
  if (!archive) return named.fileName + ".svg";
  if (first) return FileNameOf(input) + ".svg";
  return FileNameOf(input) + "." + SafeNamePart(named.fileName) + ".svg";
}

/// "../" once for every folder of `rel` below the gallery's top folder.
std::string UpToTop(const std::string& rel) {
  if (rel.empty()) return "";
  std::string up = "../";
  for (char c : rel)
    if (c == '/') up += "../";
  return up;
}

void ConvertTracks(Context& context, const Job& job, const std::string& folder, Result& result) {
  const Options& options = context.options;
  std::vector<Output> outputs;
  try {
    const bool archive = job.extension == "dat";
    for (const NamedTrack& named : ReadTracks(job.input, job.extension)) {
      PlanFacts facts;
      const std::string svg = TrackSvg(*named.track, named.trackName, facts);
      GalleryItem item;
      item.kind = GalleryItem::kPlan;
      item.source = named.fileName;
      item.image = PlanName(job.input, named, archive, outputs.empty());
      item.width = facts.widthPx;
      item.height = facts.heightPx;
      char details[160];
      std::snprintf(details, sizeof details, "%u sections, %.0f m long, %.0f x %.0f m",
                    facts.sections, facts.lengthM, facts.widthM, facts.heightM);
      item.details = details;
      outputs.push_back(Output{JoinPath(folder, item.image),
                               std::vector<uint8_t>(svg.begin(), svg.end())});
      if (options.model || options.html) {
        ModelFacts model;
        std::vector<uint8_t> glb = TrackModel(*named.track, named.trackName, model);
        if (options.html && context.scripts) {
          item.modelPage = ModelPageName(item.image);
          const std::string page = ModelPage(named.trackName, item.image, glb, model, UpToTop(job.rel));
          outputs.push_back(Output{JoinPath(folder, item.modelPage),
                                   std::vector<uint8_t>(page.begin(), page.end())});
        }
        outputs.push_back(Output{JoinPath(folder, ModelName(item.image)), std::move(glb)});
      }
      result.items.push_back(item);
    }
  } catch (const std::exception& failure) {
    // The readers' messages begin with the file's name; the line names it once.
    std::string text = failure.what();
    const std::string name = FileNameOf(job.input);
    for (const std::string& prefix : {job.input, name})
      if (text.compare(0, prefix.size(), prefix) == 0 && text.size() > prefix.size() + 2 &&
          text[prefix.size()] == ':') {
        text = text.substr(prefix.size() + 2);
        break;
      }
    result.reason = text;
    result.items.clear();
    return;
  }
  if (outputs.empty()) {
    result.ok = true;  // an archive without tracks: nothing to show
    return;
  }
  if (!Store(context, job, folder, outputs, result.reason)) {
    result.items.clear();
    return;
  }
  result.ok = true;
}

}  // namespace

cli::Request ParseCommandLine(const std::vector<std::string>& arguments, Options& options,
                              std::string& error) {
  bool namesOnly = false;
  for (std::size_t a = 0; a < arguments.size(); ++a) {
    const std::string& arg = arguments[a];
    if (namesOnly || arg.empty() || arg[0] != '-' || arg == "-") {
      options.inputs.push_back(arg);
    } else if (arg == "--") {
      namesOnly = true;
    } else if (arg == "--help" || arg == "-h") {
      return cli::Request::kHelp;
    } else if (arg == "--version") {
      return cli::Request::kVersion;
    } else if (arg == "--sheet") {
      options.sheet = true;
    } else if (arg == "--html") {
      options.html = true;
    } else if (arg == "--3d") {
      options.model = true;
    } else if (arg == "-q" || arg == "--quiet") {
      options.quiet = true;
    } else if (arg == "-v" || arg == "--verbose") {
      options.verbose = true;
    } else if (arg == "-o" || arg == "-j") {
      if (a + 1 >= arguments.size()) {
        error = "option '" + arg + "' needs a value";
        return cli::Request::kUsageError;
      }
      const std::string& value = arguments[++a];
      if (arg == "-o") {
        if (value.empty()) {
          error = "option '-o' needs a folder name";
          return cli::Request::kUsageError;
        }
        options.outputRoot = value;
      } else if (!cli::ParseJobs(value, options.jobs)) {
        error = "option '-j' needs a whole number from 1 to 9999, not '" + value + "'";
        return cli::Request::kUsageError;
      }
    } else {
      error = "unknown option '" + arg + "'";
      return cli::Request::kUsageError;
    }
  }
  if (options.inputs.empty()) {
    error = "no input files or folders given";
    return cli::Request::kUsageError;
  }
  return cli::Request::kRun;
}

int Run(const Options& options, RuntimeSession& runtime) {
  // Every file allocates and frees picture-sized buffers several times.
  platform::KeepFreedHeapMemory();
  for (const std::string& input : options.inputs)
    if (!Exists(input)) {
      cli::PrintUsageError("millview", "cannot find '" + input + "'");
      return cli::kUsageError;
    }
  Plan plan;
  for (const std::string& input : options.inputs) {
    const std::size_t root = plan.roots.size();
    if (IsFolder(input)) {
      std::string folder = input;
      while (folder.size() > 1 && platform::IsSeparator(folder.back())) folder.pop_back();
      plan.roots.push_back(options.outputRoot.empty() ? folder : options.outputRoot);
      // Links to folders are entries of their own, never walked: the run
      // stays inside the folders it was given.
      cli::WalkTree(folder, [&](const cli::Folder& found) {
        for (const std::string& name : found.files) plan.Add(JoinPath(found.path, name), root, found.relative);
        for (const std::string& name : found.linkedFolders)
          plan.Skip(JoinPath(found.path, name), "a link to a folder, which is not walked");
      });
      continue;
    }
    std::string out = options.outputRoot.empty() ? DirectoryOf(input) : options.outputRoot;
    if (out.empty()) out = ".";
    plan.roots.push_back(out);
    plan.Add(input, root, "");
  }

  if (options.verbose && !options.quiet) {
    for (const std::string& note : plan.skipNotes) std::printf("millview: %s\n", note.c_str());
    std::fflush(stdout);
  }
  std::map<std::size_t, std::string> refused = SharedOutputs(plan);
  std::vector<Result> results(plan.jobs.size());
  cli::ProgressLine progress(cli::ProgressLine::Wanted(options.quiet));
  // The 3D pages need three.js where the system installs it; without it
  // the galleries go without them, and the user hears so once.
  ViewerScripts scripts;
  bool haveScripts = false;
  if (options.html) {
    std::string missing;
    haveScripts = FindViewerScripts(scripts, missing);
    if (!haveScripts)
      std::fprintf(stderr, "millview: no 3D pages in the galleries: cannot find %s (Debian: libjs-three)\n",
                   missing.c_str());
  }
  Context context{options, runtime, {}, haveScripts ? &scripts : nullptr};
  std::size_t done = 0;
  std::mutex reportLock;
  cli::RunPool(plan.jobs.size(), cli::WorkerCount(options.jobs, plan.jobs.size()), [&](std::size_t n) {
    const Job& job = plan.jobs[n];
    Result& result = results[n];
    const auto shared = refused.find(n);
    if (shared != refused.end()) {
      result.reason = shared->second;
    } else {
      // A file too large for the memory left fails alone; the others go on.
      try {
        if (job.kind == Kind::kTrack) ConvertTracks(context, job, plan.OutputFolder(job), result);
        else ConvertTexture(context, job, plan.OutputFolder(job), result);
      } catch (const std::bad_alloc&) {
        result = Result();
        result.reason = "not enough memory";
      }
    }
    std::lock_guard<std::mutex> hold(reportLock);
    if (!result.ok || (!options.quiet && !result.notes.empty())) progress.Clear();
    if (!result.ok) std::fprintf(stderr, "millview: %s: %s\n", job.Label().c_str(), result.reason.c_str());
    if (!options.quiet) {
      for (const std::string& note : result.notes) std::printf("%s\n", note.c_str());
      std::fflush(stdout);
    }
    ++done;
    char line[96];
    std::snprintf(line, sizeof line, "%zu/%zu files, %.1f files/s ", done, plan.jobs.size(),
                  progress.Rate(done));
    progress.Show(line);
  });
  progress.Keep();

  std::size_t converted = 0, failed = 0;
  for (const Result& result : results) (result.ok ? converted : failed) += 1;
  if (options.html) {
    Galleries galleries;
    for (const std::string& root : plan.roots) galleries.AddFolder(root, "");
    for (std::size_t n = 0; n < plan.jobs.size(); ++n)
      for (const GalleryItem& item : results[n].items)
        galleries.Add(plan.roots[plan.jobs[n].root], plan.jobs[n].rel, item);
    std::string reason;
    if (!galleries.Write(reason)) {
      std::fprintf(stderr, "millview: %s\n", reason.c_str());
      ++failed;
    }
    std::set<std::string> viewed;  // top folders of trees with a 3D page
    for (std::size_t n = 0; n < plan.jobs.size(); ++n)
      for (const GalleryItem& item : results[n].items)
        if (!item.modelPage.empty()) viewed.insert(plan.roots[plan.jobs[n].root]);
    if (!WriteViewerScripts(scripts, viewed, reason)) {
      std::fprintf(stderr, "millview: %s\n", reason.c_str());
      ++failed;
    }
  }
  if (!options.quiet)
    std::printf("%s\n", cli::SummaryLine("millview", {{converted, "converted"},
                                                       {failed, "failed"},
                                                       {plan.skipped, "skipped"}})
                             .c_str());
  std::fflush(stdout);
  return failed ? cli::kSomeFailed : cli::kAllDone;
}

int Main(const std::vector<std::string>& arguments) {
  Options options;
  std::string error;
  switch (ParseCommandLine(arguments, options, error)) {
    case cli::Request::kHelp:
      std::fputs(kUsage, stdout);
      return cli::kAllDone;
    case cli::Request::kVersion:
      std::printf("millview %s\n", RT_VERSION);
      return cli::kAllDone;
    case cli::Request::kUsageError:
      cli::PrintUsageError("millview", error);
      return cli::kUsageError;
    case cli::Request::kRun:
      break;
  }
  // pixmill's readers run on the runtime library, brought up here for the
  // whole run; millview's statuses stay its own when it cannot start.
  RuntimeSession runtime;
  if (!runtime.started()) {
    std::fprintf(stderr, "millview: the runtime library could not be started\n");
    return cli::kSomeFailed;
  }
  return Run(options, runtime);
}

}  // namespace millview
