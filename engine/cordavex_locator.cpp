// The Cordavex code locator: the finder column (two bar pairs and the ring
// below them), the four corner marks of the matrix, the layout version, the
// dimension from the left column, sampling and the hand-over to the payload
// decoders.
//
// The symbol as drawn: two parallel one-module bars two modules apart, split in
// the middle, a 3 x 3 ring below the lower pair, one light column, then the
// S x S matrix with an L-shaped mark at each corner and timing runs down its
// left column.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "decode/cv_decoder.h"
#include "engine/cv_locator.h"
#include "engine/geometry.h"
#include "engine/label.h"
#include "engine/locators.h"

namespace cordavex {
namespace {

constexpr int kListSlots = kContourCapacity * 2;  // 16-bit slots of the contour buffer
constexpr int kMaxListed = 5000;
constexpr uint16_t kNoPartner = 32767;
constexpr int kMaxPairs = kMaxLabel / 2 + 1;
constexpr int kMarkPointLimit = 64;   // an older-layout corner mark is small
constexpr int kFarScore = 32767;

Point Add(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }
Point Sub(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }
int64_t Dot(Point a, Point b) { return int64_t{a.x} * b.x + int64_t{a.y} * b.y; }
int64_t Norm2(Point a) { return Dot(a, a); }
// d * num / den rounded to the nearest integer, halves away from zero (den > 0).
int32_t RoundedShare(int32_t d, int64_t num, int64_t den) {
  const int64_t twice = 2 * int64_t{d} * num;
  return static_cast<int32_t>((twice + (twice >= 0 ? den : -den)) / (2 * den));
}

Point Centroid(const Recognizer& r, int label) {
  return {r.components[label].centroidX, r.components[label].centroidY};
}

bool InImage(const Recognizer& r, Point p) {
  return p.x >= 0 && p.y >= 0 && p.x < r.imageWidth && p.y < r.imageHeight;
}

int LabelAt(const Recognizer& r, Point p) {
  if (!InImage(r, p)) return 0;
  const uint8_t v = r.image()[p.y * r.imageWidth + p.x];
  return IsDark(v) ? v : 0;
}

bool ValidLabel(const Recognizer& r, int label) {
  return label >= 1 && label <= kMaxLabel && label < r.labelCount;
}

uint16_t* Slots(Recognizer& r) { return reinterpret_cast<uint16_t*>(r.contour); }

int Miss(Recognizer& r, int32_t version, Failure why) {
  return MissAs(r, version == kCvVersionOlder ? Symbology::kCordavex2 : Symbology::kCordavex3, why);
}

// ---- Grouping -----------------------------------------------------------

// The smallest distance between an end of one bar and an end of the other.
int32_t EndDistance(const Recognizer& r, int a, int b) {
  const ComponentRecord& p = r.components[a];
  const ComponentRecord& q = r.components[b];
  const Point pe[2] = {ToPoint(p.cornerA), ToPoint(p.cornerB)};
  const Point qe[2] = {ToPoint(q.cornerA), ToPoint(q.cornerB)};
  int32_t best = INT32_MAX;
  for (const Point& x : pe) {
    for (const Point& y : qe) best = std::min(best, Distance(x, y));
  }
  return best;
}

// ---- Component lookups --------------------------------------------------

bool Excluded(int label, std::span<const int32_t> exclude) {
  return std::find(exclude.begin(), exclude.end(), label) != exclude.end();
}

// The component at a point, else the labelled component met at the distances
// `reach` down to 1 pixel in the 8 directions whose centroid lies nearest to
// the point. 0 when none.
int LookupNear(const Recognizer& r, Point p, int reach, std::span<const int32_t> exclude) {
  const int here = LabelAt(r, p);
  if (here != 0 && ValidLabel(r, here) && !Excluded(here, exclude)) return here;
  int best = 0;
  int32_t bestDistance = INT32_MAX;
  for (int distance = reach; distance >= 1; --distance) {
    for (int d = 0; d < 8; ++d) {
      const Point q{p.x + distance * kDirectionX[d], p.y + distance * kDirectionY[d]};
      const int label = LabelAt(r, q);
      if (label == 0 || !ValidLabel(r, label) || Excluded(label, exclude)) continue;
      const int32_t dist = Distance(Centroid(r, label), p);
      if (dist < bestDistance) {
        best = label;
        bestDistance = dist;
      }
    }
  }
  return best;
}

// The lookup of a small corner mark: accepted only when it is small and
// compact (or too small to be classified at all).
int LookupMark(const Recognizer& r, Point p, int reach, std::span<const int32_t> exclude) {
  const int label = LookupNear(r, p, reach, exclude);
  if (label == 0) return 0;
  const ComponentRecord& c = r.components[label];
  if (c.pointCount > kMarkPointLimit) return 0;
  if (c.shapeClass != kShapeCompactPair && c.shapeClass >= 3) return 0;
  return label;
}

// The wider lookup of the older layout's last corner mark: a large or
// elongated component at the point itself, else among the components met in
// the 8 directions at 14 down to 1 pixel with a class of 2 or more, the one
// whose centroid is nearest to the probed point; a hit nearer in replaces one
// farther out.
int LookupWide(const Recognizer& r, Point p, std::span<const int32_t> exclude) {
  const int here = LabelAt(r, p);
  if (here != 0 && ValidLabel(r, here) && !Excluded(here, exclude) &&
      r.components[here].shapeClass >= 3) {
    return here;
  }
  int best = 0;
  for (int distance = 14; distance >= 1; --distance) {
    int ring = 0;
    int32_t ringDistance = INT32_MAX;
    for (int d = 0; d < 8; ++d) {
      const Point q{p.x + distance * kDirectionX[d], p.y + distance * kDirectionY[d]};
      const int label = LabelAt(r, q);
      if (label == 0 || !ValidLabel(r, label) || Excluded(label, exclude)) continue;
      if (r.components[label].shapeClass < 2) continue;
      const int32_t dist = Distance(Centroid(r, label), q);
      if (dist < ringDistance) {
        ring = label;
        ringDistance = dist;
      }
    }
    if (ring != 0) best = ring;
  }
  return best;
}

// ---- Corner marks -------------------------------------------------------

struct MarkerList {
  uint8_t labels[kMaxLabel + 1];
  int count;
};

// The listed square marker nearest to any of the points, other than those
// excluded; `which` receives the index of the nearest point.
int NearestMarker(const Recognizer& r, const MarkerList& markers, std::span<const Point> points,
                  std::span<const int32_t> exclude, int& which) {
  int best = 0;
  int32_t bestScore = kFarScore;
  for (int i = 0; i < markers.count; ++i) {
    const int label = markers.labels[i];
    if (Excluded(label, exclude)) continue;
    const Point c = Centroid(r, label);
    for (size_t k = 0; k < points.size(); ++k) {
      const int32_t d = Distance(c, points[k]);
      if (d < bestScore) {
        bestScore = d;
        best = label;
        which = static_cast<int>(k);
      }
    }
  }
  return best;
}

// The outer corner of a corner mark: its outline is traced again (from the
// first of its pixels met walking from the centroid away from the reference)
// and the contour point farthest from the reference, nudged towards the dark,
// becomes cornerA. Returns 0 when the mark cannot be reached.
int OuterCorner(Recognizer& r, int label, Point reference) {
  ComponentRecord& rec = r.components[label];
  const Point c = Centroid(r, label);
  const Point away = Sub(c, reference);
  const int32_t steps = std::max(std::abs(away.x), std::abs(away.y));
  if (steps == 0) return 0;
  // Walk from the centroid away from the reference until the mark is met.
  Point hit{-1, -1};
  for (int k = 0; k <= steps; ++k) {
    const Point q{c.x + static_cast<int32_t>((int64_t{k} * away.x) / steps),
                  c.y + static_cast<int32_t>((int64_t{k} * away.y) / steps)};
    if (!InImage(r, q)) break;
    if (LabelAt(r, q) == label) {
      hit = q;
      break;
    }
  }
  if (hit.x < 0) return 0;
  // The last pixel of its run to the right has a light east neighbour, where
  // the tracer starts.
  while (hit.x + 1 < r.imageWidth && LabelAt(r, {hit.x + 1, hit.y}) == label) ++hit.x;
  ComponentRecord scratch{};
  if (!TraceContour(r, &scratch, hit.y, hit.x, label, 0, 2)) return 0;
  const int count = std::min(scratch.pointCount, kContourCapacity);
  if (count <= 0) return 0;
  const ExtremeIndices ext =
      ExtremeContourPoints({r.contour, static_cast<size_t>(count)}, ToPoint16(reference));
  rec.cornerA = r.contour[ext.farthest];
  NudgeTowardsDark(r, rec.cornerA);
  return 1;
}

// ---- Dimension ----------------------------------------------------------

int RoundCurrent(int c) {
  if (c < 10 || c >= 70) return 0;
  int d;
  if (c >= 30) {
    d = (c - 29) % 4 == 0 ? c : ((c - 27) & ~3) + 29;
  } else {
    d = ((c - 12) & ~1) + 13;
  }
  return d < 70 ? d : 0;
}

}  // namespace

int CvDimensionFromCount(int32_t codeVersion, int count) {
  if (count < 10) return 0;
  if (codeVersion == kCvVersionOlder) {
    for (int side : kCvOlderSides) {
      if (count <= side) return side;
    }
    return 0;
  }
  return RoundCurrent(count);
}

int CvSizeFromRuns(std::span<const int32_t> runs, int changes) {
  if (changes <= 3) return 7;
  if (changes >= static_cast<int>(runs.size())) return 0;
  const int32_t v = std::max(runs[1], runs[static_cast<size_t>(changes)]);
  int shortRuns = 0, longRuns = 0;
  bool seenShort = false;
  for (int i = 2; i < changes; ++i) {
    const int32_t run = runs[static_cast<size_t>(i)];
    if (i % 2 == 0) {  // light
      if (run > v) return 0;
      continue;
    }
    if (run > 2 * v) return 0;
    if (3 * run > 2 * v) {
      if (seenShort) return 0;  // the long runs lie next to the bottom mark
      ++longRuns;
    } else {
      seenShort = true;
      ++shortRuns;
    }
  }
  if (longRuns == 0) return 2 * shortRuns + 7;
  if (longRuns == 1) return 2 * shortRuns + 21;
  return 4 * (shortRuns + 4 * longRuns) - 3;
}

int GroupCordavexBars(Recognizer& r) {
  uint16_t* slots = Slots(r);
  std::memset(r.contour, 0, sizeof r.contour);
  int bars = 0, markers = 0;
  const int labels = std::min(r.labelCount, kMaxLabel + 1);
  for (int label = 1; label < labels && bars + markers < kMaxListed; ++label) {
    const ComponentRecord& c = r.components[label];
    if (c.shapeClass <= 2 || c.shapeClass == kShapeWrongHole || c.pointCount <= 3) continue;
    if (c.shapeClass == kShapeCompactPair) {
      slots[kListSlots - 2 - markers++] = static_cast<uint16_t>(label);
    } else {
      slots[2 * bars] = static_cast<uint16_t>(label);
      slots[2 * bars + 1] = kNoPartner;
      ++bars;
    }
  }
  if (markers >= 4) slots[kListSlots - 1] = static_cast<uint16_t>(markers);

  // Partners: the nearest other bar within both bars' diagonals.
  for (int i = 0; i < bars; ++i) {
    const int a = slots[2 * i];
    int32_t best = INT32_MAX;
    for (int j = 0; j < bars; ++j) {
      if (j == i) continue;
      const int b = slots[2 * j];
      const int32_t d = Distance(Centroid(r, a), Centroid(r, b));
      if (d >= r.components[a].diagonal || d >= r.components[b].diagonal) continue;
      if (d < best) {
        best = d;
        slots[2 * i + 1] = static_cast<uint16_t>(j);
      }
    }
  }
  // Pairs: bars that name each other.
  int pairs[kMaxPairs][2];
  int pairCount = 0;
  for (int i = 0; i < bars && pairCount < kMaxPairs; ++i) {
    const int j = slots[2 * i + 1];
    if (j == kNoPartner || j <= i || slots[2 * j + 1] != i) continue;
    pairs[pairCount][0] = slots[2 * i];
    pairs[pairCount][1] = slots[2 * j];
    ++pairCount;
  }
  // Groups: pairs that name each other as the nearest by their bars' ends.
  int bestOther[kMaxPairs];
  for (int p = 0; p < pairCount; ++p) {
    bestOther[p] = -1;
    int64_t best = INT64_MAX;
    for (int q = 0; q < pairCount; ++q) {
      if (q == p) continue;
      int64_t cost = 0;
      for (int a : pairs[p]) {
        for (int b : pairs[q]) cost += EndDistance(r, a, b);
      }
      if (cost < best) {
        best = cost;
        bestOther[p] = q;
      }
    }
  }
  r.holeCount = 0;
  std::memset(r.holes, 0, sizeof r.holes);
  int groups = 0;
  for (int p = 0; p < pairCount; ++p) {
    const int q = bestOther[p];
    if (q <= p || bestOther[q] != p || r.holeCount + 4 > kHoleCapacity) continue;
    const int labels4[4] = {pairs[p][0], pairs[p][1], pairs[q][0], pairs[q][1]};
    for (int k = 0; k < 4; ++k) {
      r.holes[r.holeCount].count = static_cast<int16_t>(groups);
      r.holes[r.holeCount].label = static_cast<int16_t>(labels4[k]);
      ++r.holeCount;
    }
    ++groups;
  }
  if (groups == 0) return 0;
  if (markers < 4 && bars < 6) {
    r.holeCount = 0;
    return 0;
  }
  return groups;
}

namespace {

// ---- One group ----------------------------------------------------------

struct DecodeScratch {
  CvDecoder decoder;
  CvFieldSpan fields[kCvKeywordCount];
  uint8_t second[kSecondStringBytes];
};

// The decoders' working state lives in the contour buffer: by the time a
// group is sampled its corner traces are done, and the square-marker list has
// been copied out.
DecodeScratch& Scratch(Recognizer& r) {
  static_assert(sizeof(DecodeScratch) <= sizeof(r.contour));
  static_assert(alignof(DecodeScratch) <= alignof(Recognizer));
  static_assert(offsetof(Recognizer, contour) % alignof(DecodeScratch) == 0);
  return *new (static_cast<void*>(r.contour)) DecodeScratch;
}

void ClearBuffers(Recognizer& r) {
  std::memset(r.decodedText, 0, sizeof r.decodedText);
  std::memset(r.secondString, 0, sizeof r.secondString);
  std::memset(r.further0, 0, sizeof r.further0);
  std::memset(r.further1, 0, sizeof r.further1);
  std::memset(r.further2, 0, sizeof r.further2);
}

int DecodeMatrix(Recognizer& r, int32_t version) {
  r.textFlag = kCharsetGuess;
  ClearBuffers(r);
  DecodeScratch& s = Scratch(r);
  if (version == kCvVersionOlder) {
    CvOlderOutput out{r.decodedText, r.secondString, {r.further0, r.further1, r.further2}};
    Failure failure = Failure::kNone;
    int32_t kind = 0;
    if (!CvDecodeOlderGrid(r.matrix, r.symbolDimension, out, kind, failure)) {
      return Miss(r, version, failure);
    }
    r.contentKind = kind;
    r.decodedLength = 0;
    return 1;
  }
  std::memset(s.second, 0, sizeof s.second);
  const int ok = CvDecodeGrid(s.decoder, r.matrix, r.symbolDimension, r.decodedText, s.second,
                              std::span<CvFieldSpan, kCvKeywordCount>(s.fields));
  r.resultMarker = -1;
  if (!ok) return Miss(r, version, s.decoder.failure);
  const int32_t kind = s.decoder.contentKind;
  if (kind == kCvPayloadText && (r.decodedText[0] | r.decodedText[1]) == 0) {
    return Miss(r, version, Failure::kEmptyText);
  }
  CvSecondString(s.decoder, s.second, r.secondString);
  r.contentKind = kind;
  r.decodedLength = s.decoder.outputLength;
  return 1;
}

int SampleAndDecode(Recognizer& r, CordavexLocation& loc, const SampleCorners& base) {
  const int32_t version = loc.codeVersion;
  const int tries = version == kCvVersionOlder ? 9 : 1;
  for (int t = 0; t < tries; ++t) {
    SampleCorners corners = base;
    const int dx = t == 0 ? 0 : kDirectionX[t - 1];
    const int dy = t == 0 ? 0 : kDirectionY[t - 1];
    for (Point16& p : corners.points) {
      const Point q{p.x + dx, p.y + dy};
      if (!InsideWithMargin(r, q)) return Miss(r, version, Failure::kCvSampling);
      p = ToPoint16(q);
    }
    r.matrix.Clear();
    if (!SampleGrid(r, corners, r.symbolDimension - 1)) {
      return Miss(r, version, Failure::kCvSampling);
    }
    r.lockedKind = version;
    if (DecodeMatrix(r, version)) {
      loc.decodeAttempt = t;
      return 1;
    }
  }
  return 0;
}

// The third and fourth marks of the current layout, each searched from its
// own mark (the third from the top-left, the fourth from the bottom-left).
//
// A candidate's contour is within half of the mean size of the first two
// marks from that mean; it lies at least as near to its own mark as to the
// other, on the side away from the bars (the vectors to it and to the bars
// make a right or obtuse angle), no farther than 5/4 of the left side and no
// nearer than half of it, and within 45 degrees of the perpendicular to the
// left side: a square symbol's top and bottom sides are as long as its left
// side and meet it at a right angle, which mild perspective bends only a
// little, while data blobs near the corner marks fail those two tests. The
// pair whose four marks come nearest to a rectangle wins: the differences of
// the opposite sides and of the diagonals are summed.
int FarMarksCurrent(const Recognizer& r, CordavexLocation& loc) {
  const Point f = Centroid(r, loc.topLeft);
  const Point s = Centroid(r, loc.bottomLeft);
  const Point side = Sub(s, f);
  const int32_t left = Distance(f, s);
  if (left <= 0) return 0;
  const Point barsTop = {(Centroid(r, loc.bars[0]).x + Centroid(r, loc.bars[1]).x) / 2,
                         (Centroid(r, loc.bars[0]).y + Centroid(r, loc.bars[1]).y) / 2};
  const Point barsBottom = {(Centroid(r, loc.bars[2]).x + Centroid(r, loc.bars[3]).x) / 2,
                            (Centroid(r, loc.bars[2]).y + Centroid(r, loc.bars[3]).y) / 2};
  const int32_t mean =
      (r.components[loc.topLeft].pointCount + r.components[loc.bottomLeft].pointCount) / 2;
  const int32_t exclude[] = {loc.bars[0], loc.bars[1], loc.bars[2], loc.bars[3],
                             loc.ring,    loc.topLeft, loc.bottomLeft};

  const auto fits = [&](int label, Point own, Point other, Point bars) {
    if (Excluded(label, exclude)) return false;
    const ComponentRecord& c = r.components[label];
    if (std::abs(c.pointCount - mean) > mean / 2) return false;
    const Point q = Centroid(r, label);
    const Point t = Sub(q, own);
    const int32_t dOwn = Distance(q, own);
    if (dOwn > Distance(q, other)) return false;
    if (Dot(t, Sub(bars, own)) > 0) return false;
    if (dOwn > left + left / 4 || 2 * dOwn < left) return false;
    const int64_t along = Dot(t, side);
    return 2 * static_cast<double>(along) * static_cast<double>(along) <=
           static_cast<double>(Norm2(t)) * static_cast<double>(Norm2(side));
  };

  // Candidates: the square markers, and compact components, since a large L
  // seen at a slant can miss the near-pair test of labelling.
  uint8_t thirds[kMaxLabel + 1];
  uint8_t fourths[kMaxLabel + 1];
  int thirdCount = 0, fourthCount = 0;
  const int labels = std::min(r.labelCount, kMaxLabel + 1);
  for (int label = 1; label < labels; ++label) {
    const int32_t shape = r.components[label].shapeClass;
    if (shape != kShapeCompactPair && shape != kShapeCompact) continue;
    if (fits(label, f, s, barsTop)) thirds[thirdCount++] = static_cast<uint8_t>(label);
    if (fits(label, s, f, barsBottom)) fourths[fourthCount++] = static_cast<uint8_t>(label);
  }
  int64_t bestScore = INT64_MAX;
  for (int i = 0; i < thirdCount; ++i) {
    const int third = thirds[i];
    const Point t = Centroid(r, third);
    for (int j = 0; j < fourthCount; ++j) {
      const int fourth = fourths[j];
      if (fourth == third) continue;
      const Point b = Centroid(r, fourth);
      const int64_t score = std::abs(Distance(f, t) - Distance(s, b)) +
                            std::abs(left - Distance(t, b)) +
                            std::abs(Distance(f, b) - Distance(s, t));
      if (score < bestScore) {
        bestScore = score;
        loc.topRight = third;
        loc.bottomRight = fourth;
      }
    }
  }
  return bestScore == INT64_MAX ? 0 : 1;
}

// The third and fourth marks of the older layout: the left side turned a
// right angle away from the bars gives the expected top-right and bottom-right
// positions.
int FarMarksOlder(const Recognizer& r, CordavexLocation& loc) {
  const Point f = Centroid(r, loc.topLeft);
  const Point s = Centroid(r, loc.bottomLeft);
  const Point a = Sub(s, f);
  Point n{-a.y, a.x};
  const Point bars = Centroid(r, loc.bars[1]);
  if (Dot(n, Sub(bars, f)) > 0) n = {a.y, -a.x};
  Point first = Add(f, n), second = Add(s, n);
  const int32_t exclude[] = {loc.bars[0], loc.bars[1], loc.bars[2], loc.bars[3],
                             loc.ring,    loc.topLeft, loc.bottomLeft};
  int third = LookupMark(r, first, 6, exclude);
  bool exchanged = false;
  if (third == 0) {
    std::swap(first, second);
    exchanged = true;
    third = LookupMark(r, first, 6, exclude);
  }
  if (third == 0) return 0;
  const int32_t exclude2[] = {loc.bars[0], loc.bars[1], loc.bars[2], loc.bars[3],
                              loc.ring,    loc.topLeft, loc.bottomLeft, third};
  const int fourth = LookupWide(r, second, exclude2);
  if (fourth == 0) return 0;
  loc.topRight = exchanged ? fourth : third;
  loc.bottomRight = exchanged ? third : fourth;
  return 1;
}

// The dimension of the current layout from the left column, walked up between
// the sample points of its two corner modules: the centroid of an L-shaped
// mark lies one to three modules inside the matrix, over data columns.
//
// The sample points can sit a third of a module off the column's middle,
// enough for the walk to graze the light column beside the marks. So the walk
// is repeated one and two pixels to either side, and the first whose runs give
// a size that the bar spacing confirms (the run-length size no more than 8
// below it) is taken; when none is confirmed the unshifted walk decides, by the
// usual rules.
int MeasureCurrent(const Recognizer& r, const CordavexLocation& loc) {
  const int32_t barDistance = Distance(Centroid(r, loc.bars[2]), Centroid(r, loc.bars[3]));
  if (barDistance <= 0) return 0;
  const int32_t e =
      2 * Distance(Centroid(r, loc.topLeft), Centroid(r, loc.bottomLeft)) / barDistance;
  const Point16 top = loc.samplePoints[0], bottom = loc.samplePoints[2];
  const bool upright = std::abs(top.y - bottom.y) >= std::abs(top.x - bottom.x);
  static constexpr int kShifts[] = {0, -1, 1, -2, 2};
  int fallback = 0;
  for (int shift : kShifts) {
    const int16_t dx = static_cast<int16_t>(upright ? shift : 0);
    const int16_t dy = static_cast<int16_t>(upright ? 0 : shift);
    const Point16 a{static_cast<int16_t>(top.x + dx), static_cast<int16_t>(top.y + dy)};
    const Point16 b{static_cast<int16_t>(bottom.x + dx), static_cast<int16_t>(bottom.y + dy)};
    int32_t runs[72] = {};
    const int c = CountTransitions(r, a, b, 0, runs);
    int dimension = 0;
    bool confirmed = false;
    if (c >= 16) {
      dimension = CvDimensionFromCount(kCvVersionCurrent, c);
    } else {
      int size = CvSizeFromRuns(runs, c);
      confirmed = size >= e - 8;
      if (!confirmed) size = e >= 58 ? 57 : e + 1;
      dimension = CvDimensionFromCount(kCvVersionCurrent, size);
    }
    if (shift == 0) fallback = dimension;
    if (confirmed && dimension != 0) return dimension;
  }
  return fallback;
}

int TryGroup(Recognizer& r, const MarkerList& markers, const int group[4], CordavexLocation& loc) {
  int32_t version = kCvVersionNone;
  const int a1 = group[0], a2 = group[1], b1 = group[2], b2 = group[3];
  const Point ca1 = Centroid(r, a1), ca2 = Centroid(r, a2);
  const Point cb1 = Centroid(r, b1), cb2 = Centroid(r, b2);

  // Ring marker: half a pair distance beyond one of the pairs, as far from
  // both of that pair's bars.
  const Point ma{(ca1.x + ca2.x + 1) >> 1, (ca1.y + ca2.y + 1) >> 1};
  const Point mb{(cb1.x + cb2.x + 1) >> 1, (cb1.y + cb2.y + 1) >> 1};
  const Point ea{ma.x + ((ma.x - mb.x + 1) >> 1), ma.y + ((ma.y - mb.y + 1) >> 1)};
  const Point eb{mb.x + ((mb.x - ma.x + 1) >> 1), mb.y + ((mb.y - ma.y + 1) >> 1)};
  const int32_t m = std::min(Distance(ca1, ca2), Distance(cb1, cb2));
  int ring = 0;
  bool ringBesideA = false;
  int32_t bestScore = INT32_MAX;
  for (int label = 1; label < std::min(r.labelCount, kMaxLabel + 1); ++label) {
    const ComponentRecord& c = r.components[label];
    // The ring's hole is a single module: too small for the hole test of
    // labelling once the ring is small, which marks it kShapeWrongHole.
    if (c.shapeClass != kShapeCompact && c.shapeClass != kShapeCompactPair &&
        c.shapeClass != kShapeWrongHole) {
      continue;
    }
    if (c.pointCount < 2 * m) continue;
    const Point q = Centroid(r, label);
    const int32_t sa = Distance(q, ea) + std::abs(Distance(q, ca1) - Distance(q, ca2));
    const int32_t sb = Distance(q, eb) + std::abs(Distance(q, cb1) - Distance(q, cb2));
    if (sa < bestScore) {
      bestScore = sa;
      ring = label;
      ringBesideA = true;
    }
    if (sb < bestScore) {
      bestScore = sb;
      ring = label;
      ringBesideA = false;
    }
  }
  if (ring == 0) return Miss(r, version, Failure::kCvRing);
  loc.ring = ring;
  const Point rc = Centroid(r, ring);
  for (int k = 0; k < 4; ++k) {
    ComponentRecord& bar = r.components[group[k]];
    if (Distance(ToPoint(bar.cornerB), rc) > Distance(ToPoint(bar.cornerA), rc)) {
      std::swap(bar.cornerA, bar.cornerB);
    }
  }

  // First corner mark, beyond the top end of the pair away from the ring.
  const int p1 = ringBesideA ? b1 : a1, p2 = ringBesideA ? b2 : a2;
  const int q1 = ringBesideA ? a1 : b1, q2 = ringBesideA ? a2 : b2;
  const Point v = Sub(Centroid(r, p1), Centroid(r, p2));
  const Point p1a = ToPoint(r.components[p1].cornerA), p2a = ToPoint(r.components[p2].cornerA);
  const Point probes[4] = {Add(p1a, v), Sub(p1a, v), Add(p2a, v), Sub(p2a, v)};
  const int32_t pairBars[] = {p1, p2, q1, q2};
  int first = 0;
  bool firstAtP2 = false;
  for (int k = 0; k < 4; ++k) {
    const int label = LookupMark(r, probes[k], 2, pairBars);
    if (label != 0 && (first == 0 || r.components[label].pointCount >
                                         r.components[first].pointCount)) {
      first = label;
      firstAtP2 = k >= 2;
    }
  }
  // A small mark there means the older layout. While that layout is not
  // admitted the group goes on as the current layout, through the square
  // markers: a small symbol of the current layout has small marks too.
  if (first != 0 && r.skipVersion2 == 0) {
    version = kCvVersionOlder;
  } else {
    first = 0;
    if (markers.count >= 4) {
      int which = 0;
      first = NearestMarker(r, markers, probes, pairBars, which);
      firstAtP2 = which >= 2;
      if (first != 0) version = kCvVersionCurrent;
    }
  }
  if (first == 0 || !ValidLabel(r, first) || Excluded(first, pairBars)) {
    return Miss(r, version, Failure::kCvFirstMark);
  }
  loc.codeVersion = version;
  loc.topLeft = first;

  // Second corner mark, beside the ring towards the matrix.
  const Point qb{(r.components[q1].cornerB.x + r.components[q2].cornerB.x) / 2,
                 (r.components[q1].cornerB.y + r.components[q2].cornerB.y) / 2};
  const Point d = Sub(rc, qb);
  const Point u = Sub(Centroid(r, q1), Centroid(r, q2));
  const Point base{rc.x + d.x / 3, rc.y + d.y / 3};
  const Point ringProbes[2] = {{base.x + 3 * u.x / 2, base.y + 3 * u.y / 2},
                               {base.x - 3 * u.x / 2, base.y - 3 * u.y / 2}};
  const int32_t notSecond[] = {p1, p2, q1, q2, ring, first};
  int second = 0;
  int secondAt = 0;
  if (version == kCvVersionCurrent) {
    second = NearestMarker(r, markers, ringProbes, notSecond, secondAt);
  } else {
    for (int k = 0; k < 2 && second == 0; ++k) {
      second = LookupMark(r, ringProbes[k], 2, notSecond);
      secondAt = k;
    }
  }
  if (second == 0 || !ValidLabel(r, second) || Excluded(second, notSecond)) {
    return Miss(r, version, Failure::kCvSecondMark);
  }
  loc.bottomLeft = second;

  // Orientation: in each pair the bar beside the matrix comes second.
  loc.bars[0] = firstAtP2 ? p1 : p2;
  loc.bars[1] = firstAtP2 ? p2 : p1;
  loc.bars[2] = secondAt == 0 ? q2 : q1;  // probe 0 lies on q1's side
  loc.bars[3] = secondAt == 0 ? q1 : q2;

  if (version == kCvVersionOlder) {
    const int c =
        CountTransitions(r, ToPoint16(Centroid(r, first)), ToPoint16(Centroid(r, second)), 0);
    r.symbolDimension = CvDimensionFromCount(version, c);
    if (r.symbolDimension == 0) return Miss(r, version, Failure::kCvDimension);
    if (!FarMarksOlder(r, loc)) return Miss(r, version, Failure::kCvFarMarks);
  } else if (!FarMarksCurrent(r, loc)) {
    return Miss(r, version, Failure::kCvFarMarks);
  }
  const int32_t marks[4] = {loc.topLeft, loc.topRight, loc.bottomLeft, loc.bottomRight};
  for (int k = 0; k < 4; ++k) {
    if (!ValidLabel(r, marks[k]) || Excluded(marks[k], pairBars)) {
      return Miss(r, version, Failure::kCvFarMarks);
    }
    for (int j = 0; j < k; ++j) {
      if (marks[j] == marks[k]) return Miss(r, version, Failure::kCvFarMarks);
    }
  }

  SampleCorners corners;
  if (version == kCvVersionOlder) {
    corners.points[0] = ToPoint16(Centroid(r, loc.topLeft));
    corners.points[1] = ToPoint16(Centroid(r, loc.topRight));
    corners.points[2] = ToPoint16(Centroid(r, loc.bottomLeft));
    corners.points[3] = r.components[loc.bottomRight].cornerA;
  } else {
    // Outer corners, each against the diagonally opposite mark.
    const int opposite[4] = {loc.bottomRight, loc.bottomLeft, loc.topRight, loc.topLeft};
    Point reference[4];
    for (int k = 0; k < 4; ++k) reference[k] = Centroid(r, opposite[k]);
    for (int k = 0; k < 4; ++k) {
      if (!OuterCorner(r, marks[k], reference[k])) return Miss(r, version, Failure::kCvCorners);
    }
    // Each sample point lies half a module in from the outer corner along
    // both sides: 1/r of the way to the opposite corner, r = 4 * side / bar
    // spacing, the bars being two modules apart. The spacing is taken between
    // the bars' centroids: the ends of a one-module bar are its extreme
    // contour points, which may be either of its corners.
    const int32_t top = Distance(ToPoint(r.components[loc.topLeft].cornerA),
                                 ToPoint(r.components[loc.topRight].cornerA));
    const int32_t spacing = Distance(Centroid(r, loc.bars[0]), Centroid(r, loc.bars[1]));
    if (top <= 0 || spacing <= 0 || 4 * top / spacing == 0) {
      return Miss(r, version, Failure::kCvCorners);
    }
    for (int k = 0; k < 4; ++k) {
      const Point a = ToPoint(r.components[marks[k]].cornerA);
      const Point o = ToPoint(r.components[opposite[k]].cornerA);
      const Point p{a.x + RoundedShare(o.x - a.x, spacing, 4 * int64_t{top}),
                    a.y + RoundedShare(o.y - a.y, spacing, 4 * int64_t{top})};
      if (!InsideWithMargin(r, p)) return Miss(r, version, Failure::kCvCorners);
      loc.samplePoints[k] = ToPoint16(p);
    }
    const int dimension = MeasureCurrent(r, loc);
    if (dimension == 0) return Miss(r, version, Failure::kCvDimension);
    r.symbolDimension = dimension;
    for (int k = 0; k < 4; ++k) corners.points[k] = loc.samplePoints[k];
  }
  return SampleAndDecode(r, loc, corners);
}

}  // namespace

int LocateCordavexCodeWith(Recognizer& r, CordavexLocation& loc) {
  loc = CordavexLocation{};
  loc.decodeAttempt = -1;
  if (!LockPermits(r, kLockCordavex2, kLockCordavex3)) {
    return Miss(r, kCvVersionNone, Failure::kLocked);
  }
  if (r.barCount < 4 || r.labelCount < 10) {
    r.lockedKind = kLockNone;
    return Miss(r, kCvVersionNone, Failure::kCvBars);
  }
  r.lockedKind = kLockNone;
  const int groups = GroupCordavexBars(r);
  loc.groupCount = groups;
  if (groups == 0) return Miss(r, kCvVersionNone, Failure::kCvBars);

  // The marker list moves out of the contour buffer, which the corner traces
  // and the decoder reuse.
  MarkerList markers{};
  const uint16_t* slots = Slots(r);
  const int listed = slots[kListSlots - 1];
  markers.count = std::min(listed, kMaxLabel);
  for (int i = 0; i < markers.count; ++i) {
    markers.labels[i] = static_cast<uint8_t>(slots[kListSlots - 2 - i]);
  }

  for (int g = 0; g < groups; ++g) {
    int group[4];
    bool repeated = false;
    for (int k = 0; k < 4; ++k) {
      group[k] = r.holes[4 * g + k].label;
      for (int j = 0; j < k; ++j) repeated = repeated || group[j] == group[k];
    }
    if (repeated) continue;
    CordavexLocation attempt{};
    attempt.decodeAttempt = -1;
    attempt.groupCount = groups;
    if (TryGroup(r, markers, group, attempt)) {
      loc = attempt;
      r.FillDecodeSummary();
      return 1;
    }
    loc = attempt;
  }
  return 0;
}

int LocateCordavexCode(Recognizer& r) {
  CordavexLocation location;
  return LocateCordavexCodeWith(r, location);
}

}  // namespace cordavex
