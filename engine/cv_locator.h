// The Cordavex code locator's stages, for tests: the grouping of bars into
// pairs and groups, the ring marker, the four corner marks, the dimension rules
// and the sampling. LocateCordavexCode (engine/locators.h) runs them in order.
//
// Everything works on the caller's workspace: the labelled image, the component
// table, the hole table (reused for the groups of four bar labels), the
// contour-point buffer (the bar and square-marker lists, later the decoder's
// working state) and the module matrix. Single-threaded per workspace.
#pragma once

#include <cstdint>
#include <span>

#include "engine/workspace.h"

namespace cordavex {

// The layout versions a group can be read as: 2 the older fixed layout, 3 the
// current one; 0 while undecided.
inline constexpr int32_t kCvVersionNone = 0;
inline constexpr int32_t kCvVersionOlder = 2;
inline constexpr int32_t kCvVersionCurrent = 3;

// What the locator made of one group of four bars.
struct CordavexLocation {
  // The first pair (away from the ring), then the ring's pair; in each pair
  // the outer bar first and the bar beside the matrix second.
  int32_t bars[4];
  int32_t ring;
  // Corner-mark labels; in sampling terms P0, P2, P1, P3.
  int32_t topLeft;
  int32_t bottomLeft;
  int32_t topRight;
  int32_t bottomRight;
  int32_t spare;
  int32_t codeVersion;  // 0, 2 or 3
  // The sample points of the four corner modules (current layout only), in
  // the order P0 top left, P1 top right, P2 bottom left, P3 bottom right.
  Point16 samplePoints[4];
  // What the attempt did, for tests: the number of groups formed, and the
  // retry that decoded (-1 none, 0 unshifted, 1..8 the shift direction + 1).
  int32_t groupCount;
  int32_t decodeAttempt;
};

// Lists the bars and square markers, pairs the bars and writes the groups of
// four labels into the hole table (holeCount = 4 * groups). Returns the number
// of groups; with fewer than four listed square markers and fewer than six
// bars no group is kept (0).
int GroupCordavexBars(Recognizer& r);

// The size of a symbol from the count of colour changes down its left column
// (the count path): for the older layout rounded up to 13, 17, 19, 23 or 29,
// else to the odd sizes below 30 and the 29 + 4n sizes from 30; 0 for a count
// below 10 or a size that does not exist.
int CvDimensionFromCount(int32_t codeVersion, int count);

// The size from the run lengths of a walk up the left column (the run-length
// path of the current layout): runs[0] the light run before the first change,
// runs[1] the bottom corner mark, ..., runs[changes] the top corner mark. The
// raw size before the bar-spacing check and the rounding: 7 for three changes
// or fewer, 0 for a run out of proportion.
int CvSizeFromRuns(std::span<const int32_t> runs, int changes);

// LocateCordavexCode with its state visible.
int LocateCordavexCodeWith(Recognizer& r, CordavexLocation& location);

}  // namespace cordavex
