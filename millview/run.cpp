#include "millview/run.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "millview/files.h"
#include "millview/gallery.h"
#include "millview/model.h"
#include "millview/model_page.h"
#include "millview/names.h"
#include "millview/textures.h"
#include "millview/tracks.h"
#include "platform/memory.h"
#include "platform/path.h"
#include "platform/terminal.h"
#include "rt_version.h"

namespace millview {

namespace {

const char kUsage[] =
    "Usage: millview [OPTION]... FILE|FOLDER...\n"
    "Turns textures (MIP, SRB, PBF), pictures (PCX, Targa) into PNG and tracks\n"
    "(VTR or MOTA .trk, loose or in a .dat, and .xq) into SVG plans. Folders are\n"
    "walked recursively; files of other kinds are skipped.\n"
    "\n"
    "  -o DIR      write outputs under DIR, keeping the folders' structure\n"
    "              (default: beside each input)\n"
    "  -j N        convert N files at a time (default: one per processor)\n"
    "  --sheet     one PNG per texture with all levels in a row\n"
    "              (default: one PNG per level)\n"
    "  --html      also write an index.html gallery in every output folder\n"
    "              (textures then get their levels and their sheet)\n"
    "  -q          print only errors\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Examples:\n"
    "  millview wall.mip                  wall.mip.0.png, wall.mip.1.png, ...\n"
    "  millview --sheet wall.mip          wall.mip.png with every level\n"
    "  millview tracks/alpha/alpha.trk    tracks/alpha/alpha.trk.svg\n"
  "  millview --3d alpha.trk            alpha.trk.svg and alpha.trk.glb\n"
    "  millview -o view --html game/      view/**, view/index.html to browse\n"
    "\n"
    "Exit status: 0 all converted, 1 some file failed, 2 usage error.\n";

void UsageError(const std::string& message) {
  std::fprintf(stderr, "millview: %s\nTry 'millview --help' for more information.\n",
               message.c_str());
}

bool ParseJobs(const std::string& text, unsigned& jobs) {
  if (text.empty() || text.size() > 4) return false;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0) return false;
  jobs = value;
  return true;
}

enum class Kind { kTexture, kPicture, kTrack, kUnknown };

Kind KindOf(const std::string& extension) {
  if (extension == "mip" || extension == "srb" || extension == "pbf") return Kind::kTexture;
  if (extension == "pcx" || extension == "tga") return Kind::kPicture;
  if (extension == "trk" || extension == "xq" || extension == "dat") return Kind::kTrack;
  return Kind::kUnknown;
}

/// One input file and where its outputs go.
struct Job {
  std::string input;
  std::string extension;
  std::string out_dir;
  std::size_t root = 0;  ///< gallery tree the outputs belong to
  std::string rel;       ///< output folder below the tree's root, '/'-separated
};

struct Plan {
  std::vector<Job> jobs;
  std::vector<std::string> roots;
  unsigned skipped = 0;
};

void Walk(const std::string& folder, const std::string& out_dir, std::size_t root,
          const std::string& rel, Plan& plan) {
  std::vector<std::string> files, folders;
  ListFolder(folder, files, folders);
  for (const std::string& name : files) {
    const std::string extension = LowerExtension(name);
    if (KindOf(extension) == Kind::kUnknown) {
      ++plan.skipped;
      continue;
    }
    plan.jobs.push_back(Job{JoinPath(folder, name), extension, out_dir, root, rel});
  }
  for (const std::string& name : folders)
    Walk(JoinPath(folder, name), JoinPath(out_dir, name), root, rel.empty() ? name : rel + "/" + name,
         plan);
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

void ConvertTexture(const Job& job, const Options& options, Result& result) {
  std::vector<uint8_t> bytes;
  Texture texture;
  if (!ReadWholeFile(job.input, bytes, result.reason) ||
      !ReadTexture(bytes, job.extension, texture, result.reason))
    return;
  const std::string name = FileNameOf(job.input);
  GalleryItem item;
  item.source = name;
  item.kind = KindOf(job.extension) == Kind::kPicture ? GalleryItem::kPicture : GalleryItem::kTexture;
  item.width = texture.levels[0].width;
  item.height = texture.levels[0].height;
  std::vector<Output> outputs;
  if (item.kind == GalleryItem::kPicture) {
    item.image = name + ".png";
    outputs.push_back(Output{JoinPath(job.out_dir, item.image), EncodePng(texture.levels[0])});
  } else {
    const bool levels = !options.sheet || options.html;
    const bool sheet = options.sheet || options.html;
    if (levels)
      for (std::size_t i = 0; i < texture.levels.size(); ++i) {
        const std::string level = name + "." + std::to_string(i) + ".png";
        item.levels.push_back(level);
        outputs.push_back(Output{JoinPath(job.out_dir, level), EncodePng(texture.levels[i])});
      }
    if (sheet) {
      item.sheet = name + ".png";
      outputs.push_back(Output{JoinPath(job.out_dir, item.sheet), EncodePng(MakeSheet(texture.levels))});
    }
    item.image = levels ? item.levels[0] : item.sheet;
  }
  for (const Output& output : outputs)
    if (output.bytes.empty()) {
      result.reason = "cannot encode " + output.path;
      return;
    }
  if (texture.sprite) {
    const SpriteInfo& s = texture.sprite_info;
    item.sprite = true;
    item.details = Number(s.width_m) + " x " + Number(s.height_m) + " m, " + Number(s.pixel_width) +
                   " x " + Number(s.pixel_height) + " pixels, centre " + Number(s.centre_x) + ", " +
                   Number(s.centre_y);
    result.notes.push_back(job.input + ": sprite " + item.details);
  }
  if (!MakeFolders(job.out_dir) || !WriteOutputs(outputs, result.reason)) {
    if (result.reason.empty()) result.reason = "cannot make the folder " + job.out_dir;
    return;
  }
  result.items.push_back(item);
  result.ok = true;
}

/// "../" once for every folder of `rel` below the gallery's top folder.
std::string UpToTop(const std::string& rel) {
  if (rel.empty()) return "";
  std::string up = "../";
  for (char c : rel)
    if (c == '/') up += "../";
  return up;
}

/// `scripts` is null when the 3D pages cannot be made.
void ConvertTracks(const Job& job, const Options& options, const ViewerScripts* scripts,
                   Result& result) {
  std::vector<Output> outputs;
  try {
    for (const NamedTrack& named : ReadTracks(job.input, job.extension)) {
      PlanFacts facts;
      const std::string svg = TrackSvg(*named.track, named.track_name, facts);
      GalleryItem item;
      item.kind = GalleryItem::kPlan;
      item.source = named.file_name;
      item.image = named.file_name + ".svg";
      item.width = facts.width_px;
      item.height = facts.height_px;
      char details[160];
      std::snprintf(details, sizeof details, "%u sections, %.0f m long, %.0f x %.0f m",
                    facts.sections, facts.length_m, facts.width_m, facts.height_m);
      item.details = details;
      outputs.push_back(Output{JoinPath(job.out_dir, item.image),
                               std::vector<uint8_t>(svg.begin(), svg.end())});
      if (options.model || options.html) {
        ModelFacts model;
        std::vector<uint8_t> glb = TrackModel(*named.track, named.track_name, model);
        if (options.html && scripts) {
          item.model_page = ModelPageName(item.image);
          const std::string page = ModelPage(named.track_name, item.image, glb, model, UpToTop(job.rel));
          outputs.push_back(Output{JoinPath(job.out_dir, item.model_page),
                                   std::vector<uint8_t>(page.begin(), page.end())});
        }
        outputs.push_back(Output{JoinPath(job.out_dir, ModelName(item.image)), std::move(glb)});
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
  if (!MakeFolders(job.out_dir) || !WriteOutputs(outputs, result.reason)) {
    if (result.reason.empty()) result.reason = "cannot make the folder " + job.out_dir;
    result.items.clear();
    return;
  }
  result.ok = true;
}

/// The progress line on a terminal: files done, files total, rate.
class Progress {
 public:
  Progress(bool shown, std::size_t total)
      : shown_(shown), total_(total), start_(std::chrono::steady_clock::now()) {}
  void Done(std::size_t done) {
    if (!shown_) return;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    width_ = std::fprintf(stderr, "\r%zu/%zu files, %.1f files/s ", done, total_,
                          seconds > 0 ? done / seconds : 0.0);
    std::fflush(stderr);
  }
  /// Blanks the line, so that a message can take its place.
  void Clear() {
    if (!shown_ || width_ <= 0) return;
    std::fprintf(stderr, "\r%*s\r", width_, "");
    std::fflush(stderr);
  }
  void End() {
    if (shown_) std::fputs("\n", stderr);
  }

 private:
  bool shown_;
  int width_ = 0;
  std::size_t total_;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace

int ParseCommandLine(const std::vector<std::string>& arguments, Options& options) {
  bool names_only = false;
  for (std::size_t a = 0; a < arguments.size(); ++a) {
    const std::string& arg = arguments[a];
    if (names_only || arg.empty() || arg[0] != '-' || arg == "-") {
      options.inputs.push_back(arg);
    } else if (arg == "--") {
      names_only = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--version") {
      std::printf("millview %s\n", RT_VERSION);
      return 0;
    } else if (arg == "--sheet") {
      options.sheet = true;
    } else if (arg == "--html") {
      options.html = true;
    } else if (arg == "--3d") {
      options.model = true;
    } else if (arg == "-q" || arg == "--quiet") {
      options.quiet = true;
    } else if (arg == "-o" || arg == "-j") {
      if (a + 1 >= arguments.size()) {
        UsageError("option '" + arg + "' needs a value");
        return 2;
      }
      const std::string& value = arguments[++a];
      if (arg == "-o") {
        if (value.empty()) {
          UsageError("option '-o' needs a folder name");
          return 2;
        }
        options.out_dir = value;
      } else if (!ParseJobs(value, options.jobs)) {
        UsageError("option '-j' needs a whole number from 1 to 9999, not '" + value + "'");
        return 2;
      }
    } else {
      UsageError("unknown option '" + arg + "'");
      return 2;
    }
  }
  if (options.inputs.empty()) {
    UsageError("no input files or folders given");
    return 2;
  }
  return -1;
}

int Run(const Options& options) {
  // Every file allocates and frees picture-sized buffers several times.
  platform::KeepFreedHeapMemory();
  for (const std::string& input : options.inputs)
    if (!Exists(input)) {
      UsageError("cannot find '" + input + "'");
      return 2;
    }
  Plan plan;
  for (const std::string& input : options.inputs) {
    const std::size_t root = plan.roots.size();
    if (IsFolder(input)) {
      std::string folder = input;
      while (folder.size() > 1 && platform::IsSeparator(folder.back())) folder.pop_back();
      const std::string out = options.out_dir.empty() ? folder : options.out_dir;
      plan.roots.push_back(out);
      Walk(folder, out, root, "", plan);
      continue;
    }
    const std::string extension = LowerExtension(FileNameOf(input));
    if (KindOf(extension) == Kind::kUnknown) {
      ++plan.skipped;
      continue;
    }
    std::string out = options.out_dir.empty() ? DirectoryOf(input) : options.out_dir;
    if (out.empty()) out = ".";
    plan.roots.push_back(out);
    plan.jobs.push_back(Job{input, extension, out, root, ""});
  }

  // The 3D pages need three.js where the system installs it; without it
  // the galleries go without them, and the user hears so once.
  ViewerScripts scripts;
  bool have_scripts = false;
  if (options.html) {
    std::string missing;
    have_scripts = FindViewerScripts(scripts, missing);
    if (!have_scripts)
      std::fprintf(stderr, "millview: no 3D pages in the galleries: cannot find %s (Debian: libjs-three)\n",
                   missing.c_str());
  }

  std::vector<Result> results(plan.jobs.size());
  unsigned workers = options.jobs ? options.jobs : std::thread::hardware_concurrency();
  if (workers == 0) workers = 1;
  if (workers > plan.jobs.size()) workers = static_cast<unsigned>(plan.jobs.size());
  Progress progress(!options.quiet && platform::StandardErrorIsTerminal(), plan.jobs.size());
  std::atomic<std::size_t> next{0};
  std::size_t done = 0;
  std::mutex report_lock;
  auto work = [&] {
    for (std::size_t n; (n = next.fetch_add(1)) < plan.jobs.size();) {
      const Job& job = plan.jobs[n];
      Result& result = results[n];
      if (KindOf(job.extension) == Kind::kTrack) ConvertTracks(job, options, have_scripts ? &scripts : nullptr, result);
      else ConvertTexture(job, options, result);
      std::lock_guard<std::mutex> hold(report_lock);
      if (!result.ok || (!options.quiet && !result.notes.empty())) progress.Clear();
      if (!result.ok) std::fprintf(stderr, "millview: %s: %s\n", job.input.c_str(), result.reason.c_str());
      if (!options.quiet) {
        for (const std::string& note : result.notes) std::printf("%s\n", note.c_str());
        std::fflush(stdout);
      }
      progress.Done(++done);
    }
  };
  std::vector<std::thread> threads;
  for (unsigned t = 1; t < workers; ++t) threads.emplace_back(work);
  work();
  for (std::thread& thread : threads) thread.join();
  progress.End();

  unsigned converted = 0, failed = 0;
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
        if (!item.model_page.empty()) viewed.insert(plan.roots[plan.jobs[n].root]);
    if (!WriteViewerScripts(scripts, viewed, reason)) {
      std::fprintf(stderr, "millview: %s\n", reason.c_str());
      ++failed;
    }
  }
  if (!options.quiet)
    std::printf("millview: %u converted, %u failed, %u skipped\n", converted, failed, plan.skipped);
  std::fflush(stdout);
  return failed ? 1 : 0;
}

int Main(const std::vector<std::string>& arguments) {
  Options options;
  const int status = ParseCommandLine(arguments, options);
  if (status >= 0) return status;
  return Run(options);
}

}  // namespace millview
