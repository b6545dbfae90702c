// The Data Matrix locator: one large dark component whose outline holds the
// two solid arms of the finder L. The outline is split into straight runs, the
// arms and their corner are found, the opposite corner is searched along the
// dashed timing edges, the modules are counted along those edges, and the grid
// is sampled, trimmed of its central alignment pair and decoded, with retries.
#include "engine/dm_locator.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>

#include "decode/dm_decoder.h"
#include "decode/dm_tables.h"
#include "engine/geometry.h"
#include "engine/label.h"
#include "engine/locators.h"
#include "engine/qr_locator.h"

namespace cordavex {
namespace {

constexpr int kMinOutline = 72;         // shortest outline worth examining
constexpr int kPiecePoints = 16;        // outline points per straightness piece
constexpr int kMinPieces = 4;
constexpr int kCoincidentPenalty = 100;  // deviation of a piece that closes on itself
constexpr int kMinCosine = 122;         // |128 cos| of directions that continue a run
// A run of more than two joined pieces is a line: three pieces, 48 outline
// points, the least that a 10 x 10 symbol's arm gives when it fills the view.
constexpr int kMinRunPieces = 3;
constexpr int kArmGap = 17;             // outline points at most between the two arms
constexpr int kEndWindow = 32;          // outline points either side searched for an arm end
constexpr int kCoarseSteps = 32;
constexpr int kFinePasses = 33;
// decodeAttempt of a symbol read through corners fitted to its border, and of
// one read region by region, each through corners fitted to its own.
constexpr int kFittedAttempt = 9;
constexpr int kRegionsAttempt = 10;
// Square symbols of more than 26 modules (32 to 48, the largest read) have
// 2 x 2 data regions; the separators between them go before decoding.
constexpr int kFirstTwoRegionSize = 27;
constexpr int kFineTrials = 5;
// The share of border modules, in percent, that a fitted grid samples right
// above which its size is taken to be the symbol's.
constexpr int kRightSizePercent = 95;
constexpr int64_t kInsetNumerator = 3 * kOne / 8;  // 0.375 of a module
constexpr int kMaxReadDimension = 48;
constexpr int kDmDirectionX[8] = {1, 1, 0, -1, -1, -1, 0, 1};
constexpr int kDmDirectionY[8] = {0, 1, 1, 1, 0, -1, -1, -1};

// Outlines of up to kContourCapacity points make at most this many pieces.
constexpr int kMaxPieces = (kContourCapacity + kPiecePoints - 1) / kPiecePoints;
// A symbol's outline has four edges, and the dashed ones give few long runs;
// an outline with more straight runs than this is no symbol, and the runs
// beyond it are not recorded.
constexpr int kMaxLines = 96;

// A straight run of the outline, from point `first` to point `last` (indices
// into the outline; `last` may lie beyond its end, counted cyclically).
struct DmLine {
  int16_t first;
  int16_t last;
};

// The straightness table and the line list, placed over the hole table, which
// nothing reads once the last locator of the frame has started. A 5000-point
// outline makes 313 pieces: as 32-bit words they would not fit the table's
// 1024 bytes and would run on into the component table, which the locator is
// still walking. So the deviations are kept in 16 bits, saturated (a piece
// deviating by 65535 pixel steps is as crooked as one deviating by more; they
// are only compared with their mean), which leaves room for the lines.
struct DmOutlineScratch {
  uint16_t deviation[kMaxPieces];
  DmLine lines[kMaxLines];
};

DmOutlineScratch& OutlineScratch(Recognizer& r) {
  static_assert(sizeof(DmOutlineScratch) <= sizeof(r.holes));
  static_assert(alignof(DmOutlineScratch) <= alignof(HoleEntry));
  return *new (static_cast<void*>(r.holes)) DmOutlineScratch;
}

// The decoder's working state lives in the contour buffer once the corners are
// known.
DmDecoder& DecoderState(Recognizer& r) {
  static_assert(sizeof(DmDecoder) <= sizeof(r.contour));
  static_assert(alignof(DmDecoder) <= alignof(Recognizer));
  static_assert(offsetof(Recognizer, contour) % alignof(DmDecoder) == 0);
  return *new (static_cast<void*>(r.contour)) DmDecoder;
}

// Within one pixel of the border: where a search along the edges stops.
bool AtBorder(const Recognizer& r, Point p) {
  return p.x < 1 || p.y < 1 || p.x > r.imageWidth - 2 || p.y > r.imageHeight - 2;
}

bool PixelIsDark(const Recognizer& r, Point p) {
  return IsDark(r.image()[static_cast<size_t>(p.y) * r.imageWidth + p.x]);
}

}  // namespace

int DmStageRank(Failure f) {
  if (f == Failure::kNone) return -1;
  const int first = static_cast<int>(Failure::kDmNoCandidate);
  const int last = static_cast<int>(Failure::kDmSampling);
  const int v = static_cast<int>(f);
  if (v >= first && v <= last) return v - first;
  // Decoding: the grid refused, the codewords beyond correction, the stream.
  const int decoding = last - first + 1;
  switch (f) {
    case Failure::kGridDimension:
    case Failure::kCodewordCount:
      return decoding;
    case Failure::kMalformedStream:
    case Failure::kEmptyText:
    case Failure::kDmFunctionCodeword:
      return decoding + 2;
    default:
      return decoding + 1;
  }
}

namespace {

// ---- The outline -----------------------------------------------------------

class Outline {
 public:
  Outline(const Recognizer& r, int count) : p_(r.contour), n_(count) {}
  int size() const { return n_; }
  // Cyclic access.
  Point at(int i) const {
    i %= n_;
    if (i < 0) i += n_;
    return ToPoint(p_[i]);
  }
  // Outline points from a forward to b, cyclically.
  int Gap(int a, int b) const {
    int g = (b - a) % n_;
    return g < 0 ? g + n_ : g;
  }

 private:
  const Point16* p_;
  int n_;
};

// Sum over the piece's points of |dx| + |dy| to their foot on the chord.
int PieceDeviation(const Outline& o, int s) {
  const Point a = o.at(kPiecePoints * s);
  const Point b = o.at(kPiecePoints * s + kPiecePoints - 1);
  const int64_t vx = b.x - a.x, vy = b.y - a.y;
  const int64_t len2 = vx * vx + vy * vy;
  if (len2 == 0) return kCoincidentPenalty;
  // The feet's offsets dot v / |v|^2 are truncated quotients, taken by the
  // floating-point divider, which does two faster than the integer one does
  // one. They are the same: outline points are 16-bit, so dot vx and dot vy
  // stay below 2^49 and |v|^2 below 2^33, all exact as doubles; a quotient is
  // at most |p - a| < 2^17 and lies on an integer or at least 2^-33 from one,
  // and one correctly rounded division moves it by less than 2^-36.
  const double divisor = static_cast<double>(len2);
  int64_t sum = 0;
  for (int k = 0; k < kPiecePoints; ++k) {
    const Point p = o.at(kPiecePoints * s + k);
    const int64_t dot = (p.x - a.x) * vx + (p.y - a.y) * vy;
    const int64_t fx = a.x + static_cast<int64_t>(static_cast<double>(dot * vx) / divisor);
    const int64_t fy = a.y + static_cast<int64_t>(static_cast<double>(dot * vy) / divisor);
    sum += std::abs(p.x - fx) + std::abs(p.y - fy);
  }
  return static_cast<int>(sum);
}

// |128 cos| of the angle between two directions is at least 122; a zero-length
// direction has no angle and fails.
bool Aligned(Point u, Point v) {
  const double uu = double(u.x) * u.x + double(u.y) * u.y;
  const double vv = double(v.x) * v.x + double(v.y) * v.y;
  if (uu == 0 || vv == 0) return false;
  const double cosine = (double(u.x) * v.x + double(u.y) * v.y) / std::sqrt(uu * vv);
  return static_cast<int>(std::fabs(128.0 * cosine)) >= kMinCosine;
}

Point Sub(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }

// Splits the outline into straight runs; returns the number of lines.
int FindLines(const Outline& o, DmOutlineScratch& s) {
  const int pieces = (o.size() + kPiecePoints - 1) / kPiecePoints;
  int64_t total = 0;
  for (int k = 0; k < pieces; ++k) {
    const int d = PieceDeviation(o, k);
    s.deviation[k] = static_cast<uint16_t>(std::min(d, 0xFFFF));
    total += d;
  }
  // The mean over the complete pieces, as many as the outline fills.
  const int64_t average = total / (o.size() / kPiecePoints);
  int lines = 0;
  int k = 0;
  while (k < pieces) {
    if (s.deviation[k] >= average) {
      ++k;
      continue;
    }
    const int start = k;
    const Point origin = o.at(kPiecePoints * start);
    int next = k + 1;
    while (next < pieces && s.deviation[next] < average) {
      const Point first = o.at(kPiecePoints * next);
      const Point last = o.at(kPiecePoints * next + kPiecePoints - 1);
      if (!Aligned(Sub(first, origin), Sub(last, first))) break;
      ++next;
    }
    const int runPieces = next - start;
    if (runPieces >= kMinRunPieces) {
      if (lines < kMaxLines) {
        s.lines[lines++] = {static_cast<int16_t>(kPiecePoints * start),
                            static_cast<int16_t>(kPiecePoints * next)};
      }
    } else if (next >= pieces && lines > 0 && s.lines[0].first == 0) {
      // A short run at the end of the outline continues the first line when
      // the outline happened to start in the middle of that edge.
      const Point first = o.at(0);
      const Point last = o.at(s.lines[0].last);
      if (Aligned(Sub(first, origin), Sub(last, first))) {
        s.lines[0].first = static_cast<int16_t>(kPiecePoints * start - o.size());
      }
    }
    k = next;
  }
  return lines;
}

int Span(const DmLine& l) { return l.last - l.first; }

// The two arms in outline order (the first ends where the second starts), or
// false when no two lines meet closely enough.
bool PickArms(const Outline& o, const DmOutlineScratch& s, int lines, DmLine& a, DmLine& b) {
  if (lines < 2) return false;
  if (lines == 2) {
    if (o.Gap(s.lines[0].last, s.lines[1].first) < kArmGap) {
      a = s.lines[0];
      b = s.lines[1];
      return true;
    }
    if (o.Gap(s.lines[1].last, s.lines[0].first) < kArmGap) {
      a = s.lines[1];
      b = s.lines[0];
      return true;
    }
    return false;
  }
  int longest = 0;
  for (int i = 1; i < lines; ++i) {
    if (Span(s.lines[i]) > Span(s.lines[longest])) longest = i;
  }
  const DmLine& l = s.lines[longest];
  const DmLine& before = s.lines[(longest + lines - 1) % lines];
  const DmLine& after = s.lines[(longest + 1) % lines];
  const bool withBefore = o.Gap(before.last, l.first) < kArmGap;
  const bool withAfter = o.Gap(l.last, after.first) < kArmGap;
  if (withBefore && (!withAfter || Span(before) > Span(after))) {
    a = before;
    b = l;
    return true;
  }
  if (withAfter) {
    a = l;
    b = after;
    return true;
  }
  return false;
}

// Intersection of the lines p1 p2 and p3 p4; (0, 0) when parallel.
Point Intersect(Point p1, Point p2, Point p3, Point p4) {
  const int64_t den = int64_t{p1.x - p2.x} * (p3.y - p4.y) - int64_t{p1.y - p2.y} * (p3.x - p4.x);
  if (den == 0) return {0, 0};
  const int64_t c12 = int64_t{p1.x} * p2.y - int64_t{p1.y} * p2.x;
  const int64_t c34 = int64_t{p3.x} * p4.y - int64_t{p3.y} * p4.x;
  return {static_cast<int32_t>((c12 * (p3.x - p4.x) - (p1.x - p2.x) * c34) / den),
          static_cast<int32_t>((c12 * (p3.y - p4.y) - (p1.y - p2.y) * c34) / den)};
}

// The outline point within kEndWindow of `centre` farthest from `from`.
Point FarthestNear(const Outline& o, int centre, Point from) {
  Point best = o.at(centre - kEndWindow);
  int32_t bestDistance = -1;
  for (int i = centre - kEndWindow; i < centre + kEndWindow; ++i) {
    const Point p = o.at(i);
    const int32_t d = Distance(p, from);
    if (d > bestDistance) {
      bestDistance = d;
      best = p;
    }
  }
  return best;
}

// ---- Corners ---------------------------------------------------------------

int Miss(DmLocation& loc, Failure why) {
  if (DmStageRank(why) > DmStageRank(loc.furthest)) loc.furthest = why;
  return 0;
}

// Steps 4 to 11: the outline, its lines, the arms, the L corner, the arm ends
// and a first opposite corner.
int FindCorners(Recognizer& r, int label, DmCorners& c, DmLocation& loc) {
  const ComponentRecord& rec = r.components[label];
  const int y = rec.cornerA.y;
  if (y < 0 || y >= r.imageHeight || rec.cornerA.x < 0 || rec.cornerA.x >= r.imageWidth) {
    return Miss(loc, Failure::kDmOutline);
  }
  const uint8_t* row = r.image() + static_cast<size_t>(y) * r.imageWidth;
  int startX = -1;
  for (int x = rec.cornerA.x; x >= 2; --x) {
    if (row[x] == label && !IsDark(row[x - 1])) startX = x;
  }
  if (startX < 0) return Miss(loc, Failure::kDmOutline);
  ComponentRecord scratch{};
  if (!TraceContour(r, &scratch, y, startX, label, 5, 2)) return Miss(loc, Failure::kDmOutline);
  // The recorded outline closes on its first point; count that point once.
  const int count = std::min(scratch.pointCount, kContourCapacity) - 1;
  if (count / kPiecePoints < kMinPieces) return Miss(loc, Failure::kDmOutline);
  const Outline o(r, count);

  DmOutlineScratch& s = OutlineScratch(r);
  const int lines = FindLines(o, s);
  DmLine a{}, b{};
  if (!PickArms(o, s, lines, a, b)) return Miss(loc, Failure::kDmArms);

  const Point corner = Intersect(o.at(a.first), o.at(a.last), o.at(b.first), o.at(b.last));
  const Point p3 = FarthestNear(o, a.first, o.at(b.last));
  const Point p0 = FarthestNear(o, b.last, o.at(a.first));

  // The opposite corner: about as far from both arm ends, and far from the L corner.
  bool found = false;
  Point p2{};
  int64_t bestScore = 0;
  for (int i = 0; i < o.size(); ++i) {
    const Point p = o.at(i);
    const int32_t d0 = Distance(p, p0), d3 = Distance(p, p3);
    if (3 * int64_t{std::max(d0, d3)} > 4 * int64_t{std::min(d0, d3)}) continue;
    const int64_t score = int64_t{d0} + d3 - Distance(p, corner);
    if (!found || score > bestScore) {
      found = true;
      bestScore = score;
      p2 = p;
    }
  }
  if (!found) return Miss(loc, Failure::kDmOppositeCorner);
  c.points[0] = ToPoint16(p0);
  c.points[1] = ToPoint16(corner);
  c.points[2] = ToPoint16(p2);
  c.points[3] = ToPoint16(p3);
  return 1;
}

int Transitions(const Recognizer& r, Point towards, Point from) {
  return CountTransitions(r, ToPoint16(towards), ToPoint16(from), 0);
}

// Step 12: the opposite corner along the dashed edges, coarse then fine.
int RefineOppositeCorner(const Recognizer& r, DmCorners& c, int& count0, int& count3,
                         DmLocation& loc) {
  const Point p0 = ToPoint(c.points[0]), p1 = ToPoint(c.points[1]), p3 = ToPoint(c.points[3]);
  // Along the diagonal from three quarters of the way to the parallelogram
  // corner D = P0 + P3 - P1, in steps of 1/128 of it.
  const Point start = {(3 * (p0.x + p3.x) - 2 * p1.x) >> 2, (3 * (p0.y + p3.y) - 2 * p1.y) >> 2};
  const int64_t stepX = kOne / 128 * (p0.x + p3.x - 2 * p1.x);  // 1/1024 pixel
  const int64_t stepY = kOne / 128 * (p0.y + p3.y - 2 * p1.y);
  int bestK = -1, bestScore = -1, best0 = 0, best3 = 0;
  for (int k = 0; k < kCoarseSteps; ++k) {
    const Point p = {start.x + static_cast<int32_t>((k * stepX) >> 10),
                     start.y + static_cast<int32_t>((k * stepY) >> 10)};
    if (AtBorder(r, p)) break;
    const int t3 = Transitions(r, p3, p);
    const int t0 = Transitions(r, p0, p);
    const int score = t0 + t3 - std::abs(t0 - t3);
    if (score >= bestScore) {
      bestScore = score;
      bestK = k;
      best0 = t0;
      best3 = t3;
    }
  }
  if (bestK < 0 || best0 < 1 || best3 < 1) return Miss(loc, Failure::kDmOppositeCorner);
  Point p2 = {start.x + static_cast<int32_t>((bestK * stepX) >> 10),
              start.y + static_cast<int32_t>((bestK * stepY) >> 10)};
  count0 = best0;
  count3 = best3;

  // Half a module at a time outwards along one dashed edge, keeping the trial
  // whose line to the far end of the other dashed edge crosses most modules.
  auto search = [&](Point along, Point farEnd, int divisor, int& count) {
    if (divisor <= 0) return false;
    const int64_t hx = (kOne / 2) * (p2.x - along.x) / divisor;  // 1/1024 pixel
    const int64_t hy = (kOne / 2) * (p2.y - along.y) / divisor;
    const Point target = {farEnd.x - static_cast<int32_t>(hx >> 10),
                          farEnd.y - static_cast<int32_t>(hy >> 10)};
    int bestI = 0, most = -1;
    for (int i = 0; i < kFineTrials; ++i) {
      const Point t = {p2.x + static_cast<int32_t>((i * hx) >> 10),
                       p2.y + static_cast<int32_t>((i * hy) >> 10)};
      if (AtBorder(r, t)) break;
      const int changes = Transitions(r, target, t);
      if (changes >= most) {
        most = changes;
        bestI = i;
      }
    }
    if (bestI == 0 || most <= 0) return false;
    p2 = {p2.x + static_cast<int32_t>((bestI * hx) >> 10),
          p2.y + static_cast<int32_t>((bestI * hy) >> 10)};
    count = most;
    return true;
  };
  for (int pass = 0; pass < kFinePasses; ++pass) {
    const bool movedA = search(p3, p0, count0, count0);
    const bool movedB = search(p0, p3, count3, count3);
    if (!movedA && !movedB) break;
  }
  c.points[2] = ToPoint16(p2);
  return 1;
}

// Step 13: sides within 4/3 of their neighbours, triangle inequalities hold.
bool PlausibleShape(const DmCorners& c) {
  const Point p0 = ToPoint(c.points[0]), p1 = ToPoint(c.points[1]);
  const Point p2 = ToPoint(c.points[2]), p3 = ToPoint(c.points[3]);
  const int64_t a = Distance(p0, p2), b = Distance(p0, p1), cc = Distance(p2, p3);
  const int64_t e = Distance(p1, p3), f = Distance(p1, p2), g = Distance(p0, p3);
  if (a + b < f || cc + e < f || a + cc < g || b + e < g) return false;
  auto close = [](int64_t x, int64_t y) { return 3 * std::max(x, y) <= 4 * std::min(x, y); };
  return close(a, b) && close(b, cc) && close(cc, e) && close(e, a);
}

// Step 14: each corner 0.375 of a module towards each of its two neighbours.
int Inset(const Recognizer& r, const DmCorners& c, int count0, int count3, DmCorners& out) {
  if (count0 <= 0 || count3 <= 0) return 0;
  // Neighbours along the quadrilateral 0-1-3-2, with the count of the dashed
  // edge parallel to each side: 0-2 and 1-3 run beside the edge towards point
  // 0, 0-1 and 2-3 beside the edge towards point 3.
  struct Side {
    int to;
    int count;
  };
  const Side sides[4][2] = {{{1, count3}, {2, count0}},
                            {{0, count3}, {3, count0}},
                            {{0, count0}, {3, count3}},
                            {{1, count0}, {2, count3}}};
  for (int i = 0; i < 4; ++i) {
    Point p = ToPoint(c.points[i]);
    const Point from = p;
    for (const Side& s : sides[i]) {
      const Point q = ToPoint(c.points[s.to]);
      const int64_t vx = int64_t{q.x - from.x} * kInsetNumerator / s.count;  // 1/1024 pixel
      const int64_t vy = int64_t{q.y - from.y} * kInsetNumerator / s.count;
      p.x += static_cast<int32_t>((vx + 511) >> 10);
      p.y += static_cast<int32_t>((vy + 511) >> 10);
    }
    if (!InsideWithMargin(r, p)) return 0;
    out.points[i] = ToPoint16(p);
  }
  return 1;
}

// Drops the central alignment pair (rows and columns d/2 - 1 and d/2) of a
// symbol above 26 modules, joining its four data regions.
void RemoveSeparators(ModuleMatrix& m, int d) {
  if (d < kFirstTwoRegionSize) return;
  const int cut = d / 2 - 1;
  for (int row = 0; row < d; ++row) {
    const int fromRow = row < cut ? row : row + 2;
    for (int col = 0; col < d; ++col) {
      const int fromCol = col < cut ? col : col + 2;
      m.Set(row, col, fromRow < d && fromCol < d && m.Get(fromRow, fromCol));
    }
  }
}

int Sample(Recognizer& r, const DmCorners& inset, int d, int dx, int dy) {
  SampleCorners corners;
  corners.points[0] = inset.points[0];
  corners.points[1] = ToPoint16({inset.points[2].x + dx, inset.points[2].y + dy});
  corners.points[2] = inset.points[1];
  corners.points[3] = inset.points[3];
  for (const Point16& p : corners.points) {
    if (!InsideWithMargin(r, ToPoint(p))) return 0;
  }
  r.matrix.Clear();
  if (!SampleGrid(r, corners, d - 1)) return 0;
  RemoveSeparators(r.matrix, d);
  return 1;
}

int Decode(Recognizer& r, DmLocation& loc) {
  std::memset(r.decodedText, 0, sizeof r.decodedText);
  std::memset(r.secondString, 0, sizeof r.secondString);
  std::memset(r.further0, 0, sizeof r.further0);
  std::memset(r.further1, 0, sizeof r.further1);
  std::memset(r.further2, 0, sizeof r.further2);
  DmDecoder& decoder = DecoderState(r);
  if (!DmDecodeGrid(decoder, r.matrix, r.symbolDimension, r.decodedText, r.secondString)) {
    Miss(loc, decoder.failure);
    return 0;
  }
  r.decodedLength = decoder.textLength;
  r.textFlag = kCharsetGuess;
  return 1;
}

// How many modules of the finder and timing border sample as they must: the
// left column and the bottom row dark, the top row and the right column
// alternating (dark at the top left, light at the top right). Counting stops,
// with a score of at most `beat`, once the modules left cannot take it above
// `beat` (-1: count them all).
int BorderScore(const Recognizer& r, const SampleCorners& corners, int d, int beat = -1) {
  const ModuleSampler sampler(r, corners, d - 1);
  // A stretch of each side at a time; the test to stop, once true, stays true
  // as k grows, so testing it at the end of a stretch stops as the
  // module-by-module test would, a few modules later.
  constexpr int kStretch = 16;
  uint8_t left[kStretch], bottom[kStretch], top[kStretch], right[kStretch];
  int score = 0;
  for (int k0 = 0; k0 < d; k0 += kStretch) {
    const int count = std::min(kStretch, d - k0);
    sampler.SampleLine(0, k0, 0, 1, count, left);
    sampler.SampleLine(k0, d - 1, 1, 0, count, bottom);
    sampler.SampleLine(k0, 0, 1, 0, count, top);
    sampler.SampleLine(d - 1, k0, 0, 1, count, right);
    for (int i = 0; i < count; ++i) {
      const int even = (k0 + i) % 2 == 0 ? 1 : 0;
      score += left[i] == 1;
      score += bottom[i] == 1;
      score += top[i] == even;
      score += right[i] == 1 - even;
    }
    if (score + 4 * (d - k0 - count) <= beat) break;
  }
  return score;
}

// Moves the four sampling corners a pixel at a time while the border samples
// better; the grid through the corners the locator measured can sit a fraction
// of a module off where blur or perspective bent the edges it traced. With
// `giveUpBelow`, the fit ends once a pass over the four corners leaves the
// score below it.
SampleCorners FitToBorder(const Recognizer& r, SampleCorners corners, int d, int* fitted = nullptr,
                          int giveUpBelow = 0) {
  constexpr int kPasses = 8;
  constexpr int kCorners = 4;
  int best = BorderScore(r, corners, d);
  // The corners in turn, a pass at a time, until each has been tried without
  // a move since the last one: trying it again would find the same points
  // scoring no better, as the other corners and the score to beat are as they
  // were.
  int unmoved = 0;
  for (int turn = 0; turn < kPasses * kCorners && unmoved < kCorners && best < 4 * d; ++turn) {
    Point16& corner = corners.points[turn % kCorners];
    const Point16 start = corner;
    Point16 bestPoint = start;
    for (int dir = 0; dir < 8; ++dir) {
      corner = ToPoint16({start.x + kDmDirectionX[dir], start.y + kDmDirectionY[dir]});
      if (!InsideWithMargin(r, ToPoint(corner))) continue;
      // Only a better border counts, so a trial stops once it cannot be.
      const int score = BorderScore(r, corners, d, best);
      if (score > best) {
        best = score;
        bestPoint = corner;
      }
    }
    corner = bestPoint;
    unmoved = bestPoint.x != start.x || bestPoint.y != start.y ? 0 : unmoved + 1;
    if (turn % kCorners == kCorners - 1 && best < giveUpBelow) break;
  }
  if (fitted != nullptr) *fitted = best;
  return corners;
}

// The least share of border modules, in percent, that a fit must sample right
// once every corner has been moved: below it the corners are not those of a
// symbol (or a region) of that size, and the fit stops there without a
// decode. On the corpus the lowest such share of a fit that read was 81 %,
// and about half the fits that did not read were below 80 %, where they
// spent most of the fits' time.
constexpr int kFitFirstPassPercent = 80;

// That share of the 4 d border modules of a grid of d, rounded up.
int FirstPassFloor(int d) { return (kFitFirstPassPercent * 4 * d + 99) / 100; }

// The extra reading of modes 6..11: the grid through corners fitted to the
// border pattern.
int ReadFittedGrid(Recognizer& r, const DmCorners& inset, int d, DmLocation& loc,
                   int* border = nullptr, SampleCorners* fitted = nullptr) {
  SampleCorners corners;
  corners.points[0] = inset.points[0];
  corners.points[1] = inset.points[2];
  corners.points[2] = inset.points[1];
  corners.points[3] = inset.points[3];
  int best = 0;
  corners = FitToBorder(r, corners, d, &best, FirstPassFloor(d));
  if (border != nullptr) *border = best;
  if (fitted != nullptr) *fitted = corners;
  if (best < FirstPassFloor(d)) return 0;
  r.matrix.Clear();
  if (!SampleGrid(r, corners, d - 1)) return 0;
  RemoveSeparators(r.matrix, d);
  return Decode(r, loc);
}

// The extra reading for symbols of 2 x 2 data regions: each region is framed
// by a finder and timing pattern of its own, so each gets its own corners,
// taken from the grid fitted to the whole symbol and fitted again to that
// frame. Paper that curls or a lens that bows bends a large symbol so that no
// one plane's mapping holds all four regions, while each alone still sits
// close to one.
int ReadRegions(Recognizer& r, const SampleCorners& whole, int d, DmLocation& loc) {
  if (d < kFirstTwoRegionSize) return 0;
  const int side = d / 2;
  ModuleMatrix grid;
  grid.Clear();
  for (int regionRow = 0; regionRow < 2; ++regionRow) {
    for (int regionColumn = 0; regionColumn < 2; ++regionColumn) {
      const int left = regionColumn * side, top = regionRow * side;
      const int right = left + side - 1, bottom = top + side - 1;
      const int at[4][2] = {{left, top}, {right, top}, {left, bottom}, {right, bottom}};
      SampleCorners region;
      for (int k = 0; k < 4; ++k) {
        Point p{};
        if (!ModulePoint(whole, at[k][0], at[k][1], d - 1, p) || !InsideWithMargin(r, p)) return 0;
        region.points[k] = ToPoint16(p);
      }
      int best = 0;
      region = FitToBorder(r, region, side, &best, FirstPassFloor(side));
      if (best < FirstPassFloor(side)) return 0;
      r.matrix.Clear();
      if (!SampleGrid(r, region, side - 1)) return 0;
      for (int row = 0; row < side; ++row) {
        for (int column = 0; column < side; ++column) {
          grid.Set(top + row, left + column, r.matrix.Get(row, column));
        }
      }
    }
  }
  r.matrix = grid;
  RemoveSeparators(r.matrix, d);
  return Decode(r, loc);
}

// The extra reading for timing counts that name no square size (blur merges
// modules, a reflection splits one): the sizes nearest the larger count, each
// with its own inset corners and the grid fitted to the border; `skip`, a size
// already tried, is left out.
int ReadNearestSizes(Recognizer& r, const DmCorners& c, int count, DmLocation& loc, int skip = 0) {
  static constexpr int kSizes[] = {10, 12, 14, 16, 18, 20, 22, 24, 26, 32, 36, 40, 44, 48};
  constexpr int kTried = 3;
  bool tried[std::size(kSizes)] = {};
  for (size_t i = 0; i < std::size(kSizes); ++i) tried[i] = kSizes[i] == skip;
  for (int k = 0; k < kTried; ++k) {
    // The nearest size not yet tried, the smaller on a tie (no allocation: this
    // runs inside a frame).
    size_t nearest = 0;
    while (tried[nearest]) ++nearest;
    for (size_t i = nearest + 1; i < std::size(kSizes); ++i) {
      if (!tried[i] && std::abs(kSizes[i] - count) < std::abs(kSizes[nearest] - count)) nearest = i;
    }
    tried[nearest] = true;
    const int d = kSizes[nearest];
    DmCorners inset{};
    if (!Inset(r, c, d, d, inset)) continue;
    r.symbolDimension = d;
    r.decodeSummary = DecodeSummary{};
    if (ReadFittedGrid(r, inset, d, loc)) {
      loc.dimension = d;
      loc.inset = inset;
      loc.decodeAttempt = kFittedAttempt;
      r.lockedKind = kLockDataMatrix;
      return 1;
    }
  }
  return 0;
}

// Steps 12 to 14 on one candidate's corners. 1 when decoded.
int ReadCandidate(Recognizer& r, DmCorners& c, DmLocation& loc) {
  int count0 = 0, count3 = 0;
  if (!RefineOppositeCorner(r, c, count0, count3, loc)) return 0;
  loc.corners = c;
  loc.count0 = count0;
  loc.count3 = count3;
  if (!PlausibleShape(c)) return Miss(loc, Failure::kDmShape);
  NoteLocated(r, kMaskDataMatrix, c.points);
  DmCorners inset{};
  if (!Inset(r, c, count0, count3, inset)) return Miss(loc, Failure::kDmInset);
  loc.inset = inset;
  // The top right module is light in every symbol; with the extra readings a
  // dark pixel there only means the corner sits a little off, which the fit
  // to the border corrects.
  if (PixelIsDark(r, ToPoint(inset.points[2])) && r.extraReadings == 0) {
    return Miss(loc, Failure::kDmCornerDark);
  }

  const int c1 = Transitions(r, ToPoint(inset.points[2]), ToPoint(inset.points[3]));
  const int c2 = Transitions(r, ToPoint(inset.points[2]), ToPoint(inset.points[0]));
  int r1 = 0, r2 = 0;
  const int ok = c2 > 2 * c1 ? DmRectangularDimension(c1, c2, r1, r2)
                             : DmSquareDimension(c1, c2, r1, r2);
  if (!ok || r1 != r2 || r1 > kMaxReadDimension) {
    if (r.extraReadings != 0 && ReadNearestSizes(r, c, std::max(c1, c2), loc)) return 1;
    return Miss(loc, Failure::kDmDimension);
  }
  loc.dimension = r1;
  // The rule also gives 34, 38 and 42, which no symbol has: with the extra
  // readings such a count goes to the sizes nearest it, as one that names no
  // size does, rather than through a grid the decoder refuses in ten ways.
  if (r.extraReadings != 0 && FindReadableDmSize(r1) == nullptr) {
    if (ReadNearestSizes(r, c, std::max(c1, c2), loc)) return 1;
    return Miss(loc, Failure::kGridDimension);
  }

  if (!Sample(r, inset, r1, 0, 0)) return Miss(loc, Failure::kDmSampling);
  r.symbolDimension = r1;
  r.decodeSummary = DecodeSummary{};
  r.lockedKind = kLockDataMatrix;
  if (Decode(r, loc)) {
    loc.decodeAttempt = 0;
    return 1;
  }
  // With the extra readings the fit to the border takes the place of the
  // shifted corners below, and region reading follows a fit that came close.
  int border = 4 * r1;
  SampleCorners fitted{};
  if (r.extraReadings != 0 && ReadFittedGrid(r, inset, r1, loc, &border, &fitted)) {
    loc.decodeAttempt = kFittedAttempt;
    return 1;
  }
  if (r.extraReadings != 0 && border >= FirstPassFloor(r1) && ReadRegions(r, fitted, r1, loc)) {
    loc.decodeAttempt = kRegionsAttempt;
    return 1;
  }
  // Timing counts that disagree make the size they name doubtful, and a fit
  // that leaves more than one border module in twenty wrong may have the wrong
  // number of modules: then the other sizes nearest the larger count get fits
  // of their own (on the corpus every symbol read so had a first fit below
  // 92 %).
  if (r.extraReadings != 0 && std::abs(c1 - c2) > 1 &&
      100 * border < kRightSizePercent * 4 * r1 &&
      ReadNearestSizes(r, c, std::max(c1, c2), loc, r1)) {
    return 1;
  }
  // A pixel's shift of one corner mends a grid that sits almost right, which
  // the fit's moves of every corner in every direction have already tried: with
  // the extra readings no shift read a symbol on the corpus after the fit.
  if (r.extraReadings != 0) return 0;
  // The opposite corner is the least certain: try it one pixel away in each
  // direction, each from the unshifted point.
  for (int dir = 0; dir < 8; ++dir) {
    if (!Sample(r, inset, r1, kDmDirectionX[dir], kDmDirectionY[dir])) {
      Miss(loc, Failure::kDmSampling);
      continue;
    }
    if (Decode(r, loc)) {
      loc.decodeAttempt = dir + 1;
      return 1;
    }
  }
  return 0;
}

}  // namespace

int DmSquareDimension(int c1, int c2, int& r1, int& r2) {
  if (c1 < 10 || c1 > 64 || c2 < 10 || c2 > 64) return 0;
  const int m = std::max(c1, c2);
  int d = 0;
  if (m <= 26) {
    d = ((m - 10) & ~1) + 10;
  } else if (m <= 29) {
    return 0;  // between 26 and 32 there is no square size
  } else if (m <= 31) {
    d = 32;
  } else if (m <= 52) {
    d = ((m - 32) | 1) + 31;
  } else if (m <= 61) {
    return 0;
  } else {
    d = 64;
  }
  r1 = r2 = d;
  return 1;
}

int DmOddSquareDimension(int c1, int c2, int& r1, int& r2) {
  if (c1 < 9 || c1 > 49 || c2 < 9 || c2 > 49) return 0;
  const int m = std::max(c1, c2);
  r1 = r2 = ((m - 9) & ~1) + 9;
  return 1;
}

int DmRectangularDimension(int c1, int c2, int& r1, int& r2) {
  int height = 0;
  if (c1 >= 6 && c1 <= 9) {
    height = 8;
  } else if (c1 >= 10 && c1 <= 13) {
    height = 12;
  } else if (c1 >= 14 && c1 <= 17) {
    height = 16;
  } else {
    return 0;
  }
  int width = 0;
  if (height == 8 && c2 >= 16 && c2 <= 19) {
    width = 18;
  } else if (height == 8 && c2 >= 30 && c2 <= 33) {
    width = 32;
  } else if ((height == 12 || height == 16) && c2 >= 34 && c2 <= 37) {
    width = 36;
  } else if (height == 16 && c2 >= 46 && c2 <= 49) {
    width = 48;
  } else {
    return 0;
  }
  r1 = height;
  r2 = width;
  return 1;
}

int LocateDataMatrixWith(Recognizer& r, DmLocation& loc) {
  loc = DmLocation{};
  loc.decodeAttempt = -1;
  if (!LockPermits(r, kLockDataMatrix)) return MissAs(r, Symbology::kDataMatrix, Failure::kLocked);
  r.lockedKind = kLockNone;
  const int labels = std::min(r.labelCount, kMaxLabel + 1);
  int longest = 0;
  for (int label = 1; label < labels; ++label) {
    const ComponentRecord& c = r.components[label];
    if (c.shapeClass == kShapeUnclassified) longest = std::max(longest, c.pointCount);
  }
  const int minimum = std::max(kMinOutline, longest / 2);
  Miss(loc, Failure::kDmNoCandidate);
  for (int label = 1; label < labels; ++label) {
    const ComponentRecord& c = r.components[label];
    if (c.shapeClass != kShapeUnclassified || c.pointCount < minimum) continue;
    DmCorners corners{};
    const Failure before = loc.furthest;
    if (FindCorners(r, label, corners, loc) && ReadCandidate(r, corners, loc)) {
      loc.label = label;
      SetQrContentKind(r);
      r.FillDecodeSummary();
      return 1;
    }
    if (loc.furthest != before) loc.label = label;
  }
  return MissAs(r, Symbology::kDataMatrix, loc.furthest);
}

int LocateDataMatrix(Recognizer& r) {
  DmLocation location;
  return LocateDataMatrixWith(r, location);
}

}  // namespace cordavex
