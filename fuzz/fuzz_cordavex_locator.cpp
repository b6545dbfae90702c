// Cordavex code symbols as a camera sees them, for the locator: the first bytes
// choose the symbol (payload length, error level), the frame (size, pixel
// format), the pose (module size, rotation, perspective, position), the
// contrast and the engine mode; the next bytes are the payload, and every
// later pair of bytes paints one pixel anywhere in the frame. Random frames
// seldom get past finding the finder; frames built from a real symbol reach
// the bar and ring tests, the corners, the sampling and the decoder with
// damage the fuzzer chooses.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "cordavex/cordavex_code.h"
#include "cordavex/recognizer.h"
#include "cordavex/symbology.h"

namespace {

constexpr int kHeaderBytes = 12;

struct Frame {
  int32_t width;
  int32_t height;
};
constexpr Frame kFrames[] = {{176, 144}, {320, 240}, {240, 320}, {160, 160}};
constexpr int32_t kFormats[] = {8, 16, 24, 32, 12};

// Light or dark at map position (x, y); the quiet zone and beyond are light.
bool DarkAt(const char* map, int side, double x, double y) {
  if (x < 0 || y < 0) return false;
  const int column = static_cast<int>(x);
  const int row = static_cast<int>(y);
  if (row >= side || column >= side + 4) return false;
  return map[row * cordavex::kCordavexMapSide + column] == '1';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeaderBytes + 1) return 0;
  const uint8_t* header = data;
  const size_t payloadBytes = std::min<size_t>(1 + header[0] % 120, size - kHeaderBytes);
  const uint8_t* payload = data + kHeaderBytes;
  const uint8_t* paint = payload + payloadBytes;
  const size_t paintBytes = size - kHeaderBytes - payloadBytes;

  static auto generator = std::make_unique<cordavex::CordavexGenerator>();
  static std::vector<char> map(cordavex::kCordavexMapBytes);
  cordavex::CordavexInput input;
  input.data = {payload, payloadBytes};
  int side = 13 + header[1] % 20;
  int parts = 1;
  if (!cordavex::GenerateCordavexCode(*generator, map, cordavex::kCordavexBytes, side, header[1] >> 6, input,
                                      parts)) {
    return 0;
  }

  const Frame frame = kFrames[header[2] % 4];
  const int32_t bitsPerPixel = kFormats[(header[2] >> 2) % 5];
  const int32_t mode = header[2] >> 5;  // 6 and 7: modes 0 and 1 with the extra readings
  // Module size 1.5 .. 9 px, any angle, perspective up to about a third.
  const double module = 1.5 + header[3] / 34.0;
  const double angle = header[4] * (2 * M_PI / 256);
  const double tiltX = (static_cast<int8_t>(header[5])) / 128.0 * 0.006;
  const double tiltY = (static_cast<int8_t>(header[6])) / 128.0 * 0.006;
  const double centreX = frame.width * (0.2 + 0.6 * header[7] / 255.0);
  const double centreY = frame.height * (0.2 + 0.6 * header[8] / 255.0);
  const uint8_t dark = header[9] % 128;
  const uint8_t light = static_cast<uint8_t>(128 + header[10] % 128);
  const bool mirrored = header[11] & 1;

  // Grey frame: each pixel mapped back through the inverse pose onto the map.
  const double mapCentre = (side + 4) / 2.0;
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  std::vector<uint8_t> grey(static_cast<size_t>(frame.width) * frame.height);
  for (int32_t y = 0; y < frame.height; ++y) {
    for (int32_t x = 0; x < frame.width; ++x) {
      double dx = x - centreX;
      const double dy = y - centreY;
      const double w = 1.0 + tiltX * dx + tiltY * dy;
      if (w < 0.2) {
        grey[static_cast<size_t>(y) * frame.width + x] = light;
        continue;
      }
      dx /= w;
      const double ddy = dy / w;
      double u = (c * dx + s * ddy) / module + mapCentre;
      const double v = (-s * dx + c * ddy) / module + side / 2.0;
      if (mirrored) u = side + 4 - u;
      grey[static_cast<size_t>(y) * frame.width + x] = DarkAt(map.data(), side, u, v) ? dark : light;
    }
  }
  for (size_t i = 0; i + 2 < paintBytes; i += 3) {
    const size_t at = ((static_cast<size_t>(paint[i]) << 8 | paint[i + 1]) * 7) % grey.size();
    grey[at] = paint[i + 2];
  }

  // The same picture in the chosen pixel format (grey in every channel).
  const size_t pixels = grey.size();
  std::vector<uint8_t> image(pixels * 4);
  for (size_t i = 0; i < pixels; ++i) {
    const uint8_t g = grey[i];
    switch (bitsPerPixel) {
      case 8: image[i] = g; break;
      case 16: {
        const uint16_t rgb565 = static_cast<uint16_t>((g >> 3) << 11 | (g >> 2) << 5 | (g >> 3));
        image[2 * i] = static_cast<uint8_t>(rgb565);
        image[2 * i + 1] = static_cast<uint8_t>(rgb565 >> 8);
        break;
      }
      case 24: std::memset(&image[3 * i], g, 3); break;
      case 32: std::memset(&image[4 * i], g, 4); break;
      default: image[i] = g; break;  // 12: the luma plane, chroma left at zero
    }
  }

  std::vector<uint64_t> workspace(static_cast<size_t>(cordavex::GetRecognizerSize(frame.width, frame.height)) / 8 +
                                  1);
  cordavex::ScanResult result{};
  for (int call = 0; call < 2; ++call) {
    result.mode() = mode;
    result.symbologyMask() = cordavex::kMaskCordavex;
    cordavex::RecognizeImage(image.data(), workspace.data(), frame.width, frame.height, bitsPerPixel, &result);
  }
  return 0;
}
