#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/dispatch.h"
#include "engine/prepare.h"
#include "cordavex/recognizer.h"
#include "support/workspace.h"

namespace cordavex {
namespace {

using test::Workspace;

// ---- Reduction -----------------------------------------------------------

TEST(Reduction, FactorFollowsPixelCount) {
  struct Case {
    int64_t pixels;
    int factor;
  };
  const Case cases[] = {
      {320 * 240, 1},   {76801, 1},        {307199, 1},         {640 * 480, 2},
      {1024 * 768, 3},  {1280 * 960, 4},   {960 * 1280, 4},     {1600 * 1200, 5},
  };
  for (const Case& c : cases) EXPECT_EQ(ReductionFactor(c.pixels), c.factor) << c.pixels;
}

TEST(Reduction, AveragesWholeBlocksInPlace) {
  Workspace ws(1024, 768);
  auto value = [](int x, int y) { return static_cast<uint8_t>((x * 7 + y * 13) % 251); };
  for (int y = 0; y < 768; ++y)
    for (int x = 0; x < 1024; ++x) ws.at(x, y) = value(x, y);
  ReduceImage(ws.r());
  Recognizer& r = ws.r();
  ASSERT_EQ(r.imageWidth, 341);
  ASSERT_EQ(r.imageHeight, 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 341; ++x) {
      int sum = 0;
      for (int dy = 0; dy < 3; ++dy)
        for (int dx = 0; dx < 3; ++dx) sum += value(3 * x + dx, 3 * y + dy);
      ASSERT_EQ(ws.at(x, y), sum / 9) << x << "," << y;
    }
  }
}

TEST(Reduction, MidSizedFramesAreLeftAsTheyAre) {
  Workspace ws(400, 400);  // 160000 pixels: factor 1
  std::mt19937 rng(7);
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 400; ++x) ws.at(x, y) = static_cast<uint8_t>(rng());
  const std::vector<uint8_t> before = ws.Image();
  ReduceImage(ws.r());
  EXPECT_EQ(ws.r().imageWidth, 400);
  EXPECT_EQ(ws.r().imageHeight, 400);
  EXPECT_EQ(ws.Image(), before);
}

TEST(Reduction, ThinFrameKeepsAtLeastOneColumn) {
  // 1 x 400000 would reduce by 2 to no columns at all.
  Workspace ws(1, 400000);
  ws.Fill(90);
  ReduceImage(ws.r());
  EXPECT_EQ(ws.r().imageWidth, 1);
  EXPECT_EQ(ws.r().imageHeight, 400000);
  EXPECT_EQ(ApplyThreshold(ws.r()), 1);
  EXPECT_EQ(ws.r().meanGrey, -90);
}

// Fills the workspace's image with seeded noise and returns a copy of it.
std::vector<uint8_t> FillNoise(Workspace& ws, unsigned seed) {
  std::mt19937 rng(seed);
  Recognizer& r = ws.r();
  const size_t n = static_cast<size_t>(r.imageWidth) * r.imageHeight;
  for (size_t i = 0; i < n; ++i) r.image()[i] = static_cast<uint8_t>(rng());
  return ws.Image();
}

TEST(Reduction, MatchesBlockMeansOnNoiseAtEveryFactor) {
  struct Case {
    int w, h, factor;
  };
  // Factors 2 and 4 have their own code paths, 5 and 6 the general one; the
  // odd sizes leave partial blocks at the right and bottom (and 1287 an odd
  // number of blocks per row, which factor 4 reads two at a time).
  const Case cases[] = {{640, 480, 2},   {643, 481, 2},   {1000, 700, 3},  {1281, 963, 4},
                        {1287, 961, 4},  {1600, 1200, 5}, {1920, 1080, 5}, {2000, 1500, 6}};
  for (const Case& c : cases) {
    Workspace ws(c.w, c.h);
    const std::vector<uint8_t> in = FillNoise(ws, static_cast<unsigned>(c.w + c.h));
    ReduceImage(ws.r());
    const int w = c.w / c.factor, h = c.h / c.factor;
    ASSERT_EQ(ws.r().imageWidth, w) << c.w << "x" << c.h;
    ASSERT_EQ(ws.r().imageHeight, h) << c.w << "x" << c.h;
    std::vector<uint8_t> expected(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        int sum = 0;
        for (int dy = 0; dy < c.factor; ++dy)
          for (int dx = 0; dx < c.factor; ++dx)
            sum += in[static_cast<size_t>(c.factor * y + dy) * c.w + c.factor * x + dx];
        expected[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(sum / (c.factor * c.factor));
      }
    EXPECT_EQ(ws.Image(), expected) << c.w << "x" << c.h;
  }
}

// ---- Tone curve ----------------------------------------------------------

TEST(ToneCurve, TablesAtSeveralExponents) {
  struct Case {
    double exponent;
    int x;
    int expected;
  };
  // Exponent 1.0: x + (x - 128) / 8 rounded down. Others: F(x) = floor(255 (x/255)^(1/e)),
  // e.g. e = 0.7, x = 64: 255 * 0.25098^1.42857 = 35.4, so 64 + floor((35 - 128) / 8) = 52.
  const Case cases[] = {
      {1.0, 0, 0},      {1.0, 128, 128},  {1.0, 200, 209},  {1.0, 255, 255},  {1.0, 100, 96},
      {0.7, 64, 52},    {0.7, 128, 123},  {0.7, 200, 206},  {0.7, 255, 255},  {1.15, 64, 57},
      {1.15, 128, 129}, {1.15, 200, 209}, {1.15, 1, 0},
  };
  for (const Case& c : cases) {
    uint8_t table[256];
    BuildToneTable(c.exponent, table);
    EXPECT_EQ(table[c.x], c.expected) << "exponent " << c.exponent << " x " << c.x;
  }
}

TEST(ToneCurve, ImageTakesTheTableAtEveryLevel) {
  // Every level, on a width that leaves pixels after the last full step of
  // any vector width; the usual exponent and another.
  for (const double exponent : {1.0, 0.7}) {
    Workspace ws(37, 9);
    for (int y = 0; y < 9; ++y) {
      for (int x = 0; x < 37; ++x) ws.at(x, y) = static_cast<uint8_t>((y * 37 + x) * 7 % 256);
    }
    ws.r().toneExponent = exponent;
    ApplyToneCurve(ws.r());
    uint8_t table[256];
    BuildToneTable(exponent, table);
    for (int y = 0; y < 9; ++y) {
      for (int x = 0; x < 37; ++x) {
        ASSERT_EQ(ws.at(x, y), table[(y * 37 + x) * 7 % 256]) << exponent << " at " << x << "," << y;
      }
    }
  }
}

TEST(ToneCurve, ExponentOutOfRangeIsResetAfterUse) {
  Workspace ws(4, 4);
  ws.Fill(64);
  ws.r().toneExponent = 1.7;
  ApplyToneCurve(ws.r());
  uint8_t table[256];
  BuildToneTable(1.7, table);
  EXPECT_EQ(ws.at(2, 2), table[64]);
  EXPECT_EQ(ws.r().toneExponent, 1.0);
}

// ---- Sharpening ----------------------------------------------------------

// Straight from the formulas, on a full copy.
std::vector<uint8_t> ReferenceAlternating(const std::vector<uint8_t>& in, int w, int h, int d) {
  std::vector<uint8_t> out = in;
  auto p = [&](int x, int y) { return int{in[static_cast<size_t>(y * w + x)]}; };
  for (int y = 3; y < h - 3; ++y)
    for (int x = 3; x < w - 3; ++x) {
      const int v = (6 * p(x, y) - p(x, y - 3) - p(x, y + 3) - p(x - d, y) - p(x + d, y)) >> 1;
      out[static_cast<size_t>(y * w + x)] = static_cast<uint8_t>(std::clamp(v, 0, 255));
    }
  return out;
}

std::vector<uint8_t> ReferenceFiveByFive(const std::vector<uint8_t>& in, int w, int h) {
  std::vector<uint8_t> out = in;
  auto p = [&](int x, int y) { return int{in[static_cast<size_t>(y * w + x)]}; };
  for (int y = 2; y < h - 2; ++y)
    for (int x = 2; x < w - 2; ++x) {
      int s3 = 0, s5 = 0;
      for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
          s5 += p(x + dx, y + dy);
          if (std::abs(dx) <= 1 && std::abs(dy) <= 1) s3 += p(x + dx, y + dy);
        }
      const int v = (17 * p(x, y) + 2 * s3 - s5) >> 3;
      out[static_cast<size_t>(y * w + x)] = static_cast<uint8_t>(std::clamp(v, 0, 255));
    }
  return out;
}

TEST(Sharpening, AlternatingWorkedExample) {
  // 9 x 12 of grey 100 with one pixel of 120 at (4, 4). With d = 1:
  //   (4, 4): (6*120 - 4*100) >> 1 = 160
  //   (3, 4), (5, 4): (600 - 3*100 - 120) >> 1 = 90 (reads the original 120)
  //   (4, 7): its north neighbour is (4, 4), read before it became 160: 90
  //   (4, 1) lies within 3 of the top edge and keeps its 100.
  Workspace ws(9, 12);
  ws.Fill(100);
  ws.at(4, 4) = 120;
  ASSERT_TRUE(SharpenAlternating(ws.r(), 1));
  EXPECT_EQ(ws.at(4, 4), 160);
  EXPECT_EQ(ws.at(3, 4), 90);
  EXPECT_EQ(ws.at(5, 4), 90);
  EXPECT_EQ(ws.at(4, 7), 90);
  EXPECT_EQ(ws.at(4, 1), 100);
  EXPECT_EQ(ws.at(6, 4), 100);
  EXPECT_EQ(ws.at(2, 4), 100);  // within 3 of the left edge: untouched
}

TEST(Sharpening, FiveByFiveWorkedExample) {
  // Flat 80 comes out 1.25 times brighter: (17*80 + 2*9*80 - 25*80) >> 3 = 100.
  // A single 160 at the centre of 7 x 7: (17*160 + 2*(8*80 + 160) - (24*80 + 160)) >> 3
  // = (2720 + 1600 - 2080) >> 3 = 280; clamped to 255. Its 3 x 3 neighbours:
  // (17*80 + 2*800 - 2080) >> 3 = 110.
  Workspace ws(7, 7);
  ws.Fill(80);
  ws.at(3, 3) = 160;
  ASSERT_TRUE(SharpenFiveByFive(ws.r()));
  EXPECT_EQ(ws.at(3, 3), 255);
  EXPECT_EQ(ws.at(2, 2), 110);
  EXPECT_EQ(ws.at(4, 3), 110);
  EXPECT_EQ(ws.at(1, 1), 80);  // within 2 of the edge
  EXPECT_EQ(ws.at(0, 3), 80);

  Workspace flat(9, 6);
  flat.Fill(80);
  ASSERT_TRUE(SharpenFiveByFive(flat.r()));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 9; ++x) {
      const bool inner = x >= 2 && x < 7 && y >= 2 && y < 4;
      EXPECT_EQ(flat.at(x, y), inner ? 100 : 80) << x << "," << y;
    }
}

TEST(Sharpening, MatchesFullCopyOnNoise) {
  struct Size {
    int w, h;
  };
  for (const Size s : {Size{7, 7}, Size{31, 17}, Size{320, 240}, Size{5, 40}, Size{517, 11}}) {
    for (int filter = 0; filter <= 3; ++filter) {  // 0: 5 x 5, else d
      Workspace ws(s.w, s.h);
      std::mt19937 rng(static_cast<unsigned>(s.w * 100 + filter));
      for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x) ws.at(x, y) = static_cast<uint8_t>(rng() % 256);
      const std::vector<uint8_t> in = ws.Image();
      const bool ran = filter == 0 ? SharpenFiveByFive(ws.r())
                                   : SharpenAlternating(ws.r(), filter);
      ASSERT_TRUE(ran);
      const auto expected = filter == 0 ? ReferenceFiveByFive(in, s.w, s.h)
                                        : ReferenceAlternating(in, s.w, s.h, filter);
      EXPECT_EQ(ws.Image(), expected) << s.w << "x" << s.h << " filter " << filter;
    }
  }
}

TEST(Sharpening, TooFewRowsLeaveTheImage) {
  Workspace ws(20, 6);
  std::mt19937 rng(3);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 20; ++x) ws.at(x, y) = static_cast<uint8_t>(rng());
  const auto before = ws.Image();
  EXPECT_TRUE(SharpenAlternating(ws.r(), 2));  // needs 7 rows
  EXPECT_EQ(ws.Image(), before);
  ws.SetImage(20, 4);
  const auto four = ws.Image();
  EXPECT_TRUE(SharpenFiveByFive(ws.r()));  // needs 5 rows
  EXPECT_EQ(ws.Image(), four);
}

TEST(Sharpening, VeryWideFrameWithoutRoomIsLeftAlone) {
  // 30000 x 8 is not reduced; its spare image area (67200 bytes) and the frame
  // tables are both too small for the working rows, so both filters skip it.
  Workspace ws(30000, 8);
  std::mt19937 rng(5);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 30000; ++x) ws.at(x, y) = static_cast<uint8_t>(rng());
  const auto before = ws.Image();
  EXPECT_FALSE(SharpenAlternating(ws.r(), 3));
  EXPECT_FALSE(SharpenFiveByFive(ws.r()));
  EXPECT_EQ(ws.Image(), before);
  EXPECT_EQ(PrepareImage(ws.r(), 1), 1);
}

TEST(Sharpening, PhaseSchedule) {
  struct Case {
    int mode, phaseBefore, phaseAfter;
  };
  const Case cases[] = {{0, 0, 3}, {0, 3, 2}, {0, 2, 3}, {0, 1, 2}, {2, 3, 2},
                        {1, 0, 1}, {3, 2, 1}, {5, 2, 2}};
  for (const Case& c : cases) {
    Workspace ws(16, 16);
    ws.Fill(50);
    ws.r().sharpenPhase = c.phaseBefore;
    Sharpen(ws.r(), c.mode);
    EXPECT_EQ(ws.r().sharpenPhase, c.phaseAfter) << c.mode << "/" << c.phaseBefore;
  }
}

// ---- Enlargement ---------------------------------------------------------

TEST(Enlargement, TinyImage) {
  Workspace ws(3, 2);
  const uint8_t src[] = {10, 20, 40, 30, 60, 90};
  std::memcpy(ws.r().image(), src, sizeof src);
  ASSERT_TRUE(EnlargeImage(ws.r()));
  EXPECT_EQ(ws.r().imageWidth, 6);
  EXPECT_EQ(ws.r().imageHeight, 4);
  const std::vector<uint8_t> expected = {
      10, 15, 20, 30, 40, 40,  // source row 0, odd pixels between
      20, 30, 40, 52, 65, 65,  // even pixels from above and below, then across
      30, 45, 60, 75, 90, 90,  // source row 1
      30, 45, 60, 75, 90, 90,  // last row copies the one above
  };
  EXPECT_EQ(ws.Image(), expected);
}

TEST(Enlargement, SinglePixel) {
  Workspace ws(1, 1);
  ws.at(0, 0) = 77;
  ASSERT_TRUE(EnlargeImage(ws.r()));
  EXPECT_EQ(ws.Image(), (std::vector<uint8_t>{77, 77, 77, 77}));
}

// Straight from the rules, into a separate image.
std::vector<uint8_t> ReferenceEnlarged(const std::vector<uint8_t>& in, int w, int h) {
  const int ow = 2 * w, oh = 2 * h;
  std::vector<uint8_t> out(static_cast<size_t>(ow) * oh);
  auto at = [&](int x, int y) -> uint8_t& { return out[static_cast<size_t>(y) * ow + x]; };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) at(2 * x, 2 * y) = in[static_cast<size_t>(y) * w + x];
  for (int y = 0; y < oh; y += 2) {
    for (int x = 1; x < ow - 1; x += 2) at(x, y) = static_cast<uint8_t>((at(x - 1, y) + at(x + 1, y)) / 2);
    at(ow - 1, y) = at(ow - 2, y);
  }
  for (int y = 1; y < oh - 1; y += 2) {
    for (int x = 0; x < ow; x += 2) at(x, y) = static_cast<uint8_t>((at(x, y - 1) + at(x, y + 1)) / 2);
    for (int x = 1; x < ow - 1; x += 2) at(x, y) = static_cast<uint8_t>((at(x - 1, y) + at(x + 1, y)) / 2);
    at(ow - 1, y) = at(ow - 2, y);
  }
  for (int x = 0; x < ow; ++x) at(x, oh - 1) = at(x, oh - 2);
  return out;
}

TEST(Enlargement, MatchesReferenceOnNoise) {
  struct Size {
    int w, h;
  };
  for (const Size s : {Size{1, 1}, Size{1, 9}, Size{9, 1}, Size{2, 2}, Size{17, 5}, Size{320, 240},
                       Size{101, 67}}) {
    Workspace ws(s.w, s.h);
    const std::vector<uint8_t> in = FillNoise(ws, static_cast<unsigned>(s.w * 1000 + s.h));
    ASSERT_TRUE(EnlargeImage(ws.r()));
    EXPECT_EQ(ws.r().imageWidth, 2 * s.w);
    EXPECT_EQ(ws.r().imageHeight, 2 * s.h);
    EXPECT_EQ(ws.Image(), ReferenceEnlarged(in, s.w, s.h)) << s.w << "x" << s.h;
  }
}

TEST(Enlargement, RefusedWithoutRoom) {
  Workspace ws(400, 400);
  EXPECT_FALSE(EnlargeImage(ws.r()));
  EXPECT_EQ(ws.r().imageWidth, 400);
}

// ---- Threshold -----------------------------------------------------------

// Sets the first `count` pixels to `level` after `offset` pixels.
void FillRun(Workspace& ws, int offset, int count, uint8_t level) {
  std::memset(ws.r().image() + offset, level, static_cast<size_t>(count));
}

TEST(Threshold, ConstructedFrames) {
  struct Case {
    const char* name;
    uint8_t low, high;  // half of a 10 x 10 frame each
    int offsetBefore;
    double exponentBefore;
    int mid, t, offsetAfter;
    double exponentAfter;
    int meanGrey;
  };
  const Case cases[] = {
      // Uniform: the bright tail is empty, so T = 1 and t = 1; exponent raised.
      {"uniform 128", 128, 128, 40, 1.0, 1, 1, 0, 1.15, -128},
      // Ordinary scene: t = T - offset.
      {"50/150", 50, 150, 16, 1.0, 100, 84, 16, 1.0, -100},
      // Offset ran the threshold below 32; T in 90..166 leaves the exponent.
      {"50/150 runaway", 50, 150, 80, 1.0, 100, 20, 0, 1.0, -100},
      // Bright scene: t = T + offset = 240 resets the offset, T >= 167 lowers.
      {"190/210", 190, 210, 40, 1.0, 200, 240, 0, 0.85, -200},
      // T = 240 with no offset: reset and lowered as well.
      {"230/250", 230, 250, 0, 1.3, 240, 240, 0, 1.15, -240},
      // Dark scene running below 32 with T < 90: exponent raised.
      {"20/60", 20, 60, 20, 1.0, 40, 20, 0, 1.15, -40},
      // Black and white only (counted by the shortcut): the dark tail takes
      // the first level with a non-zero sum, 255, which leaves the bright
      // tail at its start values: T = (12750 + 0) / (100 + 80).
      {"black and white", 0, 255, 0, 1.0, 70, 70, 0, 1.0, -127},
      // Black first, grey after it: the shortcut gives up part way; the bright
      // tail is empty as with a uniform frame.
      {"black, then grey", 0, 128, 0, 1.0, 1, 1, 0, 1.15, -64},
  };
  for (const Case& c : cases) {
    Workspace ws(10, 10);
    FillRun(ws, 0, 50, c.low);
    FillRun(ws, 50, 50, c.high);
    Recognizer& r = ws.r();
    r.thresholdOffset = c.offsetBefore;
    r.toneExponent = c.exponentBefore;
    EXPECT_EQ(ApplyThreshold(r), c.t) << c.name;
    EXPECT_EQ(r.thresholdMid, c.mid) << c.name;
    EXPECT_EQ(r.thresholdOffset, c.offsetAfter) << c.name;
    EXPECT_DOUBLE_EQ(r.toneExponent, c.exponentAfter) << c.name;
    EXPECT_EQ(r.meanGrey, c.meanGrey) << c.name;
    EXPECT_EQ(ws.at(0, 0), c.low < c.t ? 0 : 255) << c.name;
    EXPECT_EQ(ws.at(9, 9), c.high < c.t ? 0 : 255) << c.name;
  }
}

TEST(Threshold, BlackAndWhiteNoiseCountsEveryBlackPixel) {
  // Long enough for the black-and-white count to sum its lanes more than once,
  // and a side that leaves a tail. With k black pixels of n (fewer than four
  // fifths), T = 255 (n - k) / (2n - n / 5) and the mean is 255 (n - k) / n.
  const int w = 97, h = 53;
  const int64_t n = int64_t{w} * h;
  std::mt19937 rng(3);
  for (const unsigned percent : {10u, 45u, 75u}) {
    Workspace ws(w, h);
    int64_t black = 0;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const bool dark = rng() % 100 < percent;
        ws.at(x, y) = dark ? 0 : 255;
        black += dark ? 1 : 0;
      }
    }
    Recognizer& r = ws.r();
    ApplyThreshold(r);
    EXPECT_EQ(r.thresholdMid, 255 * (n - black) / (2 * n - n / 5)) << percent;
    EXPECT_EQ(r.meanGrey, -(255 * (n - black) / n)) << percent;
  }
}

TEST(Threshold, TailsTakeWholeLevels) {
  // 100 pixels: 10 of 0, 30 of 60, 40 of 100, 20 of 200. The dark tail is the
  // first level whose cumulative count reaches 20 with a non-zero sum: level 60
  // (40 pixels, sum 1800). The bright tail starts at the first level whose
  // count reaches 80, level 100: the 60 pixels of 100 and 200, sum 8000.
  // T = 9800 / 100 = 98.
  Workspace ws(10, 10);
  FillRun(ws, 0, 10, 0);
  FillRun(ws, 10, 30, 60);
  FillRun(ws, 40, 40, 100);
  FillRun(ws, 80, 20, 200);
  EXPECT_EQ(ApplyThreshold(ws.r()), 98);
  EXPECT_EQ(ws.r().thresholdMid, 98);
  EXPECT_EQ(ws.r().meanGrey, -98);
}

TEST(Threshold, HandComputedOddSizedFrames) {
  // Pixel counts that are not multiples of eight, so that the remainders of the
  // eight-pixel histogram and binarisation steps are exercised.
  struct Case {
    int w, h, offset;
    std::vector<uint8_t> pixels;
    int t, mid, meanGrey, offsetAfter;
  };
  const Case cases[] = {
      // 15 pixels, fifth 3. Dark tail: level 10 (3 pixels, sum 30). Bright tail
      // from level 200, the first whose count reaches 12: 5 pixels, sum 1000.
      // mid = 1030 / 8 = 128; mean = 1660 / 15 = 110.
      {3, 5, 0, {10, 10, 10, 50, 50, 50, 120, 120, 120, 120, 200, 200, 200, 200, 200},
       128, 128, -110, 0},
      // 7 pixels, fifth 1. The zeros give no dark tail (their sum is 0); level
      // 40 does: 3 pixels, sum 40. Bright from 250: 2 pixels, sum 505.
      // mid = 545 / 5 = 109, t = 109 - 8; mean = 725 / 7 = 103.
      {1, 7, 8, {0, 0, 40, 90, 90, 250, 255}, 101, 109, -103, 8},
      // 25 pixels, fifth 5: dark 5 x 180, bright 20 x 230; mid = 5500 / 25 = 220
      // is a bright scene, t = 220 + 10 = 230 runs past 223 and resets the offset.
      {5, 5, 10, {180, 180, 180, 180, 180, 230, 230, 230, 230, 230, 230, 230, 230,
                  230, 230, 230, 230, 230, 230, 230, 230, 230, 230, 230, 230},
       230, 220, -220, 0},
  };
  for (const Case& c : cases) {
    Workspace ws(c.w, c.h);
    for (int i = 0; i < c.w * c.h; ++i) ws.at(i % c.w, i / c.w) = c.pixels[static_cast<size_t>(i)];
    Recognizer& r = ws.r();
    r.thresholdOffset = c.offset;
    EXPECT_EQ(ApplyThreshold(r), c.t) << c.w << "x" << c.h;
    EXPECT_EQ(r.thresholdMid, c.mid) << c.w << "x" << c.h;
    EXPECT_EQ(r.meanGrey, c.meanGrey) << c.w << "x" << c.h;
    EXPECT_EQ(r.thresholdOffset, c.offsetAfter) << c.w << "x" << c.h;
    std::vector<uint8_t> expected;
    for (uint8_t v : c.pixels) expected.push_back(v < c.t ? 0 : 255);
    EXPECT_EQ(ws.Image(), expected) << c.w << "x" << c.h;
  }
}

// ---- Preparation as a whole and through the entry -------------------------

int32_t Recognize(Workspace& ws, const std::vector<uint8_t>& frame, int w, int h,
                  int mode) {
  ScanResult result{};
  result.mode() = mode;
  result.symbologyMask() = 7;
  return RecognizeImage(frame.data(), ws.data(), w, h, 8, &result);
}

TEST(Preparation, UniformGreyFrameReportsItsMean) {
  Workspace ws(320, 240);
  const std::vector<uint8_t> frame(320 * 240, 128);
  EXPECT_EQ(Recognize(ws, frame, 320, 240, 0), -128);
  EXPECT_EQ(ws.r().thresholdMid, 1);
  EXPECT_EQ(ws.r().thresholdOffset, 0);
  EXPECT_DOUBLE_EQ(ws.r().toneExponent, 1.15);
}

TEST(Preparation, EnlargementByMode) {
  struct Case {
    int w, h, mode, preparedWidth, preparedHeight;
    int32_t status;
  };
  // The 5 x 5 filter (modes 1, 3) brightens all but a 2-pixel border to 160:
  // (74576 * 160 + 2224 * 128) / 76800 = 159.
  const Case cases[] = {
      {320, 240, 0, 640, 480, -128}, {320, 240, 1, 640, 480, -159},
      {320, 240, 2, 320, 240, -128}, {320, 240, 3, 320, 240, -159},
      {320, 240, 4, 320, 240, -128}, {320, 240, 5, 320, 240, -128},
      {640, 480, 0, 640, 480, -128},  // reduced to 320 x 240, then enlarged again
      {640, 480, 2, 320, 240, -128},  {1024, 768, 0, 341, 256, -128},
  };
  for (const Case& c : cases) {
    Workspace ws(c.w, c.h);
    const std::vector<uint8_t> frame(static_cast<size_t>(c.w * c.h), 128);
    EXPECT_EQ(Recognize(ws, frame, c.w, c.h, c.mode), c.status) << c.w << " mode " << c.mode;
    EXPECT_EQ(ws.r().imageWidth, c.preparedWidth) << c.w << " mode " << c.mode;
    EXPECT_EQ(ws.r().imageHeight, c.preparedHeight) << c.w << " mode " << c.mode;
  }
}

TEST(Preparation, NoImageFails) {
  Workspace ws(4, 4);
  ws.r().imageWidth = 0;
  EXPECT_EQ(PrepareImage(ws.r(), 0), 0);
  ws.SetImage(4, 4);
  ws.r().imageCapacity = 15;  // smaller than the image
  EXPECT_EQ(PrepareImage(ws.r(), 0), 0);
}

// A frame whose left half is `left` and right half `right`.
std::vector<uint8_t> HalvesFrame(int w, int h, uint8_t left, uint8_t right) {
  std::vector<uint8_t> frame(static_cast<size_t>(w * h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) frame[static_cast<size_t>(y * w + x)] = x < w / 2 ? left : right;
  return frame;
}

TEST(Preparation, FeedbackOverFailedFrames) {
  // Black and white halves pass the tone curve and both filters unchanged, so
  // each mode's schedule shows plainly. Enlarged (modes 0, 1), the seam column
  // becomes 127: T = (127*480 + 255*153600) / 307200 = 127, offset step 127 >> 3 = 15.
  // Mode 4 on grey 50 / 150 halves: T = 100, step 12; from a cleared workspace
  // the phase is 0, so the offset grows after every frame.
  struct Case {
    int mode;
    uint8_t left, right;
    int32_t status;
    std::vector<int> offsets;  // after each frame
  };
  const Case cases[] = {
      // Every second frame leaves the phase below 3.
      {0, 0, 255, -127, {0, 15, 15, 30, 30, 45, 45, 60}},
      // The 5 x 5 filter always leaves phase 1: the threshold runs down by 15 a
      // frame; at offset 105 it is 22, the offset restarts and grows again.
      {1, 0, 255, -127, {15, 30, 45, 60, 75, 90, 105, 15, 30}},
      // t = 100 - 72 = 28 on the seventh frame restarts the offset.
      {4, 50, 150, -100, {12, 24, 36, 48, 60, 72, 12, 24}},
  };
  for (const Case& c : cases) {
    Workspace ws(320, 240);
    const auto frame = HalvesFrame(320, 240, c.left, c.right);
    for (size_t i = 0; i < c.offsets.size(); ++i) {
      EXPECT_EQ(Recognize(ws, frame, 320, 240, c.mode), c.status) << c.mode << " frame " << i;
      EXPECT_EQ(ws.r().thresholdOffset, c.offsets[i]) << c.mode << " frame " << i;
      EXPECT_DOUBLE_EQ(ws.r().toneExponent, 1.0) << c.mode << " frame " << i;
    }
  }
}

TEST(Preparation, ThoroughModeAfterSuccessKeepsTheOffset) {
  // Phase 3 (left by a success) stays 3 in mode 4: no offset growth.
  Workspace ws(320, 240);
  ws.r().sharpenPhase = 3;
  const auto frame = HalvesFrame(320, 240, 50, 150);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Recognize(ws, frame, 320, 240, 4), -100);
    EXPECT_EQ(ws.r().thresholdOffset, 0);
  }
}

TEST(Preparation, BinarisesTheHalvesAtTheThreshold) {
  Workspace ws(320, 240);
  const auto frame = HalvesFrame(320, 240, 50, 150);
  Recognizer& r = ws.r();
  std::memcpy(r.image(), frame.data(), frame.size());
  ASSERT_EQ(PrepareImage(r, 4), 1);
  EXPECT_EQ(ws.at(0, 0), 0);
  EXPECT_EQ(ws.at(159, 100), 0);
  EXPECT_EQ(ws.at(160, 100), 255);
}

TEST(Preparation, ThresholdThroughTheToneTableMatchesTwoPasses) {
  // Where nothing sharpens or enlarges, the tone table is applied inside the
  // threshold; the result must be that of toning every pixel first. The cases
  // take both ways: phase 3 sharpens, and a frame of 76800 pixels or fewer is
  // enlarged in mode 0.
  struct Case {
    int w, h, mode, phase;
  };
  const Case cases[] = {{320, 240, 5, 0}, {320, 240, 2, 0}, {200, 150, 0, 3}, {640, 480, 0, 0},
                        {1280, 960, 0, 0}, {640, 480, 2, 0}, {640, 480, 2, 1},
                        {640, 480, 5, 2}};
  std::mt19937 rng(7);
  for (const Case& c : cases) {
    for (const double exponent : {1.0, 0.55, 1.45}) {
      for (const int offset : {0, 40, 128}) {
        std::vector<uint8_t> frame(static_cast<size_t>(c.w * c.h));
        const int dark = static_cast<int>(rng() % 120), span = 40 + static_cast<int>(rng() % 96);
        for (size_t i = 0; i < frame.size(); ++i) {
          frame[i] = static_cast<uint8_t>(dark + (i % static_cast<size_t>(c.w)) * span / c.w +
                                          rng() % 60);
        }
        Workspace fused(c.w, c.h), plain(c.w, c.h);
        for (Workspace* ws : {&fused, &plain}) {
          ws->SetImage(c.w, c.h);
          std::memcpy(ws->r().image(), frame.data(), frame.size());
          ws->r().toneExponent = exponent;
          ws->r().thresholdOffset = offset;
          ws->r().sharpenPhase = c.phase;
        }
        ASSERT_EQ(PrepareImage(fused.r(), c.mode), 1);
        Recognizer& r = plain.r();
        ReduceImage(r);
        ApplyToneCurve(r);
        Sharpen(r, c.mode);
        if ((c.mode == 0 || c.mode == 1) && r.imageWidth * r.imageHeight <= 76800) EnlargeImage(r);
        ApplyThreshold(r);
        const std::string what = std::to_string(c.w) + " mode " + std::to_string(c.mode) +
                                 " exponent " + std::to_string(exponent) + " offset " +
                                 std::to_string(offset);
        ASSERT_EQ(fused.r().imageWidth, r.imageWidth) << what;
        ASSERT_EQ(fused.r().imageHeight, r.imageHeight) << what;
        EXPECT_EQ(fused.r().thresholdMid, r.thresholdMid) << what;
        EXPECT_EQ(fused.r().meanGrey, r.meanGrey) << what;
        EXPECT_EQ(fused.r().thresholdOffset, r.thresholdOffset) << what;
        EXPECT_EQ(fused.r().sharpenPhase, r.sharpenPhase) << what;
        EXPECT_DOUBLE_EQ(fused.r().toneExponent, r.toneExponent) << what;
        const size_t n = static_cast<size_t>(r.imageWidth) * r.imageHeight;
        EXPECT_TRUE(std::equal(r.image(), r.image() + n, fused.r().image())) << what;
      }
    }
  }
}

}  // namespace
}  // namespace cordavex
