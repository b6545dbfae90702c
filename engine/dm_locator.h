// The Data Matrix locator's stages, for tests: the dimension rule, the corner
// search on one candidate component, and the locator with its state visible.
// LocateDataMatrix (engine/locators.h) runs them in order.
//
// Everything works on the caller's workspace. The outline's straightness table
// and line list live in the hole-table area (no locator that runs after the
// labelling needs the hole table once the Data Matrix locator has started: it
// runs last); the decoder's working state lives in the contour buffer, free
// once the corners are known. Single-threaded per workspace.
#pragma once

#include <cstdint>

#include "engine/workspace.h"

namespace cordavex {

// The four corners of a Data Matrix candidate (points of the working image).
struct DmCorners {
  Point16 points[4];  // 0 end of the arm that becomes column 0, 1 the L corner,
                      // 2 the opposite corner, 3 end of the arm that becomes the last row
};

// What one LocateDataMatrix call did, for tests and tuning.
struct DmLocation {
  int32_t label;           // candidate that got furthest (0: none)
  DmCorners corners;       // its corners before the inset
  DmCorners inset;         // moved to the corner modules' centres
  int32_t count0;          // colour changes along the dashed edge towards point 0
  int32_t count3;          // ... towards point 3
  int32_t dimension;       // size from the dimension rule, 0 if rejected
  int32_t decodeAttempt;   // -1 none; 0 unshifted; 1..8 the retry that decoded; 9 the
                           // grid fitted to the border, 10 each data region fitted
                           // to its own (modes 6..11)
  Failure furthest;        // the furthest stage any candidate reached
};

// The dimension rule. Square form: both counts 10..64, m = the larger; 10..26
// round down to even, 27..29 are rejected, 30 and 31 give 32, 32..52 give
// ((m - 32) | 1) + 31, 53..61 are rejected, 62..64 give 64. Rectangular form:
// c1 rounds to 8, 12 or 16, then c2 to the widths that height has. Returns 1
// and the two results, or 0 when rejected.
int DmSquareDimension(int c1, int c2, int& r1, int& r2);
int DmRectangularDimension(int c1, int c2, int& r1, int& r2);
// Both counts 9..49: the larger rounded down to odd, for both (not used by the
// locator, which reads even sizes only).
int DmOddSquareDimension(int c1, int c2, int& r1, int& r2);

// Where a cause stands among the locator's stages: a candidate that got
// further explains a miss better than one that fell at the first test. -1 for
// kNone; the decoder's causes rank above every locator stage.
int DmStageRank(Failure f);

// LocateDataMatrix with its state visible.
int LocateDataMatrixWith(Recognizer& r, DmLocation& location);

}  // namespace cordavex
