// Grid sampling and line geometry with arbitrary corners, points and images:
// no crash, no overflow, no read outside the image.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/geometry.h"
#include "cordavex/recognizer.h"

using namespace cordavex;

namespace {

int16_t Read16(const uint8_t* p) { return static_cast<int16_t>(p[0] | (p[1] << 8)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Header: width, height (1..64), n, 4 corners, 2 points, then pixels.
  constexpr size_t kHeader = 3 + 16 + 8;
  if (size < kHeader) return 0;
  const int width = 1 + data[0] % 64;
  const int height = 1 + data[1] % 64;
  const int n = data[2] % 72;  // a few beyond the matrix on purpose
  static std::vector<uint64_t> storage(static_cast<size_t>(GetRecognizerSize(64, 64)) / 8 + 1);
  Recognizer& r = *reinterpret_cast<Recognizer*>(storage.data());
  r.imageWidth = width;
  r.imageHeight = height;
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::memset(r.image(), 255, pixels);
  std::memcpy(r.image(), data + kHeader, std::min(pixels, size - kHeader));

  SampleCorners corners;
  for (int i = 0; i < 4; ++i) {
    corners.points[i] = {Read16(data + 3 + 4 * i), Read16(data + 5 + 4 * i)};
  }
  const Point16 a{Read16(data + 19), Read16(data + 21)};
  Point16 b{Read16(data + 23), Read16(data + 25)};

  r.matrix.Clear();
  SampleGrid(r, corners, n);
  SampleModule(r, corners, a.x % 80, a.y % 80, n);
  int32_t runs[16] = {};
  CountTransitions(r, a, b, data[2] % 20 - 4, runs);
  LineIsClear(r, a, b);
  NudgeTowardsDark(r, b);
  ExtremeContourPoints(corners.points, a);
  return 0;
}
