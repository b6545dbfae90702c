// Read rate and CPU time over whole image sets, ours beside zxing-cpp's
// ReadBarcode on the same images. A plain program rather than a Google
// Benchmark: what matters here is the rate and the spread over many different
// images, not the mean of one image repeated.
//
//   cordavex_bench_corpus [--set realworld|camera|all] [--plain] [--views|--views-tsv] [--list]
//
// Sets: the real photos listed in ../shared/testdata/realworld/manifest.tsv, and
// camera-like frames drawn by the test support library (QR versions 1 to 13
// from libqrencode at 176x144, 320x240, 640x480 and 1280x960, easy, medium and
// hard distortions, fixed seeds). Readers: "still" (ReadStillImage, what
// `cordavex scan` does by default), "plain" (with --plain: mode 0 up to 8
// consecutive calls, the camera path as `cordavex scan --plain` runs it) and
// "zxing" (ReadBarcode with the QR format, on the same grey image). CPU time
// is the process's CPU clock around each read, so other load on the machine
// adds little. --views times every candidate view of the still reader on every
// image on its own (--views-tsv: one line per view and image, for
// bench/plan_views.py, which orders the plan); --list prints each image's
// result.
#include <ZXing/ReadBarcode.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/image_io.h"
#include "cordavex/recognizer.h"
#include "cordavex/still_reader.h"
#include "decode/failure.h"
#include "engine/still_reader.h"
#include "engine/workspace.h"
#include "support/realworld.h"
#include "support/qr_symbols.h"
#include "support/render.h"

namespace cordavex {
namespace {

struct Sample {
  std::string name;
  std::string set;
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

std::vector<Sample> RealPhotos() {
  const std::string dir = test::RealWorldDir();
  std::vector<Sample> samples;
  for (const test::RealWorldPhoto& photo : test::RealWorldPhotos("qr")) {
    cli::Image image;
    std::string error;
    if (!cli::ReadImage(dir + "/images/" + photo.file, image, error)) {
      std::fprintf(stderr, "%s: %s\n", photo.file.c_str(), error.c_str());
      continue;
    }
    Sample s;
    s.name = photo.file;
    s.set = "real photos";
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
constexpr int kLastVersion = 13;

std::vector<Sample> CameraFrames() {
  std::vector<Sample> samples;
  uint32_t seed = 1;
  for (const FrameSize& size : kFrameSizes) {
    for (const Difficulty& d : kDifficulties) {
      for (int version = 1; version <= kLastVersion; ++version) {
        ++seed;
        const int capacity = test::QrByteCapacity(version, test::kLevelM);
        const std::vector<uint8_t> bytes =
            test::RandomBytes(static_cast<size_t>(std::min(capacity, 40 + version * 7)), seed);
        const auto symbol = test::EncodeQrBytes(bytes, version, test::kLevelM);
        if (!symbol) continue;
        test::RenderOptions o;
        o.width = size.width;
        o.height = size.height;
        o.moduleSize = size.height * d.heightShare / (symbol->size + 8);
        o.rotation = d.rotation * ((seed % 2) != 0 ? 1 : -1);
        o.perspective = d.perspective;
        o.blur = d.blur;
        o.noise = d.noise;
        o.unevenLight = d.unevenLight;
        o.centerX = 0.5 + 0.04 * static_cast<int>(seed % 5) - 0.08;
        o.centerY = 0.5 + 0.03 * static_cast<int>(seed % 3) - 0.03;
        o.seed = seed;
        const test::Frame frame = test::RenderModules(symbol->modules, symbol->size, o);
        Sample s;
        s.name = std::to_string(size.width) + "x" + std::to_string(size.height) + " " + d.name +
                 " v" + std::to_string(version);
        s.set = "camera " + std::to_string(size.width) + "x" + std::to_string(size.height);
        s.width = size.width;
        s.height = size.height;
        s.grey = frame.grey;
        s.expected = bytes;
        samples.push_back(std::move(s));
      }
    }
  }
  return samples;
}

struct Read {
  std::string cause;  // the stage that lost a miss
  bool decoded = false;
  bool wrong = false;
  double ms = 0;
  int calls = 0;
};

Read ReadStill(const Sample& s, ScanResult& result) {
  StillReadOutcome outcome;
  StillReadOptions options;
  options.symbologyMask = kMaskQr;
  const double t0 = CpuMs();
  const int32_t status = ReadStillImage(s.grey.data(), s.width, s.height, 8, &result, options, &outcome);
  Read r;
  r.ms = CpuMs() - t0;
  r.calls = outcome.engineCalls;
  r.cause = outcome.missCause;
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
    result.symbologyMask() = static_cast<int32_t>(kMaskQr);
    status = RecognizeImage(s.grey.data(), workspace.data(), s.width, s.height, 8, &result);
    ++r.calls;
  }
  r.ms = CpuMs() - t0;
  const Recognizer& w = *reinterpret_cast<const Recognizer*>(workspace.data());
  const Failure why = w.miss[0] != Failure::kNone ? w.miss[0] : w.miss[kLockQr];
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
  static const auto hints = ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::QRCode);
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
  double total = 0;
  void Add(const Read& r) {
    ++images;
    decoded += r.decoded;
    wrong += r.wrong;
    ms.push_back(r.ms);
    total += r.ms;
  }
};

void PrintTally(const std::string& set, const char* reader, const Tally& t, const Tally& zxing) {
  std::printf("%-20s %-6s %4d/%-4d %6.1f%% wrong %2d  median %7.2f ms  p90 %7.2f ms  total %8.1f ms",
              set.c_str(), reader, t.decoded, t.images, 100.0 * t.decoded / std::max(1, t.images),
              t.wrong, Quantile(t.ms, 0.5), Quantile(t.ms, 0.9), t.total);
  if (&t != &zxing && zxing.total > 0) {
    std::printf("  ours/zxing %.2f", t.total / zxing.total);
  }
  std::printf("\n");
}

// Every candidate view on every image, alone: which images it decodes and what
// it costs, to order the plan by gain per millisecond. With `perImage` one
// tab-separated line per view and image (view, image, decoded 0/1, ms), the
// input of bench/plan_views.py.
void TimeViews(const std::vector<Sample>& samples, bool perImage) {
  auto result = std::make_unique<ScanResult>();
  std::vector<uint64_t> workspace;
  std::vector<uint8_t> view;
  for (const StillView& v : CandidateViews()) {
    int decoded = 0;
    double total = 0;
    std::string which;
    for (const Sample& s : samples) {
      const double t0 = CpuMs();
      int w = 0, h = 0;
      bool ok = false;
      if (MakeView(s.grey, s.width, s.height, v, view, w, h)) {
        const ViewRun run = RunView(view, w, h, v, kMaskQr, workspace, *result);
        if (run.status == 1) {
          const DecodedSymbol symbol = LastDecodedSymbol(workspace.data());
          ok = std::equal(symbol.bytes.begin(), symbol.bytes.end(), s.expected.begin(), s.expected.end());
          if (!ok) which += " WRONG:" + s.name;
        }
      }
      const double ms = CpuMs() - t0;
      total += ms;
      if (perImage) std::printf("%s\t%s\t%d\t%.4f\n", ViewName(v).c_str(), s.name.c_str(), ok ? 1 : 0, ms);
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

}  // namespace
}  // namespace cordavex

int main(int argc, char** argv) {
  using namespace cordavex;
  std::string set = "all";
  bool plain = false, views = false, viewsTsv = false, list = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--set" && i + 1 < argc) {
      set = argv[++i];
    } else if (a == "--plain") {
      plain = true;
    } else if (a == "--views") {
      views = true;
    } else if (a == "--views-tsv") {
      views = viewsTsv = true;
    } else if (a == "--list") {
      list = true;
    } else {
      std::fprintf(stderr, "usage: %s [--set realworld|camera|all] [--plain] [--views|--views-tsv] [--list]\n", argv[0]);
      return 2;
    }
  }
  std::vector<Sample> samples;
  if (set == "realworld" || set == "all") samples = RealPhotos();
  if (set == "camera" || set == "all") {
    std::vector<Sample> frames = CameraFrames();
    samples.insert(samples.end(), std::make_move_iterator(frames.begin()),
                   std::make_move_iterator(frames.end()));
  }
  if (views) {
    TimeViews(samples, viewsTsv);
    return 0;
  }
  auto result = std::make_unique<ScanResult>();
  std::vector<uint64_t> workspace;
  std::vector<std::string> order;
  std::map<std::string, Tally> still, plainTally, zxing;
  for (const Sample& s : samples) {
    if (std::find(order.begin(), order.end(), s.set) == order.end()) order.push_back(s.set);
    const Read z = ReadZxing(s);
    const Read o = ReadStill(s, *result);
    zxing[s.set].Add(z);
    still[s.set].Add(o);
    Read p;
    if (plain) {
      p = ReadPlain(s, workspace, *result);
      plainTally[s.set].Add(p);
    }
    if (list) {
      std::printf("%-28s still %-5s (%2d calls, %6.2f ms)  zxing %-5s (%6.2f ms)", s.name.c_str(),
                  Verdict(o), o.calls, o.ms, Verdict(z), z.ms);
      if (plain) std::printf("  plain %-5s (%6.2f ms)", Verdict(p), p.ms);
      if (!o.decoded) std::printf("  still lost at [%s]", o.cause.c_str());
      if (plain && !p.decoded) std::printf("  plain lost at [%s]", p.cause.c_str());
      std::printf("\n");
    }
  }
  for (const std::string& name : order) {
    PrintTally(name, "zxing", zxing[name], zxing[name]);
    PrintTally(name, "still", still[name], zxing[name]);
    if (plain) PrintTally(name, "plain", plainTally[name], zxing[name]);
  }
  return 0;
}
