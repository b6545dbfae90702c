// Test and benchmark helper: a grey camera-like frame with a QR code in view,
// the symbol made by libqrencode (an independent encoder), drawn with grey
// levels, a light gradient and seeded noise. Header-only; allocates (tests
// and benchmarks only).
#pragma once

#include <qrencode.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace cordavex::test {

struct QrTestFrame {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> grey;  // width * height, 8 bits per pixel
  int modules = 0;            // modules per side
  int scale = 0;              // pixels per module
  int left = 0, top = 0;      // pixel position of module (0, 0)
  // Frame position of the centre of the finder whose top-left module is (mx, my).
  int FinderCentreX(int mx) const { return left + mx * scale + (7 * scale) / 2; }
  int FinderCentreY(int my) const { return top + my * scale + (7 * scale) / 2; }
};

// `noise` is the amplitude of the uniform per-pixel noise added to every level.
inline QrTestFrame MakeQrTestFrame(int width, int height, const std::string& text, int scale,
                                   unsigned seed, int noise = 12) {
  QrTestFrame f;
  f.width = width;
  f.height = height;
  f.scale = scale;
  f.grey.assign(static_cast<size_t>(width) * height, 0);
  QRcode* code = QRcode_encodeString(text.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
  if (code == nullptr) return f;
  f.modules = code->width;
  f.left = (width - f.modules * scale) / 2;
  f.top = (height - f.modules * scale) / 2;
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> jitter(-noise, noise);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int mx = (x - f.left) >= 0 ? (x - f.left) / scale : -1;
      const int my = (y - f.top) >= 0 ? (y - f.top) / scale : -1;
      bool dark = false;
      if (mx >= 0 && my >= 0 && mx < f.modules && my < f.modules) {
        dark = code->data[my * f.modules + mx] & 1;
      }
      const int light = 170 + (60 * x) / width;  // uneven light, brighter to the right
      const int level = (dark ? 45 : light) + jitter(rng);
      f.grey[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(std::clamp(level, 0, 255));
    }
  }
  QRcode_free(code);
  return f;
}

}  // namespace cordavex::test
