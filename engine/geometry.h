// Grid sampling and line geometry on the labelled grey image of the workspace:
// projective sampling of a module grid from four corner points, single-module
// samples, colour changes along a line, clear-line tests, extreme contour points
// and a one-pixel nudge towards dark pixels. All in integers with 10-bit fixed
// point (kOne = 1024 is 1.0); a pixel is dark when its value is below 254.
//
// Ownership: everything reads the workspace's image (r.image(), imageWidth x
// imageHeight); SampleGrid writes the workspace's module matrix and nothing else.
// Nothing is allocated. Threads: one workspace, one thread at a time.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>

#include "engine/workspace.h"

namespace cordavex {

// 10-bit fixed point: 1024 is 1.0, and (v + 512) >> 10 rounds back to pixels.
inline constexpr int64_t kOne = 1024;
inline constexpr int64_t kHalf = 512;

// The eight neighbour directions: 0 east, then clockwise as seen on screen (y
// grows downwards). Contour traces, searches and retries all count them so.
inline constexpr int kDirectionX[8] = {1, 1, 0, -1, -1, -1, 0, 1};
inline constexpr int kDirectionY[8] = {0, 1, 1, 1, 0, -1, -1, -1};

// Euclidean length truncated to an integer.
inline int32_t TruncatedLength(int64_t dx, int64_t dy) {
  return static_cast<int32_t>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
}

// A point in 32-bit coordinates, for the arithmetic between the 16-bit points
// that the component records and contours keep.
struct Point {
  int32_t x;
  int32_t y;
};
inline Point ToPoint(Point16 p) { return {p.x, p.y}; }
inline Point16 ToPoint16(Point p) { return {static_cast<int16_t>(p.x), static_cast<int16_t>(p.y)}; }
inline int32_t Distance(Point a, Point b) {
  return TruncatedLength(int64_t{a.x} - b.x, int64_t{a.y} - b.y);
}

// At least one pixel inside the left and top edges and two inside the right and
// bottom ones: where a corner may lie for sampling around it.
inline bool InsideWithMargin(const Recognizer& r, Point p) {
  return p.x >= 1 && p.y >= 1 && p.x + 2 <= r.imageWidth && p.y + 2 <= r.imageHeight;
}

// The image points at which the corner modules of an (N + 1) x (N + 1) grid are
// sampled: points[0] module (row 0, column 0), points[1] (0, N), points[2]
// (N, 0), points[3] (N, N). Laid out as x0, y0, x1, y1, x2, y2, x3, y3.
struct SampleCorners {
  Point16 points[4];
};

// Samples rows and columns 0..n of the module matrix through the projective
// mapping of the corners: a module whose sample point lies strictly inside the
// one-pixel frame of the image (0 < x < width - 1, 0 < y < height - 1) becomes
// dark or light, any other keeps its value (the caller clears the matrix first).
// Returns 1, or 0 without touching the matrix when the corners are degenerate
// (three of them collinear, or so far from a quadrilateral that sample positions
// would not fit in 64 bits) or n is not 1..69.
int SampleGrid(Recognizer& r, const SampleCorners& corners, int n);

// The sample of one module (column, row) of the same mapping: 1 when its pixel is
// dark, 0 when light, outside 2 <= x < width - 2 and 2 <= y < height - 2, or the
// mapping is degenerate.
int SampleModule(const Recognizer& r, const SampleCorners& corners, int column, int row, int n);

// The pixel at which SampleModule samples module (column, row) of the same
// mapping, rounded as there; false when the mapping is degenerate or the point
// lies at infinity.
bool ModulePoint(const SampleCorners& corners, int column, int row, int n, Point& at);

// The projective mapping of a corner set, in 10-bit fixed point: module (row i,
// column j) maps to x = ((16 (originX + j ax + i bx)) / D + 8) >> 4 (y likewise)
// with D = (j g + i h) / den + scale.
struct ProjectiveMapping {
  int64_t den, g, h;
  int64_t ax, bx, ay, by;
  int64_t originX, originY;  // 1024 N x0, 1024 N y0
  int64_t scale;             // 1024 N
  // Every numerator of the mapping's quotients, for modules within the reach it
  // was built for, is below 2^53 in size: exact as a double (see MapPoint).
  bool exactInDoubles;
};

// SampleModule for many modules of one corner set, with the mapping built once:
// Sample(column, row) is exactly SampleModule(r, corners, column, row, n). Holds
// a reference to the workspace; the image must not change while it is in use.
class ModuleSampler {
 public:
  ModuleSampler(const Recognizer& r, const SampleCorners& corners, int n);
  int Sample(int column, int row) const;
  // Sample(column + k dColumn, row + k dRow) into out[k] for k = 0..count - 1,
  // the sums carried from one module to the next where the mapping allows.
  void SampleLine(int column, int row, int dColumn, int dRow, int count, uint8_t* out) const;

 private:
  const Recognizer& r_;
  SampleCorners corners_;
  int n_;
  bool usable_;  // the mapping is sound for modules within -n..n
  ProjectiveMapping mapping_;
};

// Walks from b towards a (max(|dx|, |dy|) steps, b included, a excluded) and
// returns start plus the number of colour changes met, the walk starting on
// light. A zero-length line gives 0, and so does a line whose last step lies off
// the image; a walk that leaves the image earlier stops there. When runLengths is
// not empty, runLengths[start + c] counts the pixels walked after c changes
// (indices outside the span are not counted).
int CountTransitions(const Recognizer& r, Point16 a, Point16 b, int start,
                     std::span<int32_t> runLengths = {});

// 1 when every pixel stepped from b towards a is light, 0 at the first dark one,
// -1 when the line is as long as the image is wide or high or its far end lies
// outside 1..size - 2. The steps are k (a - b) / S for k = 1..S - 1 with
// S = max(|dx|, |dy|) + 1, in 1/1024 pixel truncated and floored, so b itself is
// skipped when walking left or up but met again at k = 1 when walking right or
// down. Pixels with x or y below 2, or outside the image, are not tested.
int LineIsClear(const Recognizer& r, Point16 a, Point16 b);

// Indices into a closed contour of the points with the greatest and the smallest
// smoothed distance to `reference` (the squared distances of the point and its
// two neighbours, summed). Ties go to the earlier index; an empty contour gives 0
// for both.
struct ExtremeIndices {
  int32_t farthest;
  int32_t nearest;
};
ExtremeIndices ExtremeContourPoints(std::span<const Point16> points, Point16 reference);

// Moves the point one pixel in the direction (0 east, clockwise to 7 north-east)
// whose neighbourhood, smoothed over the adjacent directions, holds the most dark
// pixels; leaves it where it is when none is dark. Pixels within two of the image
// border are not counted.
void NudgeTowardsDark(const Recognizer& r, Point16& point);

// ---- Floating-point mappings, for the extra readings ------------------------

// Module space to image: x = (a u + b v + c) / (g u + h v + 1), y likewise.
struct Homography {
  double a, b, c, d, e, f, g, h;
};

// The mapping that takes the four module-space points `from` to the image
// points `to`; false when the points are degenerate.
bool SolveHomography(const double from[4][2], const double to[4][2], Homography& out);

// The mapping that best takes the `count` module-space points `from` to the
// image points `to` in the least-squares sense (at least four, no three of
// them in a line); false when they do not determine one. Both point sets are
// centred and scaled first, which keeps the normal equations well conditioned.
bool FitHomography(const double (*from)[2], const double (*to)[2], int count, Homography& out);

// The image of module-space point (u, v); false at infinity.
bool MapThrough(const Homography& map, double u, double v, double& x, double& y);

// Solves the N x N system whose augmented rows are `m` by Gauss-Jordan
// elimination with partial pivoting (N = 4 and 8); false when it is singular or
// the solution is not finite.
template <int N>
bool SolveLinear(double (&m)[N][N + 1], double (&out)[N]);

// Whether the pixel under image point (x, y) is dark; false outside the image.
inline bool DarkAt(const Recognizer& r, double x, double y) {
  if (!(x >= 0 && y >= 0 && x < r.imageWidth && y < r.imageHeight)) return false;
  return IsDark(r.image()[static_cast<size_t>(y) * r.imageWidth + static_cast<size_t>(x)]);
}

}  // namespace cordavex
