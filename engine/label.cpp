// Component labelling by contour tracing: one raster scan in which every new
// dark region has its outer boundary traced (and labelled) at its first pixel,
// every hole has its boundary traced at its first pixel, and the rest of each
// dark run takes the label of the run's first pixel. Light pixels probed by a
// trace become 254, so that the scan later tells an unvisited hole (255) from
// the outside of a region it has already traced.
#include "engine/label.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/geometry.h"

namespace cordavex {
namespace {

constexpr int kModeLabelOnly = 0;
constexpr int kModeCentroid = 1;
constexpr int kModePoints = 2;

constexpr int kOuterStartDirection = 0;  // east: the first pixel has no dark neighbour above or left
constexpr int kHoleStartDirection = 1;   // south-east: east of the start pixel is the hole itself
constexpr int kMaxCoordinate = 32767;    // contour points are 16-bit

// The eight neighbours, clockwise on screen (y grows downwards), and where the
// search for the next contour pixel starts after a step in that direction: the
// neighbours before it were already seen light from the previous pixel.
// Indexed by the direction of the step just taken (0 east, clockwise).
constexpr int kSearchFrom[8] = {7, 7, 1, 1, 3, 3, 5, 5};
constexpr int kProbesPerPixel = 7;
constexpr int kNoDarkNeighbour = -1;
constexpr int kLeftImage = -2;

// Probes up to 7 neighbours of the pixel whose byte is `centre`, all of whose
// eight neighbours lie inside the image, clockwise from kFrom, marking light
// ones as probed; returns the direction of the first dark one. Unrolled for
// each first direction, so that every neighbour is addressed from the row
// length `w` directly.
template <int kFrom>
int ProbeInsideFrom(uint8_t* centre, ptrdiff_t w) {
  const auto probe = [&](auto direction) {
    constexpr int d = decltype(direction)::value;
    uint8_t& v = centre[ptrdiff_t{kDirectionY[d]} * w + kDirectionX[d]];
    if (IsDark(v)) return true;
    v = kVisitedLight;
    return false;
  };
  if (probe(std::integral_constant<int, (kFrom + 0) & 7>{})) return (kFrom + 0) & 7;
  if (probe(std::integral_constant<int, (kFrom + 1) & 7>{})) return (kFrom + 1) & 7;
  if (probe(std::integral_constant<int, (kFrom + 2) & 7>{})) return (kFrom + 2) & 7;
  if (probe(std::integral_constant<int, (kFrom + 3) & 7>{})) return (kFrom + 3) & 7;
  if (probe(std::integral_constant<int, (kFrom + 4) & 7>{})) return (kFrom + 4) & 7;
  if (probe(std::integral_constant<int, (kFrom + 5) & 7>{})) return (kFrom + 5) & 7;
  if (probe(std::integral_constant<int, (kFrom + 6) & 7>{})) return (kFrom + 6) & 7;
  return kNoDarkNeighbour;
}

int ProbeInside(uint8_t* centre, int from, ptrdiff_t w) {
  switch (from) {
    case 0: return ProbeInsideFrom<0>(centre, w);
    case 1: return ProbeInsideFrom<1>(centre, w);
    case 2: return ProbeInsideFrom<2>(centre, w);
    case 3: return ProbeInsideFrom<3>(centre, w);
    case 4: return ProbeInsideFrom<4>(centre, w);
    case 5: return ProbeInsideFrom<5>(centre, w);
    case 6: return ProbeInsideFrom<6>(centre, w);
    default: return ProbeInsideFrom<7>(centre, w);
  }
}

// ProbeInside for the pixel (x, y) anywhere in the image.
int Probe(uint8_t* img, int w, int h, int x, int y, uint8_t* centre, int from) {
  if (x > 0 && y > 0 && x < w - 1 && y < h - 1) return ProbeInside(centre, from, w);
  for (int i = 0; i < kProbesPerPixel; ++i) {
    const int d = (from + i) & 7;
    const int nx = x + kDirectionX[d], ny = y + kDirectionY[d];
    if (nx < 0 || ny < 0 || nx >= w || ny >= h) return kLeftImage;
    uint8_t& v = img[static_cast<size_t>(ny) * w + nx];
    if (IsDark(v)) return d;
    v = kVisitedLight;
  }
  return kNoDarkNeighbour;
}

// Eight pixels at a time: a word of eight bytes in image order.
constexpr uint64_t kLowBits = 0x0101010101010101ull;
constexpr uint64_t kHighBits = 0x8080808080808080ull;
constexpr uint64_t kSevenBits = 0x7F7F7F7F7F7F7F7Full;

uint64_t LoadWord(const uint8_t* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// The high bit of every dark byte of the word. A byte is light (254 or 255)
// exactly when setting its bit 0 makes it 0xFF, that is when the complement is
// zero; the sum of the low seven bits and 0x7F cannot carry into the next byte.
uint64_t DarkBytes(uint64_t word) {
  const uint64_t complement = ~(word | kLowBits);
  return (((complement & kSevenBits) + kSevenBits) | complement) & kHighBits;
}

// The position in the word of the first byte whose high bit is set.
int FirstMarkedByte(uint64_t marks) {
  if constexpr (std::endian::native == std::endian::little) return std::countr_zero(marks) / 8;
  return std::countl_zero(marks) / 8;
}

// The first pixel at or after x (before `end`) that is dark. Paper between
// modules makes light stretches long, so they are crossed 32 pixels a step
// where the vector unit allows.
int SkipLight(const uint8_t* row, int x, int end) {
#if defined(__SSE2__)
  const __m128i lowBit = _mm_set1_epi8(1);
  const __m128i allSet = _mm_set1_epi8(-1);
  for (; x + 32 <= end; x += 32) {
    // A byte is light exactly when setting its bit 0 makes it 0xFF.
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x + 16));
    const unsigned light =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(a, lowBit), allSet))) |
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(b, lowBit), allSet)))
            << 16;
    if (light != 0xFFFFFFFFu) return x + std::countr_zero(~light);
  }
#endif
  for (; x + 8 <= end; x += 8) {
    const uint64_t dark = DarkBytes(LoadWord(row + x));
    if (dark != 0) return x + FirstMarkedByte(dark);
  }
  while (x < end && !IsDark(row[x])) ++x;
  return x;
}

// Gives the dark pixels from x on (before `end`) the label `current`, up to the
// first light one, whose position it returns.
int FillDarkRun(uint8_t* row, int x, int end, uint8_t current) {
  const uint64_t labels = kLowBits * current;
  for (; x + 8 <= end; x += 8) {
    const uint64_t word = LoadWord(row + x);
    const uint64_t light = DarkBytes(word) ^ kHighBits;
    if (light != 0) {
      const int run = FirstMarkedByte(light);
      if constexpr (std::endian::native == std::endian::little) {
        // The run's bytes take the label and the rest of the word is written
        // back as it was: one store, where a memset of a few bytes is a call.
        const uint64_t rest = ~uint64_t{0} << (8 * run);
        const uint64_t filled = (word & rest) | (labels & ~rest);
        std::memcpy(row + x, &filled, sizeof filled);
      } else {
        std::memset(row + x, current, static_cast<size_t>(run));
      }
      return x + run;
    }
    std::memcpy(row + x, &labels, sizeof labels);
  }
  for (; x < end && IsDark(row[x]); ++x) row[x] = current;
  return x;
}

int64_t SquaredDistance(Point16 a, int ax, int ay) {
  const int64_t dx = a.x - ax, dy = a.y - ay;
  return dx * dx + dy * dy;
}

int32_t Distance(int ax, int ay, int bx, int by) { return TruncatedLength(ax - bx, ay - by); }
int32_t Distance(Point16 a, Point16 b) { return Distance(a.x, a.y, b.x, b.y); }

// Size unit for the shape limits: 1 up to 320 x 240, 4 at 640 x 480.
int64_t SizeUnit(const Recognizer& r) {
  return std::max<int64_t>(1, int64_t{r.imageWidth} * r.imageHeight / kSmallFramePixels);
}

// Shape of a component from its closed outer contour (the last point repeats the
// first, so the contour has N - 1 distinct positions and point i + H is about
// half way round from point i).
void ClassifyComponent(Recognizer& r, int label) {
  ComponentRecord& c = r.components[label];
  const int n = c.pointCount;
  const int64_t k = SizeUnit(r);
  if (n <= 5 * k || n >= r.imageWidth + r.imageWidth / 2) return;
  const Point16* p = r.contour;

  // Far: the point farthest from the centroid. Near: the nearest among the
  // points that did not, when scanned, raise the farthest distance.
  int farIndex = n - 1, nearIndex = -1;
  int64_t farDistance = -1, nearDistance = INT64_MAX;
  for (int i = n - 1; i >= 0; --i) {
    const int64_t d = SquaredDistance(p[i], c.centroidX, c.centroidY);
    if (d > farDistance) {
      farDistance = d;
      farIndex = i;
    } else if (d < nearDistance) {
      nearDistance = d;
      nearIndex = i;
    }
  }
  if (nearIndex < 0) nearIndex = farIndex;

  const int half = (n - 1) / 2;
  const int distinct = n - 1;
  const Point16 farPoint = p[farIndex];
  const Point16 farOpposite = p[(farIndex + half) % distinct];
  const Point16 nearPoint = p[nearIndex];
  const Point16 nearOpposite = p[(nearIndex + half) % distinct];
  c.diagonal = Distance(farPoint, farOpposite);
  const int midX = (farPoint.x + farOpposite.x) / 2;
  const int midY = (farPoint.y + farOpposite.y) / 2;
  c.crossWidth = Distance(midX, midY, nearOpposite.x, nearOpposite.y) +
                 Distance(midX, midY, nearPoint.x, nearPoint.y);
  const int32_t nearChord = Distance(nearPoint, nearOpposite);

  if (c.diagonal < 3 * c.crossWidth) {
    if (n <= 8 * k || n <= 4 * std::abs(c.diagonal - c.crossWidth)) return;
    if (half < c.diagonal || half < 2 * nearChord) {
      c.shapeClass = kShapeCompact;
    } else {
      c.shapeClass = kShapeCompactPair;
      c.cornerA = nearPoint;
      c.cornerB = nearOpposite;
    }
    return;
  }
  // Elongated: the class is its length measure, the ends ordered by x + y.
  c.shapeClass = std::max(2 * c.crossWidth, c.diagonal / 2);
  const bool farFirst = farPoint.x + farPoint.y <= farOpposite.x + farOpposite.y;
  c.cornerA = farFirst ? farPoint : farOpposite;
  c.cornerB = farFirst ? farOpposite : farPoint;
  ++r.barCount;
}

// A hole of a compact component counts when the component's outline has the
// size that a finder ring's would.
void ClassifyHole(Recognizer& r, int label) {
  ComponentRecord& c = r.components[label];
  if (c.shapeClass != kShapeCompact && c.shapeClass != kShapeCompactPair) return;
  const int64_t k = SizeUnit(r);
  if (!(24 * k < c.pointCount && c.pointCount < 320 * k)) {
    c.shapeClass = kShapeWrongHole;
    return;
  }
  for (int i = 0; i < r.holeCount; ++i) {
    if (r.holes[i].label == label) {
      if (r.holes[i].count < INT16_MAX) ++r.holes[i].count;
      return;
    }
  }
  if (r.holeCount < kHoleCapacity) {
    r.holes[r.holeCount] = HoleEntry{1, static_cast<int16_t>(label)};
    ++r.holeCount;
  }
}

// TraceContour with the record mode fixed, and with kFramed for a start pixel
// inside a light frame (as LabelComponents makes it): no trace then reaches
// the image's edge, and no probe needs to test for it.
template <bool kFramed, int kRecordMode>
int Trace(Recognizer& r, ComponentRecord* record, int row, int column, int label,
          int startDirection) {
  constexpr int recordMode = kRecordMode;
  const int w = r.imageWidth, h = r.imageHeight;
  if (w <= 0 || h <= 0 || int64_t{w} * h > r.imageCapacity) return 0;
  if (row < 0 || column < 0 || row >= h || column >= w) return 0;
  if (label < 0 || label >= kVisitedLight || startDirection < 0 || startDirection > 7) return 0;
  if (recordMode != kModeLabelOnly && (w > kMaxCoordinate + 1 || h > kMaxCoordinate + 1)) return 0;
  uint8_t* img = r.image();
  uint8_t& startPixel = img[static_cast<size_t>(row) * w + column];
  if (!IsDark(startPixel)) return 0;
  startPixel = static_cast<uint8_t>(label);

  constexpr bool recording = recordMode != kModeLabelOnly;
  const int startX = column, startY = row;
  int stored = 0;
  int64_t steps = 0, sumX = 0, sumY = 0;
  bool complete = false;

  // Each direction's step in bytes; written out so that the table folds to constants.
  auto step = [w](int d) { return ptrdiff_t{kDirectionY[d]} * w + kDirectionX[d]; };
  const ptrdiff_t offsets[8] = {step(0), step(1), step(2), step(3),
                                step(4), step(5), step(6), step(7)};
  uint8_t* const startAt = &startPixel;
  uint8_t* at = startAt;
  uint8_t* second = nullptr;
  int x = startX, y = startY;
  // Dark pixels are only left by their 8-neighbours, so a dark start makes the
  // trace close; the bound merely keeps a damaged image from spinning.
  const int64_t maxSteps = 8 * int64_t{w} * h + 8;
  // One step in direction d; true when the walk ends there (the contour closed,
  // or the bound was reached).
  const auto advance = [&](int d) __attribute__((always_inline)) {
    if (steps >= maxSteps) return true;
    uint8_t* const next = at + offsets[d];
    x += kDirectionX[d];
    y += kDirectionY[d];
    *next = static_cast<uint8_t>(label);
    ++steps;
    sumX += x;
    sumY += y;
    if (recording && stored < kContourCapacity) {
      r.contour[stored++] = Point16{static_cast<int16_t>(x), static_cast<int16_t>(y)};
    }
    // Closed when a step from the start pixel reaches the second pixel again
    // (bytes of the image stand for their positions one to one).
    if (steps == 1) {
      second = next;
    } else if (at == startAt && next == second) {
      complete = true;
      return true;
    }
    at = next;
    return false;
  };
  // The walk is a machine of five states: one for each neighbour a search can
  // start from after a step (kSearchFrom) and one for the first pixel of an
  // outline. Each probes its seven neighbours in turn and goes straight on to
  // the state that the step it takes leads to. A loop would dispatch on the
  // direction held in a variable, through a jump that the processor
  // mispredicts at the turns of a ragged outline. Unless the image is framed,
  // a pixel on its edge is probed apart, with the neighbours outside tested.
  int from = startDirection;
#define CORDAVEX_STATE(name, first)                                        \
  name:                                                                    \
  if constexpr (!kFramed) {                                                \
    if (x <= 0 || y <= 0 || x >= w - 1 || y >= h - 1) {                    \
      from = first;                                                        \
      goto edge;                                                           \
    }                                                                      \
  }
#define CORDAVEX_PROBE(d, then)                                            \
  if (IsDark(at[offsets[d]])) {                                            \
    if (advance(d)) goto walked;                                           \
    goto then;                                                             \
  }                                                                        \
  at[offsets[d]] = kVisitedLight;
  switch (startDirection) {
    case 0: goto from0;
    case 1: goto from1;
    case 3: goto from3;
    case 5: goto from5;
    case 7: goto from7;
    default: goto edge;
  }
  CORDAVEX_STATE(from0, 0)
  CORDAVEX_PROBE(0, from7) CORDAVEX_PROBE(1, from7) CORDAVEX_PROBE(2, from1)
  CORDAVEX_PROBE(3, from1) CORDAVEX_PROBE(4, from3) CORDAVEX_PROBE(5, from3)
  CORDAVEX_PROBE(6, from5)
  goto walked;
  CORDAVEX_STATE(from1, 1)
  CORDAVEX_PROBE(1, from7) CORDAVEX_PROBE(2, from1) CORDAVEX_PROBE(3, from1)
  CORDAVEX_PROBE(4, from3) CORDAVEX_PROBE(5, from3) CORDAVEX_PROBE(6, from5)
  CORDAVEX_PROBE(7, from5)
  goto walked;
  CORDAVEX_STATE(from3, 3)
  CORDAVEX_PROBE(3, from1) CORDAVEX_PROBE(4, from3) CORDAVEX_PROBE(5, from3)
  CORDAVEX_PROBE(6, from5) CORDAVEX_PROBE(7, from5) CORDAVEX_PROBE(0, from7)
  CORDAVEX_PROBE(1, from7)
  goto walked;
  CORDAVEX_STATE(from5, 5)
  CORDAVEX_PROBE(5, from3) CORDAVEX_PROBE(6, from5) CORDAVEX_PROBE(7, from5)
  CORDAVEX_PROBE(0, from7) CORDAVEX_PROBE(1, from7) CORDAVEX_PROBE(2, from1)
  CORDAVEX_PROBE(3, from1)
  goto walked;
  CORDAVEX_STATE(from7, 7)
  CORDAVEX_PROBE(7, from5) CORDAVEX_PROBE(0, from7) CORDAVEX_PROBE(1, from7)
  CORDAVEX_PROBE(2, from1) CORDAVEX_PROBE(3, from1) CORDAVEX_PROBE(4, from3)
  CORDAVEX_PROBE(5, from3)
  goto walked;
#undef CORDAVEX_PROBE
#undef CORDAVEX_STATE
edge:
  // A pixel on the image's edge, or a first direction of no state: probed in
  // turn, then on into the machine.
  {
    const int d = kFramed ? ProbeInside(at, from, w) : Probe(img, w, h, x, y, at, from);
    if (d < 0 || advance(d)) goto walked;
    switch (kSearchFrom[d]) {
      case 1: goto from1;
      case 3: goto from3;
      case 5: goto from5;
      default: goto from7;
    }
  }
walked:
  if (record != nullptr && recording) {
    record->pointCount = stored;
    if constexpr (recordMode == kModeCentroid) {
      if (steps > 0) {
        // Rounded to nearest in 10-bit fixed point.
        record->centroidX = static_cast<int16_t>((((sumX << 10) / steps) + 512) >> 10);
        record->centroidY = static_cast<int16_t>((((sumY << 10) / steps) + 512) >> 10);
      } else {
        record->centroidX = static_cast<int16_t>(startX);
        record->centroidY = static_cast<int16_t>(startY);
      }
      const Point16 start{static_cast<int16_t>(startX), static_cast<int16_t>(startY)};
      record->cornerA = start;
      record->cornerB = start;
    }
  }
  return complete && steps <= kContourCapacity ? 1 : 0;
}

}  // namespace

int TraceContour(Recognizer& r, ComponentRecord* record, int row, int column, int label,
                 int startDirection, int recordMode) {
  switch (recordMode) {
    case kModeLabelOnly:
      return Trace<false, kModeLabelOnly>(r, record, row, column, label, startDirection);
    case kModeCentroid:
      return Trace<false, kModeCentroid>(r, record, row, column, label, startDirection);
    case kModePoints:
      return Trace<false, kModePoints>(r, record, row, column, label, startDirection);
    default:
      return 0;
  }
}

int LabelComponents(Recognizer& r) {
  std::memset(r.components, 0, sizeof(r.components));
  std::memset(r.holes, 0, sizeof(r.holes));
  r.barCount = 0;
  r.holeCount = 0;
  r.labelCount = 1;
  const int w = r.imageWidth, h = r.imageHeight;
  if (w <= 0 || h <= 0 || int64_t{w} * h > r.imageCapacity) return 0;
  // Contour points and centroids are 16-bit: a taller or wider image cannot be
  // described (no camera frame comes near; a reduced frame is at most 640 wide).
  if (w > kMaxCoordinate + 1 || h > kMaxCoordinate + 1) return 0;
  uint8_t* img = r.image();

  // A light frame keeps every trace inside the image.
  std::memset(img, kLight, static_cast<size_t>(w));
  std::memset(img + static_cast<size_t>(h - 1) * w, kLight, static_cast<size_t>(w));
  for (int y = 0; y < h; ++y) {
    img[static_cast<size_t>(y) * w] = kLight;
    img[static_cast<size_t>(y) * w + (w - 1)] = kLight;
  }

  for (int y = 1; y < h - 1; ++y) {
    uint8_t* row = img + static_cast<size_t>(y) * w;
    int current = 0;  // label of the dark run being crossed
    for (int x = 1; x < w - 1; ++x) {
      const uint8_t v = row[x];
      if (!IsDark(v)) {
        if (current != 0) {
          // Unprobed light right after a run can only be inside the component.
          if (v == kLight &&
              Trace<true, kModeLabelOnly>(r, nullptr, y, x - 1, current, kHoleStartDirection)) {
            ClassifyHole(r, current);
          }
          current = 0;
        }
        // Outside a run a light pixel changes nothing: go to the next dark one.
        x = SkipLight(row, x + 1, w - 1) - 1;
      } else if (current == 0) {
        if (v != 0) {
          current = v;
          continue;
        }
        if (r.labelCount > kMaxLabel) return 0;
        const int label = r.labelCount;
        if (Trace<true, kModeCentroid>(r, &r.components[label], y, x, label,
                                       kOuterStartDirection)) {
          ClassifyComponent(r, label);
        }
        ++r.labelCount;
        current = label;
      } else {
        // Inside a run every dark pixel takes its label: fill to the next light one.
        x = FillDarkRun(row, x, w - 1, static_cast<uint8_t>(current)) - 1;
      }
    }
  }
  return 1;
}

}  // namespace cordavex
