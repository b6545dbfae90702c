#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/geometry.h"
#include "cordavex/recognizer.h"
#include "support/workspace.h"

namespace cordavex {
namespace {

constexpr uint8_t kWhite = 255;
constexpr uint8_t kBlack = 0;

// A workspace holding a grey image of its own, drawn pixel by pixel, white
// until drawn on.
class Frame : public test::Workspace {
 public:
  Frame(int width, int height) : Workspace(width, height) { Fill(kWhite); }
  // Rows of '#' (dark) and '.' (light); the image takes their size.
  explicit Frame(const std::vector<std::string>& rows)
      : Workspace(static_cast<int>(rows[0].size()), static_cast<int>(rows.size())) {
    Draw(rows);
  }
  int width() { return r().imageWidth; }
  int height() { return r().imageHeight; }
  void Set(int x, int y, uint8_t v) { at(x, y) = v; }
};

SampleCorners Corners(Point16 p0, Point16 p1, Point16 p2, Point16 p3) { return {{p0, p1, p2, p3}}; }

ModuleMatrix Checkerboard() {
  ModuleMatrix m;
  m.Clear();
  for (int i = 0; i < ModuleMatrix::kSize; ++i) {
    for (int j = 0; j < ModuleMatrix::kSize; ++j) m.Set(i, j, (i * 7 + j * 3) % 5 < 2);
  }
  return m;
}

// In a parallelogram the mapping is affine: module (i, j) is sampled at
// P0 + (j (P1 - P0) + i (P2 - P0)) / N, rounded half up. One dark pixel at
// that point makes exactly that module dark.
TEST(SampleGrid, ParallelogramSamplesAtAffinePoints) {
  const Point16 p0{10, 12}, p1{71, 22}, p2{19, 69};
  const Point16 p3{static_cast<int16_t>(p1.x + p2.x - p0.x), static_cast<int16_t>(p1.y + p2.y - p0.y)};
  const SampleCorners corners = Corners(p0, p1, p2, p3);
  const int n = 6;
  Frame frame(100, 100);
  auto affine = [&](int origin, int alongRow, int alongColumn, int i, int j) {
    const int numerator = n * origin + j * alongRow + i * alongColumn;
    return (2 * numerator + n) / (2 * n);  // floor(value + 1/2) for positive values
  };
  for (int i = 0; i <= n; ++i) {
    for (int j = 0; j <= n; ++j) {
      const int x = affine(p0.x, p1.x - p0.x, p2.x - p0.x, i, j);
      const int y = affine(p0.y, p1.y - p0.y, p2.y - p0.y, i, j);
      frame.Fill(kWhite);
      frame.Set(x, y, kBlack);
      frame.r().matrix.Clear();
      ASSERT_EQ(SampleGrid(frame.r(), corners, n), 1);
      for (int ii = 0; ii <= n; ++ii) {
        for (int jj = 0; jj <= n; ++jj) {
          ASSERT_EQ(frame.r().matrix.Get(ii, jj), ii == i && jj == j)
              << "dark pixel for module " << i << "," << j << " seen at " << ii << "," << jj;
        }
      }
      EXPECT_EQ(SampleModule(frame.r(), corners, j, i, n), 1);
    }
  }
}

TEST(SampleGrid, DegenerateCornersLeaveTheMatrixAlone) {
  struct Case {
    const char* what;
    SampleCorners corners;
    int n;
    bool degenerateMapping;  // SampleModule refuses it too
  };
  const Case cases[] = {
      {"P1, P2, P3 collinear", Corners({10, 10}, {50, 10}, {10, 50}, {30, 30}), 20, true},
      {"all four on one line", Corners({10, 10}, {20, 20}, {30, 30}, {40, 40}), 20, true},
      {"all four at one point", Corners({25, 25}, {25, 25}, {25, 25}, {25, 25}), 20, true},
      // den = 1 with a far P0: the sample sums would overflow 64 bits.
      {"nearly collinear, far apart",
       Corners({-32768, 32767}, {32767, 32766}, {-32766, -32765}, {0, 0}), 69, true},
      {"grid of one module", Corners({10, 10}, {50, 10}, {10, 50}, {50, 50}), 0, false},
      {"grid beyond the matrix", Corners({10, 10}, {50, 10}, {10, 50}, {50, 50}), 70, false},
  };
  Frame frame(60, 60);
  frame.Fill(kBlack);
  const ModuleMatrix pattern = Checkerboard();
  for (const Case& c : cases) {
    frame.r().matrix = pattern;
    EXPECT_EQ(SampleGrid(frame.r(), c.corners, c.n), 0) << c.what;
    EXPECT_TRUE(frame.r().matrix == pattern) << c.what;
    if (c.degenerateMapping) {
      EXPECT_EQ(SampleModule(frame.r(), c.corners, 1, 1, c.n), 0) << c.what;
    }
  }
}

// A projective view of a module grid: module coordinates (column u, row v) map
// to the image by a homography; the image is rendered by mapping every pixel
// back and taking the nearest module.
struct Homography {
  double m[3][3];
  void Apply(double u, double v, double& x, double& y) const {
    const double w = m[2][0] * u + m[2][1] * v + m[2][2];
    x = (m[0][0] * u + m[0][1] * v + m[0][2]) / w;
    y = (m[1][0] * u + m[1][1] * v + m[1][2]) / w;
  }
  Homography Inverse() const {
    Homography inv{};
    const auto& a = m;
    inv.m[0][0] = a[1][1] * a[2][2] - a[1][2] * a[2][1];
    inv.m[0][1] = a[0][2] * a[2][1] - a[0][1] * a[2][2];
    inv.m[0][2] = a[0][1] * a[1][2] - a[0][2] * a[1][1];
    inv.m[1][0] = a[1][2] * a[2][0] - a[1][0] * a[2][2];
    inv.m[1][1] = a[0][0] * a[2][2] - a[0][2] * a[2][0];
    inv.m[1][2] = a[0][2] * a[1][0] - a[0][0] * a[1][2];
    inv.m[2][0] = a[1][0] * a[2][1] - a[1][1] * a[2][0];
    inv.m[2][1] = a[0][1] * a[2][0] - a[0][0] * a[2][1];
    inv.m[2][2] = a[0][0] * a[1][1] - a[0][1] * a[1][0];
    return inv;  // the adjugate: a scalar multiple of the inverse is enough
  }
};

struct PerspectiveCase {
  const char* name;
  int n;  // grid of n + 1 modules
  int width, height;
  Homography h;
};

class SamplePerspective : public ::testing::TestWithParam<PerspectiveCase> {};

TEST_P(SamplePerspective, RenderedGridSamplesBackExactly) {
  const PerspectiveCase c = GetParam();
  std::mt19937 rng(static_cast<unsigned>(c.n));
  ModuleMatrix truth;
  truth.Clear();
  for (int i = 0; i <= c.n; ++i) {
    for (int j = 0; j <= c.n; ++j) truth.Set(i, j, (rng() & 1u) != 0);
  }
  Frame frame(c.width, c.height);
  const Homography back = c.h.Inverse();
  for (int y = 0; y < c.height; ++y) {
    for (int x = 0; x < c.width; ++x) {
      double u, v;
      back.Apply(x, y, u, v);
      const int column = static_cast<int>(std::lround(u));
      const int row = static_cast<int>(std::lround(v));
      if (row >= 0 && row <= c.n && column >= 0 && column <= c.n && truth.Get(row, column)) {
        frame.Set(x, y, kBlack);
      }
    }
  }
  auto corner = [&](double u, double v) {
    double x, y;
    c.h.Apply(u, v, x, y);
    return Point16{static_cast<int16_t>(std::lround(x)), static_cast<int16_t>(std::lround(y))};
  };
  const SampleCorners corners =
      Corners(corner(0, 0), corner(c.n, 0), corner(0, c.n), corner(c.n, c.n));
  frame.r().matrix.Clear();
  ASSERT_EQ(SampleGrid(frame.r(), corners, c.n), 1);
  for (int i = 0; i <= c.n; ++i) {
    for (int j = 0; j <= c.n; ++j) {
      ASSERT_EQ(frame.r().matrix.Get(i, j), truth.Get(i, j)) << "module " << i << "," << j;
      ASSERT_EQ(SampleModule(frame.r(), corners, j, i, c.n), truth.Get(i, j) ? 1 : 0)
          << "module " << i << "," << j;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Views, SamplePerspective,
    ::testing::Values(
        // Version 1 QR size, tilted away at the right and the bottom.
        PerspectiveCase{"Version1Tilted", 20, 260, 260, {{{7.5, 1.2, 30}, {-0.8, 7.0, 25}, {0.0040, 0.0025, 1}}}},
        // A large grid turned by about 30 degrees, foreshortened towards the top.
        PerspectiveCase{"TurnedAndForeshortened", 56, 480, 480, {{{3.46, -2.0, 140}, {2.0, 3.46, 30}, {-0.0015, -0.0030, 1}}}},
        // The largest grid the matrix holds, seen almost square on.
        PerspectiveCase{"LargestNearlySquareOn", 69, 400, 400, {{{5.0, 0.1, 20}, {0.05, 5.0, 20}, {0.0002, -0.0001, 1}}}}),
    [](const ::testing::TestParamInfo<PerspectiveCase>& p) { return std::string(p.param.name); });

// Sample points outside the frame keep what the matrix held; SampleModule counts
// a stricter border of two pixels as light.
TEST(SampleGrid, BordersOfTheImage) {
  Frame frame(40, 40);
  frame.Fill(kBlack);
  // Modules 0..4 at x = 0, 10, 20, 30, 40 along row 0 (y = 1) and row 4 (y = 39).
  const SampleCorners corners = Corners({0, 1}, {40, 1}, {0, 39}, {40, 39});
  frame.r().matrix.Clear();
  ASSERT_EQ(SampleGrid(frame.r(), corners, 4), 1);
  std::string rows;
  for (int i = 0; i <= 4; ++i) {
    for (int j = 0; j <= 4; ++j) rows += frame.r().matrix.Get(i, j) ? '#' : '.';
    rows += '/';
  }
  // Column 0 lies on x = 0 and column 4 beyond the image; row 4 lies on the last row.
  EXPECT_EQ(rows, ".###./.###./.###./.###./...../");
  // Row 0 (y = 1) is sampled by the grid but lies in SampleModule's border.
  EXPECT_EQ(SampleModule(frame.r(), corners, 1, 0, 4), 0);
  EXPECT_EQ(SampleModule(frame.r(), corners, 1, 1, 4), 1);
  EXPECT_EQ(SampleModule(frame.r(), corners, 3, 3, 4), 1);
  EXPECT_EQ(SampleModule(frame.r(), corners, 4, 2, 4), 0);
}

TEST(ModuleSampler, AgreesWithSampleModule) {
  // Single modules and lines of them. Seeded noise and corner sets: ordinary quadrilaterals, collinear ones, ones
  // far outside 16-bit reach of a sound mapping, corners off the image; modules
  // inside the grid, on its edges and beyond it (where the bound is checked again).
  Frame frame(160, 120);
  std::mt19937 rng(2024);
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 160; ++x) frame.Set(x, y, (rng() % 3 == 0) ? kBlack : kWhite);
  auto coordinate = [&](int spread) {
    return static_cast<int16_t>(static_cast<int>(rng() % static_cast<unsigned>(2 * spread + 1)) - spread);
  };
  int compared = 0, dark = 0, lineSamples = 0;
  for (int set = 0; set < 400; ++set) {
    SampleCorners corners;
    const int spread = set % 4 == 3 ? 32767 : 200;
    for (Point16& p : corners.points) p = {coordinate(spread), coordinate(spread)};
    if (set % 10 == 1) corners.points[2] = {static_cast<int16_t>(2 * corners.points[1].x - corners.points[0].x),
                                            static_cast<int16_t>(2 * corners.points[1].y - corners.points[0].y)};
    const int n = 1 + static_cast<int>(rng() % 69);
    const ModuleSampler sampler(frame.r(), corners, n);
    for (int k = 0; k < 40; ++k) {
      const int column = static_cast<int>(rng() % static_cast<unsigned>(2 * n + 41)) - n - 20;
      const int row = static_cast<int>(rng() % static_cast<unsigned>(2 * n + 41)) - n - 20;
      const int expected = SampleModule(frame.r(), corners, column, row, n);
      ASSERT_EQ(sampler.Sample(column, row), expected)
          << "set " << set << " n " << n << " module " << column << "," << row;
      ++compared;
      dark += expected;
    }
    // Lines through the grid in every direction, inside its reach and past it.
    for (int k = 0; k < 8; ++k) {
      const int column = static_cast<int>(rng() % static_cast<unsigned>(2 * n + 1)) - n;
      const int row = static_cast<int>(rng() % static_cast<unsigned>(2 * n + 1)) - n;
      const int dColumn = static_cast<int>(rng() % 3) - 1, dRow = static_cast<int>(rng() % 3) - 1;
      const int count = 1 + static_cast<int>(rng() % static_cast<unsigned>(n + 10));
      std::vector<uint8_t> line(static_cast<size_t>(count), 7);
      sampler.SampleLine(column, row, dColumn, dRow, count, line.data());
      for (int i = 0; i < count; ++i) {
        ASSERT_EQ(line[static_cast<size_t>(i)],
                  SampleModule(frame.r(), corners, column + i * dColumn, row + i * dRow, n))
            << "set " << set << " n " << n << " line from " << column << "," << row << " step "
            << dColumn << "," << dRow << " module " << i;
      }
      lineSamples += count;
    }
  }
  EXPECT_EQ(compared, 16000);
  EXPECT_GT(dark, 100);  // the samples really reach the image
  EXPECT_GT(lineSamples, 50000);

  // Three corners all but in a line (the divisor of the mapping is 1), so
  // that the perspective terms of the sums pass 2^31 times it, while the
  // mapping stays sound.
  const SampleCorners nearlyFlat = Corners({5000, 3000}, {1000, 1}, {1999, 2}, {0, 0});
  for (const int n : {4, 20}) {
    const ModuleSampler sampler(frame.r(), nearlyFlat, n);
    for (const auto& [dColumn, dRow] : {std::pair{1, 0}, std::pair{0, 1}, std::pair{1, 1}}) {
      std::vector<uint8_t> line(static_cast<size_t>(n) + 1);
      sampler.SampleLine(0, 0, dColumn, dRow, n + 1, line.data());
      for (int i = 0; i <= n; ++i) {
        ASSERT_EQ(line[static_cast<size_t>(i)],
                  SampleModule(frame.r(), nearlyFlat, i * dColumn, i * dRow, n))
            << "n " << n << " module " << i;
      }
    }
  }
}

TEST(CountTransitions, CountsColourChangesFromBTowardsA) {
  // Row 2: light x 0..3, dark 4..7, light 8..12.
  Frame frame({".............",
               ".............",
               "....####.....",
               ".............",
               "............."});
  struct Case {
    const char* what;
    Point16 a, b;
    int start;
    int expected;
  };
  const Case cases[] = {
      {"zero length", {5, 2}, {5, 2}, 12, 0},
      {"light, dark bar, light", {12, 2}, {0, 2}, 0, 2},
      {"the same walked the other way", {0, 2}, {12, 2}, 0, 2},
      {"start value added", {12, 2}, {0, 2}, 12, 14},
      {"starting on the bar", {12, 2}, {5, 2}, 0, 2},
      {"ending on the bar (a excluded)", {8, 2}, {0, 2}, 0, 1},
      {"diagonal through the bar", {8, 4}, {0, 0}, 3, 5},
      {"all light", {12, 0}, {0, 0}, 0, 0},
      {"last step off the image", {20, 2}, {0, 2}, 7, 0},
      {"first steps off the image", {12, 2}, {-3, 2}, 7, 7},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CountTransitions(frame.r(), c.a, c.b, c.start), c.expected) << c.what;
  }
}

TEST(CountTransitions, RunLengthsFollowTheChanges) {
  Frame frame({"...####.....",
               "............"});
  std::array<int32_t, 8> runs{};
  EXPECT_EQ(CountTransitions(frame.r(), {11, 0}, {0, 0}, 2, runs), 4);
  // start 2: 3 light, then 4 dark, then 4 light (a itself is not walked).
  EXPECT_EQ(runs, (std::array<int32_t, 8>{0, 0, 3, 4, 4, 0, 0, 0}));
  // Indices past the span are not written.
  std::array<int32_t, 3> shortRuns{};
  EXPECT_EQ(CountTransitions(frame.r(), {11, 0}, {0, 0}, 2, shortRuns), 4);
  EXPECT_EQ(shortRuns, (std::array<int32_t, 3>{0, 0, 3}));
}

TEST(CountTransitions, SegmentsInsideCountAsTheCheckedWalkDoes) {
  // Without run lengths, a segment with both ends inside is walked without a
  // test per step; the walk that records run lengths tests every step. Both
  // must count the same on noise, labels and probed light included, for
  // segments inside, crossing the edge and outside.
  Frame frame(61, 47);
  std::mt19937 rng(5);
  const uint8_t values[] = {0, 17, 253, 254, 255};
  for (int y = 0; y < frame.height(); ++y) {
    for (int x = 0; x < frame.width(); ++x) frame.Set(x, y, values[rng() % 5]);
  }
  std::array<int32_t, 1> runs{};
  int inside = 0;
  for (int i = 0; i < 3000; ++i) {
    const Point16 a{static_cast<int16_t>(static_cast<int>(rng() % 81) - 10),
                    static_cast<int16_t>(static_cast<int>(rng() % 67) - 10)};
    const Point16 b{static_cast<int16_t>(static_cast<int>(rng() % 81) - 10),
                    static_cast<int16_t>(static_cast<int>(rng() % 67) - 10)};
    inside += (a.x >= 0 && a.x < 61 && a.y >= 0 && a.y < 47 && b.x >= 0 && b.x < 61 && b.y >= 0 &&
               b.y < 47) ? 1 : 0;
    ASSERT_EQ(CountTransitions(frame.r(), a, b, 3), CountTransitions(frame.r(), a, b, 3, runs))
        << a.x << "," << a.y << " from " << b.x << "," << b.y;
  }
  EXPECT_GT(inside, 600);
}

TEST(LineIsClear, ClearDarkOrUnusable) {
  Frame frame({"................",
               "................",
               "................",
               "......#.........",
               "................",
               "................",
               "................",
               "................",
               "................",
               "................",
               "................",
               "................",
               "................",
               "................",
               ".#..............",
               "................"});
  struct Case {
    const char* what;
    Point16 a, b;
    int expected;
  };
  const Case cases[] = {
      {"light line", {12, 8}, {2, 8}, 1},
      {"through the dark pixel", {12, 3}, {2, 3}, 0},
      // Steps are 1024 dx / (|dx| + 1): eastwards the first step truncates back
      // onto b, westwards it moves one pixel on.
      {"dark b, walking west", {2, 3}, {6, 3}, 1},
      {"dark b, walking east", {12, 3}, {6, 3}, 0},
      {"a single pixel", {5, 5}, {5, 5}, 1},
      {"as long as the image is wide", {15, 5}, {0, 5}, -1},
      {"far end beyond the image", {20, 8}, {8, 8}, -1},
      {"far end on the image frame", {14, 0}, {14, 8}, -1},
      {"dark pixel in the unchecked band", {1, 14}, {6, 14}, 1},
      {"diagonal over the dark pixel", {9, 6}, {3, 0}, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LineIsClear(frame.r(), c.a, c.b), c.expected) << c.what;
  }
}

TEST(ExtremeContourPoints, SmoothedDistancesAndTies) {
  struct Case {
    const char* what;
    std::vector<Point16> points;
    Point16 reference;
    int farthest, nearest;
  };
  const Case cases[] = {
      // Square ring around the reference: edge midpoints score 20, corners 16;
      // the first of equal scores wins both ways.
      {"ties go to the first index",
       {{0, 0}, {2, 0}, {4, 0}, {4, 2}, {4, 4}, {2, 4}, {0, 4}, {0, 2}}, {2, 2}, 1, 0},
      // The single far point (10) loses to a run of three at 8; scores are
      // 3, 102, 102, 165, 129, 192, 129, 66.
      {"smoothing over neighbours",
       {{1, 0}, {1, 0}, {10, 0}, {1, 0}, {8, 0}, {8, 0}, {8, 0}, {1, 0}}, {0, 0}, 5, 0},
      // Index 0's neighbours wrap round: its score 9 + 1 + 1 is the greatest.
      {"closed contour wraps round",
       {{1, 0}, {1, 0}, {1, 0}, {1, 0}, {3, 0}}, {0, 0}, 0, 1},
      {"all on the reference", {{4, 4}, {4, 4}, {4, 4}}, {4, 4}, 0, 0},
      {"empty contour", {}, {0, 0}, 0, 0},
  };
  for (const Case& c : cases) {
    const ExtremeIndices e = ExtremeContourPoints(c.points, c.reference);
    EXPECT_EQ(e.farthest, c.farthest) << c.what;
    EXPECT_EQ(e.nearest, c.nearest) << c.what;
  }
}

TEST(NudgeTowardsDark, MovesOnePixelTowardsTheDarkSide) {
  struct Case {
    const char* what;
    std::vector<std::string> rows;
    Point16 start, expected;
  };
  const Case cases[] = {
      {"all light", {".........", ".........", ".........", ".........", ".........",
                     ".........", ".........", ".........", "........."},
       {4, 4}, {4, 4}},
      {"bar to the east", {".........", ".........", ".........", "......#..", "......#..",
                           "......#..", ".........", ".........", "........."},
       {4, 4}, {5, 4}},
      {"block to the south-west", {".........", ".........", ".........", ".........",
                                   ".........", "..##.....", "..##.....", ".........",
                                   "........."},
       {4, 4}, {3, 5}},
      // East and west score alike; the first direction, east, wins.
      {"tie between east and west", {".........", ".........", ".........", ".........",
                                     "..#...#..", ".........", ".........", ".........",
                                     "........."},
       {4, 4}, {5, 4}},
      // A lone dark pixel to the north-west is seen from the west, the
      // north-west and the north alike: the smoothed tie goes to the west.
      {"lone pixel to the north-west", {".........", ".........", "..#......", ".........",
                                        ".........", ".........", ".........", ".........",
                                        "........."},
       {4, 4}, {3, 4}},
      // Dark pixels within two of the border do not count.
      {"dark only in the border band", {"#########", "#########", ".........", ".........",
                                        ".........", ".........", ".........", "##.......",
                                        "##......."},
       {3, 3}, {3, 3}},
  };
  for (const Case& c : cases) {
    Frame frame(c.rows);
    Point16 p = c.start;
    NudgeTowardsDark(frame.r(), p);
    EXPECT_EQ(p.x, c.expected.x) << c.what;
    EXPECT_EQ(p.y, c.expected.y) << c.what;
  }
}

}  // namespace
}  // namespace cordavex
