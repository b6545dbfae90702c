#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "engine/label.h"
#include "engine/prepare.h"
#include "support/workspace.h"
#include "support/qr_symbols.h"
#include "support/render.h"

namespace cordavex {
namespace {

using test::Workspace;

// Draws a filled rectangle of dark pixels.
void Rect(Workspace& ws, int x0, int y0, int w, int h, uint8_t value = 0) {
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x) ws.at(x, y) = value;
}

// A QR finder pattern (7 x 7 modules: ring, light ring, 3 x 3 centre) at `scale`.
void Finder(Workspace& ws, int x0, int y0, int scale) {
  Rect(ws, x0, y0, 7 * scale, 7 * scale, 0);
  Rect(ws, x0 + scale, y0 + scale, 5 * scale, 5 * scale, 255);
  Rect(ws, x0 + 2 * scale, y0 + 2 * scale, 3 * scale, 3 * scale, 0);
}

TEST(Labelling, FinderRingHasExactlyOneHoleEntry) {
  // Wide enough that the 81-point outline is below 1.5 image widths.
  Workspace ws(64, 40);
  ws.Fill(255);
  Finder(ws, 5, 5, 3);
  Recognizer& r = ws.r();
  ASSERT_EQ(LabelComponents(r), 1);
  EXPECT_EQ(r.labelCount, 3);  // ring, centre
  ASSERT_EQ(r.holeCount, 1);
  EXPECT_EQ(r.holes[0].label, 1);
  EXPECT_EQ(r.holes[0].count, 1);
  // Ring outline 21 x 21: 80 distinct points, closed with the first repeated.
  EXPECT_EQ(r.components[1].pointCount, 81);
  EXPECT_EQ(r.components[1].centroidX, 15);
  EXPECT_EQ(r.components[1].centroidY, 15);
  EXPECT_TRUE(r.components[1].shapeClass == 1 || r.components[1].shapeClass == 2000);
  EXPECT_EQ(r.components[2].pointCount, 33);  // 9 x 9 centre
  EXPECT_EQ(ws.at(5, 5), 1);
  EXPECT_EQ(ws.at(15, 15), 2);
  EXPECT_EQ(ws.at(8, 12), 254);  // light beside the ring's inner edge: probed
  EXPECT_EQ(ws.at(9, 12), 255);  // light touching no dark pixel: never probed
  EXPECT_EQ(r.barCount, 0);
}

TEST(Labelling, TwoHolesCountTwice) {
  Workspace ws(48, 20);
  ws.Fill(255);
  Rect(ws, 4, 4, 20, 12);
  Rect(ws, 7, 8, 4, 4, 255);
  Rect(ws, 15, 8, 4, 4, 255);
  Recognizer& r = ws.r();
  ASSERT_EQ(LabelComponents(r), 1);
  EXPECT_EQ(r.labelCount, 2);
  ASSERT_EQ(r.holeCount, 1);
  EXPECT_EQ(r.holes[0].label, 1);
  EXPECT_EQ(r.holes[0].count, 2);
}

TEST(Labelling, SmallRingGetsWrongHoleClass) {
  // 5 x 5 ring: compact, but 17 outline points are too few for a finder ring.
  Workspace ws(12, 12);
  ws.Draw({
      "............",
      "............",
      "..#####.....",
      "..#...#.....",
      "..#...#.....",
      "..#...#.....",
      "..#####.....",
      "............",
      "............",
      "............",
      "............",
      "............",
  });
  Recognizer& r = ws.r();
  ASSERT_EQ(LabelComponents(r), 1);
  EXPECT_EQ(r.components[1].pointCount, 17);
  EXPECT_EQ(r.components[1].shapeClass, 1000);
  EXPECT_EQ(r.holeCount, 0);
}

TEST(Labelling, BarIsElongatedWithOrderedEnds) {
  // 30 x 4 bar from (5, 5) to (34, 8). Outline: 64 distinct points from (6, 5)
  // clockwise back to (5, 5), then (6, 5) again: 65 points, centroid
  // (1254 / 65, 421 / 65) rounded = (19, 6). Far: (34, 8) (229 from the
  // centroid); half way round: (5, 5); diagonal = sqrt(29^2 + 3^2) = 29.
  // Near: (19, 5); half way round: (20, 8); mid of the diagonal (19, 6);
  // crossWidth = 2 + 1 = 3. Elongated (29 >= 9): class max(6, 14) = 14.
  Workspace ws(50, 14);
  ws.Fill(255);
  Rect(ws, 5, 5, 30, 4);
  Recognizer& r = ws.r();
  ASSERT_EQ(LabelComponents(r), 1);
  const ComponentRecord& bar = r.components[1];
  EXPECT_EQ(bar.pointCount, 65);
  EXPECT_EQ(bar.centroidX, 19);
  EXPECT_EQ(bar.centroidY, 6);
  EXPECT_EQ(bar.diagonal, 29);
  EXPECT_EQ(bar.crossWidth, 3);
  EXPECT_EQ(bar.shapeClass, 14);
  EXPECT_EQ(bar.cornerA.x, 5);
  EXPECT_EQ(bar.cornerA.y, 5);
  EXPECT_EQ(bar.cornerB.x, 34);
  EXPECT_EQ(bar.cornerB.y, 8);
  EXPECT_EQ(r.barCount, 1);
  EXPECT_EQ(r.contour[0].x, 6);
  EXPECT_EQ(r.contour[63].x, 5);
  EXPECT_EQ(r.contour[64].x, 6);
}

TEST(Labelling, TinyComponentsStayUnclassified) {
  Workspace ws(12, 8);
  ws.Draw({
      "............",
      ".#..........",
      "......##....",
      "......##....",
      "............",
      "..#.........",
      "...#........",
      "............",
  });
  Recognizer& r = ws.r();
  ASSERT_EQ(LabelComponents(r), 1);
  EXPECT_EQ(r.labelCount, 4);
  for (int label = 1; label <= 3; ++label) EXPECT_EQ(r.components[label].shapeClass, 0);
  // The isolated pixel still carries its label, and its record names it.
  EXPECT_EQ(ws.at(1, 1), 1);
  EXPECT_EQ(r.components[1].pointCount, 0);
  EXPECT_EQ(r.components[1].cornerA.x, 1);
  EXPECT_EQ(r.components[1].cornerA.y, 1);
  EXPECT_EQ(r.components[2].pointCount, 5);  // 2 x 2 block: 4 corners, closed
  EXPECT_EQ(ws.at(7, 3), 2);
  EXPECT_EQ(ws.at(3, 6), 3);
  EXPECT_EQ(r.barCount, 0);
}

// Dots two pixels apart, `count` of them.
void Dots(Workspace& ws, int count) {
  ws.Fill(255);
  const int w = ws.r().imageWidth;
  for (int i = 0; i < count; ++i) ws.at(1 + 2 * (i % ((w - 2) / 2)), 1 + 2 * (i / ((w - 2) / 2))) = 0;
}

TEST(Labelling, LabelSpaceHolds253Components) {
  Workspace ws(42, 40);
  Dots(ws, 253);
  ASSERT_EQ(LabelComponents(ws.r()), 1);
  EXPECT_EQ(ws.r().labelCount, 254);
  Dots(ws, 254);
  EXPECT_EQ(LabelComponents(ws.r()), 0);
}

TEST(Labelling, ContourLongerThanTheBufferStillLabelsEverything) {
  // A comb: a spine with 50 teeth 150 pixels long has about 15000 outline
  // points. Its trace fails (unclassified) but every pixel gets label 1, and
  // the gaps between the teeth, open below, are no holes.
  Workspace ws(210, 170);
  ws.Fill(255);
  Rect(ws, 2, 2, 200, 4);
  for (int i = 0; i < 50; ++i) Rect(ws, 2 + 4 * i, 6, 2, 150);
  Recognizer& r = ws.r();
  ASSERT_EQ(LabelComponents(r), 1);
  EXPECT_EQ(r.labelCount, 2);
  EXPECT_EQ(r.components[1].pointCount, 5000);
  EXPECT_EQ(r.components[1].shapeClass, 0);
  EXPECT_EQ(r.holeCount, 0);
  for (int y = 0; y < 170; ++y)
    for (int x = 0; x < 210; ++x) ASSERT_TRUE(ws.at(x, y) == 1 || ws.at(x, y) >= 254);
}

TEST(Labelling, TraceRefusesBadArguments) {
  Workspace ws(10, 10);
  ws.Fill(255);
  Rect(ws, 3, 3, 3, 3);
  Recognizer& r = ws.r();
  ComponentRecord record{};
  EXPECT_EQ(TraceContour(r, &record, 1, 1, 1, 0, 1), 0);    // light start pixel
  EXPECT_EQ(TraceContour(r, &record, -1, 3, 1, 0, 1), 0);   // outside
  EXPECT_EQ(TraceContour(r, &record, 3, 10, 1, 0, 1), 0);   // outside
  EXPECT_EQ(TraceContour(r, &record, 3, 3, 254, 0, 1), 0);  // not a label
  EXPECT_EQ(TraceContour(r, &record, 3, 3, 1, 8, 1), 0);    // no such direction
  EXPECT_EQ(TraceContour(r, &record, 3, 3, 1, 0, 1), 1);
  EXPECT_EQ(record.pointCount, 9);
  // Dark on the image border: the first probe leaves the image.
  ws.at(0, 5) = 0;
  ws.at(1, 5) = 0;
  EXPECT_EQ(TraceContour(r, &record, 5, 0, 2, 4, 2), 0);
}

// Independent 8-connected flood fill: component index per pixel, -1 for light.
std::vector<int> FloodComponents(const std::vector<uint8_t>& dark, int w, int h) {
  std::vector<int> comp(dark.size(), -1);
  int next = 0;
  std::vector<int> stack;
  for (int i = 0; i < w * h; ++i) {
    if (!dark[static_cast<size_t>(i)] || comp[static_cast<size_t>(i)] >= 0) continue;
    comp[static_cast<size_t>(i)] = next;
    stack.push_back(i);
    while (!stack.empty()) {
      const int p = stack.back();
      stack.pop_back();
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int x = p % w + dx, y = p / w + dy;
          if (x < 0 || y < 0 || x >= w || y >= h) continue;
          const size_t q = static_cast<size_t>(y * w + x);
          if (dark[q] && comp[q] < 0) {
            comp[q] = next;
            stack.push_back(static_cast<int>(q));
          }
        }
    }
    ++next;
  }
  return comp;
}

TEST(Labelling, AgreesWithFloodFillOnRandomImages) {
  // Dense noise makes large components riddled with holes of every shape,
  // including holes that touch diagonally.
  const int w = 48, h = 40;
  int checked = 0;
  for (unsigned seed = 1; seed <= 60; ++seed) {
    std::mt19937 rng(seed);
    const int densityPercent = 45 + static_cast<int>(seed % 5) * 10;
    Workspace ws(w, h);
    std::vector<uint8_t> dark(static_cast<size_t>(w * h), 0);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const bool inside = x > 0 && y > 0 && x < w - 1 && y < h - 1;
        const bool isDark = inside && static_cast<int>(rng() % 100) < densityPercent;
        dark[static_cast<size_t>(y * w + x)] = isDark;
        ws.at(x, y) = isDark ? 0 : 255;
      }
    if (LabelComponents(ws.r()) == 0) continue;  // more than 253 components
    ++checked;
    const std::vector<int> comp = FloodComponents(dark, w, h);
    std::map<int, int> labelOf;
    std::set<int> labelsSeen;
    for (int i = 0; i < w * h; ++i) {
      const uint8_t v = ws.r().image()[i];
      if (!dark[static_cast<size_t>(i)]) {
        ASSERT_GE(v, 254) << "seed " << seed << " pixel " << i;
        continue;
      }
      ASSERT_GE(v, 1) << "seed " << seed << " pixel " << i;
      ASSERT_LE(v, 253);
      auto [it, inserted] = labelOf.emplace(comp[static_cast<size_t>(i)], v);
      ASSERT_EQ(it->second, v) << "seed " << seed << ": one component, two labels";
      if (inserted) {
        ASSERT_TRUE(labelsSeen.insert(v).second) << "seed " << seed << ": shared label";
      }
    }
    EXPECT_EQ(static_cast<int>(labelsSeen.size()), ws.r().labelCount - 1) << seed;
  }
  EXPECT_GE(checked, 30);
}

// Labelling pixel by pixel, straight from the rules: every probe bounds-checked,
// every light pixel of the scan looked at. Returns the label count; fills the
// image in place and each label's (points, centroid x, centroid y).
struct ReferenceTrace {
  int points = 0;
  int centroidX = 0, centroidY = 0;
};

bool ReferenceTraceContour(std::vector<uint8_t>& img, int w, int h, int x0, int y0, int label,
                           int startDirection, ReferenceTrace* out) {
  static constexpr int kDx[8] = {1, 1, 0, -1, -1, -1, 0, 1};
  static constexpr int kDy[8] = {0, 1, 1, 1, 0, -1, -1, -1};
  static constexpr int kSearchFrom[8] = {7, 7, 1, 1, 3, 3, 5, 5};
  auto px = [&](int x, int y) -> uint8_t& { return img[static_cast<size_t>(y * w + x)]; };
  // The first dark neighbour clockwise from `from` among 7; -1 none, -2 off the image.
  auto probe = [&](int x, int y, int from) {
    for (int i = 0; i < 7; ++i) {
      const int d = (from + i) % 8;
      const int nx = x + kDx[d], ny = y + kDy[d];
      if (nx < 0 || ny < 0 || nx >= w || ny >= h) return -2;
      if (px(nx, ny) < 254) return d;
      px(nx, ny) = 254;
    }
    return -1;
  };
  px(x0, y0) = static_cast<uint8_t>(label);
  int64_t steps = 0, sumX = 0, sumY = 0;
  bool complete = false;
  int d = probe(x0, y0, startDirection);
  int x = x0, y = y0, secondX = -1, secondY = -1;
  while (d >= 0) {
    const int nx = x + kDx[d], ny = y + kDy[d];
    px(nx, ny) = static_cast<uint8_t>(label);
    ++steps;
    sumX += nx;
    sumY += ny;
    if (steps == 1) {
      secondX = nx;
      secondY = ny;
    } else if (x == x0 && y == y0 && nx == secondX && ny == secondY) {
      complete = true;
      break;
    }
    x = nx;
    y = ny;
    d = probe(x, y, kSearchFrom[d]);
  }
  if (out != nullptr) {
    out->points = static_cast<int>(std::min<int64_t>(steps, 5000));
    out->centroidX = steps > 0 ? static_cast<int>((((sumX << 10) / steps) + 512) >> 10) : x0;
    out->centroidY = steps > 0 ? static_cast<int>((((sumY << 10) / steps) + 512) >> 10) : y0;
  }
  return complete && steps <= 5000;
}

int ReferenceLabel(std::vector<uint8_t>& img, int w, int h, std::vector<ReferenceTrace>& traces) {
  for (int x = 0; x < w; ++x) img[static_cast<size_t>(x)] = img[static_cast<size_t>((h - 1) * w + x)] = 255;
  for (int y = 0; y < h; ++y) img[static_cast<size_t>(y * w)] = img[static_cast<size_t>(y * w + w - 1)] = 255;
  int next = 1;
  traces.assign(254, ReferenceTrace{});
  for (int y = 1; y < h - 1; ++y) {
    int current = 0;
    for (int x = 1; x < w - 1; ++x) {
      uint8_t& v = img[static_cast<size_t>(y * w + x)];
      if (v >= 254) {
        if (current != 0 && v == 255) ReferenceTraceContour(img, w, h, x - 1, y, current, 1, nullptr);
        current = 0;
      } else if (current == 0) {
        if (v != 0) {
          current = v;
          continue;
        }
        if (next == 254) return 0;
        ReferenceTraceContour(img, w, h, x, y, next, 0, &traces[static_cast<size_t>(next)]);
        current = next++;
      } else {
        v = static_cast<uint8_t>(current);
      }
    }
  }
  return next;
}

TEST(Labelling, MatchesPixelByPixelReferenceOnSeededScenes) {
  // Dark blocks, some with light windows, on a light sheet with sparse specks:
  // long light runs, long dark runs and holes, at widths that are and are not
  // multiples of eight.
  struct Size {
    int w, h;
  };
  int compared = 0;
  for (const Size s : {Size{64, 48}, Size{101, 67}, Size{320, 240}, Size{9, 9}, Size{250, 13}}) {
    for (unsigned seed = 1; seed <= 8; ++seed) {
      std::mt19937 rng(seed * 977 + static_cast<unsigned>(s.w));
      Workspace ws(s.w, s.h);
      ws.Fill(255);
      const int blocks = 3 + static_cast<int>(rng() % 12);
      for (int b = 0; b < blocks; ++b) {
        const int bw = 2 + static_cast<int>(rng() % static_cast<unsigned>(std::max(2, s.w / 3)));
        const int bh = 2 + static_cast<int>(rng() % static_cast<unsigned>(std::max(2, s.h / 3)));
        const int x0 = static_cast<int>(rng() % static_cast<unsigned>(s.w));
        const int y0 = static_cast<int>(rng() % static_cast<unsigned>(s.h));
        for (int y = y0; y < std::min(s.h, y0 + bh); ++y)
          for (int x = x0; x < std::min(s.w, x0 + bw); ++x) {
            const bool window = bw > 6 && bh > 6 && x > x0 + 2 && x < x0 + bw - 3 && y > y0 + 2 &&
                                y < y0 + bh - 3 && (x + y) % 5 != 0;
            ws.at(x, y) = window ? 255 : 0;
          }
      }
      for (int i = 0; i < s.w * s.h / 40; ++i) {
        ws.at(static_cast<int>(rng() % static_cast<unsigned>(s.w)),
              static_cast<int>(rng() % static_cast<unsigned>(s.h))) = rng() % 2 ? 0 : 255;
      }
      std::vector<uint8_t> expected = ws.Image();
      std::vector<ReferenceTrace> traces;
      const int labels = ReferenceLabel(expected, s.w, s.h, traces);
      Recognizer& r = ws.r();
      const int status = LabelComponents(r);
      ASSERT_EQ(status, labels == 0 ? 0 : 1) << s.w << "x" << s.h << " seed " << seed;
      if (labels == 0) continue;
      ++compared;
      ASSERT_EQ(r.labelCount, labels) << s.w << "x" << s.h << " seed " << seed;
      EXPECT_EQ(ws.Image(), expected) << s.w << "x" << s.h << " seed " << seed;
      for (int label = 1; label < labels; ++label) {
        const ReferenceTrace& t = traces[static_cast<size_t>(label)];
        EXPECT_EQ(r.components[label].pointCount, t.points) << label;
        EXPECT_EQ(r.components[label].centroidX, t.centroidX) << label;
        EXPECT_EQ(r.components[label].centroidY, t.centroidY) << label;
      }
    }
  }
  EXPECT_GE(compared, 30);
}

TEST(Labelling, QrFindersInACameraFrameBecomeRingsWithOneHole) {
  struct Case {
    int w, h, mode, scale;
  };
  // 320 x 240 enlarged (mode 0) and not (mode 2); 640 x 480 reduced (mode 4)
  // and reduced then enlarged (mode 0).
  const Case cases[] = {{320, 240, 0, 5}, {320, 240, 2, 5}, {640, 480, 4, 10}, {640, 480, 0, 10}};
  for (const Case& c : cases) {
    const std::string text = "https://example.com/cordavex";
    const auto symbol = test::EncodeQrBytes(
        {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, 3, test::kLevelM);
    ASSERT_TRUE(symbol.has_value());
    test::RenderOptions o;
    o.width = c.w;
    o.height = c.h;
    o.moduleSize = c.scale;
    o.unevenLight = 0.25;
  o.background = o.light;  // paper all round, as a printed page fills the view
    o.noise = 6;
    o.seed = 11;
    const test::Frame frame = test::RenderModules(symbol->modules, symbol->size, o);
    // Frame position of the centre of the finder whose top-left module is (m, n).
    const double origin = -symbol->size * c.scale / 2.0;
    auto finderX = [&](int m) { return static_cast<int>(c.w / 2.0 + origin + (m + 3.5) * c.scale); };
    auto finderY = [&](int n) { return static_cast<int>(c.h / 2.0 + origin + (n + 3.5) * c.scale); };
    Workspace ws(c.w, c.h);
    Recognizer& r = ws.r();
    std::memcpy(r.image(), frame.grey.data(), frame.grey.size());
    ASSERT_EQ(PrepareImage(r, c.mode), 1);
    ASSERT_EQ(LabelComponents(r), 1);
    // Prepared pixels per frame pixel, as a fraction.
    const int num = r.imageWidth, den = c.w;
    const int tolerance = 2 + (c.scale * num) / den;  // a module
    const int corners[3][2] = {{0, 0}, {symbol->size - 7, 0}, {0, symbol->size - 7}};
    for (const auto& corner : corners) {
      const int fx = finderX(corner[0]) * num / den;
      const int fy = finderY(corner[1]) * num / den;
      bool found = false;
      for (int i = 0; i < r.holeCount; ++i) {
        const ComponentRecord& ring = r.components[r.holes[i].label];
        if (std::abs(ring.centroidX - fx) <= tolerance && std::abs(ring.centroidY - fy) <= tolerance) {
          EXPECT_EQ(r.holes[i].count, 1);
          EXPECT_TRUE(ring.shapeClass == 1 || ring.shapeClass == 2000) << ring.shapeClass;
          found = true;
        }
      }
      EXPECT_TRUE(found) << c.w << " mode " << c.mode << ": no ring at " << fx << "," << fy;
    }
  }
}

}  // namespace
}  // namespace cordavex
