// The engine entry: workspace size, argument checks, pixel conversion, the
// persistent-state repair and the dispatch over the locators, with instrumented
// stand-in stages where the order of calls matters.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/dispatch.h"
#include "engine/locators.h"
#include "cordavex/recognizer.h"
#include "support/alloc_counter.h"
#include "support/qr_symbols.h"
#include "support/render.h"
#include "support/workspace.h"

namespace cordavex {
namespace {

using test::Workspace;

ScanResult Options(int32_t mode, int32_t mask) {
  ScanResult result{};
  result.mode() = mode;
  result.symbologyMask() = mask;
  return result;
}

TEST(RecognizerSize, FollowsTheFormulaOnBothSidesOfTheSmallFrameLimit) {
  struct Case {
    int32_t width, height, size;
  } cases[] = {
      {320, 240, 4 * 76800 + 34496},      // n = 76800: room for the 2x enlargement
      {76800, 1, 4 * 76800 + 34496},
      {240, 321, 307200 + 34496},         // n = 77040: no enlargement, at least 640 x 480
      {76801, 1, 307200 + 34496},
      {640, 480, 307200 + 34496},
      {641, 480, 641 * 480 + 34496},      // larger frames: n itself
      {1, 1, 4 + 34496},
      {0, 240, 0},                        // nothing to size
      {320, -1, 0},
      {65536, 65536, 0},                  // does not fit in 32 bits
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetRecognizerSize(c.width, c.height), c.size) << c.width << " x " << c.height;
  }
}

TEST(RecognizeImage, RejectsBadArgumentsTouchingOnlyAnOutOfRangeMode) {
  std::vector<uint8_t> frame(16 * 16, 200);
  struct Case {
    const char* name;
    bool nullImage, nullWorkspace;
    int32_t width, height, bitsPerPixel;
  } cases[] = {
      {"null image", true, false, 16, 16, 8},
      {"null workspace", false, true, 16, 16, 8},
      {"zero width", false, false, 0, 16, 8},
      {"negative height", false, false, 16, -3, 8},
      {"zero bits", false, false, 16, 16, 0},
      {"bits below 8", false, false, 16, 16, 7},
  };
  for (const Case& c : cases) {
    for (int32_t mode : {3, 12}) {
      Workspace ws(16, 16, Workspace::Filled{0xA5});
      const std::vector<uint64_t> before = ws.Block();
      ScanResult result = Options(mode, 5);
      result.number = 1234;
      const int32_t status =
          RecognizeImage(c.nullImage ? nullptr : frame.data(), c.nullWorkspace ? nullptr : ws.data(),
                         c.width, c.height, c.bitsPerPixel, &result);
      EXPECT_EQ(status, 0) << c.name;
      EXPECT_EQ(ws.Block(), before) << c.name << ": workspace touched";
      EXPECT_EQ(result.mode(), mode == 12 ? 0 : 3) << c.name;
      EXPECT_EQ(result.symbologyMask(), 5) << c.name;
      EXPECT_EQ(result.number, 1234u) << c.name;
    }
  }
  Workspace ws(16, 16);
  EXPECT_EQ(RecognizeImage(frame.data(), ws.data(), 16, 16, 8, nullptr), 0);
}

TEST(ConvertToGrey, EachPixelFormat) {
  struct Case {
    int32_t bitsPerPixel;
    std::vector<uint8_t> pixel;
    uint8_t grey;
  } cases[] = {
      {8, {77}, 77},
      {16, {0xFF, 0xFF}, 250},         // white in 5-6-5 is 2*31 + 2*63 + 2*31
      {16, {0x00, 0xF8}, 62},          // red only: R5 = 31
      {16, {0xE0, 0x07}, 126},         // green only: G6 = 63
      {16, {0x1F, 0x00}, 62},          // blue only
      {24, {10, 20, 30}, 20},          // (10 + 40 + 30) >> 2
      {24, {255, 255, 255}, 255},
      {32, {99, 10, 20, 30}, 20},      // the first byte is ignored
      {32, {0, 255, 255, 255}, 255},
  };
  for (const Case& c : cases) {
    uint8_t grey = 1;
    ConvertToGrey(c.pixel.data(), 1, 1, c.bitsPerPixel, &grey);
    EXPECT_EQ(grey, c.grey) << c.bitsPerPixel << " bits";
  }
}

// Instrumented stages: they record the order of calls and return what the test
// asks of them.
struct Recorder {
  std::string calls;
  int preparedMode = -1;
  int qrReturns = 0, cordavexReturns = 0, dataMatrixReturns = 0;
  int cordavexReturnsWhenV2Allowed = -1;  // if set, used when skipVersion2 is 0
  int64_t greySum = -1;
  int32_t meanGrey = -100;
  int32_t thresholdMid = 80;
};
Recorder* recorder = nullptr;

int RecordPrepare(Recognizer& r, int mode) {
  recorder->calls += 'P';
  recorder->preparedMode = mode;
  recorder->greySum = 0;
  for (int64_t i = 0; i < int64_t{r.imageWidth} * r.imageHeight; ++i) recorder->greySum += r.image()[i];
  r.meanGrey = recorder->meanGrey;
  r.thresholdMid = recorder->thresholdMid;
  return 1;
}
int RecordLabel(Recognizer&) {
  recorder->calls += 'L';
  return 1;
}
int RecordQr(Recognizer&) {
  recorder->calls += 'Q';
  return recorder->qrReturns;
}
int RecordCordavex(Recognizer& r) {
  recorder->calls += r.skipVersion2 ? 'C' : 'c';
  if (!r.skipVersion2 && recorder->cordavexReturnsWhenV2Allowed >= 0) {
    return recorder->cordavexReturnsWhenV2Allowed;
  }
  return recorder->cordavexReturns;
}
int RecordDataMatrix(Recognizer&) {
  recorder->calls += 'D';
  return recorder->dataMatrixReturns;
}
constexpr EngineStages kRecordingStages = {RecordPrepare, RecordLabel, RecordQr, RecordCordavex,
                                           RecordDataMatrix};

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override { recorder = &rec; }
  void TearDown() override { recorder = nullptr; }

  int32_t Run(int32_t mode, int32_t mask, int32_t bitsPerPixel = 8) {
    frame.assign(static_cast<size_t>(8 * 8 * ((bitsPerPixel + 7) / 8)), 200);
    result = Options(mode, mask);
    return RecognizeImageWith(kRecordingStages, frame.data(), ws.data(), 8, 8, bitsPerPixel, &result);
  }

  Recorder rec;
  Workspace ws{8, 8};
  std::vector<uint8_t> frame;
  ScanResult result{};
};

TEST_F(Dispatch, MaskSelectsLocatorsInFixedOrder) {
  struct Case {
    int32_t mode, mask;
    const char* calls;
  } cases[] = {
      {0, 1, "PLQ"},    {0, 2, "PLC"},    {0, 3, "PLQC"},   {0, 4, "PLD"},
      {0, 5, "PLQD"},   {0, 6, "PLCD"},   {0, 7, "PLQCD"},  {0, 0, "PLQCD"},
      {0, 8, "PLQCD"},  {0, -1, "PLQCD"}, {2, 7, "PLQCD"},  {5, 6, "PLCD"},
      // Thorough: a second Cordavex pass that admits the older layout.
      {4, 7, "PLQCcD"}, {4, 2, "PLCc"},   {4, 4, "PLD"},    {4, 0, "PLQCcD"},
  };
  for (const Case& c : cases) {
    rec = Recorder{};
    ws.r().lockedKind = 0;
    EXPECT_LT(Run(c.mode, c.mask), 1);
    EXPECT_EQ(rec.calls, c.calls) << "mode " << c.mode << " mask " << c.mask;
  }
}

TEST_F(Dispatch, LaterLocatorsRunAfterASuccessExceptInThoroughMode) {
  struct Case {
    int32_t mode;
    int qr, cordavex, cordavexV2, dataMatrix;
    const char* calls;
  } cases[] = {
      {0, 1, 0, -1, 0, "PLQCD"},  // standard: Cordavex and Data Matrix also after a QR success
      {0, 0, 1, -1, 0, "PLQCD"},
      {4, 1, 0, -1, 0, "PLQCc"},  // thorough: Data Matrix only when nothing was found
      {4, 0, 1, -1, 0, "PLQC"},   // the first Cordavex pass stops with success
      {4, 0, 0, 1, 0, "PLQCc"},   // found by the second pass
      {4, 0, 0, 0, 1, "PLQCcD"},
  };
  for (const Case& c : cases) {
    rec = Recorder{};
    rec.qrReturns = c.qr;
    rec.cordavexReturns = c.cordavex;
    rec.cordavexReturnsWhenV2Allowed = c.cordavexV2;
    rec.dataMatrixReturns = c.dataMatrix;
    ws.r().lockedKind = 0;
    EXPECT_EQ(Run(c.mode, 7), 1) << c.calls;
    EXPECT_EQ(rec.calls, c.calls);
  }
}

TEST_F(Dispatch, LockRunsOnlyItsLocatorAndNeedsExactlyOne) {
  struct Case {
    int32_t lockedKind;
    int32_t mask;
    int locatorReturns;
    const char* calls;
    int32_t status;
  } cases[] = {
      {1, 4, 1, "PLQ", 1},    // the lock wins over a mask without its bit
      {2, 1, 1, "PLC", 1},
      {3, 1, 1, "PLC", 1},
      {4, 1, 1, "PLD", 1},
      {1, 7, 2, "PLQ", -100}, // a locked locator succeeds only with exactly 1
      {5, 1, 1, "PLQ", 1},    // 5..7 are no lock: the mask table runs
  };
  for (const Case& c : cases) {
    rec = Recorder{};
    rec.qrReturns = rec.cordavexReturns = rec.dataMatrixReturns = c.locatorReturns;
    ws.r().lockedKind = c.lockedKind;
    EXPECT_EQ(Run(0, c.mask), c.status) << "lock " << c.lockedKind;
    EXPECT_EQ(rec.calls, c.calls) << "lock " << c.lockedKind;
  }
}

TEST(Locators, ReturnAtOnceUnderAnotherSymbologysLock) {
  Workspace ws(8, 8);
  Recognizer& r = ws.r();
  struct Case {
    int (*locate)(Recognizer&);
    int32_t own, other;
  } cases[] = {{LocateQrCode, 1, 4}, {LocateCordavexCode, 3, 1}, {LocateDataMatrix, 4, 2}};
  for (const Case& c : cases) {
    r.lockedKind = c.other;
    EXPECT_EQ(c.locate(r), 0);
    EXPECT_EQ(r.lockedKind, c.other) << "another symbology's lock must stay";
    r.lockedKind = c.own;
    EXPECT_EQ(c.locate(r), 0);
    EXPECT_EQ(r.lockedKind, 0) << "finding nothing releases its own lock";
  }
}

TEST_F(Dispatch, SuccessResetsTheAdaptiveStateAndClassifiesIntoTheRecord) {
  Recognizer& r = ws.r();
  r.thresholdOffset = 40;
  r.sharpenPhase = 1;
  r.toneExponent = 1.3;
  r.lockedKind = 1;
  rec.qrReturns = 1;
  EXPECT_EQ(Run(0, 1), 1);
  EXPECT_EQ(r.thresholdOffset, 0);
  EXPECT_EQ(r.sharpenPhase, 3);
  EXPECT_EQ(r.toneExponent, 1.0);
  EXPECT_EQ(r.lockedKind, 0) << "the entry releases the lock after a decode";
  EXPECT_EQ(LastDecodedSymbol(ws.data()).symbology, 1);
  // Classification overwrote the whole record, input words included.
  EXPECT_EQ(result.mode(), 0);
  EXPECT_EQ(result.symbologyMask(), 0);
  EXPECT_EQ(result.resultMarker, -1);
}

TEST_F(Dispatch, FailureGrowsTheOffsetOnlyWhilePhaseIsBelowThree) {
  Recognizer& r = ws.r();
  struct Case {
    int32_t phase, offset, thresholdMid, expectedOffset;
  } cases[] = {{0, 10, 80, 20}, {2, 0, 167, 20}, {3, 10, 80, 10}};
  for (const Case& c : cases) {
    rec = Recorder{};
    rec.thresholdMid = c.thresholdMid;
    r.meanGrey = 0;
    r.sharpenPhase = c.phase;
    r.thresholdOffset = c.offset;
    r.lockedKind = 0;
    ScanResult untouched = Options(0, 7);
    EXPECT_EQ(Run(0, 7), -100);
    EXPECT_EQ(r.thresholdOffset, c.expectedOffset) << "phase " << c.phase;
    EXPECT_EQ(std::memcmp(&result, &untouched, sizeof result), 0) << "a miss leaves the record";
    EXPECT_EQ(LastDecodedSymbol(ws.data()).symbology, 0);
  }
}

TEST_F(Dispatch, ModeOutOfRangeIsWrittenBackAndProcessedAsZero) {
  for (int32_t mode : {12, -1}) {
    rec = Recorder{};
    Run(mode, 7);
    EXPECT_EQ(result.mode(), 0) << mode;
    EXPECT_EQ(rec.preparedMode, 0) << mode;
    EXPECT_EQ(ws.r().extraReadings, 0) << mode;
  }
}

TEST_F(Dispatch, ModesSixToElevenPrepareAsZeroToFiveWithExtraReadings) {
  for (int32_t mode : {0, 4, 6, 9, 10, 11}) {
    rec = Recorder{};
    ws.r().lockedKind = 0;
    Run(mode, 7);
    EXPECT_EQ(rec.preparedMode, mode % 6) << mode;
    EXPECT_EQ(ws.r().extraReadings, mode >= 6 ? 1 : 0) << mode;
    // The thorough preparation keeps its own locator order.
    EXPECT_EQ(rec.calls, mode % 6 == 4 ? "PLQCcD" : "PLQCD") << mode;
  }
}

TEST_F(Dispatch, UnknownPixelFormatGivesABlackImage) {
  // Garbage in the image area must not survive into the frame.
  std::memset(ws.r().image(), 0x77, 4 * 64);
  Run(0, 7, 12);
  EXPECT_EQ(rec.greySum, 0);
  Run(0, 7, 48);
  EXPECT_EQ(rec.greySum, 0);
}

TEST(RepairPersistentState, ResetsOnlyWhatIsOutOfRange) {
  struct State {
    int32_t meanGrey, offset, phase;
    double exponent;
    int32_t locked;
  };
  struct Case {
    State before, after;
  } cases[] = {
      {{-128, 40, 2, 1.3, 1}, {-128, 40, 2, 1.3, 1}},    // valid: kept as it is
      {{-256, 40, 2, 1.3, 1}, {-256, 0, 0, 1.0, 1}},     // mean grey out of range
      {{256, 40, 2, 1.3, 1}, {256, 0, 0, 1.0, 1}},
      {{0, 129, 2, 1.3, 1}, {0, 0, 0, 1.0, 1}},          // offset out of range
      {{0, -1, 2, 1.3, 1}, {0, 0, 0, 1.0, 1}},
      {{0, 40, 4, 1.3, 1}, {0, 0, 0, 1.0, 1}},           // phase out of range
      {{0, 40, 2, 0.3, 1}, {0, 40, 2, 1.0, 1}},          // exponent alone
      {{0, 40, 2, 1.7, 1}, {0, 40, 2, 1.0, 1}},
      {{0, 0, 0, 0.0, 0}, {0, 0, 0, 1.0, 0}},            // a zeroed workspace
      {{0, 40, 2, 1.3, 8}, {0, 40, 2, 1.3, 0}},          // lock out of range
      {{0, 40, 2, 1.3, -1}, {0, 40, 2, 1.3, 0}},
      {{0, 40, 2, 1.3, 7}, {0, 40, 2, 1.3, 7}},
  };
  std::vector<uint64_t> block(sizeof(Recognizer) / 8 + 1);
  Recognizer& r = *reinterpret_cast<Recognizer*>(block.data());
  for (const Case& c : cases) {
    r.meanGrey = c.before.meanGrey;
    r.thresholdOffset = c.before.offset;
    r.sharpenPhase = c.before.phase;
    r.toneExponent = c.before.exponent;
    r.lockedKind = c.before.locked;
    RepairPersistentState(r);
    EXPECT_EQ(r.thresholdOffset, c.after.offset);
    EXPECT_EQ(r.sharpenPhase, c.after.phase);
    EXPECT_EQ(r.toneExponent, c.after.exponent);
    EXPECT_EQ(r.lockedKind, c.after.locked);
  }
  // NaN left in uninitialised memory counts as out of range.
  r.toneExponent = std::numeric_limits<double>::quiet_NaN();
  r.meanGrey = 0;
  r.thresholdOffset = 0;
  r.sharpenPhase = 0;
  RepairPersistentState(r);
  EXPECT_EQ(r.toneExponent, 1.0);
}

TEST(RecognizeImage, UniformFrameInEachFormatReturnsMinusItsGrey) {
  // Mode 4 leaves tones alone, so the mean grey is the converted grey.
  struct Case {
    int32_t bitsPerPixel;
    std::vector<uint8_t> pixel;
    int32_t status;
  } cases[] = {
      {8, {128}, -128},
      {16, {0xFF, 0xFF}, -250},
      {24, {100, 100, 100}, -100},
      {32, {0, 60, 60, 60}, -60},
  };
  for (const Case& c : cases) {
    const int32_t w = 64, h = 48;
    std::vector<uint8_t> frame;
    for (int i = 0; i < w * h; ++i) frame.insert(frame.end(), c.pixel.begin(), c.pixel.end());
    Workspace ws(w, h);
    ScanResult result = Options(4, 7);
    EXPECT_EQ(RecognizeImage(frame.data(), ws.data(), w, h, c.bitsPerPixel, &result), c.status)
        << c.bitsPerPixel << " bits";
  }
}

TEST(RecognizeImage, AllocatesNothing) {
  for (auto [w, h] : {std::pair{320, 240}, std::pair{640, 480}, std::pair{200, 150}}) {
    for (int32_t bits : {8, 16, 24, 32}) {
      std::vector<uint8_t> frame(static_cast<size_t>(w * h * bits / 8));
      for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>((i * 7919) >> 3);
      Workspace ws(w, h);
      ScanResult result{};
      for (int32_t mode = 0; mode < 12; ++mode) {
        result.mode() = mode;
        result.symbologyMask() = 7;
        const size_t before = test::AllocationCount();
        RecognizeImage(frame.data(), ws.data(), w, h, bits, &result);
        EXPECT_EQ(test::AllocationCount(), before) << w << "x" << h << " " << bits << " mode " << mode;
      }
    }
  }
}

// A part of a larger frame, read where it lies, gives what a copy of that
// part gives: the engine's status, its adaptive state and the decoded bytes,
// for a part it keeps as it is and for one it reduces on the way in.
TEST(GreyRows, ReadLikeACopyOfTheRegion) {
  const auto bytes = test::RandomBytes(40, 3);
  const auto symbol = test::EncodeQrBytes(bytes, 4, test::kLevelM);
  ASSERT_TRUE(symbol.has_value());
  test::RenderOptions o;
  o.width = 1000;
  o.height = 760;
  o.moduleSize = 7.0;
  o.rotation = 11.0;
  o.noise = 3.0;
  const test::Frame f = test::RenderModules(symbol->modules, symbol->size, o);
  ASSERT_EQ(f.bitsPerPixel, 8);
  struct Region {
    int x0, y0, w, h;
  };
  // 400 x 330 stays as it is; 720 x 560 is halved.
  for (const Region& g : {Region{300, 215, 400, 330}, Region{140, 100, 720, 560}}) {
    std::vector<uint8_t> copy(static_cast<size_t>(g.w) * g.h);
    for (int y = 0; y < g.h; ++y) {
      std::memcpy(copy.data() + static_cast<size_t>(y) * g.w,
                  f.pixels.data() + static_cast<size_t>(g.y0 + y) * f.width + g.x0,
                  static_cast<size_t>(g.w));
    }
    int decoded = 0;
    for (int mode : {0, 2, 4, 5}) {
      Workspace a(g.w, g.h), b(g.w, g.h);
      ScanResult ra{}, rb{};
      ra.mode() = rb.mode() = mode;
      const int32_t sa = RecognizeImage(copy.data(), a.data(), g.w, g.h, 8, &ra);
      const int32_t sb = RecognizeGreyRows(f.pixels.data() + static_cast<size_t>(g.y0) * f.width + g.x0,
                                           static_cast<size_t>(f.width), b.data(), g.w, g.h, &rb);
      EXPECT_EQ(sa, sb) << g.w << " mode " << mode;
      EXPECT_EQ(a.r().thresholdMid, b.r().thresholdMid) << g.w << " mode " << mode;
      EXPECT_EQ(a.r().imageWidth, b.r().imageWidth) << g.w << " mode " << mode;
      const DecodedSymbol da = LastDecodedSymbol(a.data()), db = LastDecodedSymbol(b.data());
      EXPECT_EQ(da.symbology, db.symbology) << g.w << " mode " << mode;
      EXPECT_TRUE(std::equal(da.bytes.begin(), da.bytes.end(), db.bytes.begin(), db.bytes.end()))
          << g.w << " mode " << mode;
      decoded += sa == 1 ? 1 : 0;
    }
    EXPECT_GE(decoded, 2) << g.w;
  }
  Workspace ws(100, 100);
  ScanResult r{};
  EXPECT_EQ(RecognizeGreyRows(f.pixels.data(), 99, ws.data(), 100, 100, &r), 0);
}

}  // namespace
}  // namespace cordavex
