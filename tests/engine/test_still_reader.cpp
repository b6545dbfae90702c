// ReadStillImage: the still-image reader around the engine. Symbols come from
// libqrencode and are drawn by the test renderer; the decoded bytes are compared
// with what was encoded.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "cordavex/recognizer.h"
#include "cordavex/still_reader.h"
#include "engine/prepare.h"
#include "engine/still_reader.h"
#include "support/cv_symbols.h"
#include "support/dm_symbols.h"
#include "support/qr_symbols.h"
#include "support/render.h"
#include "support/workspace.h"

namespace cordavex {
namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

test::Frame Draw(const std::vector<uint8_t>& bytes, int version, const test::RenderOptions& o) {
  const auto symbol = test::EncodeQrBytes(bytes, version, test::kLevelM);
  EXPECT_TRUE(symbol.has_value());
  return test::RenderModules(symbol->modules, symbol->size, o);
}

// Mode 0 up to 8 consecutive calls: what `cordavex scan --plain` does.
bool PlainReads(const test::Frame& f) {
  test::Workspace ws(f.width, f.height);
  auto result = std::make_unique<ScanResult>();
  for (int call = 0; call < 8; ++call) {
    result->mode() = 0;
    result->symbologyMask() = static_cast<int32_t>(kMaskQr);
    if (RecognizeImage(f.pixels.data(), ws.data(), f.width, f.height, f.bitsPerPixel,
                       result.get()) == 1) {
      return true;
    }
  }
  return false;
}

// ReadStillImage on a rendered grey frame.
StillReadOutcome ReadStill(const test::Frame& f, const StillReadOptions& options = {}) {
  auto result = std::make_unique<ScanResult>();
  StillReadOutcome outcome;
  ReadStillImage(f.pixels.data(), f.width, f.height, f.bitsPerPixel, result.get(), options, &outcome);
  return outcome;
}

// The views after which a probe of `views` gives up: never before one that
// holds the whole frame.
int ProbeViews(std::span<const StillView> plan, int views) {
  for (int i = 0; i < static_cast<int>(plan.size()); ++i) {
    if (SeesWholeFrame(plan[i])) return std::max(views, i + 1);
  }
  return static_cast<int>(plan.size());
}

// The engine calls of the first `views` views of a plan.
int CallsOfFirstViews(std::span<const StillView> plan, int views) {
  int calls = 0;
  for (int i = 0; i < views && i < static_cast<int>(plan.size()); ++i) calls += plan[i].calls;
  return calls;
}

TEST(StillReader, AnEasyFrameTakesOneEngineCallInEveryPixelFormat) {
  const std::vector<uint8_t> bytes = Bytes("https://cordavex.example/still?id=42");
  for (const int bpp : {8, 16, 24, 32}) {
    test::RenderOptions o;
    o.bitsPerPixel = bpp;
    o.moduleSize = 5;
    o.rotation = 6;
    o.blur = 0.6;
    const test::Frame f = Draw(bytes, 3, o);
    auto result = std::make_unique<ScanResult>();
    StillReadOutcome outcome;
    EXPECT_EQ(ReadStillImage(f.pixels.data(), f.width, f.height, bpp, result.get(), {}, &outcome), 1)
        << bpp;
    EXPECT_EQ(outcome.engineCalls, 1) << bpp;
    EXPECT_EQ(outcome.symbology, 1) << bpp;
    EXPECT_EQ(outcome.bytes, bytes) << bpp;
    EXPECT_EQ(outcome.view, ViewName(StillPlan(f.width, f.height)[0])) << bpp;
    EXPECT_TRUE(outcome.missCause.empty()) << bpp;
  }
}

// Small modules in a large frame: the engine halves 640 x 480 before locating,
// which leaves the finders under two pixels a module; a crop at native
// resolution keeps them.
TEST(StillReader, ReadsSmallModulesThatThePlainCallsLose) {
  const std::vector<uint8_t> bytes = test::RandomBytes(60, 7);
  test::RenderOptions o;
  o.width = 640;
  o.height = 480;
  o.moduleSize = 2.6;
  o.rotation = 12;
  o.blur = 0.5;
  o.noise = 2;
  o.centerX = 0.35;
  o.centerY = 0.4;
  const test::Frame f = Draw(bytes, 5, o);
  ASSERT_FALSE(PlainReads(f)) << "the fixture no longer shows the plain calls' limit";
  const StillReadOutcome outcome = ReadStill(f);
  ASSERT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.bytes, bytes);
  EXPECT_NE(outcome.view, "full mode 0");
  EXPECT_EQ(outcome.missCause, "");
}

// QCIF frames have plans of their own: a small QR code (three pixels a module)
// and a Data Matrix (four), slightly turned and blurred, are read in the middle
// of a 176 x 144 frame and off centre, where the centre crop that most views
// of such frames take cuts them, looking for their symbology alone and for
// every one.
TEST(StillReader, ReadsSymbolsInQcifFrames) {
  const std::vector<uint8_t> bytes = Bytes("QCIF 176x144");
  const auto qr = test::EncodeQrBytes(bytes, 2, test::kLevelM);
  const auto dm = test::EncodeDmBytes(bytes, 18, test::DmScheme::kAscii);
  ASSERT_TRUE(qr.has_value());
  ASSERT_TRUE(dm.has_value());
  const test::CvSymbol cv = test::GenerateCvText(u"QCIF 176x144");
  ASSERT_EQ(cv.status, 1);
  int cvSide = 0;
  const std::vector<uint8_t> cvModules = cv.MapModules(0, cvSide);
  const std::vector<uint8_t> cvBytes = test::DecodeCv(cv.Matrix(0), cv.side).bytes;
  const struct {
    uint32_t mask;
    int symbology;
    const std::vector<uint8_t>& modules;
    int size;
    const std::vector<uint8_t>& expected;
  } cases[] = {{kMaskQr, 1, qr->modules, qr->size, bytes},
               {kMaskDataMatrix, 4, dm->modules, dm->size, bytes},
               // With every symbology too: the probe for Cordavex code's bars
               // finds them on the first views.
               {kMaskCordavex, 3, cvModules, cvSide, cvBytes}};
  const std::pair<double, double> places[] = {{0.5, 0.5}, {0.3, 0.68}};
  for (const auto& c : cases) {
    for (const auto& [x, y] : places) {
      test::RenderOptions o;
      o.width = 176;
      o.height = 144;
      o.moduleSize = c.mask == kMaskQr ? 3 : c.mask == kMaskDataMatrix ? 4 : 5;
      o.rotation = 7;
      o.blur = 0.6;
      o.noise = 2;
      o.centerX = x;
      o.centerY = y;
      const test::Frame f = test::RenderModules(c.modules, c.size, o);
      for (const uint32_t mask : {c.mask, kMaskAll}) {
        StillReadOptions options;
        options.symbologyMask = mask;
        const StillReadOutcome outcome = ReadStill(f, options);
        EXPECT_EQ(outcome.status, 1) << c.mask << " " << mask << " at " << x;
        EXPECT_EQ(outcome.symbology, c.symbology) << mask;
        EXPECT_EQ(outcome.bytes, c.expected) << c.mask << " " << mask << " at " << x;
      }
    }
  }
}

TEST(StillReader, GivesUpEarlyWhenNothingFinderLikeIsInView) {
  // Paper with soft light falling across it and noise, but no symbol.
  test::RenderOptions o;
  o.width = 640;
  o.height = 480;
  o.noise = 6;
  o.unevenLight = 0.4;
  const test::Frame f = test::RenderModules(std::vector<uint8_t>(21 * 21, 0), 21, o);
  auto result = std::make_unique<ScanResult>();
  StillReadOptions options;
  options.symbologyMask = kMaskQr;
  StillReadOutcome outcome;
  options.giveUpEarly = false;
  EXPECT_LE(ReadStillImage(f.pixels.data(), f.width, f.height, 8, result.get(), options, &outcome), 0);
  const int everyView = outcome.engineCalls;

  options.giveUpEarly = true;
  EXPECT_LE(ReadStillImage(f.pixels.data(), f.width, f.height, 8, result.get(), options, &outcome), 0);
  EXPECT_EQ(outcome.symbology, 0);
  EXPECT_TRUE(outcome.bytes.empty());
  EXPECT_FALSE(outcome.missCause.empty());
  // The probe views of a frame the engine reduces, and no more.
  const StillProbes probes = StillPlanProbes(f.width, f.height, kMaskQr);
  const auto plan = StillPlan(f.width, f.height, kMaskQr);
  const auto callsOfViews = [&](int views) { return CallsOfFirstViews(plan, views); };
  EXPECT_EQ(outcome.engineCalls, callsOfViews(ProbeViews(plan, probes.finderViews)));
  EXPECT_GT(everyView, outcome.engineCalls) << "without giving up every view is tried";

  // Nor a Data Matrix or Cordavex code that any view would place: the first
  // views of the probe of the plan for that symbology, and for both (the plan
  // for any mix) the longer of the two; for a Cordavex code the shorter of
  // its two probes, as no bars are grouped either.
  for (const uint32_t mask : {kMaskDataMatrix, kMaskCordavex, kMaskDataMatrix | kMaskCordavex}) {
    const StillProbes own = StillPlanProbes(f.width, f.height, mask);
    const auto ownPlan = StillPlan(f.width, f.height, mask);
    const int cvViews = std::min(own.cvViews, own.cvBarViews);
    const int views = ProbeViews(ownPlan, mask == kMaskDataMatrix ? own.dmViews
                                          : mask == kMaskCordavex ? cvViews
                                                                  : std::max(own.dmViews, cvViews));
    options.symbologyMask = mask;
    EXPECT_LE(ReadStillImage(f.pixels.data(), f.width, f.height, 8, result.get(), options, &outcome), 0);
    EXPECT_EQ(outcome.engineCalls, CallsOfFirstViews(ownPlan, views)) << mask;
    EXPECT_LT(views, static_cast<int>(ownPlan.size())) << mask;
  }
  options.symbologyMask = kMaskQr;

  options.giveUpEarly = false;
  // A limit on engine calls stops before the view that would pass it.
  const int firstTwo = callsOfViews(2);
  options.maxEngineCalls = firstTwo - 1;
  EXPECT_LE(ReadStillImage(f.pixels.data(), f.width, f.height, 8, result.get(), options, &outcome), 0);
  EXPECT_EQ(outcome.engineCalls, callsOfViews(1));
  options.maxEngineCalls = firstTwo;
  EXPECT_LE(ReadStillImage(f.pixels.data(), f.width, f.height, 8, result.get(), options, &outcome), 0);
  EXPECT_EQ(outcome.engineCalls, firstTwo);
}

// A QR code with the stones of two finders scraped off: one finder is left, a
// code needs three, and views that never find a second one give up after the
// second probe, however short the first.
TEST(StillReader, GivesUpWhenNoViewFindsASecondFinder) {
  auto symbol = test::EncodeQrBytes(Bytes("one finder"), 1, test::kLevelM);
  ASSERT_TRUE(symbol.has_value());
  const int n = symbol->size;
  for (const auto& [x0, y0] : {std::pair{n - 5, 2}, std::pair{2, n - 5}}) {
    for (int y = y0; y < y0 + 3; ++y) {
      for (int x = x0; x < x0 + 3; ++x) symbol->modules[static_cast<size_t>(y) * n + x] = 0;
    }
  }
  test::RenderOptions o;
  o.width = 640;
  o.height = 480;
  o.moduleSize = 10;
  o.rotation = 8;
  o.noise = 2;
  const test::Frame f = test::RenderModules(symbol->modules, n, o);
  StillReadOptions options;
  options.symbologyMask = kMaskQr;
  options.giveUpEarly = false;
  const int everyView = ReadStill(f, options).engineCalls;
  options.giveUpEarly = true;
  const StillReadOutcome outcome = ReadStill(f, options);
  EXPECT_NE(outcome.status, 1);
  const auto plan = StillPlan(f.width, f.height, kMaskQr);
  const auto callsOfViews = [&](int views) { return CallsOfFirstViews(plan, views); };
  const StillProbes probes = StillPlanProbes(f.width, f.height, kMaskQr);
  if (ProbeViews(plan, probes.finderViews) < ProbeViews(plan, probes.twoFinderViews)) {
    EXPECT_GT(outcome.engineCalls, callsOfViews(ProbeViews(plan, probes.finderViews)))
        << "a finder is in view";
  }
  EXPECT_EQ(outcome.engineCalls, callsOfViews(ProbeViews(plan, probes.twoFinderViews)));
  EXPECT_GT(everyView, outcome.engineCalls);
}

TEST(StillReader, RefusesBadArguments) {
  const std::vector<uint8_t> pixels(64 * 64, 200);
  auto result = std::make_unique<ScanResult>();
  struct Case {
    const uint8_t* image;
    int width, height, bpp;
    ScanResult* result;
  };
  const Case cases[] = {
      {nullptr, 64, 64, 8, result.get()},  {pixels.data(), 0, 64, 8, result.get()},
      {pixels.data(), 64, -1, 8, result.get()}, {pixels.data(), 64, 64, 4, result.get()},
      {pixels.data(), 64, 64, 8, nullptr},  {pixels.data(), 1 << 16, 1 << 16, 8, result.get()},
  };
  for (const Case& c : cases) {
    StillReadOutcome outcome;
    EXPECT_EQ(ReadStillImage(c.image, c.width, c.height, c.bpp, c.result, {}, &outcome), 0);
    EXPECT_EQ(outcome.engineCalls, 0);
  }
}

// The views: a crop is a copy of the frame's pixels, a rescale by 50 % averages
// each 2 x 2 block, a padded view frames the pixels in white.
// Blur swells a small symbol's dark modules: the threshold at the midpoint of
// the darkest and brightest fifths misses it, one adaptation step lower reads
// it. A view that starts there reads on its first call what the engine's own
// adaptation reads on its second.
TEST(StillReader, AViewsThresholdOffsetReadsOnTheFirstCall) {
  const std::vector<uint8_t> bytes = Bytes("https://cordavex.example/offset");
  test::RenderOptions o;
  o.moduleSize = 2.6;
  o.blur = 1.0;
  o.noise = 3;
  o.rotation = 7;
  const test::Frame f = Draw(bytes, 3, o);
  auto result = std::make_unique<ScanResult>();
  StillWorkspace workspace;
  const auto run = [&](int calls, uint8_t offset) {
    const StillView view{ViewKind::kFull, 100, 0, 4, static_cast<int8_t>(calls), offset};
    return RunView(f.grey, f.width, f.height, view, kMaskQr, workspace, *result);
  };
  ASSERT_NE(run(1, 0).status, 1) << "the fixture no longer needs a lower threshold";
  const ViewRun adapted = run(2, 0);
  EXPECT_EQ(adapted.status, 1);
  EXPECT_EQ(adapted.calls, 2);
  const ViewRun offset = run(1, 16);
  ASSERT_EQ(offset.status, 1);
  EXPECT_EQ(offset.calls, 1);
  const DecodedSymbol symbol = LastDecodedSymbol(workspace.data());
  EXPECT_EQ(std::vector<uint8_t>(symbol.bytes.begin(), symbol.bytes.end()), bytes);
  EXPECT_EQ(ViewName({ViewKind::kFull, 100, 0, 4, 2, 16}), "full mode 4 x2 offset 16");
}

TEST(StillReader, ViewsCropAndRescaleTheGreyImage) {
  const int w = 120, h = 80;
  std::vector<uint8_t> grey(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) grey[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(x + y);
  }
  std::vector<uint8_t> out;
  int vw = 0, vh = 0;
  ASSERT_TRUE(MakeView(grey, w, h, {ViewKind::kCrop, 100, 3, 2, 1, 0}, out, vw, vh));
  EXPECT_EQ(vw, 80);
  EXPECT_EQ(vh, 53);
  EXPECT_EQ(out[0], grey[27 * w + 40]) << "the bottom right crop ends at the frame's corner";
  EXPECT_EQ(out.back(), grey.back());
  ASSERT_TRUE(MakeView(grey, w, h, {ViewKind::kScale, 50, 0, 0, 1, 0}, out, vw, vh));
  EXPECT_EQ(vw, 60);
  EXPECT_EQ(vh, 40);
  // Output pixel (x, y) is the mean of source pixels 2x..2x+1 by 2y..2y+1:
  // 2x + 2y + 1.
  EXPECT_EQ(out[static_cast<size_t>(5) * vw + 7], 2 * 7 + 2 * 5 + 1);
  // Every pixel of copies smaller and larger than the frame against bilinear
  // sampling written out: the source position of output pixel i is
  // (2 i + 1) in / (2 out) - 1/2 in 1/256ths, clamped at 0, and the right and
  // lower neighbours at the frame's last column and row are that column and row.
  std::vector<uint8_t> noise(static_cast<size_t>(w) * h);
  std::mt19937 rng(7);
  for (uint8_t& v : noise) v = static_cast<uint8_t>(rng());
  noise[0] = 255;
  noise.back() = 0;
  const auto position = [](int i, int in, int outSize) {
    return std::max<int64_t>(0, ((2 * int64_t{i} + 1) * in * 256) / (2 * int64_t{outSize}) - 128);
  };
  for (const int16_t scale : {40, 66, 85, 125, 200}) {
    ASSERT_TRUE(MakeView(noise, w, h, {ViewKind::kScale, scale, 0, 0, 1, 0}, out, vw, vh)) << scale;
    int mismatches = 0;
    for (int y = 0; y < vh; ++y) {
      const int64_t sy = position(y, h, vh);
      const int y0 = std::min(static_cast<int>(sy / 256), h - 1), y1 = std::min(y0 + 1, h - 1);
      const int fy = static_cast<int>(sy % 256);
      for (int x = 0; x < vw; ++x) {
        const int64_t sx = position(x, w, vw);
        const int x0 = std::min(static_cast<int>(sx / 256), w - 1), x1 = std::min(x0 + 1, w - 1);
        const int fx = static_cast<int>(sx % 256);
        const auto at = [&](int px, int py) { return int64_t{noise[static_cast<size_t>(py) * w + px]}; };
        const int64_t value = (at(x0, y0) * (256 - fy) + at(x0, y1) * fy) * (256 - fx) +
                              (at(x1, y0) * (256 - fy) + at(x1, y1) * fy) * fx;
        mismatches += out[static_cast<size_t>(y) * vw + x] != (value + 32768) / 65536;
      }
    }
    EXPECT_EQ(mismatches, 0) << "scale " << scale;
  }

  // A border of 8 % of the shorter side (6 pixels) of paper white.
  ASSERT_TRUE(MakeView(grey, w, h, {ViewKind::kPad, 8, 0, 0, 1, 0}, out, vw, vh));
  EXPECT_EQ(vw, w + 12);
  EXPECT_EQ(vh, h + 12);
  EXPECT_EQ(out[0], 255);
  EXPECT_EQ(out[static_cast<size_t>(6) * vw + 5], 255);
  EXPECT_EQ(out[static_cast<size_t>(6 + 10) * vw + 6 + 20], grey[10 * w + 20]);
  EXPECT_EQ(out.back(), 255);
  const std::vector<uint8_t> small(40 * 40, 128);
  EXPECT_FALSE(MakeView(small, 40, 40, {ViewKind::kScale, 50, 0, 0, 1, 0}, out, vw, vh))
      << "a view too small to hold a symbol is skipped";

  // Turns, on a frame whose sides are no multiple of the copy's blocks and on
  // one whose sides are: every pixel lands where a clockwise turn puts it.
  for (const auto& [tw, th] : {std::pair{70, 45}, std::pair{48, 32}}) {
    std::vector<uint8_t> frame(static_cast<size_t>(tw) * th);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i * 7 + i / 13);
    for (const int8_t turns : {1, 2, 3}) {
      ASSERT_TRUE(MakeView(frame, tw, th, {ViewKind::kTurn, 100, turns, 0, 1, 0}, out, vw, vh));
      ASSERT_EQ(vw, turns == 2 ? tw : th) << int{turns};
      ASSERT_EQ(vh, turns == 2 ? th : tw) << int{turns};
      int mismatches = 0;
      for (int y = 0; y < th; ++y) {
        for (int x = 0; x < tw; ++x) {
          // Where source (x, y) lands after the turns.
          const int tx = turns == 1 ? th - 1 - y : turns == 2 ? tw - 1 - x : y;
          const int ty = turns == 1 ? x : turns == 2 ? th - 1 - y : tw - 1 - x;
          mismatches += out[static_cast<size_t>(ty) * vw + tx] != frame[static_cast<size_t>(y) * tw + x];
        }
      }
      EXPECT_EQ(mismatches, 0) << tw << "x" << th << " turns " << int{turns};
    }
  }
}

TEST(StillReader, LargestUnreducedAndLocalThresholdViews) {
  std::vector<uint8_t> out;
  int vw = 0, vh = 0;
  // A frame the engine keeps as it is has no unreduced copy to make.
  const std::vector<uint8_t> small(320 * 240, 128);
  EXPECT_FALSE(MakeView(small, 320, 240, {ViewKind::kLargestUnreduced, 100, 0, 4, 1, 0}, out, vw, vh));
  for (const auto& [w, h] : {std::pair{640, 480}, std::pair{1280, 960}, std::pair{1600, 300}}) {
    const std::vector<uint8_t> grey(static_cast<size_t>(w) * h, 90);
    ASSERT_TRUE(MakeView(grey, w, h, {ViewKind::kLargestUnreduced, 100, 0, 4, 1, 0}, out, vw, vh)) << w;
    EXPECT_EQ(ReductionFactor(int64_t{vw} * vh), 1) << w << ": the engine keeps the view as it is";
    EXPECT_GT(int64_t{vw} * vh, 4 * 76800 - 2 * std::max(vw, vh)) << w << ": and it is as large as that allows";
    EXPECT_NEAR(double(vw) / vh, double(w) / h, 0.01 * w / h) << w;
    EXPECT_EQ(out.size(), static_cast<size_t>(vw) * vh);
    EXPECT_EQ(out[out.size() / 2], 90);
  }

  // Light falling off from left to right, with a dark square on each side
  // darker than its surroundings but, on the right, lighter than the paper on
  // the left: one global threshold cannot keep both squares and all the paper.
  const int w = 400, h = 200;
  std::vector<uint8_t> grey(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int paper = 240 - x * 7 / 20;  // 240 at the left edge, 101 at the right
      const bool square = y >= 90 && y < 106 && ((x >= 40 && x < 56) || (x >= 340 && x < 356));
      grey[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(square ? paper * 3 / 5 : paper);
    }
  }
  ASSERT_TRUE(MakeView(grey, w, h, {ViewKind::kLocalThreshold, 100, 0, 4, 1, 0}, out, vw, vh));
  ASSERT_EQ(vw, w);
  ASSERT_EQ(vh, h);
  const auto at = [&](int x, int y) { return out[static_cast<size_t>(y) * w + x]; };
  EXPECT_EQ(at(48, 98), 0) << "left square";
  EXPECT_EQ(at(348, 98), 0) << "right square";
  EXPECT_EQ(at(10, 10), 255) << "bright paper";
  EXPECT_EQ(at(390, 190), 255) << "dim paper";
  EXPECT_EQ(at(200, 98), 255) << "paper between the squares";
  for (const uint8_t v : out) ASSERT_TRUE(v == 0 || v == 255);
}

// Every pixel of the local threshold view against the square around it,
// summed directly, on noise whose sides leave the vector steps a tail, for
// squares inside the image and clipped at each edge.
TEST(MakeView, LocalThresholdMatchesTheSquaresSummedDirectly) {
  std::mt19937 rng(11);
  for (const auto& [w, h] : {std::pair{97, 61}, std::pair{150, 150}, std::pair{64, 203}}) {
    std::vector<uint8_t> grey(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        grey[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(x + y + rng() % 90);
      }
    }
    std::vector<uint8_t> out;
    int vw = 0, vh = 0;
    ASSERT_TRUE(MakeView(grey, w, h, {ViewKind::kLocalThreshold, 100, 0, 4, 1, 0}, out, vw, vh));
    ASSERT_EQ(vw, w);
    ASSERT_EQ(vh, h);
    const int radius = std::max(4, std::min(w, h) / 16);
    int dark = 0;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        uint64_t sum = 0, area = 0;
        for (int sy = std::max(0, y - radius); sy <= std::min(h - 1, y + radius); ++sy) {
          for (int sx = std::max(0, x - radius); sx <= std::min(w - 1, x + radius); ++sx) {
            sum += grey[static_cast<size_t>(sy) * w + sx];
            ++area;
          }
        }
        const uint64_t v = grey[static_cast<size_t>(y) * w + x];
        const uint8_t expected = 100 * v * area < 94 * sum ? 0 : 255;
        ASSERT_EQ(out[static_cast<size_t>(y) * w + x], expected) << w << "x" << h << " at " << x << "," << y;
        dark += expected == 0 ? 1 : 0;
      }
    }
    EXPECT_GT(dark, w * h / 10) << w << "x" << h;
  }
}

// A 1280 x 960 frame with modules of about three pixels: the engine
// reduces every view of it that holds the whole symbol, enough to place the
// symbol but not to read it; the frame's own pixels around it then read.
TEST(StillReader, LooksCloserAtASymbolPlacedOnAReducedFrame) {
  const std::vector<uint8_t> bytes = test::RandomBytes(40, 6);
  test::RenderOptions o;
  o.width = 1280;
  o.height = 960;
  o.moduleSize = 3.2;
  o.rotation = 20;
  o.perspective = 0.1;
  o.blur = 0.9;
  o.noise = 4;
  o.centerY = 0.45;
  const test::Frame f = Draw(bytes, 6, o);
  ASSERT_FALSE(PlainReads(f)) << "the fixture no longer needs a closer look";
  const StillReadOutcome outcome = ReadStill(f);
  ASSERT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.bytes, bytes);
  EXPECT_EQ(outcome.view.rfind("located mode 4 x4", 0), 0u) << outcome.view;
}

// A version 3 QR code with a third of its data area torn away: its finders
// place it, and nothing corrects it.
test::QrSymbol TornQrCode() {
  auto qr = test::EncodeQrBytes(test::RandomBytes(30, 9), 3, test::kLevelL);
  if (!qr.has_value()) {
    ADD_FAILURE() << "libqrencode refused the content";
    return {};
  }
  for (int row = 9; row < qr->size - 9; ++row) {
    for (int column = 9; column < qr->size; ++column) qr->modules[static_cast<size_t>(row) * qr->size + column] = 0;
  }
  return *qr;
}

// Modules of 4 pixels turned by 8 degrees, slightly blurred.
test::Frame DrawTurned(const std::vector<uint8_t>& modules, int size) {
  test::RenderOptions o;
  o.moduleSize = 4;
  o.rotation = 8;
  o.blur = 0.5;
  return test::RenderModules(modules, size, o);
}

// A symbol with a third of its data area torn away: views place it and none
// can correct it, so after the plan's number of such views the reader stops
// looking.
TEST(StillReader, GivesUpOnASymbolEveryViewPlacesAndNoneReads) {
  const test::QrSymbol qr = TornQrCode();
  const std::vector<uint8_t> data = test::RandomBytes(18, 5);
  test::DmSymbol dm = test::BuildDmSymbol(20, data);
  for (int row = 1; row < 19; ++row) {
    for (int column = 7; column < 19; ++column) dm.Set(row, column, (row + column) % 3 == 0);
  }
  const struct {
    uint32_t mask;
    const std::vector<uint8_t>& modules;
    int size;
  } cases[] = {{kMaskQr, qr.modules, qr.size}, {kMaskDataMatrix, dm.modules, dm.size}};
  for (const auto& c : cases) {
    const test::Frame f = DrawTurned(c.modules, c.size);
    StillReadOptions options;
    options.symbologyMask = c.mask;
    options.giveUpEarly = false;
    const int everyView = ReadStill(f, options).engineCalls;
    options.giveUpEarly = true;
    const StillReadOutcome outcome = ReadStill(f, options);
    const StillProbes probes = StillPlanProbes(f.width, f.height, c.mask);
    const int views = c.mask == kMaskQr ? probes.qrPlacedViews : probes.dmPlacedViews;
    EXPECT_LE(outcome.status, 0) << c.mask;
    // Not before that many views (a view may fail to place it, and then does
    // not count), and not at the end of the plan either.
    EXPECT_GE(outcome.engineCalls, CallsOfFirstViews(StillPlan(f.width, f.height, c.mask), views)) << c.mask;
    EXPECT_LT(outcome.engineCalls, everyView) << c.mask;
    EXPECT_EQ(outcome.missCause, "correction: block uncorrectable") << c.mask;
  }
}

// Looking for every symbology, a QR code that a view places and none reads
// is looked for through the QR code's own views as well as the mixed plan's:
// with no give-up, each view of both plans is taken once.
TEST(StillReader, AMixNarrowsToThePlanOfTheOneSymbologyPlaced) {
  const test::QrSymbol qr = TornQrCode();
  const test::Frame f = DrawTurned(qr.modules, qr.size);
  StillReadOptions options;
  options.symbologyMask = kMaskAll;
  options.giveUpEarly = false;
  const StillReadOutcome outcome = ReadStill(f, options);
  EXPECT_LE(outcome.status, 0);

  std::vector<StillView> both;
  for (const uint32_t mask : {kMaskAll, kMaskQr}) {
    for (const StillView& view : StillPlan(f.width, f.height, mask)) {
      const bool seen = std::any_of(both.begin(), both.end(), [&](const StillView& v) {
        return ViewName(v) == ViewName(view);
      });
      if (!seen) both.push_back(view);
    }
  }
  int calls = 0, mixedCalls = 0;
  std::vector<uint8_t> pixels;
  for (const StillView& view : both) {
    int w = 0, h = 0;
    if (MakeView(f.grey, f.width, f.height, view, pixels, w, h)) calls += view.calls;
  }
  for (const StillView& view : StillPlan(f.width, f.height, kMaskAll)) {
    int w = 0, h = 0;
    if (MakeView(f.grey, f.width, f.height, view, pixels, w, h)) mixedCalls += view.calls;
  }
  ASSERT_GT(calls, mixedCalls);
  EXPECT_EQ(outcome.engineCalls, calls);
}

// A GS1 symbol (FNC1 first) and a macro symbol: their codewords correct and
// the decoder refuses what they say, which no other view would change, so the
// reader stops after the first view that refuses it.
TEST(StillReader, GivesUpOnASymbolWhoseContentIsRefused) {
  for (const uint8_t first : {uint8_t{232}, uint8_t{236}}) {
    const std::vector<uint8_t> data = {first, 'C' + 1, 'V' + 1, 130, 'X' + 1};
    const test::DmSymbol dm = test::BuildDmSymbol(16, data);
    test::RenderOptions o;
    o.moduleSize = 4;
    o.rotation = 8;
    const test::Frame f = test::RenderModules(dm.modules, dm.size, o);
    StillReadOptions options;
    options.symbologyMask = kMaskDataMatrix;
    const StillReadOutcome outcome = ReadStill(f, options);
    EXPECT_LE(outcome.status, 0) << int{first};
    EXPECT_EQ(outcome.missCause, "stream: function codeword") << int{first};
    // The plan's views alone, up to the first on which a call refuses it.
    const auto plan = StillPlan(f.width, f.height, kMaskDataMatrix);
    StillWorkspace workspace;
    auto result = std::make_unique<ScanResult>();
    std::vector<uint8_t> pixels;
    int views = 0;
    bool refused = false;
    while (!refused && views < static_cast<int>(plan.size())) {
      const StillView& view = plan[static_cast<size_t>(views++)];
      int w = 0, h = 0;
      if (!MakeView(f.grey, f.width, f.height, view, pixels, w, h)) continue;
      refused = (RunView(pixels, w, h, view, kMaskDataMatrix, workspace, *result).refused &
                 kMaskDataMatrix) != 0;
    }
    ASSERT_TRUE(refused) << int{first};
    EXPECT_LE(views, 2) << "an early view reads the codewords";
    EXPECT_EQ(outcome.engineCalls, CallsOfFirstViews(plan, views)) << int{first};
  }
}

}  // namespace
}  // namespace cordavex
