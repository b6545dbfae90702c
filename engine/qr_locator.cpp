// The QR code locator: three one-hole finder components, their order and
// orientation, the corners, the dimension from the timing patterns, the fourth
// corner through the alignment pattern, sampling with retries, and the decode.
#include "engine/qr_locator.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "decode/qr_decoder.h"
#include "engine/geometry.h"
#include "engine/label.h"
#include "engine/locators.h"

namespace cordavex {
namespace {

int Miss(Recognizer& r, Failure why) { return MissAs(r, Symbology::kQr, why); }

constexpr int kVersion1Dimension = 22;  // below: version 1, no alignment pattern
constexpr int kVersion7Dimension = 45;  // from here: six alignment patterns around the centre
// decodeAttempt of a symbol read through the pattern centres (0: unshifted,
// 1..8: the fourth corner shifted).
constexpr int kCentreAttempt = 9;
// Of the 25 modules of an alignment pattern, how many must match where the
// centre reading looks for one.
constexpr int kAlignmentScoreNeeded = 21;
constexpr int kEdgeProbePasses = 32;
constexpr int kScoreCandidates = 16;
constexpr int kHillClimbPasses = 17;
constexpr int kTimingStart = 12;  // the finders' own transitions along a timing line

// rnd(a / b) = ((1024 a) / b + 512) >> 10: the quotient truncated towards zero in
// 10-bit fixed point, then rounded with an arithmetic shift (towards minus
// infinity for negative values). Wide so that 1024 a cannot overflow.
int32_t RoundedQuotient(int64_t a, int64_t b) {
  return static_cast<int32_t>(((kOne * a) / b + kHalf) >> 10);
}

int Pixel(const Recognizer& r, int x, int y) { return r.image()[y * r.imageWidth + x]; }

bool InImage(const Recognizer& r, int x, int y) {
  return x >= 0 && y >= 0 && x < r.imageWidth && y < r.imageHeight;
}

ComponentRecord& Record(Recognizer& r, int label) { return r.components[label]; }
Point Centroid(const Recognizer& r, int label) {
  return {r.components[label].centroidX, r.components[label].centroidY};
}

// ---- Finders -------------------------------------------------------------

// From the centroid outwards in one direction: the first dark pixel after the
// first light one must belong to `label` (or no light pixel is met at all).
bool RingAround(const Recognizer& r, Point c, int dx, int dy, int label) {
  bool seenLight = false;
  for (int x = c.x + 2 * dx, y = c.y + 2 * dy; InImage(r, x, y); x += dx, y += dy) {
    const int v = Pixel(r, x, y);
    if (!seenLight) {
      seenLight = !IsDark(static_cast<uint8_t>(v));
    } else if (IsDark(static_cast<uint8_t>(v))) {
      return v == label;
    }
  }
  return !seenLight;
}

bool PassesFinderTest(const Recognizer& r, int label) {
  const ComponentRecord& c = r.components[label];
  const Point p = Centroid(r, label);
  if (!InsideWithMargin(r, p)) return false;
  if (c.shapeClass != kShapeCompact && c.shapeClass != kShapeCompactPair) return false;
  if (c.diagonal > 2 * c.crossWidth || c.crossWidth > 2 * c.diagonal) return false;
  // The centre is the finder's dark core, a component of its own.
  const int centre = Pixel(r, p.x, p.y);
  if (!IsDark(static_cast<uint8_t>(centre)) || centre == label) return false;
  return RingAround(r, p, 1, 0, label) && RingAround(r, p, -1, 0, label) &&
         RingAround(r, p, 0, 1, label) && RingAround(r, p, 0, -1, label);
}

// Orders the three candidates: the corner finder is the one opposite the longest
// side; then the orientation rules decide which of the others ends the first row.
void OrderFinders(const Recognizer& r, const int f[3], QrLocation& loc) {
  const Point p1 = Centroid(r, f[0]), p2 = Centroid(r, f[1]), p3 = Centroid(r, f[2]);
  const int32_t d12 = Distance(p1, p2), d13 = Distance(p1, p3), d23 = Distance(p2, p3);
  if (d13 < d12 && d12 > d23) {
    loc.cornerLabel = f[2];
    loc.firstLabel = f[1];
    loc.secondLabel = f[0];
  } else if (d13 > d12 && d13 > d23) {
    loc.cornerLabel = f[1];
    loc.firstLabel = f[2];
    loc.secondLabel = f[0];
  } else {
    loc.cornerLabel = f[0];
    loc.firstLabel = f[2];
    loc.secondLabel = f[1];
  }

  const Point c = Centroid(r, loc.cornerLabel);
  const Point u = Centroid(r, loc.firstLabel);
  const Point v = Centroid(r, loc.secondLabel);
  const int xc = c.x, yc = c.y, xu = u.x, yu = u.y, xv = v.x, yv = v.y;
  bool swap = false;
  if (xc < xu && xc < xv) {
    swap = yu > yv;
  } else if (xc > xu && xc > xv) {
    swap = yu < yv;
  } else if (yc < yu && yc < yv) {
    swap = xu < xv;
  } else if (yc > yu && yc > yv) {
    swap = xu > xv;
  } else if (std::abs(xc - xu) < std::abs(xc - xv) && std::abs(xc - xu) < std::abs(xu - xv) &&
             std::abs(yc - yu) > std::abs(yc - yv) && std::abs(yc - yv) < std::abs(yu - yv)) {
    // The first finder nearly in the corner's column, the second nearly in its row.
    if (xc < xv) {
      swap = xv > xu && yc < yu && yv < yu;
    } else if (xc > xv) {
      swap = xu > xv && yc > yu && yv > yu;
    }
  } else if (std::abs(yc - yu) < std::abs(yc - yv) && std::abs(yc - yu) < std::abs(yu - yv) &&
             std::abs(xc - xv) < std::abs(xc - xu) && std::abs(xc - xv) < std::abs(xu - xv)) {
    // The first finder nearly in the corner's row, the second nearly in its column.
    if (yc < yv) {
      swap = yu < yv && xu < xc && xu < xv;
    } else if (yc > yv) {
      swap = yu > yv && xu > xc && xu > xv;
    }
  }
  if (swap) std::swap(loc.firstLabel, loc.secondLabel);
}

// Re-traces a finder's outer contour and takes its outer corner (farthest from
// the reference) and inner corner (nearest), each nudged towards the dark.
void ExtractCorners(Recognizer& r, int label, Point reference) {
  ComponentRecord& rec = Record(r, label);
  const Point c = Centroid(r, label);
  const int centre = Pixel(r, c.x, c.y);
  // Right of the centroid: past light pixels and the core to the ring, then to
  // the ring's last dark pixel.
  int x = c.x;
  while (x < r.imageWidth && (!IsDark(r.image()[c.y * r.imageWidth + x]) ||
                              Pixel(r, x, c.y) == centre)) {
    ++x;
  }
  if (x >= r.imageWidth) return;
  const int ring = Pixel(r, x, c.y);
  while (x + 1 < r.imageWidth && IsDark(r.image()[c.y * r.imageWidth + x + 1])) ++x;
  ComponentRecord scratch{};
  if (!TraceContour(r, &scratch, c.y, x, ring, 0, 2)) return;
  const int count = std::min(scratch.pointCount, kContourCapacity);
  if (count <= 0) return;
  const ExtremeIndices ext = ExtremeContourPoints({r.contour, static_cast<size_t>(count)},
                                                 ToPoint16(reference));
  rec.cornerA = r.contour[ext.farthest];
  rec.cornerB = r.contour[ext.nearest];
  NudgeTowardsDark(r, rec.cornerA);
  NudgeTowardsDark(r, rec.cornerB);
}

// ---- Alignment pattern ---------------------------------------------------

// The candidate's centroid lies inside a ring component R: the first foreign
// dark pixel to the right, left, below and above is R's in every direction.
bool PassesAlignmentTest(const Recognizer& r, int label) {
  const Point p = Centroid(r, label);
  if (p.y < 3 || !InImage(r, p.x, p.y)) return false;
  int ring = -1;
  for (int x = p.x + 2; x < r.imageWidth; ++x) {
    const int v = Pixel(r, x, p.y);
    if (IsDark(static_cast<uint8_t>(v)) && v != label) {
      ring = v;
      break;
    }
  }
  if (ring < 0) return false;
  const int dirs[3][2] = {{-1, 0}, {0, 1}, {0, -1}};
  for (const auto& d : dirs) {
    int found = -1;
    for (int x = p.x + 2 * d[0], y = p.y + 2 * d[1]; InImage(r, x, y); x += d[0], y += d[1]) {
      const int v = Pixel(r, x, y);
      if (IsDark(static_cast<uint8_t>(v)) && v != label) {
        found = v;
        break;
      }
    }
    if (found != ring) return false;
  }
  return true;
}

// One scan of RefineAlignment: from the point, past the dark pixels it starts
// on, to the first dark pixel after the first light one. `skipCentre` also
// passes, after the light pixel, pixels bearing the centre's label.
struct ScanHit {
  int label = 0;  // 0: nothing found
  Point at{};
};

ScanHit ScanForRing(const Recognizer& r, Point p, int dx, int dy, int reach, bool skipCentre) {
  if (!InImage(r, p.x, p.y)) return {};
  const int centre = Pixel(r, p.x, p.y);
  const bool centreDark = IsDark(static_cast<uint8_t>(centre));
  bool seenLight = false;
  for (int k = 1; k <= reach; ++k) {
    const int x = p.x + k * dx, y = p.y + k * dy;
    if (!InImage(r, x, y)) break;
    const int v = Pixel(r, x, y);
    const bool dark = IsDark(static_cast<uint8_t>(v));
    if (!seenLight) {
      if (!dark) seenLight = true;
      continue;
    }
    if (!dark) continue;
    if (skipCentre && centreDark && v == centre) continue;
    return {v, {x, y}};
  }
  return {};
}

// Moves `point` to the centroid of the ring around it; 1, or 0 when no ring
// of a plausible size surrounds it.
int RefineAlignment(Recognizer& r, Point& point) {
  const int reach = r.imageWidth / 8;
  const int maxPoints = 4 * reach;
  const ScanHit left = ScanForRing(r, point, -1, 0, reach, true);
  const ScanHit right = ScanForRing(r, point, 1, 0, reach, false);
  auto traceRing = [&](const ScanHit& from, int startDirection) {
    ComponentRecord scratch{};
    if (!TraceContour(r, &scratch, from.at.y, from.at.x, from.label, startDirection, 1)) return 0;
    if (scratch.pointCount >= maxPoints) return 0;
    point = {scratch.centroidX, scratch.centroidY};
    return 1;
  };
  if (left.label != 0 && left.label == right.label) {
    point = left.at;
    return traceRing(left, 0);
  }
  if (left.label == 0 && right.label == 0) return 0;
  const ScanHit up = ScanForRing(r, point, 0, -1, reach, true);
  const ScanHit down = ScanForRing(r, point, 0, 1, reach, false);
  if (up.label == 0 || down.label == 0) return 0;
  if (up.label != down.label) return 1;
  if (up.label == left.label) return traceRing(left, 0);
  if (up.label == right.label) return traceRing(right, 4);
  return 0;
}

// ---- Grid score ----------------------------------------------------------

class ScoreCounter {
 public:
  ScoreCounter(const Recognizer& r, const SampleCorners& m, int n) : sampler_(r, m, n) {}
  void Dark(int column, int row) { score_ += sampler_.Sample(column, row) == 1; }
  void Light(int column, int row) { score_ += sampler_.Sample(column, row) != 1; }
  int Score() const { return score_; }
  void Subtract(int v) { score_ -= v; }

 private:
  ModuleSampler sampler_;  // the candidate's mapping, built once for all its modules
  int score_ = 0;
};

// An alignment pattern centred on (column cx, row cy) seen as its outer dark
// ring and inner light ring.
void ScoreAlignment(ScoreCounter& s, int cx, int cy) {
  for (int t = -2; t <= 2; ++t) {
    s.Dark(cx + t, cy - 2);
    s.Dark(cx + t, cy + 2);
    s.Dark(cx - 2, cy + t);
    s.Dark(cx + 2, cy + t);
  }
  for (int t = -1; t <= 1; ++t) {
    s.Light(cx + t, cy - 1);
    s.Light(cx + t, cy + 1);
    s.Light(cx - 1, cy + t);
    s.Light(cx + 1, cy + t);
  }
}

// How well the function patterns near the three far corners sample with this
// candidate as the fourth corner.
int GridScore(const Recognizer& r, const QrLocation& loc, Point candidate) {
  const int d = r.symbolDimension;
  const int n = d - 1;
  SampleCorners corners;
  corners.points[0] = r.components[loc.cornerLabel].cornerA;
  corners.points[1] = r.components[loc.firstLabel].cornerA;
  corners.points[2] = r.components[loc.secondLabel].cornerA;
  corners.points[3] = ToPoint16(candidate);
  ScoreCounter s(r, corners, n);
  // Top-right finder: its left edge and the inner corner of its ring.
  for (int row = 1; row <= 6; ++row) s.Dark(n, row);
  for (int row = 2; row <= 5; ++row) s.Light(n - 1, row);
  s.Dark(n - 2, 3);
  s.Dark(n - 2, 4);
  s.Dark(n - 3, 4);
  s.Light(n - 4, 5);
  s.Light(n - 3, 5);
  for (int c = n - 5; c <= n - 1; ++c) s.Dark(c, 6);
  // Bottom-left finder, mirrored.
  for (int row = n - 5; row <= n - 1; ++row) s.Dark(6, row);
  for (int row = n - 4; row <= n - 2; ++row) s.Light(5, row);
  s.Dark(4, n - 3);
  s.Dark(4, n - 2);
  s.Dark(3, n - 2);
  for (int c = 2; c <= 4; ++c) s.Light(c, n - 1);
  for (int c = 1; c <= 5; ++c) s.Dark(c, n);
  if (n < 21) return s.Score();
  ScoreAlignment(s, n - 6, n - 6);
  s.Subtract(8);
  if (n < 41) return s.Score();
  const int h = n / 2;
  ScoreAlignment(s, h, n - 6);
  ScoreAlignment(s, n - 6, h);
  s.Subtract(16);
  return s.Score();
}

Point ScoreSearch(const Recognizer& r, const QrLocation& loc, Point alignment) {
  const int d = r.symbolDimension;
  const Point g = ToPoint(r.components[loc.cornerLabel].cornerA);
  // One module diagonal in 1/1024 pixel, rounded; the search starts four such
  // steps past the alignment centre and walks in half steps.
  const int64_t stepX = (kOne * (alignment.x - g.x)) / (d - 6) + kHalf;
  const int64_t stepY = (kOne * (alignment.y - g.y)) / (d - 6) + kHalf;
  const Point start = {alignment.x + static_cast<int32_t>(stepX >> 8),
                       alignment.y + static_cast<int32_t>(stepY >> 8)};
  Point best = start;
  int bestScore = -1;
  for (int k = 0; k < kScoreCandidates; ++k) {
    const Point c = {start.x + static_cast<int32_t>((k * stepX) >> 11),
                     start.y + static_cast<int32_t>((k * stepY) >> 11)};
    if (!InsideWithMargin(r, c)) continue;
    const int score = GridScore(r, loc, c);
    if (score >= bestScore) {  // a later equal score wins
      bestScore = score;
      best = c;
    }
  }
  if (bestScore < 0) return start;
  for (int pass = 0; pass < kHillClimbPasses; ++pass) {
    int moveTo = -1;
    int moveScore = bestScore;
    for (int dir = 0; dir < 8; ++dir) {
      const Point c = {best.x + kDirectionX[dir], best.y + kDirectionY[dir]};
      if (!InsideWithMargin(r, c)) continue;
      const int score = GridScore(r, loc, c);
      if (score > moveScore) {
        moveScore = score;
        moveTo = dir;
      }
    }
    if (moveTo < 0) break;
    best = {best.x + kDirectionX[moveTo], best.y + kDirectionY[moveTo]};
    bestScore = moveScore;
  }
  return best;
}

// ---- Fourth corner -------------------------------------------------------

Point Add(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }
Point Sub(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }

// p + rnd(12 (p - from) / (d - 12)): from an alignment centre six modules on to
// the corner module, in the direction away from `from`.
Point ExtendBy12(Point p, Point from, int d) {
  return {p.x + RoundedQuotient(12 * int64_t{p.x - from.x}, d - 12),
          p.y + RoundedQuotient(12 * int64_t{p.y - from.y}, d - 12)};
}

bool NearBorder(const Recognizer& r, Point p) {
  return p.x < 2 || p.y < 2 || p.x > r.imageWidth - 3 || p.y > r.imageHeight - 3;
}

// Version 1: walk the corner outwards along the bottom and right edges while
// the lines just outside them still meet dark modules.
Point Version1Corner(Recognizer& r, const QrLocation& loc, Point estimate) {
  const int d = r.symbolDimension;
  const ComponentRecord& corner = r.components[loc.cornerLabel];
  const ComponentRecord& first = r.components[loc.firstLabel];
  const ComponentRecord& second = r.components[loc.secondLabel];
  const Point k = Centroid(r, loc.cornerLabel);
  const Point p = {estimate.x + RoundedQuotient(6 * int64_t{estimate.x - k.x}, d - 10),
                   estimate.y + RoundedQuotient(6 * int64_t{estimate.y - k.y}, d - 10)};

  const Point a = ToPoint(corner.cornerA), b = ToPoint(corner.cornerB);
  // 8/7 of the finder's diagonal past its inner corner: (1024 (B - A) / 7 + 512) >> 7.
  Point q = {b.x + static_cast<int32_t>(((kOne * (b.x - a.x)) / 7 + kHalf) >> 7),
             b.y + static_cast<int32_t>(((kOne * (b.y - a.y)) / 7 + kHalf) >> 7)};
  const Point fa = ToPoint(first.cornerA), sa = ToPoint(second.cornerA);
  const Point f1 = {fa.x + (fa.x - a.x) / d, fa.y + (fa.y - a.y) / d};
  const Point f2 = {sa.x + (sa.x - a.x) / d, sa.y + (sa.y - a.y) / d};
  for (int pass = 0; pass < kEdgeProbePasses; ++pass) {
    const Point q0 = q;
    const Point s1 = {(q0.x - fa.x) / d, (q0.y - fa.y) / d};
    const Point s2 = {(q0.x - sa.x) / d, (q0.y - sa.y) / d};
    bool moved = false;
    const Point t1 = Add(q0, s1);
    if (LineIsClear(r, ToPoint16(t1), ToPoint16(f2)) == 0) {
      if (NearBorder(r, t1)) break;
      q = Add(q, s1);
      moved = true;
    }
    const Point t2 = Add(q0, s2);
    if (LineIsClear(r, ToPoint16(t2), ToPoint16(f1)) == 0) {
      if (NearBorder(r, t2)) break;
      q = Add(q, s2);
      moved = true;
    }
    if (!moved) break;
  }
  const int32_t pk = Distance(p, k), qk = Distance(q, k);
  if (5 * std::abs(pk - qk) > std::min(pk, qk)) q = p;
  return q;
}

// Search radius for the alignment component: a quarter of the symbol's side,
// measured as the longer finder-to-finder distance (about d - 7 modules). The
// squared value is compared with squared distances.
int64_t AlignmentRadiusSquared(const Recognizer& r, const QrLocation& loc) {
  const Point k = Centroid(r, loc.cornerLabel);
  const int32_t side =
      std::max(Distance(k, Centroid(r, loc.firstLabel)), Distance(k, Centroid(r, loc.secondLabel)));
  const int64_t radius = side / 4;
  return radius * radius;
}

int FindAlignmentComponent(Recognizer& r, const QrLocation& loc, Point estimate) {
  const ComponentRecord& corner = r.components[loc.cornerLabel];
  int excluded[6] = {loc.cornerLabel, loc.firstLabel, loc.secondLabel, 0, 0, 0};
  const int finders[3] = {loc.cornerLabel, loc.firstLabel, loc.secondLabel};
  for (int i = 0; i < 3; ++i) {
    const Point c = Centroid(r, finders[i]);
    excluded[3 + i] = Pixel(r, c.x, c.y);
  }
  const int64_t radiusSquared = AlignmentRadiusSquared(r, loc);
  int best = 0;
  int64_t bestDistance = radiusSquared;
  for (int label = 1; label < r.labelCount && label <= kMaxLabel; ++label) {
    const ComponentRecord& c = r.components[label];
    if (c.shapeClass != kShapeUnclassified && c.shapeClass != kShapeCompact &&
        c.shapeClass != kShapeCompactPair) {
      continue;
    }
    if (c.pointCount > corner.pointCount / 2) continue;
    if (std::find(std::begin(excluded), std::end(excluded), label) != std::end(excluded)) continue;
    const int64_t dx = c.centroidX - estimate.x, dy = c.centroidY - estimate.y;
    const int64_t dist = dx * dx + dy * dy;
    if (dist >= bestDistance) continue;
    if (!PassesAlignmentTest(r, label)) continue;
    best = label;
    bestDistance = dist;
  }
  return best;
}

int FourthCorner(Recognizer& r, QrLocation& loc) {
  const int d = r.symbolDimension;
  const Point k = Centroid(r, loc.cornerLabel);
  const Point u = Centroid(r, loc.firstLabel);
  const Point v = Centroid(r, loc.secondLabel);
  // 16-bit sums, as the coordinates they add.
  const int32_t sx = static_cast<int16_t>(u.x + v.x);
  const int32_t sy = static_cast<int16_t>(u.y + v.y);
  const Point estimate = {sx - k.x + RoundedQuotient(3 * int64_t{2 * k.x - sx}, d - 7),
                          sy - k.y + RoundedQuotient(3 * int64_t{2 * k.y - sy}, d - 7)};
  const Point middle = {sx >> 1, sy >> 1};
  Point fourth{};

  if (d < kVersion1Dimension) {
    fourth = Version1Corner(r, loc, estimate);
  } else {
    loc.alignmentSearched = 1;
    const int label = FindAlignmentComponent(r, loc, estimate);
    loc.alignmentLabel = label;
    if (label == 0) {
      if (d >= kVersion7Dimension) {
        const ComponentRecord& corner = r.components[loc.cornerLabel];
        const ComponentRecord& first = r.components[loc.firstLabel];
        const ComponentRecord& second = r.components[loc.secondLabel];
        Point e1 = {(corner.cornerB.x + second.cornerB.x) / 2, (corner.cornerB.y + second.cornerB.y) / 2};
        Point e2 = {(corner.cornerB.x + first.cornerB.x) / 2, (corner.cornerB.y + first.cornerB.y) / 2};
        Point e3 = middle;
        if (!RefineAlignment(r, e1) || !RefineAlignment(r, e2) || !RefineAlignment(r, e3)) {
          return Miss(r, Failure::kQrAlignment);
        }
        const Point e4 = Sub(Add(e3, e3), e1);
        const Point e5 = Sub(Add(e3, e3), e2);
        const Point a = Sub(Add(e5, e4), e3);
        fourth = ExtendBy12(a, e3, d);
        if (!InsideWithMargin(r, fourth) || !InImage(r, a.x, a.y)) {
          return Miss(r, Failure::kQrFourthCorner);
        }
        loc.alignmentLabel = Pixel(r, a.x, a.y);
        if (loc.alignmentLabel >= 1 && loc.alignmentLabel <= kMaxLabel) {
          Record(r, loc.alignmentLabel).centroidX = static_cast<int16_t>(a.x);
          Record(r, loc.alignmentLabel).centroidY = static_cast<int16_t>(a.y);
        }
      } else {
        Point e = estimate;
        if (!InImage(r, e.x, e.y) || !RefineAlignment(r, e)) return Miss(r, Failure::kQrAlignment);
        loc.alignmentLabel = Pixel(r, e.x, e.y);
        fourth = ExtendBy12(e, middle, d);
      }
    } else if (d >= kVersion7Dimension) {
      // The central alignment pattern gives the direction; without it the
      // estimate of the centre serves.
      Point m = middle;
      if (InImage(r, m.x, m.y) && !RefineAlignment(r, m)) m = middle;
      fourth = ExtendBy12(Centroid(r, label), m, d);
    } else {
      Point c = Centroid(r, label);
      if (RefineAlignment(r, c)) {
        Record(r, label).centroidX = static_cast<int16_t>(c.x);
        Record(r, label).centroidY = static_cast<int16_t>(c.y);
      }
      fourth = ExtendBy12(c, middle, d);
    }
    if (loc.alignmentLabel >= 1 && loc.alignmentLabel <= kMaxLabel) {
      fourth = ScoreSearch(r, loc, Centroid(r, loc.alignmentLabel));
    }
  }
  if (!InsideWithMargin(r, fourth)) return Miss(r, Failure::kQrFourthCorner);
  loc.fourthX = fourth.x;
  loc.fourthY = fourth.y;
  return 1;
}

// ---- Mapping through the pattern centres ---------------------------------

// Module space to image by bilinear interpolation between four points:
// x = a + b u + c v + e u v, y likewise. A keystone that keeps its rows evenly
// spaced (paper bent over an edge, a lens) is bilinear rather than projective.
struct Bilinear {
  double x[4], y[4];  // a, b, c, e for each coordinate
};

// Solves the 4 x 4 system of one coordinate; false when degenerate.
bool SolveBilinearAxis(const double from[4][2], const double values[4], double (&out)[4]) {
  double m[4][5];
  for (int k = 0; k < 4; ++k) {
    const double u = from[k][0], v = from[k][1];
    const double row[5] = {1, u, v, u * v, values[k]};
    std::copy(row, row + 5, m[k]);
  }
  return SolveLinear(m, out);
}

bool SolveBilinear(const double from[4][2], const double to[4][2], Bilinear& out) {
  const double xs[4] = {to[0][0], to[1][0], to[2][0], to[3][0]};
  const double ys[4] = {to[0][1], to[1][1], to[2][1], to[3][1]};
  return SolveBilinearAxis(from, xs, out.x) && SolveBilinearAxis(from, ys, out.y);
}

bool MapThrough(const Bilinear& map, double u, double v, double& x, double& y) {
  x = map.x[0] + map.x[1] * u + map.x[2] * v + map.x[3] * u * v;
  y = map.y[0] + map.y[1] * u + map.y[2] * v + map.y[3] * u * v;
  return true;
}

// Samples every module centre through `map`; false when one falls outside the
// image or the mapping breaks down.
template <typename Map>
bool SampleThrough(Recognizer& r, const Map& map, int d) {
  r.matrix.Clear();
  for (int i = 0; i < d; ++i) {
    for (int j = 0; j < d; ++j) {
      double x = 0, y = 0;
      if (!MapThrough(map, j + 0.5, i + 0.5, x, y)) return false;
      if (!(x >= 0 && y >= 0 && x < r.imageWidth && y < r.imageHeight)) return false;
      r.matrix.Set(i, j, IsDark(r.image()[static_cast<size_t>(y) * r.imageWidth + static_cast<size_t>(x)]));
    }
  }
  return true;
}

struct Centre {
  double x, y;
};

// The centre of a finder: the mean position of the pixels of its ring and of
// its core within reach of the centroid, to a fraction of a pixel. The traced
// centroid is whole pixels of the outline only.
Centre PatternCentre(const Recognizer& r, int label) {
  const ComponentRecord& rec = r.components[label];
  const Point c = Centroid(r, label);
  const Centre fallback = {c.x + 0.5, c.y + 0.5};
  if (!InImage(r, c.x, c.y)) return fallback;
  const int core = Pixel(r, c.x, c.y);
  const int reach = std::clamp(rec.diagonal / 2 + 2, 2, 200);
  const int x0 = std::max(0, c.x - reach), x1 = std::min(r.imageWidth - 1, c.x + reach);
  const int y0 = std::max(0, c.y - reach), y1 = std::min(r.imageHeight - 1, c.y + reach);
  int64_t n = 0, sx = 0, sy = 0;
  for (int y = y0; y <= y1; ++y) {
    const uint8_t* row = r.image() + static_cast<size_t>(y) * r.imageWidth;
    for (int x = x0; x <= x1; ++x) {
      if (row[x] == label || (row[x] == core && IsDark(row[x]))) {
        ++n;
        sx += x;
        sy += y;
      }
    }
  }
  if (n == 0) return fallback;
  return {static_cast<double>(sx) / n + 0.5, static_cast<double>(sy) / n + 0.5};
}

// From `from` along `step` (a fraction of a module, in pixels): past the dark
// core, the light gap and the dark ring to the first light beyond it; the
// distance in steps, or -1 when the pattern is not there within `limit` steps.
int RingEdge(const Recognizer& r, Centre from, Centre step, int limit) {
  int phase = 0;  // 0 core, 1 gap, 2 ring
  for (int t = 0; t <= limit; ++t) {
    const bool dark = DarkAt(r, from.x + t * step.x, from.y + t * step.y);
    if (phase == 0 && !dark) {
      phase = 1;
    } else if (phase == 1 && dark) {
      phase = 2;
    } else if (phase == 2 && !dark) {
      return t;
    }
  }
  return -1;
}

// Moves a finder's centre to the middle of its outer edges along both module
// axes (each given as one module's step in pixels), twice; the centre of mass
// leans towards whatever noise or a neighbouring module joined the ring.
Centre RefineFinderCentre(const Recognizer& r, Centre c, Centre axisX, Centre axisY) {
  constexpr int kStepsPerModule = 8;
  constexpr int kLimit = 6 * kStepsPerModule;  // the ring's outer edge lies 3.5 modules out
  for (int pass = 0; pass < 2; ++pass) {
    for (const Centre& axis : {axisX, axisY}) {
      const Centre step = {axis.x / kStepsPerModule, axis.y / kStepsPerModule};
      const int ahead = RingEdge(r, c, step, kLimit);
      const int behind = RingEdge(r, c, {-step.x, -step.y}, kLimit);
      if (ahead < 0 || behind < 0) continue;
      const double shift = (ahead - behind) / 2.0;
      c = {c.x + shift * step.x, c.y + shift * step.y};
    }
  }
  return c;
}

// Where the bottom-right alignment pattern best matches its 5 x 5 modules (dark
// outer ring, light inner ring, dark centre) near `estimate`, the module steps
// taken from the finders. The score counts matching modules; ties go to the
// point nearest the estimate.
Centre SearchAlignment(const Recognizer& r, Centre estimate, Centre stepX, Centre stepY,
                       int& bestScore) {
  const double module = std::sqrt(std::max(stepX.x * stepX.x + stepX.y * stepX.y,
                                           stepY.x * stepY.x + stepY.y * stepY.y));
  const int radius = std::clamp(static_cast<int>(3 * module + 0.5), 2, 60);
  const int step = std::max(1, static_cast<int>(module / 3));
  constexpr int kModules = 25;
  // The trial points lie whole pixels from the estimate, so each module's
  // pixel is its pixel for the estimate moved by the same whole pixels: the
  // 25 pixels are found once, and a trial point whose modules all fall inside
  // the image reads them without a test each.
  struct Module {
    int x, y;
    bool dark;
  };
  // A coordinate far outside the image (or none at all) becomes one that no
  // trial point brings back in (the radius is at most 60).
  const auto pixel = [](double v) {
    constexpr double kFar = 1 << 20;
    return v >= -kFar && v <= kFar ? static_cast<int>(std::floor(v)) : -static_cast<int>(kFar);
  };
  Module modules[kModules];
  int minX = std::numeric_limits<int>::max(), maxX = std::numeric_limits<int>::min();
  int minY = minX, maxY = maxX;
  for (int b = -2, k = 0; b <= 2; ++b) {
    for (int a = -2; a <= 2; ++a, ++k) {
      modules[k] = {pixel(estimate.x + a * stepX.x + b * stepY.x),
                    pixel(estimate.y + a * stepX.y + b * stepY.y), std::max(std::abs(a), std::abs(b)) != 1};
      minX = std::min(minX, modules[k].x);
      maxX = std::max(maxX, modules[k].x);
      minY = std::min(minY, modules[k].y);
      maxY = std::max(maxY, modules[k].y);
    }
  }
  const uint8_t* image = r.image();
  const int width = r.imageWidth, height = r.imageHeight;
  Centre best = estimate;
  bestScore = -1;
  double bestDistance = 0;
  for (int dy = -radius; dy <= radius; dy += step) {
    for (int dx = -radius; dx <= radius; dx += step) {
      const double distance = double(dx) * dx + double(dy) * dy;
      // The score this point must reach to win; a point stops being sampled
      // once the modules left cannot get it there, which most points far from
      // the pattern reach after a few modules.
      const int needed = bestScore < 0 ? 0 : distance < bestDistance ? bestScore : bestScore + 1;
      const bool inside = minX + dx >= 0 && maxX + dx < width && minY + dy >= 0 && maxY + dy < height;
      int score = 0, left = kModules;
      for (int k = 0; k < kModules && score + left >= needed; ++k) {
        const int x = modules[k].x + dx, y = modules[k].y + dy;
        const bool dark = (inside || (x >= 0 && y >= 0 && x < width && y < height)) &&
                          IsDark(image[static_cast<size_t>(y) * width + x]);
        score += dark == modules[k].dark ? 1 : 0;
        --left;
      }
      if (left == 0 && score >= needed &&
          (score > bestScore || (score == bestScore && distance < bestDistance))) {
        bestScore = score;
        bestDistance = distance;
        best = {estimate.x + dx, estimate.y + dy};
      }
    }
  }
  return best;
}

// A homography fitted to the centres of the three finders and to the middles
// of their outer edges along both module axes (up to 15 points). Under strong
// perspective the finders' own sizes say how the grid shrinks towards the far
// corner, which no parallelogram of the centres can, and a version 1 symbol
// has no alignment pattern to say it. The axes start as the centres' average
// and are then taken from the first fit at each finder.
bool FitToFinders(const Recognizer& r, const Centre centres[3], const double at[3][2],
                  Homography& map) {
  constexpr int kStepsPerModule = 8;
  constexpr int kLimit = 6 * kStepsPerModule;
  constexpr double kHalfFinder = 3.5;  // modules from a finder's centre to its outer edge
  constexpr int kMostPoints = 15;
  const int d = static_cast<int>(at[1][0] + at[0][0] + 0.5);  // far + near = d
  Centre axes[3][2];
  for (int i = 0; i < 3; ++i) {
    axes[i][0] = {(centres[1].x - centres[0].x) / (d - 7), (centres[1].y - centres[0].y) / (d - 7)};
    axes[i][1] = {(centres[2].x - centres[0].x) / (d - 7), (centres[2].y - centres[0].y) / (d - 7)};
  }
  for (int pass = 0; pass < 2; ++pass) {
    double from[kMostPoints][2], to[kMostPoints][2];
    int count = 0;
    const auto add = [&](double u, double v, Centre p) {
      from[count][0] = u;
      from[count][1] = v;
      to[count][0] = p.x;
      to[count][1] = p.y;
      ++count;
    };
    for (int i = 0; i < 3; ++i) {
      const Centre c = centres[i];
      add(at[i][0], at[i][1], c);
      for (int a = 0; a < 2; ++a) {
        const Centre step = {axes[i][a].x / kStepsPerModule, axes[i][a].y / kStepsPerModule};
        const int ahead = RingEdge(r, c, step, kLimit);
        const int behind = RingEdge(r, c, {-step.x, -step.y}, kLimit);
        const double du = a == 0 ? kHalfFinder : 0, dv = a == 0 ? 0 : kHalfFinder;
        if (ahead > 0) add(at[i][0] + du, at[i][1] + dv, {c.x + (ahead - 0.5) * step.x, c.y + (ahead - 0.5) * step.y});
        if (behind > 0) add(at[i][0] - du, at[i][1] - dv, {c.x - (behind - 0.5) * step.x, c.y - (behind - 0.5) * step.y});
      }
    }
    if (!FitHomography(from, to, count, map)) return false;
    // The fitted mapping's own module steps at each finder for the next pass.
    for (int i = 0; i < 3; ++i) {
      double x0 = 0, y0 = 0, x1 = 0, y1 = 0, x2 = 0, y2 = 0;
      if (!MapThrough(map, at[i][0], at[i][1], x0, y0) || !MapThrough(map, at[i][0] + 1, at[i][1], x1, y1) ||
          !MapThrough(map, at[i][0], at[i][1] + 1, x2, y2)) {
        return false;
      }
      axes[i][0] = {x1 - x0, y1 - y0};
      axes[i][1] = {x2 - x0, y2 - y0};
    }
  }
  return true;
}

// A second reading of a located symbol whose corner-based grid did not decode:
// the grid through the centres of the three finders and of the bottom-right
// alignment pattern (searched for near where the finders put it, or the
// component the locator took for it), else of the parallelogram the finders
// span. Centres average a whole pattern, so blur and a threshold that swells or
// thins the dark barely move them, where an outer corner pixel moves with both.
// Read at size d from the finders' pattern centres (corner, first, second);
// `otherSize` when d is not the size the locator counted.
int DecodeFromCentresAt(Recognizer& r, const QrLocation& loc, const QrLocatorHooks& hooks, int d,
                        const Centre (&patternCentres)[3], bool otherSize = false) {
  if (d < 21 || d > ModuleMatrix::kSize) return 0;
  r.symbolDimension = d;
  Centre k = patternCentres[0];
  Centre u = patternCentres[1];
  Centre v = patternCentres[2];
  {
    const Centre axisX = {(u.x - k.x) / (d - 7), (u.y - k.y) / (d - 7)};
    const Centre axisY = {(v.x - k.x) / (d - 7), (v.y - k.y) / (d - 7)};
    k = RefineFinderCentre(r, k, axisX, axisY);
    u = RefineFinderCentre(r, u, axisX, axisY);
    v = RefineFinderCentre(r, v, axisX, axisY);
  }
  const double near = 3.5, far = d - 3.5;
  const auto decode = [&]() {
    std::memset(r.decodedText, 0, sizeof r.decodedText);
    std::memset(r.secondString, 0, sizeof r.secondString);
    return hooks.decode(r, loc, hooks.context) != 0;
  };
  // First the mapping that the finders' shapes imply on their own. It reads
  // half of what this function reads, before the alignment search costs
  // anything.
  {
    const Centre centres[3] = {k, u, v};
    const double at[3][2] = {{near, near}, {far, near}, {near, far}};
    Homography fitted{};
    if (FitToFinders(r, centres, at, fitted) && SampleThrough(r, fitted, d) && decode()) return 1;
  }
  double from[4][2] = {{near, near}, {far, near}, {near, far}, {0, 0}};
  double to[4][2] = {{k.x, k.y}, {u.x, u.y}, {v.x, v.y}, {0, 0}};
  constexpr int kMostOptions = 3;
  Centre fourth[kMostOptions];
  double fourthModule[kMostOptions];
  int options = 0;
  if (d >= kVersion1Dimension) {
    // Module steps and the alignment centre (module d - 7) from the finders alone.
    const Centre stepX = {(u.x - k.x) / (d - 7), (u.y - k.y) / (d - 7)};
    const Centre stepY = {(v.x - k.x) / (d - 7), (v.y - k.y) / (d - 7)};
    const double reach = d - 10;  // modules from the corner finder's centre
    const Centre estimate = {k.x + reach * (stepX.x + stepY.x), k.y + reach * (stepX.y + stepY.y)};
    int score = 0;
    const Centre found = SearchAlignment(r, estimate, stepX, stepY, score);
    if (score >= kAlignmentScoreNeeded) {
      fourth[options] = found;
      fourthModule[options++] = d - 6.5;
    }
    // The locator took that component for the alignment pattern of the
    // counted size, not of another.
    if (!otherSize && loc.alignmentLabel >= 1 && loc.alignmentLabel <= kMaxLabel) {
      const Point a = Centroid(r, loc.alignmentLabel);
      fourth[options] = {a.x + 0.5, a.y + 0.5};
      fourthModule[options++] = d - 6.5;
    }
  }
  // The parallelogram's fourth finder centre, when there is no alignment
  // pattern to go by: it ignores the perspective that the fitted mapping and
  // the alignment centre follow, and read nothing they missed.
  if (options == 0) {
    fourth[options] = {u.x + v.x - k.x, u.y + v.y - k.y};
    fourthModule[options++] = far;
  }
  // Projective first, as a camera sees flat paper; then bilinear, which for
  // another size than the counted one read nothing more on the corpus.
  for (int bilinear = 0; bilinear < (otherSize ? 1 : 2); ++bilinear) {
    for (int o = 0; o < options; ++o) {
      from[3][0] = from[3][1] = fourthModule[o];
      to[3][0] = fourth[o].x;
      to[3][1] = fourth[o].y;
      if (bilinear == 0) {
        Homography map{};
        if (SolveHomography(from, to, map) && SampleThrough(r, map, d) && decode()) return 1;
      } else {
        Bilinear map{};
        if (SolveBilinear(from, to, map) && SampleThrough(r, map, d) && decode()) return 1;
      }
    }
  }
  return 0;
}

// The size a symbol's finders suggest, for when its timing count gave one that
// did not read: the spacing of the finder centres in modules, the module taken
// from how far the finders' rings reach (3.5 modules from each centre),
// rounded to the nearest size of the form 4n + 1; 0 for none. At a pixel or
// two per module a timing line drifts off its row and miscounts, where the
// whole finders still give the size.
int DimensionFromFinders(const Recognizer& r, const Centre (&c)[3]) {
  const double across = std::hypot(c[1].x - c[0].x, c[1].y - c[0].y);
  const double down = std::hypot(c[2].x - c[0].x, c[2].y - c[0].y);
  if (!(across > 0 && down > 0)) return 0;
  constexpr int kStepsPerPixel = 8;
  const Centre axes[2] = {{(c[1].x - c[0].x) / across, (c[1].y - c[0].y) / across},
                          {(c[2].x - c[0].x) / down, (c[2].y - c[0].y) / down}};
  // A ring lies well within half the spacing of two finders.
  const int limit = static_cast<int>(std::min(across, down) / 2 * kStepsPerPixel);
  double reach = 0;
  int measured = 0;
  for (const Centre& centre : c) {
    for (const Centre& axis : axes) {
      for (const double sign : {1.0, -1.0}) {
        const Centre step = {sign * axis.x / kStepsPerPixel, sign * axis.y / kStepsPerPixel};
        const int edge = RingEdge(r, centre, step, limit);
        if (edge > 0) {
          reach += (edge - 0.5) / kStepsPerPixel;
          ++measured;
        }
      }
    }
  }
  // Most of the twelve edges, or the rings are not there to measure.
  if (measured < 6) return 0;
  const double module = reach / measured / 3.5;
  const double size = (across + down) / 2 / module + 7;
  if (!(size >= 19 && size <= kQrMaxDimension + 2)) return 0;
  return std::clamp(21 + 4 * static_cast<int>(std::lround((size - 21) / 4)), 21, kQrMaxDimension);
}

// The grid through the centres at the counted size, then at the size the
// finders give; the counted size stays when neither reads.
int DecodeFromCentres(Recognizer& r, const QrLocation& loc, const QrLocatorHooks& hooks) {
  const int counted = r.symbolDimension;
  const Centre centres[3] = {PatternCentre(r, loc.cornerLabel), PatternCentre(r, loc.firstLabel),
                             PatternCentre(r, loc.secondLabel)};
  if (DecodeFromCentresAt(r, loc, hooks, counted, centres)) return 1;
  const int d = DimensionFromFinders(r, centres);
  if (d != 0 && d != counted && DecodeFromCentresAt(r, loc, hooks, d, centres, true)) return 1;
  r.symbolDimension = counted;
  return 0;
}

// ---- Decode --------------------------------------------------------------

// The decoder's working state lives in the contour buffer, which is free once
// the corners have been taken.
QrDecoder& DecoderState(Recognizer& r) {
  static_assert(sizeof(QrDecoder) <= sizeof(r.contour));
  static_assert(alignof(QrDecoder) <= alignof(Recognizer));
  static_assert(offsetof(Recognizer, contour) % alignof(QrDecoder) == 0);
  return *new (static_cast<void*>(r.contour)) QrDecoder;
}

bool StartsWithPe(const uint8_t* text, int length) {
  return length >= 3 && (text[0] == 'P' || text[0] == 'p') && (text[1] == 'E' || text[1] == 'e') &&
         text[2] == ':';
}

}  // namespace

int QrDimensionFromCount(int count) {
  // 70 would round to 69, but no version-13 timing line gives more than 69
  // changes: such a count comes from noise, not from a symbol this reader takes.
  if (count < 19 || count > kQrMaxDimension) return 0;
  int d = 21;
  if (count > 20) d = (count - 21) % 4 == 0 ? count : ((count - 19) & ~3) + 21;
  return d > kQrMaxDimension ? 0 : d;
}

int FindQrFinders(Recognizer& r, QrLocation& loc) {
  r.finderCandidates = 0;
  if (r.holeCount < 3 || r.labelCount < 7) return Miss(r, Failure::kQrFinderCount);
  int candidates[3];
  int found = 0;
  const int holes = std::min(r.holeCount, kHoleCapacity);
  for (int i = 0; i < holes; ++i) {
    const HoleEntry& h = r.holes[i];
    if (h.count != 1 || h.label < 1 || h.label > kMaxLabel) continue;
    if (!PassesFinderTest(r, h.label)) continue;
    if (found == 3) {
      r.finderCandidates = 4;
      return Miss(r, Failure::kQrFinderCount);  // exactly three are required
    }
    candidates[found++] = h.label;
  }
  r.finderCandidates = found;
  if (found != 3) return Miss(r, Failure::kQrFinderCount);
  OrderFinders(r, candidates, loc);

  const Point c = Centroid(r, loc.cornerLabel);
  const Point u = Centroid(r, loc.firstLabel);
  const Point v = Centroid(r, loc.secondLabel);
  ExtractCorners(r, loc.firstLabel, v);
  ExtractCorners(r, loc.secondLabel, u);
  ExtractCorners(r, loc.cornerLabel, {(u.x + v.x) / 2, (u.y + v.y) / 2});
  (void)c;
  return 1;
}

int FindQrDimensionAndFourthCorner(Recognizer& r, QrLocation& loc) {
  const Point16 cornerB = r.components[loc.cornerLabel].cornerB;
  const int c1 = CountTransitions(r, cornerB, r.components[loc.secondLabel].cornerB, kTimingStart);
  const int c2 = CountTransitions(r, cornerB, r.components[loc.firstLabel].cornerB, kTimingStart);
  const int d = QrDimensionFromCount(std::max(c1, c2));
  if (d == 0) return Miss(r, Failure::kQrDimension);
  r.symbolDimension = d;
  return FourthCorner(r, loc);
}

int SampleQrGrid(Recognizer& r, const QrLocation& loc, int dx, int dy) {
  SampleCorners corners;
  corners.points[0] = r.components[loc.cornerLabel].cornerA;
  corners.points[1] = r.components[loc.firstLabel].cornerA;
  corners.points[2] = r.components[loc.secondLabel].cornerA;
  corners.points[3] = ToPoint16({loc.fourthX + dx, loc.fourthY + dy});
  for (const Point16& p : corners.points) {
    if (p.x < 1 || p.y < 1 || p.x > r.imageWidth - 2 || p.y > r.imageHeight - 2) {
      return Miss(r, Failure::kQrSampling);
    }
  }
  r.matrix.Clear();
  return SampleGrid(r, corners, r.symbolDimension - 1);
}

int DecodeQrMatrix(Recognizer& r, const QrLocation&, void*) {
  QrDecoder& decoder = DecoderState(r);
  if (!QrDecodeGrid(decoder, r.matrix, r.symbolDimension, r.decodedText, r.secondString)) {
    return Miss(r, decoder.failure);
  }
  r.textFlag = kCharsetGuess;
  r.decodedLength = decoder.textLength;
  if (r.secondString[0] == 0) return r.decodedLength > 0 ? 1 : Miss(r, Failure::kEmptyText);
  if (std::strcmp(reinterpret_cast<const char*>(r.secondString), "CMCC:") == 0) {
    std::memset(r.secondString, 0, sizeof r.secondString);
    r.textFlag = kCharsetGb2312;
    return r.decodedLength > 0 ? 1 : Miss(r, Failure::kEmptyText);
  }
  return 1;
}

int32_t QrPreliminaryKind(QrTextBuffers& b) {
  uint8_t* text = b.text;
  if (b.secondString[0] != 0) return kKindSplitPart;
  if (StartsWithPe(text, b.length)) {
    // Enciphered content: "PE:", a check byte, then the payload. The check byte
    // and the payload length go to the second string; the payload moves to the
    // front of the text.
    b.secondString[2] = b.length > 3 ? text[3] : 0;
    const int payload = std::max(0, b.length - 4);
    std::memmove(text, text + 4, kDecodedTextBytes - 4);
    std::memset(text + kDecodedTextBytes - 4, 0, 4);
    int digits = 0;
    int value = payload;
    do {
      b.secondString[4 + digits++] = static_cast<uint8_t>(value & 0x7F);
      value >>= 7;
    } while (value > 0);
    b.secondString[3] = static_cast<uint8_t>(digits);
    b.length = payload;
    return kKindEncrypted;
  }
  // The look covers the text that classification reads, which ends at its first
  // zero byte: an at sign beyond it must not make the text an address.
  const int length = static_cast<int>(
      std::find(text, text + std::clamp(b.length, 0, kDecodedTextBytes), 0) - text);
  if (length < 2) return kKindText;
  bool at = false;
  for (int i = 1; i < length; ++i) {
    const uint8_t c = text[i];
    if (c == ':' || c == ';' || c == ' ' || c >= 0x80) return kKindQrSeparated;
    if (c == '@') at = true;
  }
  return at ? kKindQrAddress : kKindText;
}

void SetQrContentKind(Recognizer& r) {
  QrTextBuffers buffers{r.decodedText, r.secondString, r.decodedLength};
  r.contentKind = QrPreliminaryKind(buffers);
  r.decodedLength = buffers.length;
}

int LocateQrCodeWith(Recognizer& r, QrLocation& loc, const QrLocatorHooks& hooks) {
  if (!LockPermits(r, kLockQr)) return Miss(r, Failure::kLocked);
  r.lockedKind = kLockNone;
  loc = QrLocation{};
  loc.decodeAttempt = -1;
  if (!FindQrFinders(r, loc)) return 0;
  {
    // The three outer corners and the parallelogram's fourth.
    const Point16 k = r.components[loc.cornerLabel].cornerA;
    const Point16 u = r.components[loc.firstLabel].cornerA;
    const Point16 v = r.components[loc.secondLabel].cornerA;
    const Point16 corners[4] = {k, u, v, ToPoint16({u.x + v.x - k.x, u.y + v.y - k.y})};
    NoteLocated(r, kMaskQr, corners);
  }
  if (!FindQrDimensionAndFourthCorner(r, loc)) return 0;
  if (!SampleQrGrid(r, loc, 0, 0)) return 0;
  r.lockedKind = kLockQr;
  r.decodeSummary = DecodeSummary{};

  std::memset(r.decodedText, 0, sizeof r.decodedText);
  std::memset(r.secondString, 0, sizeof r.secondString);
  loc.shiftX = 0;
  loc.shiftY = 0;
  if (hooks.decode(r, loc, hooks.context)) {
    loc.decodeAttempt = 0;
  } else if (r.extraReadings != 0) {
    // With the extra readings the centres take the place of the shifted
    // corners: on photos and camera-like frames they read all but a handful
    // of the symbols that the shifts read, and those the still reader's other
    // views read too, while each shift costs a whole sampling and correction
    // (two, with the mirrored grid) on every symbol that stays unread.
    if (!DecodeFromCentres(r, loc, hooks)) return 0;
    loc.decodeAttempt = kCentreAttempt;
  } else {
    // The fourth corner is the least certain: try it one pixel away in each
    // direction, each from the unshifted point.
    for (int dir = 0; dir < 8 && loc.decodeAttempt < 0; ++dir) {
      loc.shiftX = kDirectionX[dir];
      loc.shiftY = kDirectionY[dir];
      if (!SampleQrGrid(r, loc, loc.shiftX, loc.shiftY)) break;
      std::memset(r.decodedText, 0, sizeof r.decodedText);
      std::memset(r.secondString, 0, sizeof r.secondString);
      if (hooks.decode(r, loc, hooks.context)) loc.decodeAttempt = dir + 1;
    }
    if (loc.decodeAttempt < 0) return 0;
  }
  SetQrContentKind(r);
  r.FillDecodeSummary();
  return 1;
}

int LocateQrCode(Recognizer& r) {
  QrLocation location;
  return LocateQrCodeWith(r, location, kQrDefaultHooks);
}

}  // namespace cordavex
