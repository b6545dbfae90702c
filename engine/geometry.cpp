// Grid sampling through a projective mapping, and line geometry.
#include "engine/geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace cordavex {
namespace {

constexpr int kMaxGridIndex = ModuleMatrix::kSize - 1;

// Sample positions are formed as 16 (1024 N x0 + j Ax + i Bx); corner sets whose
// terms could exceed this are treated as degenerate rather than overflowing.
constexpr double kMagnitudeLimit = 4.0e18;  // below 2^62
// Mappings whose Magnitude is below this (2^52, half of where doubles stop
// holding every integer, for the rounding of Magnitude's own sums) keep every
// numerator and divisor of MapPoint's quotients exact as doubles: 16 sumX and
// 16 sumY are bounded by it, sumD by a sixteenth of it and D by little more.
constexpr double kDoubleExactLimit = 0x1p52;

struct Image {
  const uint8_t* pixels;
  int64_t width;
  int64_t height;

  bool Contains(int64_t x, int64_t y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  bool Dark(int64_t x, int64_t y) const { return IsDark(pixels[y * width + x]); }
};

Image ImageOf(const Recognizer& r) { return {r.image(), r.imageWidth, r.imageHeight}; }

// The projective mapping of module (row i, column j) to the image: with
// D = (j G + i H) / den + 1024 N,
//   x = ((16 (1024 N x0 + j Ax + i Bx)) / D + 8) >> 4,   y likewise,
// every quotient truncated towards zero and the final shift rounding to the
// nearest pixel. G = H = 0 for a parallelogram, where the mapping is affine.
using Mapping = ProjectiveMapping;

// The largest |term| of the sums for modules up to `reach` in either index.
double Magnitude(const Mapping& m, int64_t reach) {
  const double k = static_cast<double>(reach);
  const double x = std::fabs(static_cast<double>(m.originX)) +
                   k * (std::fabs(static_cast<double>(m.ax)) + std::fabs(static_cast<double>(m.bx)));
  const double y = std::fabs(static_cast<double>(m.originY)) +
                   k * (std::fabs(static_cast<double>(m.ay)) + std::fabs(static_cast<double>(m.by)));
  const double d = k * (std::fabs(static_cast<double>(m.g)) + std::fabs(static_cast<double>(m.h)));
  return 16.0 * std::fmax(std::fmax(x, y), d);
}

// Returns false for degenerate corners. Coordinates are 16-bit, so den, G, H and
// the products x1 G stay below 2^60; only the module sums need the bound check.
bool MakeMapping(const SampleCorners& corners, int n, int64_t reach, Mapping& m) {
  const int64_t x0 = corners.points[0].x, y0 = corners.points[0].y;
  const int64_t x1 = corners.points[1].x, y1 = corners.points[1].y;
  const int64_t x2 = corners.points[2].x, y2 = corners.points[2].y;
  const int64_t x3 = corners.points[3].x, y3 = corners.points[3].y;
  const int64_t sx = x0 - x1 - x2 + x3;
  const int64_t sy = y0 - y1 - y2 + y3;
  m.den = (y2 - y3) * (x1 - x3) - (x2 - x3) * (y1 - y3);
  if (m.den == 0) return false;
  m.g = kOne * (sx * (y2 - y3) - sy * (x2 - x3));
  m.h = kOne * (sy * (x1 - x3) - sx * (y1 - y3));
  m.ax = x1 * m.g / m.den + kOne * (x1 - x0);
  m.bx = x2 * m.h / m.den + kOne * (x2 - x0);
  m.ay = y1 * m.g / m.den + kOne * (y1 - y0);
  m.by = y2 * m.h / m.den + kOne * (y2 - y0);
  m.scale = kOne * n;
  m.originX = m.scale * x0;
  m.originY = m.scale * y0;
  const double magnitude = Magnitude(m, reach);
  m.exactInDoubles = magnitude < kDoubleExactLimit;
  return magnitude < kMagnitudeLimit;
}

// Maps accumulated sums to a pixel; false when D is 0 (the point is at infinity).
bool MapPoint(const Mapping& m, int64_t sumD, int64_t sumX, int64_t sumY, int64_t& x,
              int64_t& y) {
  if (m.exactInDoubles) {
    // Where a numerator N and divisor M are below 2^53 in size, both are exact
    // as doubles, and a quotient that is not an integer lies at least 1 / |M|
    // from one, while one correctly rounded division moves it by at most
    // |N / M| 2^-53 < 1 / |M|; an integer quotient stays as it is. Truncating
    // the double's quotient then truncates the true one, and the
    // floating-point divider takes these divisions faster than the integer
    // one does.
    const auto quotient = [](int64_t n, int64_t divisor) {
      return static_cast<int64_t>(static_cast<double>(n) / static_cast<double>(divisor));
    };
    const int64_t d = quotient(sumD, m.den) + m.scale;
    if (d == 0) return false;
    x = (quotient(16 * sumX, d) + 8) >> 4;
    y = (quotient(16 * sumY, d) + 8) >> 4;
    return true;
  }
  const int64_t d = sumD / m.den + m.scale;
  if (d == 0) return false;
  // >> of a negative quotient is an arithmetic shift (floor), as intended.
  x = ((16 * sumX) / d + 8) >> 4;
  y = ((16 * sumY) / d + 8) >> 4;
  return true;
}

}  // namespace

int SampleGrid(Recognizer& r, const SampleCorners& corners, int n) {
  if (n < 1 || n > kMaxGridIndex) return 0;
  Mapping m;
  if (!MakeMapping(corners, n, n, m)) return 0;
  const Image image = ImageOf(r);
  // Row by row the sums grow by H, Bx, By; along a row by G, Ax, Ay.
  int64_t rowD = 0, rowX = m.originX, rowY = m.originY;
  for (int i = 0; i <= n; ++i) {
    int64_t sumD = rowD, sumX = rowX, sumY = rowY;
    for (int j = 0; j <= n; ++j) {
      int64_t x, y;
      if (MapPoint(m, sumD, sumX, sumY, x, y) && x > 0 && x < image.width - 1 && y > 0 &&
          y < image.height - 1) {
        r.matrix.Set(i, j, image.Dark(x, y));
      }
      sumD += m.g;
      sumX += m.ax;
      sumY += m.ay;
    }
    rowD += m.h;
    rowX += m.bx;
    rowY += m.by;
  }
  return 1;
}

namespace {

// The pixel of module (row i, column j) through a sound mapping; false when it
// lies at infinity.
bool MapModule(const Mapping& m, int64_t j, int64_t i, int64_t& x, int64_t& y) {
  return MapPoint(m, j * m.g + i * m.h, m.originX + j * m.ax + i * m.bx,
                  m.originY + j * m.ay + i * m.by, x, y);
}

// SampleModule's test of one module through a sound mapping.
int SampleMapped(const Recognizer& r, const Mapping& m, int64_t j, int64_t i) {
  int64_t x, y;
  if (!MapModule(m, j, i, x, y)) return 0;
  const Image image = ImageOf(r);
  if (x < 2 || x >= image.width - 2 || y < 2 || y >= image.height - 2) return 0;
  return image.Dark(x, y) ? 1 : 0;
}

int64_t SampleReach(int column, int row, int n) {
  return std::max({int64_t{n}, std::abs(int64_t{column}), std::abs(int64_t{row})});
}

}  // namespace

int SampleModule(const Recognizer& r, const SampleCorners& corners, int column, int row, int n) {
  Mapping m;
  if (!MakeMapping(corners, n, SampleReach(column, row, n), m)) return 0;
  return SampleMapped(r, m, column, row);
}

bool ModulePoint(const SampleCorners& corners, int column, int row, int n, Point& at) {
  Mapping m;
  if (!MakeMapping(corners, n, SampleReach(column, row, n), m)) return false;
  int64_t x, y;
  if (!MapModule(m, column, row, x, y)) return false;
  constexpr int64_t kLow = std::numeric_limits<int32_t>::min();
  constexpr int64_t kHigh = std::numeric_limits<int32_t>::max();
  if (x < kLow || x > kHigh || y < kLow || y > kHigh) return false;
  at = {static_cast<int32_t>(x), static_cast<int32_t>(y)};
  return true;
}

ModuleSampler::ModuleSampler(const Recognizer& r, const SampleCorners& corners, int n)
    : r_(r), corners_(corners), n_(n), mapping_{} {
  usable_ = MakeMapping(corners, n, n, mapping_);
}

int ModuleSampler::Sample(int column, int row) const {
  // The magnitude bound depends on how far the module lies; within -n..n it is
  // the one the mapping was built with, beyond that it is checked afresh.
  if (SampleReach(column, row, n_) != n_) return SampleModule(r_, corners_, column, row, n_);
  return usable_ ? SampleMapped(r_, mapping_, column, row) : 0;
}

void ModuleSampler::SampleLine(int column, int row, int dColumn, int dRow, int count,
                               uint8_t* out) const {
  if (count <= 0) return;
  const int64_t lastColumn = column + int64_t{count - 1} * dColumn;
  const int64_t lastRow = row + int64_t{count - 1} * dRow;
  // A line's reach is largest at one of its ends.
  const bool inReach = SampleReach(column, row, n_) == n_ &&
                       std::max(std::abs(lastColumn), std::abs(lastRow)) <= n_;
  if (!usable_ || !inReach || !mapping_.exactInDoubles) {
    for (int k = 0; k < count; ++k) {
      out[k] = static_cast<uint8_t>(Sample(column + k * dColumn, row + k * dRow));
    }
    return;
  }
  // MapPoint's quotients in doubles, inlined: the sums of module k are those
  // of the first plus k steps, exactly (every term lies within the mapping's
  // magnitude bound, so every sum is an integer a double holds).
  const Mapping& m = mapping_;
  const int64_t sumD = column * m.g + row * m.h;
  const int64_t sumX = m.originX + column * m.ax + row * m.bx;
  const int64_t sumY = m.originY + column * m.ay + row * m.by;
  const int64_t stepD = dColumn * m.g + dRow * m.h;
  const int64_t stepX = dColumn * m.ax + dRow * m.bx;
  const int64_t stepY = dColumn * m.ay + dRow * m.by;
  const double den = static_cast<double>(m.den);
  const Image image = ImageOf(r_);
  const auto sampleAt = [&](int64_t x, int64_t y) {
    return static_cast<uint8_t>(x >= 2 && x < image.width - 2 && y >= 2 && y < image.height - 2 &&
                                image.Dark(x, y));
  };
  const auto one = [&](int k) {
    const int64_t d = static_cast<int64_t>(static_cast<double>(sumD + k * stepD) / den) + m.scale;
    if (d == 0) return uint8_t{0};
    const double divisor = static_cast<double>(d);
    return sampleAt(
        (static_cast<int64_t>(static_cast<double>(16 * (sumX + k * stepX)) / divisor) + 8) >> 4,
        (static_cast<int64_t>(static_cast<double>(16 * (sumY + k * stepY)) / divisor) + 8) >> 4);
  };
  int k = 0;
#if defined(__SSE2__)
  // Two modules a step: the same quotients, two to a division. The sums stay
  // doubles (integers below 2^53 add exactly). A truncated quotient outside
  // 32 bits comes back as INT32_MIN: for D such a pair is taken one module at
  // a time; for a pixel coordinate (16 times it, above 2^27 pixels) it lies
  // off the image either way, as does the quotient of a D of 0.
  {
    const __m128d denominator = _mm_set1_pd(den);
    const __m128d scale = _mm_set1_pd(static_cast<double>(m.scale));
    const __m128i eight = _mm_set1_epi32(8);
    const __m128i lowest = _mm_set1_epi32(std::numeric_limits<int32_t>::min());
    __m128d d2 = _mm_set_pd(static_cast<double>(sumD + stepD), static_cast<double>(sumD));
    __m128d x2 = _mm_set_pd(static_cast<double>(16 * (sumX + stepX)), static_cast<double>(16 * sumX));
    __m128d y2 = _mm_set_pd(static_cast<double>(16 * (sumY + stepY)), static_cast<double>(16 * sumY));
    const __m128d stepD2 = _mm_set1_pd(static_cast<double>(2 * stepD));
    const __m128d stepX2 = _mm_set1_pd(static_cast<double>(32 * stepX));
    const __m128d stepY2 = _mm_set1_pd(static_cast<double>(32 * stepY));
    // A stretch at a time: first every D, then the coordinates, so that the
    // divisions of one pass wait on none of the same pass.
    constexpr int kStretch = 16;
    alignas(16) double ds[kStretch];
    bool inRange[kStretch / 2];
    for (; k + 2 <= count;) {
      const int pairs = std::min(kStretch, count - k) / 2;
      for (int p = 0; p < pairs; ++p) {
        const __m128i quotient = _mm_cvttpd_epi32(_mm_div_pd(d2, denominator));
        inRange[p] = (_mm_movemask_epi8(_mm_cmpeq_epi32(quotient, lowest)) & 0xFF) == 0;
        _mm_store_pd(ds + 2 * p, _mm_add_pd(_mm_cvtepi32_pd(quotient), scale));
        d2 = _mm_add_pd(d2, stepD2);
      }
      for (int p = 0; p < pairs; ++p, k += 2) {
        if (!inRange[p]) {
          out[k] = one(k);
          out[k + 1] = one(k + 1);
        } else {
          const __m128d d = _mm_load_pd(ds + 2 * p);
          const __m128i x = _mm_srai_epi32(_mm_add_epi32(_mm_cvttpd_epi32(_mm_div_pd(x2, d)), eight), 4);
          const __m128i y = _mm_srai_epi32(_mm_add_epi32(_mm_cvttpd_epi32(_mm_div_pd(y2, d)), eight), 4);
          out[k] = sampleAt(_mm_cvtsi128_si32(x), _mm_cvtsi128_si32(y));
          out[k + 1] = sampleAt(_mm_cvtsi128_si32(_mm_srli_si128(x, 4)), _mm_cvtsi128_si32(_mm_srli_si128(y, 4)));
        }
        x2 = _mm_add_pd(x2, stepX2);
        y2 = _mm_add_pd(y2, stepY2);
      }
    }
  }
#endif
  for (; k < count; ++k) out[k] = one(k);
}

int CountTransitions(const Recognizer& r, Point16 a, Point16 b, int start,
                     std::span<int32_t> runLengths) {
  const int64_t dx = int64_t{a.x} - b.x;
  const int64_t dy = int64_t{a.y} - b.y;
  const int64_t steps = std::max(std::abs(dx), std::abs(dy));
  if (steps == 0) return 0;
  const int64_t stepX = kOne * dx / steps;
  const int64_t stepY = kOne * dy / steps;
  const Image image = ImageOf(r);
  // Truncating shifts of negative products round towards minus infinity.
  if (!image.Contains(b.x + (((steps - 1) * stepX) >> 10), b.y + (((steps - 1) * stepY) >> 10))) {
    return 0;
  }
  int changes = 0;
  bool dark = false;
  if (runLengths.empty() && image.Contains(b.x, b.y)) {
    // Both coordinates move monotonically from b to the last point, so with
    // both ends inside every point is: no test per step, and the count of
    // changes is added rather than branched on (module edges come at random).
    const uint8_t* pixels = image.pixels;
    for (int64_t k = 0; k < steps; ++k) {
      const int64_t x = b.x + ((k * stepX) >> 10);
      const int64_t y = b.y + ((k * stepY) >> 10);
      const bool d = IsDark(pixels[y * image.width + x]);
      changes += d != dark ? 1 : 0;
      dark = d;
    }
    return start + changes;
  }
  for (int64_t k = 0; k < steps; ++k) {
    const int64_t x = b.x + ((k * stepX) >> 10);
    const int64_t y = b.y + ((k * stepY) >> 10);
    if (!image.Contains(x, y)) break;
    if (image.Dark(x, y) != dark) {
      dark = !dark;
      ++changes;
    }
    const int64_t index = int64_t{start} + changes;
    if (index >= 0 && index < static_cast<int64_t>(runLengths.size())) {
      ++runLengths[static_cast<size_t>(index)];
    }
  }
  return start + changes;
}

int LineIsClear(const Recognizer& r, Point16 a, Point16 b) {
  const int64_t dx = int64_t{a.x} - b.x;
  const int64_t dy = int64_t{a.y} - b.y;
  const int64_t steps = std::max(std::abs(dx), std::abs(dy)) + 1;
  const Image image = ImageOf(r);
  if (steps < 1 || steps >= image.width || steps >= image.height) return -1;
  const int64_t stepX = kOne * dx / steps;
  const int64_t stepY = kOne * dy / steps;
  const int64_t endX = b.x + ((steps * stepX) >> 10);
  const int64_t endY = b.y + ((steps * stepY) >> 10);
  if (endX < 1 || endX > image.width - 2 || endY < 1 || endY > image.height - 2) return -1;
  if (steps < 2) return 1;
  for (int64_t k = 1; k < steps; ++k) {
    const int64_t x = b.x + ((k * stepX) >> 10);
    const int64_t y = b.y + ((k * stepY) >> 10);
    if (x < 2 || y < 2 || !image.Contains(x, y)) continue;
    if (image.Dark(x, y)) return 0;
  }
  return 1;
}

ExtremeIndices ExtremeContourPoints(std::span<const Point16> points, Point16 reference) {
  ExtremeIndices result{0, 0};
  const size_t count = points.size();
  if (count == 0) return result;
  auto squared = [&](size_t i) {
    const int64_t dx = int64_t{points[i].x} - reference.x;
    const int64_t dy = int64_t{points[i].y} - reference.y;
    return dx * dx + dy * dy;
  };
  int64_t greatest = 0;
  int64_t smallest = std::numeric_limits<int64_t>::max();
  for (size_t i = 0; i < count; ++i) {
    const int64_t score = squared((i + count - 1) % count) + squared(i) + squared((i + 1) % count);
    if (score > greatest) {
      greatest = score;
      result.farthest = static_cast<int32_t>(i);
    }
    if (score < smallest) {
      smallest = score;
      result.nearest = static_cast<int32_t>(i);
    }
  }
  return result;
}

void NudgeTowardsDark(const Recognizer& r, Point16& point) {
  const Image image = ImageOf(r);
  int counts[8] = {};
  for (int d = 0; d < 8; ++d) {
    const int64_t cx = int64_t{point.x} + kDirectionX[d];
    const int64_t cy = int64_t{point.y} + kDirectionY[d];
    for (int e = 0; e < 8; ++e) {
      const int64_t x = cx + kDirectionX[e];
      const int64_t y = cy + kDirectionY[e];
      if (x < 2 || y < 2 || x >= image.width - 2 || y >= image.height - 2) continue;
      if (image.Dark(x, y)) ++counts[d];
    }
  }
  int best = -1;
  int bestScore = 0;
  for (int d = 0; d < 8; ++d) {
    const int score = counts[(d + 7) % 8] + counts[d] + counts[(d + 1) % 8];
    if (score > bestScore) {
      bestScore = score;
      best = d;
    }
  }
  if (best < 0) return;
  const int x = point.x + kDirectionX[best];
  const int y = point.y + kDirectionY[best];
  if (x > std::numeric_limits<int16_t>::max() || y > std::numeric_limits<int16_t>::max() ||
      x < std::numeric_limits<int16_t>::min() || y < std::numeric_limits<int16_t>::min()) {
    return;
  }
  point.x = static_cast<int16_t>(x);
  point.y = static_cast<int16_t>(y);
}

template <int N>
bool SolveLinear(double (&m)[N][N + 1], double (&out)[N]) {
  for (int col = 0; col < N; ++col) {
    int pivot = col;
    for (int row = col + 1; row < N; ++row) {
      if (std::fabs(m[row][col]) > std::fabs(m[pivot][col])) pivot = row;
    }
    if (std::fabs(m[pivot][col]) < 1e-9) return false;
    if (pivot != col) std::swap(m[pivot], m[col]);
    for (int row = 0; row < N; ++row) {
      if (row == col) continue;
      const double factor = m[row][col] / m[col][col];
      for (int k = col; k <= N; ++k) m[row][k] -= factor * m[col][k];
    }
  }
  for (int k = 0; k < N; ++k) {
    out[k] = m[k][N] / m[k][k];
    if (!std::isfinite(out[k])) return false;
  }
  return true;
}

// An 8 x 8 linear system in the eight coefficients.
bool SolveHomography(const double from[4][2], const double to[4][2], Homography& out) {
  double m[8][9];
  for (int k = 0; k < 4; ++k) {
    const double u = from[k][0], v = from[k][1], x = to[k][0], y = to[k][1];
    const double rowX[9] = {u, v, 1, 0, 0, 0, -u * x, -v * x, x};
    const double rowY[9] = {0, 0, 0, u, v, 1, -u * y, -v * y, y};
    std::copy(rowX, rowX + 9, m[2 * k]);
    std::copy(rowY, rowY + 9, m[2 * k + 1]);
  }
  double s[8];
  if (!SolveLinear(m, s)) return false;
  out = {s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7]};
  return true;
}

namespace {

// A similarity (shift, then one scale) that takes `count` points to about the
// unit square around the origin: centroid at 0, mean distance sqrt(2).
struct Normalisation {
  double cx = 0, cy = 0, scale = 1;
};

Normalisation Normalise(const double (*p)[2], int count) {
  Normalisation n;
  for (int i = 0; i < count; ++i) {
    n.cx += p[i][0];
    n.cy += p[i][1];
  }
  n.cx /= count;
  n.cy /= count;
  double distance = 0;
  for (int i = 0; i < count; ++i) distance += std::hypot(p[i][0] - n.cx, p[i][1] - n.cy);
  distance /= count;
  n.scale = distance > 0 ? std::sqrt(2.0) / distance : 1;
  return n;
}

}  // namespace

bool FitHomography(const double (*from)[2], const double (*to)[2], int count, Homography& out) {
  constexpr int kMostPoints = 64;
  if (count < 4 || count > kMostPoints) return false;
  const Normalisation nf = Normalise(from, count);
  const Normalisation nt = Normalise(to, count);
  // Normal equations of the rows [u v 1 0 0 0 -ux -vx | x], [0 0 0 u v 1 -uy -vy | y].
  double m[8][9] = {};
  for (int k = 0; k < count; ++k) {
    const double u = (from[k][0] - nf.cx) * nf.scale, v = (from[k][1] - nf.cy) * nf.scale;
    const double x = (to[k][0] - nt.cx) * nt.scale, y = (to[k][1] - nt.cy) * nt.scale;
    const double rowX[9] = {u, v, 1, 0, 0, 0, -u * x, -v * x, x};
    const double rowY[9] = {0, 0, 0, u, v, 1, -u * y, -v * y, y};
    for (int i = 0; i < 8; ++i) {
      for (int j = 0; j < 9; ++j) m[i][j] += rowX[i] * rowX[j] + rowY[i] * rowY[j];
    }
  }
  double s[8];
  if (!SolveLinear(m, s)) return false;
  // Undo the normalisations: H = Tto^-1 * Hn * Tfrom, each T a 3 x 3 matrix.
  const double hn[3][3] = {{s[0], s[1], s[2]}, {s[3], s[4], s[5]}, {s[6], s[7], 1}};
  const double tFrom[3][3] = {{nf.scale, 0, -nf.scale * nf.cx}, {0, nf.scale, -nf.scale * nf.cy}, {0, 0, 1}};
  const double toInverse[3][3] = {{1 / nt.scale, 0, nt.cx}, {0, 1 / nt.scale, nt.cy}, {0, 0, 1}};
  double a[3][3] = {}, h[3][3] = {};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      for (int k = 0; k < 3; ++k) a[i][j] += hn[i][k] * tFrom[k][j];
    }
  }
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      for (int k = 0; k < 3; ++k) h[i][j] += toInverse[i][k] * a[k][j];
    }
  }
  if (!(std::fabs(h[2][2]) > 1e-12)) return false;
  const double w = h[2][2];
  out = {h[0][0] / w, h[0][1] / w, h[0][2] / w, h[1][0] / w, h[1][1] / w, h[1][2] / w, h[2][0] / w, h[2][1] / w};
  return std::isfinite(out.a) && std::isfinite(out.b) && std::isfinite(out.c) && std::isfinite(out.d) &&
         std::isfinite(out.e) && std::isfinite(out.f) && std::isfinite(out.g) && std::isfinite(out.h);
}

bool MapThrough(const Homography& map, double u, double v, double& x, double& y) {
  const double w = map.g * u + map.h * v + 1;
  if (!(std::fabs(w) > 1e-9)) return false;
  x = (map.a * u + map.b * v + map.c) / w;
  y = (map.d * u + map.e * v + map.f) / w;
  return true;
}

template bool SolveLinear<4>(double (&m)[4][5], double (&out)[4]);
template bool SolveLinear<8>(double (&m)[8][9], double (&out)[8]);

}  // namespace cordavex
