#include "engine/qr_locator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/dispatch.h"
#include "engine/label.h"
#include "engine/locators.h"
#include "engine/prepare.h"
#include "cordavex/recognizer.h"
#include "support/alloc_counter.h"
#include "support/engine_frames.h"
#include "support/qr_symbols.h"
#include "support/render.h"
#include "support/workspace.h"

namespace cordavex {
namespace {

using test::Frame;
using test::QrSymbol;
using test::RenderOptions;

using test::Outcome;
using test::Workspace;

// Only the QR locator: mask 1.
Outcome Recognize(const Frame& f, int calls = 8, int mode = 0) {
  return test::RecognizeFrame(f, calls, mode, 1);
}

QrSymbol Symbol(const std::string& text, int version, int level = test::kLevelM) {
  auto s = test::EncodeQrBytes({reinterpret_cast<const uint8_t*>(text.data()), text.size()},
                               version, level);
  EXPECT_TRUE(s.has_value()) << text << " v" << version;
  return s.value_or(QrSymbol{});
}

std::string Payload(int version, int level) {
  const int capacity = test::QrByteCapacity(version, level);
  std::string s = "https://cordavex.example/v" + std::to_string(version) + "?q=";
  while (static_cast<int>(s.size()) < capacity * 2 / 3) s += static_cast<char>('a' + s.size() % 26);
  return s.substr(0, static_cast<size_t>(capacity));
}

struct Condition {
  const char* name;
  double rotation;
  bool mirror;
  double perspective;
  int width, height;
  double unevenLight;
};

constexpr Condition kConditions[] = {
    {"upright", 0, false, 0, 640, 480, 0},
    {"upright 320x240", 0, false, 0, 320, 240, 0},
    {"rotated 30", 30, false, 0, 640, 480, 0},
    {"rotated 90", 90, false, 0, 640, 480, 0},
    {"rotated 180", 180, false, 0, 640, 480, 0},
    {"rotated 270", 270, false, 0, 640, 480, 0},
    {"rotated -20", -20, false, 0, 640, 480, 0},
    {"mirrored", 0, true, 0, 640, 480, 0},
    {"mirrored, rotated 60", 60, true, 0, 640, 480, 0},
    {"mild perspective", 0, false, 0.1, 640, 480, 0},
    {"perspective, rotated 15", 15, false, 0.15, 640, 480, 0},
    {"uneven light", 0, false, 0, 640, 480, 0.4},
};

// Every version under each condition, one test per condition (they run side by
// side). The pixel format cycles with the version, shifted by one from condition
// to condition, so every format meets every condition and every version is read
// in every format, without rendering every version in every format under every
// condition.
class QrLocatorConditions : public testing::TestWithParam<size_t> {};

TEST_P(QrLocatorConditions, EveryVersionReads) {
  const size_t index = GetParam();
  const Condition& c = kConditions[index];
  const int formats[4] = {8, 16, 24, 32};
  for (int version = 1; version <= 13; ++version) {
    const std::string text = Payload(version, test::kLevelM);
    const QrSymbol symbol = Symbol(text, version);
    RenderOptions o;
    o.width = c.width;
    o.height = c.height;
    o.bitsPerPixel = formats[(static_cast<size_t>(version) + index) % 4];
    o.moduleSize = c.height * 0.75 / (symbol.size + 8);
    o.rotation = c.rotation;
    o.mirror = c.mirror;
    o.perspective = c.perspective;
    o.unevenLight = c.unevenLight;
    o.blur = 0.6;
    o.noise = 3;
    o.seed = static_cast<uint32_t>(version);
    const Outcome out = Recognize(test::RenderModules(symbol.modules, symbol.size, o));
    EXPECT_EQ(out.status, 1) << c.name << ", version " << version << ", " << o.bitsPerPixel << " bits";
    EXPECT_EQ(out.bytes, text) << c.name << ", version " << version << ", " << o.bitsPerPixel << " bits";
    EXPECT_EQ(out.symbology, kLockQr) << c.name << ", version " << version;
  }
}

std::string ConditionName(const testing::TestParamInfo<size_t>& info) {
  std::string name;
  for (const char* p = kConditions[info.param].name; *p != '\0'; ++p) {
    if (std::isalnum(static_cast<unsigned char>(*p))) {
      name += *p;
    } else if (*p == '-') {
      name += "minus";
    } else if (!name.empty() && name.back() != '_') {
      name += '_';
    }
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(QrLocatorEndToEnd, QrLocatorConditions,
                         testing::Range(size_t{0}, std::size(kConditions)), ConditionName);

// Prepares and labels a frame the way the dispatch does, for the stage tests.
void PrepareFrame(Workspace& ws, const Frame& f) {
  Recognizer& r = ws.r();
  std::memset(ws.data(), 0, sizeof(Recognizer));
  r.toneExponent = 1.0;
  r.imageWidth = f.width;
  r.imageHeight = f.height;
  r.imageCapacity = static_cast<int32_t>(ImageAreaBytes(int64_t{f.width} * f.height));
  ConvertToGrey(f.pixels.data(), f.width, f.height, f.bitsPerPixel, r.image());
  ASSERT_EQ(PrepareImage(r, 2), 1);
  ASSERT_EQ(LabelComponents(r), 1);
}

Frame Render(const std::vector<uint8_t>& modules, int size, double moduleSize = 6) {
  RenderOptions o;
  o.width = 640;
  o.height = 480;
  o.moduleSize = moduleSize;
  o.blur = 0.6;
  o.noise = 3;
  return test::RenderModules(modules, size, o);
}

// A version-1 symbol at the top left of a larger square grid, with room on its right.
std::vector<uint8_t> Widened(const QrSymbol& s, int width) {
  std::vector<uint8_t> grid(static_cast<size_t>(width * width), 0);
  for (int r = 0; r < s.size; ++r) {
    for (int c = 0; c < s.size; ++c) grid[static_cast<size_t>(r * width + c)] = s.Dark(r, c);
  }
  return grid;
}

TEST(QrLocatorStages, FourFinderLikeComponentsAreRejected) {
  const QrSymbol s = Symbol("four finders", 1);
  constexpr int kWidth = 34;
  std::vector<uint8_t> grid = Widened(s, kWidth);
  Workspace ws(640, 480);
  {
    PrepareFrame(ws, Render(grid, kWidth, 7));
    QrLocation loc{};
    EXPECT_EQ(FindQrFinders(ws.r(), loc), 1) << "three finders alone are accepted";
  }
  // A fourth finder pattern beside the symbol, rows 0..6, columns 26..32.
  for (int r = 0; r < 7; ++r) {
    for (int c = 0; c < 7; ++c) {
      const int ring = std::max(std::abs(r - 3), std::abs(c - 3));
      grid[static_cast<size_t>(r * kWidth + 26 + c)] = ring != 2;
    }
  }
  PrepareFrame(ws, Render(grid, kWidth, 7));
  QrLocation loc{};
  EXPECT_EQ(FindQrFinders(ws.r(), loc), 0);
  EXPECT_LE(Recognize(Render(grid, kWidth, 7)).status, 0);
}

TEST(QrLocatorStages, DimensionFromTimingCount) {
  const struct {
    int count, dimension;
  } cases[] = {{0, 0},   {18, 0},  {19, 21}, {20, 21}, {21, 21}, {22, 21}, {23, 25},
               {24, 25}, {25, 25}, {26, 25}, {27, 29}, {45, 45}, {66, 65}, {67, 69},
               {69, 69}, {70, 0},  {71, 0},  {90, 0}};
  for (const auto& c : cases) EXPECT_EQ(QrDimensionFromCount(c.count), c.dimension) << c.count;
}

TEST(QrLocatorStages, OnlyLargerSymbolsSearchForAnAlignmentPattern) {
  for (int version : {1, 2, 7}) {
    const QrSymbol s = Symbol("alignment " + std::to_string(version), version);
    Workspace ws(640, 480);
    PrepareFrame(ws, Render(s.modules, s.size, 300.0 / s.size));
    QrLocation loc{};
    ASSERT_EQ(LocateQrCodeWith(ws.r(), loc, kQrDefaultHooks), 1) << version;
    EXPECT_EQ(loc.alignmentSearched, version > 1 ? 1 : 0) << version;
    EXPECT_EQ(ws.r().symbolDimension, s.size);
  }
}

// Version 7 has alignment centres 6, 22 and 38. With the bottom-right pattern
// painted out no alignment component is found, and the corner comes from the
// estimates E1 (near the pattern at row 22, column 6), E2 (row 6, column 22) and
// E3 (the centre), each refined onto its pattern, and E4 = 2 E3 - E1, E5 =
// 2 E3 - E2, taken as they are: the patterns they point at are not needed. So
// with the pattern at row 22, column 38 painted out as well the symbol reads.
TEST(QrLocatorStages, AlignmentFallbackRefinesOnlyTheInnerEstimates) {
  QrSymbol s = Symbol("fallback", 7);
  for (auto [row, column] : {std::pair{38, 38}, std::pair{22, 38}, std::pair{38, 22}}) {
    for (int r = row - 2; r <= row + 2; ++r) {
      for (int c = column - 2; c <= column + 2; ++c) s.Set(r, c, false);
    }
  }
  Workspace ws(640, 480);
  PrepareFrame(ws, Render(s.modules, s.size, 300.0 / s.size));
  QrLocation loc{};
  ASSERT_EQ(LocateQrCodeWith(ws.r(), loc, kQrDefaultHooks), 1);
  EXPECT_EQ(loc.alignmentSearched, 1);
  // The derived corner A lies on the painted-out pattern: light, no label.
  EXPECT_EQ(loc.alignmentLabel, kLight);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(ws.r().decodedText)), "fallback");
}

// A decode stand-in that records the fourth-corner shifts it is shown and
// succeeds only on one of them.
struct ShiftRecorder {
  std::vector<std::pair<int, int>> shifts;
  std::pair<int, int> succeedOn;
};

int RecordingDecode(Recognizer& r, const QrLocation& loc, void* context) {
  auto& rec = *static_cast<ShiftRecorder*>(context);
  rec.shifts.emplace_back(loc.shiftX, loc.shiftY);
  if (std::make_pair(loc.shiftX, loc.shiftY) != rec.succeedOn) return 0;
  std::memcpy(r.decodedText, "shifted", 8);
  r.decodedLength = 7;
  r.textFlag = 32;
  return 1;
}

TEST(QrLocatorStages, RetriesMoveTheFourthCornerInDirectionOrder) {
  const QrSymbol s = Symbol("retries", 3);
  Workspace ws(640, 480);
  const Frame f = Render(s.modules, s.size, 8);

  PrepareFrame(ws, f);
  ShiftRecorder southEast{{}, {1, 1}};
  QrLocation loc{};
  ASSERT_EQ(LocateQrCodeWith(ws.r(), loc, {RecordingDecode, &southEast}), 1);
  EXPECT_EQ(loc.decodeAttempt, 2);  // the second retry
  const std::vector<std::pair<int, int>> firstThree = {{0, 0}, {1, 0}, {1, 1}};
  EXPECT_EQ(southEast.shifts, firstThree);
  EXPECT_STREQ(reinterpret_cast<const char*>(ws.r().decodedText), "shifted");

  PrepareFrame(ws, f);
  ShiftRecorder never{{}, {9, 9}};
  EXPECT_EQ(LocateQrCodeWith(ws.r(), loc, {RecordingDecode, &never}), 0);
  const std::vector<std::pair<int, int>> all = {{0, 0}, {1, 0},  {1, 1},   {0, 1}, {-1, 1},
                                                {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
  EXPECT_EQ(never.shifts, all);
  EXPECT_EQ(ws.r().lockedKind, kLockQr) << "located but not decoded keeps the lock";

  // With the extra readings the grids through the pattern centres replace the
  // shifted corners: every reading is of the unshifted corner, and the centres
  // give a few (the fitted mapping, then projective and bilinear through the
  // alignment pattern, found and traced).
  PrepareFrame(ws, f);
  ws.r().extraReadings = 1;
  ShiftRecorder extra{{}, {9, 9}};
  EXPECT_EQ(LocateQrCodeWith(ws.r(), loc, {RecordingDecode, &extra}), 0);
  EXPECT_GE(extra.shifts.size(), 2u);
  EXPECT_LE(extra.shifts.size(), 6u);
  for (const auto& shift : extra.shifts) EXPECT_EQ(shift, std::make_pair(0, 0));
  EXPECT_EQ(ws.r().lockedKind, kLockQr);
}

// Ink across both timing lines: three of their light modules dark, so that
// each line counts six changes fewer and gives a size of 25 for this 29. The
// plain calls sample a grid of the wrong size and read nothing; the extra
// readings take the size the finders' spacing gives and read the symbol.
TEST(QrLocatorStages, ExtraReadingsTakeTheSizeFromTheFindersWhenTheTimingMiscounts) {
  QrSymbol s = Symbol("timing inked over", 3);
  ASSERT_EQ(s.size, 29);
  for (int i = 9; i <= 13; i += 2) {
    s.Set(6, i, true);
    s.Set(i, 6, true);
  }
  Workspace ws(640, 480);
  const Frame f = Render(s.modules, s.size, 6);

  PrepareFrame(ws, f);
  EXPECT_EQ(LocateQrCode(ws.r()), 0) << "the fixture no longer miscounts";
  EXPECT_EQ(ws.r().symbolDimension, 25);

  PrepareFrame(ws, f);
  ws.r().extraReadings = 1;
  QrLocation loc{};
  ASSERT_EQ(LocateQrCodeWith(ws.r(), loc, kQrDefaultHooks), 1);
  EXPECT_EQ(ws.r().symbolDimension, 29);
  EXPECT_STREQ(reinterpret_cast<const char*>(ws.r().decodedText), "timing inked over");
}

TEST(QrLocatorStages, AnotherSymbologysLockReturnsAtOnce) {
  const QrSymbol s = Symbol("locked out", 2);
  Workspace ws(640, 480);
  PrepareFrame(ws, Render(s.modules, s.size, 8));
  ws.r().lockedKind = kLockDataMatrix;
  EXPECT_EQ(LocateQrCode(ws.r()), 0);
  EXPECT_EQ(ws.r().lockedKind, kLockDataMatrix);
}

TEST(QrLocatorStages, EciFirstIsRejectedAndGb2312SetsTheTextFlag) {
  Workspace ws(64, 64);
  Recognizer& r = ws.r();
  std::memset(ws.data(), 0, sizeof(Recognizer));

  const test::QrSegment eci[] = {{test::QrSegmentMode::kEci, "", 26},
                                 {test::QrSegmentMode::kByte, "after eci"}};
  const auto eciSymbol = test::EncodeQrSegments(eci, 1, test::kLevelL);
  ASSERT_TRUE(eciSymbol.has_value());
  r.matrix = eciSymbol->ToMatrix();
  r.symbolDimension = eciSymbol->size;
  EXPECT_EQ(DecodeQrMatrix(r, QrLocation{}, nullptr), 0);

  test::QrBitStream gb;
  gb.Append(0b1101, 4);
  gb.Append(1, 4);
  gb.Append(1, 8);
  gb.Append(4655, 13);  // 0xD6 0xD0
  const QrSymbol gbSymbol =
      test::BuildQrSymbol(1, test::kLevelM, 5, gb.DataCodewords(test::QrDataCodewordCount(1, 1)));
  r.matrix = gbSymbol.ToMatrix();
  r.symbolDimension = gbSymbol.size;
  ASSERT_EQ(DecodeQrMatrix(r, QrLocation{}, nullptr), 1);
  EXPECT_EQ(r.textFlag, 8u);
  EXPECT_EQ(r.secondString[0], 0) << "the remark is consumed";
  EXPECT_EQ(r.decodedText[0], 0xD6);

  const QrSymbol plain = Symbol("plain", 1);
  r.matrix = plain.ToMatrix();
  ASSERT_EQ(DecodeQrMatrix(r, QrLocation{}, nullptr), 1);
  EXPECT_EQ(r.textFlag, 32u);

  // "Empty" means no bytes decoded: a binary payload that begins with a zero
  // byte is a sound read whose bytes tools report, though classification sees
  // an empty text.
  const QrSymbol leadingZero = Symbol(std::string("\0abc", 4), 1);
  r.matrix = leadingZero.ToMatrix();
  ASSERT_EQ(DecodeQrMatrix(r, QrLocation{}, nullptr), 1);
  EXPECT_EQ(r.decodedLength, 4);
}

TEST(QrLocatorStages, PreliminaryContentKind) {
  const struct {
    std::string text;
    const char* second;
    int kind;
  } cases[] = {
      {"MATMSG:TO:a@b.c;;", "", 16},
      {"a@b", "", 19},
      {"hello", "", 0},
      {"x", "", 0},
      {":leading colon only", "", 16},
      {"@", "", 0},  // the scan starts at the second byte
      {"caf\xC3\xA9", "", 16},
      {"ABC", "90:64:1:2:3", 27},
      // Only the text up to its first zero byte counts, as classification reads
      // no further: an at sign or separator behind a zero changes nothing.
      {std::string("ab\0c@d", 6), "", 0},
      {std::string("ab\0c:d", 6), "", 0},
      {std::string("a@\0bc", 5), "", 19},
  };
  Workspace ws(64, 64);
  Recognizer& r = ws.r();
  for (const auto& c : cases) {
    std::memset(r.decodedText, 0, sizeof r.decodedText);
    std::memset(r.secondString, 0, sizeof r.secondString);
    std::memcpy(r.decodedText, c.text.data(), c.text.size());
    std::strcpy(reinterpret_cast<char*>(r.secondString), c.second);
    r.decodedLength = static_cast<int32_t>(c.text.size());
    SetQrContentKind(r);
    EXPECT_EQ(r.contentKind, c.kind) << c.text;
  }
}

TEST(QrLocatorStages, EncipheredTextMovesToTheFrontWithItsLength) {
  Workspace ws(64, 64);
  Recognizer& r = ws.r();
  std::memset(r.decodedText, 0, sizeof r.decodedText);
  std::memset(r.secondString, 0, sizeof r.secondString);
  // "pe:" in any case, check byte 0x07, then 200 payload bytes (zeros included).
  std::string text = "pE:\x07";
  for (int i = 0; i < 200; ++i) text.push_back(static_cast<char>(i % 7 == 0 ? 0 : i));
  std::memcpy(r.decodedText, text.data(), text.size());
  r.decodedLength = static_cast<int32_t>(text.size());
  SetQrContentKind(r);
  EXPECT_EQ(r.contentKind, 28);
  EXPECT_EQ(r.decodedLength, 200);
  EXPECT_EQ(r.secondString[2], 0x07);
  EXPECT_EQ(r.secondString[3], 2);          // two base-128 digits
  EXPECT_EQ(r.secondString[4], 200 % 128);  // least significant first
  EXPECT_EQ(r.secondString[5], 200 / 128);
  EXPECT_EQ(std::memcmp(r.decodedText, text.data() + 4, 200), 0);
  EXPECT_EQ(r.decodedText[200], 0);
}

TEST(QrLocatorEndToEnd, EncipheredSymbolEndsWithKind28InTheSummary) {
  std::string text = "PE:";
  text.push_back('\x2A');
  text += "0123456789abcdef";
  const QrSymbol s = Symbol(text, 2);
  RenderOptions o;
  o.moduleSize = 6;
  const Frame f = test::RenderModules(s.modules, s.size, o);
  Workspace ws(f.width, f.height);
  auto result = std::make_unique<ScanResult>();
  result->mode() = 0;
  result->symbologyMask() = 1;
  ASSERT_EQ(RecognizeImage(f.pixels.data(), ws.data(), f.width, f.height, 8, result.get()), 1);
  EXPECT_EQ(ws.r().decodeSummary.contentKind, 28);
  EXPECT_EQ(ws.r().decodeSummary.text, ws.r().decodedText);
  EXPECT_EQ(LastDecodedSymbol(ws.data()).bytes.size(), 16u);
}

TEST(QrLocatorEndToEnd, NothingInViewReportsMeanGrey) {
  RenderOptions o;
  o.moduleSize = 0.0001;  // the symbol vanishes: a plain sheet
  o.background = o.light = 200;
  const QrSymbol s = Symbol("gone", 1);
  const Outcome out = Recognize(test::RenderModules(s.modules, s.size, o), 3);
  EXPECT_LE(out.status, 0);
  EXPECT_EQ(out.symbology, 0);
}

// A rendered symbol that four calls of the thorough mode (4) miss and the same
// calls with the extra readings (mode 10) read, without allocating.
struct ExtraReadingCase {
  int version;
  double perspective, rotation, moduleSize, blur, noise;
  int byteCount;
  uint32_t seed;        // of the bytes
  uint32_t renderSeed;  // of the noise
};

void ExpectOnlyTheExtraReadingsRead(const ExtraReadingCase& c) {
  SCOPED_TRACE("version " + std::to_string(c.version) + ", seed " + std::to_string(c.seed));
  const std::vector<uint8_t> bytes = test::RandomBytes(c.byteCount, c.seed);
  const auto symbol = test::EncodeQrBytes(bytes, c.version, test::kLevelM);
  ASSERT_TRUE(symbol.has_value());
  test::RenderOptions o;
  o.moduleSize = c.moduleSize;
  o.perspective = c.perspective;
  o.rotation = c.rotation;
  o.blur = c.blur;
  o.noise = c.noise;
  o.seed = c.renderSeed;
  const test::Frame f = test::RenderModules(symbol->modules, symbol->size, o);
  EXPECT_NE(test::RecognizeFrame(f, 4, 4, 1).status, 1);
  const test::Outcome read = test::RecognizeFrame(f, 4, 10, 1);
  EXPECT_EQ(read.allocations, 0u);
  ASSERT_EQ(read.status, 1);
  EXPECT_EQ(read.bytes, std::string(bytes.begin(), bytes.end()));
}

// Small modules, blurred: the finders' outer corner pixels sit a fraction of
// a module off, so the corner grid does not correct; the grid through the
// pattern centres reads the symbol.
TEST(QrExtraReadings, CentreGridReadsWhatTheCornerGridLoses) {
  const ExtraReadingCase cases[] = {
      {2, 0.0, 15, 2.0, 0.5, 2, 20, 2, 1},
      {4, 0.1, 15, 2.5, 1.0, 2, 20, 4, 1},
      {7, 0.0, 30, 2.0, 0.5, 2, 20, 7, 1},
  };
  for (const ExtraReadingCase& c : cases) ExpectOnlyTheExtraReadingsRead(c);
}

// Under strong perspective the finders shrink towards the far side; a grid
// fitted to their centres and outer edges follows where no parallelogram of the
// centres (and, in version 1, no alignment pattern) can.
TEST(QrExtraReadings, FinderShapesGiveThePerspective) {
  const ExtraReadingCase cases[] = {
      {1, 0.30, 37, 5.0, 0.8, 3, 10, 1, 1},
      {1, 0.30, -30, 4.0, 0.8, 3, 10, 2, 2},
      {3, 0.30, 37, 4.0, 0.8, 3, 10, 3, 3},
  };
  for (const ExtraReadingCase& c : cases) ExpectOnlyTheExtraReadingsRead(c);
}

}  // namespace
}  // namespace cordavex
