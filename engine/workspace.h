// The engine workspace (`Recognizer`): the layout of the caller-owned block that
// holds every piece of engine state.
//
// The block is a fixed header of at most kWorkspaceHeaderBytes followed by the
// grey image area. The image area is 4n bytes for frames of n <= 76800 pixels
// (room for the 2x enlargement) and max(n, 307200) bytes otherwise.
//
// The frame tables (module matrix, hole table, component table, contour points)
// are rebuilt for every frame after preparation, so preparation may use their
// bytes as scratch (PreparationScratch). Fields marked persistent carry over
// from frame to frame and are repaired at the start of every call.
//
// Single-threaded: one workspace, one thread at a time.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "content/decode_summary.h"
#include "decode/failure.h"
#include "decode/module_matrix.h"

namespace cordavex {

inline constexpr int32_t kWorkspaceHeaderBytes = 34496;
inline constexpr int32_t kSmallFramePixels = 76800;   // 320 x 240
inline constexpr int32_t kLargeImageBytes = 307200;   // 640 x 480

inline constexpr int kComponentCapacity = 256;   // records indexed by label
inline constexpr int kMaxLabel = 253;            // labels 1..253
inline constexpr int kHoleCapacity = 256;
inline constexpr int kContourCapacity = 5000;

// Grey image values after labelling.
inline constexpr uint8_t kVisitedLight = 254;  // light pixel probed by a contour trace
inline constexpr uint8_t kLight = 255;
inline bool IsDark(uint8_t v) { return v < kVisitedLight; }

struct Point16 {
  int16_t x;
  int16_t y;
};

// What labelling made of a component's shape. Any value not listed is an
// elongated component, and the value is its length in pixels.
enum ShapeClass : int32_t {
  kShapeUnclassified = 0,
  kShapeCompact = 1,
  kShapeWrongHole = 1000,     // compact, but its hole has the wrong size
  kShapeCompactPair = 2000,   // compact, with a near compact neighbour
};

// One record per label (label 0 has none of its own).
struct ComponentRecord {
  int32_t pointCount;  // contour points recorded by the outer trace (<= 5000)
  int32_t diagonal;    // length of the long chord
  int32_t crossWidth;  // width across the long chord
  int32_t shapeClass;  // ShapeClass, else the elongated component's length
  int16_t centroidX;
  int16_t centroidY;
  Point16 cornerA;
  Point16 cornerB;
};

// A component with `count` holes of the right size. 16-bit halves keep the
// table small enough for the header; labels and counts fit with room to spare.
struct HoleEntry {
  int16_t count;
  int16_t label;
};

struct Recognizer {
  // Persistent adaptive state.
  int32_t meanGrey;         // minus the mean grey of the last prepared frame
  int32_t thresholdMid;     // T of the last frame
  int32_t thresholdOffset;  // 0..128
  int32_t sharpenPhase;     // 0..3
  double toneExponent;      // 0.4..1.6
  int32_t lockedKind;       // LockedKind, 0..7

  // Per-frame state.
  int32_t skipVersion2;
  // 1 in modes 6..11: the locators may read a symbol a second way when the
  // first reading fails (slower, for still images).
  int32_t extraReadings;
  int32_t imageWidth;
  int32_t imageHeight;
  int32_t imageCapacity;  // bytes available in the image area
  int32_t labelCount;     // next free label
  int32_t barCount;       // elongated components
  int32_t holeCount;      // used entries of `holes`
  int32_t resultMarker;
  int32_t symbolDimension;
  int32_t contentKind;
  uint32_t textFlag;
  DecodeSummary decodeSummary;
  // Bytes in decodedText when the decoder knows it (binary content may hold
  // zeros); 0 means "up to the terminating zero".
  int32_t decodedLength;
  // Why the last call found nothing: [0] for the frame as a whole (preparation,
  // labelling), then by symbology id for each locator that ran.
  Failure miss[5];
  // The lock value of the symbology that the last successful call decoded; kept
  // after the lock itself is released, for tools that report the symbology.
  int32_t decodedSymbology;
  // Components that passed the QR finder test in the last call (counting stops
  // at four): the still-image reader's sign of a QR code in view.
  int32_t finderCandidates;
  // The box (prepared-image pixels, inclusive) around the first symbol that a
  // locator placed in the last call, whether or not it decoded; empty (min
  // above max) when none was: where the still-image reader looks closer. And
  // the symbologies (mask bits) whose locators placed one.
  Point16 locatedMin;
  Point16 locatedMax;
  uint32_t locatedMask;

  // Decoder outputs.
  uint8_t decodedText[kDecodedTextBytes];
  uint8_t secondString[kSecondStringBytes];
  uint8_t further0[kFurtherBufferBytes[0]];
  uint8_t further1[kFurtherBufferBytes[1]];
  uint8_t further2[kFurtherBufferBytes[2]];

  // Frame tables, rebuilt after preparation (contiguous: see PreparationScratch).
  ModuleMatrix matrix;
  HoleEntry holes[kHoleCapacity];
  ComponentRecord components[kComponentCapacity];
  Point16 contour[kContourCapacity];

  uint8_t* image() { return reinterpret_cast<uint8_t*>(this) + kWorkspaceHeaderBytes; }
  const uint8_t* image() const {
    return reinterpret_cast<const uint8_t*>(this) + kWorkspaceHeaderBytes;
  }
  // Fills decodeSummary from contentKind and the decoder buffers.
  void FillDecodeSummary();
};

static_assert(sizeof(Recognizer) <= kWorkspaceHeaderBytes,
              "the workspace header must fit in the fixed part of GetRecognizerSize");

// The bytes of the frame tables, free for preparation's working copies.
inline std::span<uint8_t> PreparationScratch(Recognizer& r) {
  uint8_t* begin = reinterpret_cast<uint8_t*>(&r) + offsetof(Recognizer, matrix);
  uint8_t* end = reinterpret_cast<uint8_t*>(&r) + sizeof(Recognizer);
  return {begin, static_cast<size_t>(end - begin)};
}

// Notes that the locator of `symbology` (its mask bit) has placed a symbol,
// and its corners in locatedMin/Max unless an earlier one already stands there.
inline void NoteLocated(Recognizer& r, uint32_t symbology, std::span<const Point16> corners) {
  r.locatedMask |= symbology;
  if (r.locatedMin.x <= r.locatedMax.x || corners.empty()) return;
  Point16 low = corners[0], high = corners[0];
  for (const Point16& p : corners) {
    low = {std::min(low.x, p.x), std::min(low.y, p.y)};
    high = {std::max(high.x, p.x), std::max(high.y, p.y)};
  }
  r.locatedMin = low;
  r.locatedMax = high;
}

// No symbol placed yet in this call.
inline void ClearLocated(Recognizer& r) {
  r.locatedMin = {1, 1};
  r.locatedMax = {0, 0};
  r.locatedMask = 0;
}

// Image-area capacity for a frame of n pixels (without the header).
int64_t ImageAreaBytes(int64_t pixels);

}  // namespace cordavex
