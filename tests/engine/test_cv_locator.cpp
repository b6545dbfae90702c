// The Cordavex code locator: symbols from our own generator, rendered into
// camera-like frames, read back through RecognizeImage as classified content;
// the dimension rules; the early exit; the gate on the older layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cordavex/cordavex_code.h"
#include "cordavex/recognizer.h"
#include "decode/cv_crypto.h"
#include "engine/cv_locator.h"
#include "engine/label.h"
#include "engine/locators.h"
#include "engine/prepare.h"
#include "support/alloc_counter.h"
#include "support/cv_symbols.h"
#include "support/engine_frames.h"
#include "support/render.h"
#include "support/workspace.h"

namespace cordavex {
namespace {

test::Frame Render(const test::CvSymbol& s, int part, const test::RenderOptions& o) {
  int side = 0;
  const std::vector<uint8_t> modules = s.MapModules(part, side);
  return test::RenderModules(modules, side, o);
}

// A camera-like view: the symbol filling most of a 640 x 480 frame.
test::RenderOptions View(int side, double rotation, double perspective, int bitsPerPixel,
                         uint32_t seed) {
  test::RenderOptions o;
  o.width = 640;
  o.height = 480;
  o.bitsPerPixel = bitsPerPixel;
  o.moduleSize = 440.0 / (side + 10);
  o.rotation = rotation;
  o.perspective = perspective;
  o.blur = 0.6;
  o.noise = 3;
  o.seed = seed;
  return o;
}

struct Read {
  test::Outcome outcome;
  std::unique_ptr<ScanResult> record = std::make_unique<ScanResult>();
};

Read Recognize(const test::Frame& frame, int mode = 0, int mask = 2) {
  Read read;
  read.outcome = test::RecognizeFrame(frame, 8, mode, mask, read.record.get());
  return read;
}

std::u16string RawText(const ScanResult& r) { return std::u16string(r.rawText()); }

std::u16string Utf16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::string Utf16Bytes(const std::u16string& s) {
  std::string bytes;
  for (char16_t u : s) {
    bytes.push_back(static_cast<char>(u & 0xFF));
    bytes.push_back(static_cast<char>(u >> 8));
  }
  return bytes;
}

// Every size, from the smallest to the largest, at every level, turned every
// way and in every pixel format, reads back to its text.
TEST(CvLocator, EverySizeReadsBackTurnedAndTilted) {
  static constexpr int kSides[] = {13, 15, 17, 19, 21, 23, 25, 27, 29, 33, 37, 41, 45, 49, 53, 57};
  static constexpr int kFormats[] = {8, 16, 24, 32};
  int i = 0;
  for (int side : kSides) {
    const int level = i % 4;
    const std::u16string text =
        u"c" + Utf16(std::to_string(side)) + u"l" + Utf16(std::to_string(level));
    const test::CvSymbol s = test::GenerateCvText(text, side, level);
    ASSERT_EQ(s.status, 1);
    EXPECT_EQ(s.side, side);
    // Upright, a quarter turn, half a turn, three quarters, each a little off
    // square; every other one seen at a slant.
    const double rotation = 90.0 * (i % 4) + (i % 2 == 0 ? 6.0 : -9.0);
    const double perspective = i % 2 == 0 ? 0.0 : 0.04;
    const Read read = Recognize(Render(s, 0, View(side, rotation, perspective, kFormats[i % 4],
                                                  static_cast<uint32_t>(side))));
    EXPECT_EQ(read.outcome.status, 1) << "side " << side;
    EXPECT_EQ(read.outcome.symbology, static_cast<int>(Symbology::kCordavex3)) << side;
    EXPECT_EQ(read.outcome.bytes, Utf16Bytes(text)) << side;
    EXPECT_EQ(read.record->contentType, kTypePlainText) << side;
    EXPECT_EQ(RawText(*read.record), text) << side;
    ++i;
  }
}

// Each of the four pixel formats, a small symbol in a 320 x 240 frame (the
// engine enlarges it), at several angles.
TEST(CvLocator, SmallFramesInEveryFormat) {
  const std::u16string text = u"MECARD:N:Lin,Mei;TEL:0223456789;;";
  const test::CvSymbol s = test::GenerateCvText(text, 13, 1);
  ASSERT_EQ(s.status, 1);
  int seed = 1;
  for (int bpp : {8, 16, 24, 32}) {
    for (double rotation : {0.0, 33.0, 200.0}) {
      test::RenderOptions o = View(s.side, rotation, 0.0, bpp, static_cast<uint32_t>(seed++));
      o.width = 320;
      o.height = 240;
      o.moduleSize = 190.0 / (s.side + 12);
      const Read read = Recognize(Render(s, 0, o));
      EXPECT_EQ(read.outcome.status, 1) << bpp << " bpp, " << rotation << " degrees";
      EXPECT_EQ(read.record->contentType, kTypeMecard) << bpp << " " << rotation;
      EXPECT_EQ(RawText(*read.record), text);
    }
  }
}

TEST(CvLocator, RawBytesReadAsRawData) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 40; ++i) bytes.push_back(static_cast<uint8_t>(i * 37 + 1));
  CordavexInput input;
  input.data = bytes;
  const test::CvSymbol s = test::GenerateCv(kCordavexBytes, 13, 2, input);
  ASSERT_EQ(s.status, 1);
  const Read read = Recognize(Render(s, 0, View(s.side, 120.0, 0.05, 24, 4)));
  ASSERT_EQ(read.outcome.status, 1);
  EXPECT_EQ(read.outcome.symbology, static_cast<int>(Symbology::kCordavex3));
  EXPECT_EQ(read.outcome.bytes, std::string(bytes.begin(), bytes.end()));
  EXPECT_EQ(read.record->contentType, kTypeRawData);
}

// Every part of a split set reads as a split part with its own bytes.
TEST(CvLocator, EachPartOfASplitSet) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 150; ++i) bytes.push_back(static_cast<uint8_t>('A' + i % 26));
  CordavexInput input;
  input.data = bytes;
  const test::CvSymbol s = test::GenerateCv(kCordavexSplit, 13, 0, input, 3);
  ASSERT_EQ(s.status, 1);
  ASSERT_EQ(s.parts, 3);
  std::string joined;
  for (int part = 0; part < s.parts; ++part) {
    const Read read = Recognize(Render(s, part, View(s.partSides[static_cast<size_t>(part)],
                                                      -20.0 + 30.0 * part, 0.0, 8,
                                                      static_cast<uint32_t>(part + 1))));
    ASSERT_EQ(read.outcome.status, 1) << "part " << part;
    EXPECT_EQ(read.record->contentType, kTypeSplitPart) << part;
    joined += read.outcome.bytes;
  }
  EXPECT_EQ(joined, std::string(bytes.begin(), bytes.end()));
}

std::vector<uint8_t> Password(const std::string& p) {
  std::vector<uint8_t> v(p.size() + 1);
  v[0] = static_cast<uint8_t>(p.size());
  std::memcpy(v.data() + 1, p.data(), p.size());
  return v;
}

// Enciphered content, alone and behind a text: the record is classified as
// encrypted and the password opens it again.
TEST(CvLocator, EncryptedKindsOpenWithThePassword) {
  const std::string secret = "Gate 7 at noon";
  const std::vector<uint8_t> secretBytes(secret.begin(), secret.end());
  const std::vector<uint8_t> key = {'o', 'p', 'e', 'n'};
  const std::u16string plain = u"Note:";
  for (int kind : {kCordavexEncrypted, kCordavexTextEncrypted}) {
    CordavexInput input;
    input.key = key;
    if (kind == kCordavexEncrypted) {
      input.data = secretBytes;
    } else {
      input.text = plain;
      input.secondData = secretBytes;
    }
    const test::CvSymbol s = test::GenerateCv(kind, 13, 1, input);
    ASSERT_EQ(s.status, 1);
    const Read read = Recognize(Render(s, 0, View(s.side, 75.0, 0.06, 32, 9)));
    ASSERT_EQ(read.outcome.status, 1) << kind;
    ASSERT_EQ(read.record->contentType, kTypeEncrypted) << kind;
    std::span<char16_t> content(read.record->rawText(), 736);
    std::span<const char16_t> side(read.record->keyArea(), ScanResult::kKeyAreaUnits - 1);
    EncryptedPart target;
    EXPECT_EQ(LocateEncryptedPart(content, side, target), kind == kCordavexTextEncrypted ? 1 : 0);
    std::array<char16_t, kDecryptedTextUnits> text{};
    EXPECT_EQ(DecryptContent(Password("wrong"), text, target), 0);
    ASSERT_EQ(DecryptContent(Password("open"), text, target), 1) << kind;
    EXPECT_EQ(std::u16string(text.data()), Utf16(secret));
  }
}

TEST(CvLocator, ThoroughModeAndMirroredView) {
  const std::u16string text = u"https://example.org/cv";
  const test::CvSymbol s = test::GenerateCvText(text, 21, 3);
  ASSERT_EQ(s.status, 1);
  test::RenderOptions o = View(s.side, 15.0, 0.0, 8, 3);
  const Read thorough = Recognize(Render(s, 0, o), 4, 7);
  EXPECT_EQ(thorough.outcome.status, 1);
  EXPECT_EQ(RawText(*thorough.record), text);
  o.mirror = true;
  const Read mirrored = Recognize(Render(s, 0, o));
  EXPECT_EQ(mirrored.outcome.status, 1);
  EXPECT_EQ(RawText(*mirrored.record), text);
}

// ---- rules ----

TEST(CvLocator, DimensionFromTheCount) {
  struct Case {
    int version;
    int count;
    int dimension;
  };
  static constexpr Case kCases[] = {
      {kCvVersionOlder, 9, 0},    {kCvVersionOlder, 10, 13},  {kCvVersionOlder, 13, 13},
      {kCvVersionOlder, 15, 17},  {kCvVersionOlder, 20, 23},  {kCvVersionOlder, 29, 29},
      {kCvVersionOlder, 30, 0},   {kCvVersionCurrent, 9, 0},  {kCvVersionCurrent, 13, 13},
      {kCvVersionCurrent, 16, 17}, {kCvVersionCurrent, 29, 29}, {kCvVersionCurrent, 30, 29},
      {kCvVersionCurrent, 31, 33}, {kCvVersionCurrent, 32, 33}, {kCvVersionCurrent, 33, 33},
      {kCvVersionCurrent, 58, 57}, {kCvVersionCurrent, 59, 61}, {kCvVersionCurrent, 70, 0},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(CvDimensionFromCount(c.version, c.count), c.dimension)
        << "version " << c.version << " count " << c.count;
  }
}

// Runs as walked up the left column: light before the walk, the bottom mark,
// then alternating light and dark, the top mark last.
TEST(CvLocator, SizeFromTheRunLengths) {
  struct Case {
    std::vector<int32_t> runs;
    int size;
  };
  const Case cases[] = {
      // 13: three one-module runs between the marks (4 px modules).
      {{0, 10, 4, 4, 4, 4, 4, 4, 4, 10}, 13},
      // 21: one long run of seven.
      {{0, 18, 8, 28, 8, 18}, 21},
      // 23: a long run of six, then one short run of two.
      {{0, 18, 8, 24, 4, 8, 8, 18}, 23},
      // 29: two long runs of six.
      {{0, 26, 4, 24, 4, 24, 4, 26}, 29},
      // 33: two long runs and one short one.
      {{0, 26, 4, 24, 4, 24, 4, 12, 4, 26}, 33},
      // A short run before a long one does not occur.
      {{0, 26, 4, 12, 4, 24, 4, 26}, 0},
      // A light gap longer than the marks, or a dark run beyond twice them.
      {{0, 10, 14, 4, 4, 10}, 0},
      {{0, 10, 4, 24, 4, 10}, 0},
      // Three changes or fewer.
      {{0, 10, 4, 10}, 7},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CvSizeFromRuns(c.runs, static_cast<int>(c.runs.size()) - 1), c.size)
        << c.runs.size() << " runs";
  }
}

// Fewer than four elongated components: the locator gives up before touching
// the hole table or the lists.
TEST(CvLocator, FewerThanFourBarsReturnsAtOnce) {
  test::Workspace ws(64, 48);
  Recognizer& r = ws.r();
  r.barCount = 3;
  r.labelCount = 40;
  r.holeCount = 5;
  r.contour[0] = {7, 9};
  r.lockedKind = kLockCordavex3;
  CordavexLocation loc;
  EXPECT_EQ(LocateCordavexCodeWith(r, loc), 0);
  EXPECT_EQ(r.holeCount, 5);
  EXPECT_EQ(r.contour[0].x, 7);
  EXPECT_EQ(r.lockedKind, kLockNone);
  EXPECT_EQ(r.miss[static_cast<int>(Symbology::kCordavex3)], Failure::kCvBars);
  // Under another symbology's lock it does not even look.
  r.lockedKind = kLockQr;
  r.barCount = 8;
  EXPECT_EQ(LocateCordavexCode(r), 0);
  EXPECT_EQ(r.lockedKind, kLockQr);
}

// A frame prepared and labelled as the dispatch does, for calling the locator
// directly.
void PrepareFrame(test::Workspace& ws, const test::Frame& frame, int mode) {
  Recognizer& r = ws.r();
  ws.SetImage(frame.width, frame.height);
  std::memcpy(r.image(), frame.grey.data(), frame.grey.size());
  r.toneExponent = 1.0;
  r.lockedKind = kLockNone;
  ASSERT_EQ(PrepareImage(r, mode), 1);
  ASSERT_EQ(LabelComponents(r), 1);
}

// A small symbol of the current layout has corner marks small enough to pass
// for the older layout's. While the older layout is not admitted the group
// goes down the square-marker path and reads; admitted, the group is taken as
// the older layout, which it is not.
TEST(CvLocator, OlderLayoutOnlyWhenAdmitted) {
  const std::u16string text = u"small";
  const test::CvSymbol s = test::GenerateCvText(text, 13, 0);
  ASSERT_EQ(s.status, 1);
  test::RenderOptions o = View(s.side, 4.0, 0.0, 8, 5);
  o.width = 320;
  o.height = 240;
  o.moduleSize = 4.0;
  o.blur = 0.0;
  o.noise = 0.0;
  const test::Frame frame = Render(s, 0, o);

  test::Workspace ws(frame.width, frame.height);
  PrepareFrame(ws, frame, 2);
  ws.r().skipVersion2 = 1;
  CordavexLocation loc;
  ASSERT_EQ(LocateCordavexCodeWith(ws.r(), loc), 1) << FailureInfo(ws.r().miss[3]).cause;
  EXPECT_EQ(loc.codeVersion, kCvVersionCurrent);
  EXPECT_EQ(ws.r().lockedKind, kLockCordavex3);
  EXPECT_LE(ws.r().components[loc.topLeft].pointCount, 64);

  PrepareFrame(ws, frame, 2);
  ws.r().skipVersion2 = 0;
  EXPECT_EQ(LocateCordavexCodeWith(ws.r(), loc), 0);
  EXPECT_EQ(loc.codeVersion, kCvVersionOlder);

  // The thorough dispatch tries the current layout first and reads it.
  const Read read = Recognize(frame, 4, 2);
  EXPECT_EQ(read.outcome.status, 1);
  EXPECT_EQ(read.outcome.symbology, static_cast<int>(Symbology::kCordavex3));
}

// Locating, sampling and decoding allocate nothing: everything lives in the
// caller's workspace.
TEST(CvLocator, DecodingCallsAllocateNothing) {
  const test::CvSymbol s = test::GenerateCvText(u"MEBKM:TITLE:Cordavex;URL:http://example.org;;", 21, 1);
  ASSERT_EQ(s.status, 1);
  const test::Frame frame = Render(s, 0, View(s.side, 30.0, 0.03, 24, 2));
  test::Workspace ws(frame.width, frame.height);
  auto result = std::make_unique<ScanResult>();
  int decoded = 0;
  for (int call = 0; call < 8; ++call) {
    result->mode() = call % 2 == 0 ? 0 : 4;
    result->symbologyMask() = 2;
    const size_t before = test::AllocationCount();
    const int32_t status = RecognizeImage(frame.pixels.data(), ws.data(), frame.width,
                                          frame.height, frame.bitsPerPixel, result.get());
    EXPECT_EQ(test::AllocationCount(), before) << "call " << call;
    decoded += status == 1;
  }
  EXPECT_GT(decoded, 0) << "the frame must decode, so the whole path is measured";
}

// Frames full of finder-like clutter (pairs of bars, rings, L shapes, squares
// and long bars at random, drawn in modules and rendered like a symbol) drive
// the locator's stages with components that almost fit; whatever they make of
// it, the answer is a clean "not found".
TEST(CvLocator, ClutterIsNotFoundCleanly) {
  uint32_t state = 12345;
  const auto next = [&](int n) {
    state = state * 1103515245u + 12345u;
    return static_cast<int>((state >> 8) % static_cast<uint32_t>(n));
  };
  constexpr int kSide = 48;
  int grouped = 0;
  for (int frame = 0; frame < 16; ++frame) {
    std::vector<uint8_t> modules(kSide * kSide, 0);
    const auto box = [&](int x, int y, int w, int h) {
      for (int yy = y; yy < std::min(kSide, y + h); ++yy) {
        for (int xx = x; xx < std::min(kSide, x + w); ++xx) modules[static_cast<size_t>(yy * kSide + xx)] = 1;
      }
    };
    for (int i = 0; i < 14; ++i) {
      const int x = next(kSide - 4), y = next(kSide - 4);
      switch (next(5)) {
        case 0:  // two pairs of bars, one above the other
          box(x, y, 1, 6);
          box(x + 2, y, 1, 6);
          box(x, y + 7, 1, 6);
          box(x + 2, y + 7, 1, 6);
          break;
        case 1:  // a ring
          box(x, y, 3, 3);
          modules[static_cast<size_t>(std::min(kSide - 1, y + 1) * kSide + std::min(kSide - 1, x + 1))] = 0;
          break;
        case 2:  // an L
          box(x, y, 4, 1);
          box(x, y, 1, 4);
          break;
        case 3:
          box(x, y, 1, 1);
          break;
        default:
          box(x, y, 7, 1);
          break;
      }
    }
    test::RenderOptions o = View(kSide, next(360), 0.02 * next(3), 8, static_cast<uint32_t>(frame + 1));
    const test::Frame f = test::RenderModules(modules, kSide, o);
    for (int mode : {0, 2, 4}) {
      test::Workspace ws(f.width, f.height);
      auto result = std::make_unique<ScanResult>();
      result->mode() = mode;
      result->symbologyMask() = frame % 2 == 0 ? 2 : 7;
      EXPECT_LE(RecognizeImage(f.pixels.data(), ws.data(), f.width, f.height, 8, result.get()), 0)
          << "frame " << frame << " mode " << mode;
      grouped += ws.r().miss[static_cast<int>(Symbology::kCordavex3)] != Failure::kCvBars &&
                 ws.r().miss[0] == Failure::kNone;
    }
  }
  EXPECT_GT(grouped, 0) << "some frames must get past the grouping";
}

TEST(CvLocator, NothingInViewIsNotFound) {
  test::RenderOptions o = View(20, 0.0, 0.0, 8, 1);
  const std::vector<uint8_t> blank(20 * 20, 0);
  const test::Frame frame = test::RenderModules(blank, 20, o);
  const Read read = Recognize(frame, 0, 2);
  EXPECT_LE(read.outcome.status, 0);
}

}  // namespace
}  // namespace cordavex
