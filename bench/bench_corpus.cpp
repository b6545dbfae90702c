// Read rate and CPU time over whole image sets, ours beside zxing-cpp's
// ReadBarcode on the same images. A plain program rather than a Google
// Benchmark: what matters here is the rate and the spread over many different
// images, not the mean of one image repeated.
//
//   cordavex_bench_corpus [--set realworld|camera|all] [--plain] [--views|--views-tsv] [--list]
//                         [--tier tiny|small|large]
//
// Sets: the real photos listed in ../shared/testdata/realworld/manifest.tsv, and
// camera-like frames drawn by the test support library (QR versions 1 to 13
// from libqrencode at 176x144, 320x240, 640x480 and 1280x960, easy, medium and
// hard distortions, fixed seeds). Readers: "still" (ReadStillImage, what
// `cordavex scan` does by default), "plain" (with --plain: mode 0 up to 8
// consecutive calls, the camera path as `cordavex scan --plain` runs it) and
// "zxing" (ReadBarcode with the QR format, on the same grey image). CPU time
// is the process's CPU clock around each read, so other load on the machine
// adds little. Before the timed reads each reader reads the first image of
// every set once, untimed: what a process does once (a code page converter
// loaded on the first text that needs it, zxing-cpp's tables) is not the cost
// of whichever image happens to come first. --views times every candidate view of the still reader on every
// image on its own (--views-tsv: one line per view and image, for
// bench/plan_views.py, which orders the plan); --list prints each image's
// result; --tier keeps the images of one of the reader's frame tiers, whose
// plans a table of that tier alone refines; --every-symbology has the still reader look for all three
// symbologies in every image, as `cordavex scan` does unless told otherwise
// (zxing-cpp keeps the one format).
#include <ZXing/ReadBarcode.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <iterator>
#include <optional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cli/image_io.h"
#include "cordavex/recognizer.h"
#include "cordavex/still_reader.h"
#include "decode/failure.h"
#include "engine/prepare.h"
#include "engine/still_reader.h"
#include "engine/workspace.h"
#include "support/cv_symbols.h"
#include "support/dm_symbols.h"
#include "support/realworld.h"
#include "support/qr_symbols.h"
#include "support/render.h"

namespace cordavex {
namespace {

struct Sample {
  std::string name;
  std::string set;
  uint32_t mask = kMaskQr;  // the symbology looked for
  bool zxingReads = true;   // zxing-cpp has no reader for the Cordavex code
  int width = 0;
  int height = 0;
  std::vector<uint8_t> grey;
  std::vector<uint8_t> expected;
};

double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

std::vector<Sample> RealPhotos(const char* symbology, uint32_t mask, const char* set) {
  const std::string dir = test::RealWorldDir();
  std::vector<Sample> samples;
  for (const test::RealWorldPhoto& photo : test::RealWorldPhotos(symbology)) {
    cli::Image image;
    std::string error;
    if (!cli::ReadImage(dir + "/images/" + photo.file, image, error)) {
      std::fprintf(stderr, "%s: %s\n", photo.file.c_str(), error.c_str());
      continue;
    }
    Sample s;
    s.name = photo.file;
    s.set = set;
    s.mask = mask;
    s.width = image.width;
    s.height = image.height;
    s.grey = GreyOfFrame(image.pixels.data(), image.width, image.height, image.bitsPerPixel);
    s.expected.assign(photo.expected.begin(), photo.expected.end());
    samples.push_back(std::move(s));
  }
  return samples;
}

// Camera-like frames: the symbol's share of the frame height, the angle, blur,
// noise and light get harder from easy to hard.
struct Difficulty {
  const char* name;
  double heightShare;
  double rotation;
  double perspective;
  double blur;
  double noise;
  double unevenLight;
};
constexpr Difficulty kDifficulties[] = {
    {"easy", 0.70, 5, 0.00, 0.5, 2, 0.0},
    {"medium", 0.50, 20, 0.10, 0.9, 5, 0.2},
    {"hard", 0.35, 37, 0.18, 1.3, 9, 0.4},
};
struct FrameSize {
  int width;
  int height;
};
constexpr FrameSize kFrameSizes[] = {{176, 144}, {320, 240}, {640, 480}, {1280, 960}};
constexpr int kLastQrVersion = 13;

// One symbol of a camera-like set: its modules (quiet zone not included) and
// the bytes a reader must return.
struct Symbol {
  std::vector<uint8_t> modules;
  int side = 0;
  std::vector<uint8_t> bytes;
};

// `symbols` gives the symbol for one item of the set and the frame's seed.
using SymbolSource = std::function<std::optional<std::pair<std::string, Symbol>>(int, uint32_t)>;

void AddCameraFrames(const char* symbology, uint32_t mask, bool zxingReads, int items,
                     const SymbolSource& symbols, std::vector<Sample>& samples) {
  uint32_t seed = 1;
  for (const FrameSize& size : kFrameSizes) {
    for (const Difficulty& d : kDifficulties) {
      for (int item = 0; item < items; ++item) {
        ++seed;
        const auto made = symbols(item, seed);
        if (!made) continue;
        const auto& [label, symbol] = *made;
        test::RenderOptions o;
        o.width = size.width;
        o.height = size.height;
        o.moduleSize = size.height * d.heightShare / (symbol.side + 8);
        o.rotation = d.rotation * ((seed % 2) != 0 ? 1 : -1);
        o.perspective = d.perspective;
        o.blur = d.blur;
        o.noise = d.noise;
        o.unevenLight = d.unevenLight;
        o.centerX = 0.5 + 0.04 * static_cast<int>(seed % 5) - 0.08;
        o.centerY = 0.5 + 0.03 * static_cast<int>(seed % 3) - 0.03;
        o.seed = seed;
        const test::Frame frame = test::RenderModules(symbol.modules, symbol.side, o);
        const std::string frameSize = std::to_string(size.width) + "x" + std::to_string(size.height);
        Sample s;
        // QR frames keep their plain names ("640x480 easy v3"); the others say
        // their symbology first.
        const std::string prefix = mask == kMaskQr ? "" : std::string(symbology) + " ";
        s.name = prefix + frameSize + " " + d.name + " " + label;
        s.set = std::string(symbology) + " " + frameSize;
        s.mask = mask;
        s.zxingReads = zxingReads;
        s.width = size.width;
        s.height = size.height;
        s.grey = frame.grey;
        s.expected = symbol.bytes;
        samples.push_back(std::move(s));
      }
    }
  }
}

// QR versions 1 to 13 from libqrencode, level M, random bytes drawn from the
// frame's seed.
std::optional<std::pair<std::string, Symbol>> QrSymbol(int item, uint32_t seed) {
  const int version = item + 1;
  const int capacity = test::QrByteCapacity(version, test::kLevelM);
  const std::vector<uint8_t> bytes =
      test::RandomBytes(static_cast<size_t>(std::min(capacity, 40 + version * 7)), seed);
  const auto symbol = test::EncodeQrBytes(bytes, version, test::kLevelM);
  if (!symbol) return std::nullopt;
  return std::pair{"v" + std::to_string(version), Symbol{symbol->modules, symbol->size, bytes}};
}

// Data Matrix sizes 10 to 48 from libdmtx, random bytes in base 256.
constexpr int kDmSizes[] = {10, 12, 14, 16, 18, 20, 22, 24, 26, 32, 36, 40, 44, 48};
std::optional<std::pair<std::string, Symbol>> DmSymbol(int item, uint32_t seed) {
  const int size = kDmSizes[item];
  // Base 256 spends a codeword on its latch and one on the length.
  const int capacity = test::DmDataCodewordCount(size) - 2;
  const std::vector<uint8_t> bytes =
      test::RandomBytes(static_cast<size_t>(std::min(capacity, 40 + size)), seed);
  const auto symbol = test::EncodeDmBytes(bytes, size, test::DmScheme::kBase256);
  if (!symbol) return std::nullopt;
  return std::pair{"s" + std::to_string(size), Symbol{symbol->modules, symbol->size, bytes}};
}

// Cordavex code from our own generator (no other encoder exists): three texts
// from the smallest side that holds them and from sides 21 and 29, at error
// levels 0 and 3; the expected bytes are the grid decoder's output for the
// generated matrix.
constexpr int kCvItems = 3 * 3 * 2;
std::optional<std::pair<std::string, Symbol>> CvSymbol(int item, uint32_t) {
  static const std::u16string kTexts[] = {
      u"CORDAVEX", u"https://cordavex.example/a/b?c=12345",
      u"MECARD:N:Lee,Ann;TEL:0912345678;EMAIL:ann@example.org;;"};
  static constexpr int kMinSides[] = {13, 21, 29};
  const std::u16string& text = kTexts[item % 3];
  const int minSide = kMinSides[(item / 3) % 3];
  const int level = item / 9 == 0 ? 0 : 3;
  const test::CvSymbol s = test::GenerateCvText(text, minSide, level);
  if (s.status != 1) return std::nullopt;
  const test::CvDecoded decoded = test::DecodeCv(s.Matrix(0), s.side);
  if (decoded.status != 1) return std::nullopt;
  int side = 0;
  std::vector<uint8_t> modules = s.MapModules(0, side);
  // Named by side, smallest side asked for, level and text: two items can
  // share a side.
  return std::pair{"n" + std::to_string(s.side) + " m" + std::to_string(minSide) + " l" +
                       std::to_string(level) + " t" + std::to_string(item % 3),
                   Symbol{std::move(modules), side, decoded.bytes}};
}

struct Read {
  std::string cause;  // the stage that lost a miss
  std::string view;   // the still reader's view that read it
  bool decoded = false;
  bool wrong = false;
  double ms = 0;
  int calls = 0;
};

// `mask` 0: the sample's own symbology.
Read ReadStill(const Sample& s, uint32_t mask, ScanResult& result) {
  StillReadOutcome outcome;
  StillReadOptions options;
  options.symbologyMask = mask != 0 ? mask : s.mask;
  const double t0 = CpuMs();
  const int32_t status = ReadStillImage(s.grey.data(), s.width, s.height, 8, &result, options, &outcome);
  Read r;
  r.ms = CpuMs() - t0;
  r.calls = outcome.engineCalls;
  r.cause = outcome.missCause;
  r.view = outcome.view;
  r.decoded = status == 1 && outcome.bytes == s.expected;
  r.wrong = status == 1 && !r.decoded;
  return r;
}

Read ReadPlain(const Sample& s, std::vector<uint64_t>& workspace, ScanResult& result) {
  const double t0 = CpuMs();
  workspace.assign(static_cast<size_t>(GetRecognizerSize(s.width, s.height)) / 8 + 1, 0);
  int32_t status = 0;
  Read r;
  for (int call = 0; call < 8 && status != 1; ++call) {
    result.mode() = 0;
    result.symbologyMask() = static_cast<int32_t>(s.mask);
    status = RecognizeImage(s.grey.data(), workspace.data(), s.width, s.height, 8, &result);
    ++r.calls;
  }
  r.ms = CpuMs() - t0;
  const Recognizer& w = *reinterpret_cast<const Recognizer*>(workspace.data());
  Failure why = w.miss[0];
  for (const Failure f : w.miss) {
    if (why == Failure::kNone) why = f;
  }
  r.cause = std::string(FailureInfo(why).stage) + ": " + std::string(FailureInfo(why).cause);
  if (status == 1) {
    const DecodedSymbol symbol = LastDecodedSymbol(workspace.data());
    r.decoded = std::equal(symbol.bytes.begin(), symbol.bytes.end(), s.expected.begin(),
                           s.expected.end());
    r.wrong = !r.decoded;
  }
  return r;
}

Read ReadZxing(const Sample& s) {
  static const auto qr = ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::QRCode);
  static const auto dm = ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::DataMatrix);
  const auto& hints = s.mask == kMaskDataMatrix ? dm : qr;
  const double t0 = CpuMs();
  const ZXing::Result z =
      ZXing::ReadBarcode(ZXing::ImageView(s.grey.data(), s.width, s.height, ZXing::ImageFormat::Lum), hints);
  Read r;
  r.ms = CpuMs() - t0;
  r.calls = 1;
  if (z.isValid()) {
    const auto& bytes = z.bytes();
    r.decoded = std::equal(bytes.begin(), bytes.end(), s.expected.begin(), s.expected.end());
    r.wrong = !r.decoded;
  }
  return r;
}

const char* Verdict(const Read& r) { return r.wrong ? "WRONG" : r.decoded ? "ok" : "--"; }

double Quantile(std::vector<double> v, double q) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size() - 1) + 0.5));
  return v[i];
}

struct Tally {
  int images = 0;
  int decoded = 0;
  int wrong = 0;
  std::vector<double> ms;
  std::vector<bool> read;
  double total = 0;
  void Add(const Read& r) {
    ++images;
    decoded += r.decoded;
    wrong += r.wrong;
    ms.push_back(r.ms);
    read.push_back(r.decoded);
    total += r.ms;
  }
};

void PrintTally(const std::string& set, const char* reader, const Tally& t, const Tally& zxing) {
  std::printf("%-20s %-6s %4d/%-4d %6.1f%% wrong %2d  median %7.2f ms  p90 %7.2f ms  total %8.1f ms",
              set.c_str(), reader, t.decoded, t.images, 100.0 * t.decoded / std::max(1, t.images),
              t.wrong, Quantile(t.ms, 0.5), Quantile(t.ms, 0.9), t.total);
  if (&t != &zxing && zxing.total > 0 && zxing.ms.size() == t.ms.size()) {
    // Over the images this reader read, against zxing-cpp's time on the same
    // images (whether or not zxing-cpp read them).
    double ours = 0, theirs = 0;
    for (size_t i = 0; i < t.ms.size(); ++i) {
      if (!t.read[i]) continue;
      ours += t.ms[i];
      theirs += zxing.ms[i];
    }
    std::printf("  ours/zxing %.2f (read: %.2f)", t.total / zxing.total, theirs > 0 ? ours / theirs : 0.0);
  }
  std::printf("\n");
}

// Every candidate view on every image, alone: which images it decodes and what
// it costs, to order the plan by gain per millisecond. With `perImage` one
// tab-separated line per view and image (view, image, decoded 0/1, 2 for a
// wrong reading or - when the view cannot be made of that image, ms, the mask
// bits of the symbologies it placed and, shifted 8 places, of those whose
// content it refused, and bit 16 when a call grouped bars as a Cordavex
// code's finder, the image's pixels, the most QR finder
// candidates a call found, then for each closer look after it: x when it would
// not be taken, else decoded 0/1/2, ms, finder candidates, placed bits), the
// input of bench/plan_views.py. A nonzero `mask` looks for those symbologies
// in every image instead of the image's own.
// The still reader's frame tiers, as it picks its plans: tiny frames (a third
// of 320 x 240 or less), the others the engine keeps as they are, and those it
// reduces.
std::string TierOf(int width, int height) {
  const int64_t pixels = int64_t{width} * height;
  if (ReductionFactor(pixels) > 1) return "large";
  return pixels <= kSmallFramePixels / 3 ? "tiny" : "small";
}

// The placed bits, above them the refused ones and above those whether a call
// grouped Cordavex code bars, as one column.
constexpr int kCvGroupsBit = 16;
uint32_t PlacedColumn(const ViewRun& run) {
  return run.placed | run.refused << 8 | (run.cvGroups ? 1u : 0u) << kCvGroupsBit;
}

void TimeViews(const std::vector<Sample>& samples, bool perImage, uint32_t mask) {
  auto result = std::make_unique<ScanResult>();
  StillWorkspace workspace;
  std::vector<uint8_t> view, look;
  for (const StillView& v : CandidateViews()) {
    int decoded = 0;
    double total = 0;
    std::string which;
    for (const Sample& s : samples) {
      const double t0 = CpuMs();
      int w = 0, h = 0;
      bool ok = false, wrong = false;
      uint32_t placed = 0;
      int finders = 0;
      // As the reader takes the view: a crop and the whole frame where they lie.
      std::span<const uint8_t> pixels;
      size_t stride = 0;
      const bool made = ViewPixels(s.grey, s.width, s.height, v, view, pixels, w, h, stride);
      if (made) {
        const ViewRun run =
            RunView(pixels, w, h, v, mask != 0 ? mask : s.mask, workspace, *result, stride);
        placed = PlacedColumn(run);
        finders = run.finders;
        if (run.status == 1) {
          const DecodedSymbol symbol = LastDecodedSymbol(workspace.data());
          ok = std::equal(symbol.bytes.begin(), symbol.bytes.end(), s.expected.begin(), s.expected.end());
          wrong = !ok;
          if (wrong) which += " WRONG:" + s.name;
        }
      }
      const double ms = CpuMs() - t0;
      total += ms;
      if (perImage) {
        std::printf("%s\t%s\t%s\t%.4f\t%d\t%d\t%d", ViewName(v).c_str(), s.name.c_str(),
                    !made ? "-" : ok ? "1" : wrong ? "2" : "0",
                    ms, placed, s.width * s.height, finders);
        // Each closer look the reader could take after this view, on the
        // symbol it placed (the reader takes the first after the first such
        // view and the second after the second).
        int lw = 0, lh = 0;
        const bool looks = made && !ok && !wrong &&
                           MakeCloserLook(workspace, v, w, h, s.grey, s.width, s.height, look, lw, lh);
        for (const StillView& l : CloserLooks()) {
          if (!looks) {
            std::printf("\tx\t0\t0\t0");
            continue;
          }
          const double l0 = CpuMs();
          const ViewRun run = RunView(look, lw, lh, l, mask != 0 ? mask : s.mask, workspace, *result);
          bool lookOk = false;
          if (run.status == 1) {
            const DecodedSymbol symbol = LastDecodedSymbol(workspace.data());
            lookOk = std::equal(symbol.bytes.begin(), symbol.bytes.end(), s.expected.begin(),
                                s.expected.end());
          }
          std::printf("\t%s\t%.4f\t%d\t%d", run.status != 1 ? "0" : lookOk ? "1" : "2",
                      CpuMs() - l0, run.finders, PlacedColumn(run));
        }
        std::printf("\n");
      }
      if (ok) {
        ++decoded;
        which += " " + s.name;
      }
    }
    if (!perImage) {
      std::printf("%-22s %3d decoded  %8.1f ms |%s\n", ViewName(v).c_str(), decoded, total, which.c_str());
    }
  }
}

// Writes every sample's grey image to `dir` as a PGM file named after it
// (spaces become underscores), to look at or to scan with the command line.
int DumpFrames(const std::vector<Sample>& samples, const std::string& dir) {
  for (const Sample& s : samples) {
    std::string name = s.name;
    std::replace(name.begin(), name.end(), ' ', '_');
    const std::string path = dir + "/" + name + ".pgm";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    std::fprintf(f, "P5\n%d %d\n255\n", s.width, s.height);
    const bool written = std::fwrite(s.grey.data(), 1, s.grey.size(), f) == s.grey.size();
    if (std::fclose(f) != 0 || !written) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}

}  // namespace
}  // namespace cordavex

int main(int argc, char** argv) {
  using namespace cordavex;
  std::string set = "all";
  std::string symbologies = "qr,dm,cv";
  bool plain = false, views = false, viewsTsv = false, list = false, everySymbology = false;
  std::string dump, tier;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--set" && i + 1 < argc) {
      set = argv[++i];
    } else if (a == "--symbologies" && i + 1 < argc) {
      symbologies = argv[++i];
    } else if (a == "--plain") {
      plain = true;
    } else if (a == "--views") {
      views = true;
    } else if (a == "--views-tsv") {
      views = viewsTsv = true;
    } else if (a == "--list") {
      list = true;
    } else if (a == "--every-symbology") {
      everySymbology = true;
    } else if (a == "--dump" && i + 1 < argc) {
      dump = argv[++i];
    } else if (a == "--tier" && i + 1 < argc) {
      tier = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--set realworld|camera|all] [--symbologies qr,dm,cv] [--plain] "
                   "[--views|--views-tsv] [--list] [--every-symbology] [--tier tiny|small|large] "
                   "[--dump DIR]\n", argv[0]);
      return 2;
    }
  }
  std::vector<Sample> samples;
  const auto wanted = [&](const char* word) {
    return ("," + symbologies + ",").find("," + std::string(word) + ",") != std::string::npos;
  };
  const auto add = [&](std::vector<Sample> more) {
    samples.insert(samples.end(), std::make_move_iterator(more.begin()),
                   std::make_move_iterator(more.end()));
  };
  if (set == "realworld" || set == "all") {
    if (wanted("qr")) add(RealPhotos("qr", kMaskQr, "qr real photos"));
    if (wanted("dm")) add(RealPhotos("dm", kMaskDataMatrix, "dm real photos"));
  }
  if (set == "camera" || set == "all") {
    if (wanted("qr")) AddCameraFrames("qr", kMaskQr, true, kLastQrVersion, QrSymbol, samples);
    if (wanted("dm")) {
      AddCameraFrames("dm", kMaskDataMatrix, true, static_cast<int>(std::size(kDmSizes)), DmSymbol,
                      samples);
    }
    if (wanted("cv")) AddCameraFrames("cv", kMaskCordavex, false, kCvItems, CvSymbol, samples);
  }
  if (!tier.empty()) {
    // Only the images of one of the reader's frame tiers: a table of views
    // for refining that tier's plans in a fraction of the time.
    std::erase_if(samples, [&](const Sample& s) { return TierOf(s.width, s.height) != tier; });
  }
  if (!dump.empty()) return DumpFrames(samples, dump);
  if (views) {
    TimeViews(samples, viewsTsv, everySymbology ? kMaskAll : 0);
    return 0;
  }
  auto result = std::make_unique<ScanResult>();
  std::vector<uint64_t> workspace;
  std::vector<std::string> order;
  std::map<std::string, Tally> still, plainTally, zxing;
  for (size_t i = 0; i < samples.size(); ++i) {
    if (i > 0 && samples[i].set == samples[i - 1].set) continue;
    if (samples[i].zxingReads) ReadZxing(samples[i]);
    ReadStill(samples[i], everySymbology ? kMaskAll : 0, *result);
    if (plain) ReadPlain(samples[i], workspace, *result);
  }
  for (const Sample& s : samples) {
    if (std::find(order.begin(), order.end(), s.set) == order.end()) order.push_back(s.set);
    const Read z = s.zxingReads ? ReadZxing(s) : Read{};
    const Read o = ReadStill(s, everySymbology ? kMaskAll : 0, *result);
    if (s.zxingReads) zxing[s.set].Add(z);
    still[s.set].Add(o);
    Read p;
    if (plain) {
      p = ReadPlain(s, workspace, *result);
      plainTally[s.set].Add(p);
    }
    if (list) {
      std::printf("%-28s still %-5s (%2d calls, %6.2f ms)  zxing %-5s (%6.2f ms)", s.name.c_str(),
                  Verdict(o), o.calls, o.ms, s.zxingReads ? Verdict(z) : "n/a", z.ms);
      if (plain) std::printf("  plain %-5s (%6.2f ms)", Verdict(p), p.ms);
      if (o.decoded) std::printf("  still read by [%s]", o.view.c_str());
      if (!o.decoded) std::printf("  still lost at [%s]", o.cause.c_str());
      if (plain && !p.decoded) std::printf("  plain lost at [%s]", p.cause.c_str());
      std::printf("\n");
    }
  }
  for (const std::string& name : order) {
    if (zxing.count(name) != 0) PrintTally(name, "zxing", zxing[name], zxing[name]);
    PrintTally(name, "still", still[name], zxing[name]);
    if (plain) PrintTally(name, "plain", plainTally[name], zxing[name]);
  }
  return 0;
}
