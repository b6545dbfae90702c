// Arbitrary frames through the whole engine: the first bytes choose the frame
// size, pixel format, mode and mask, the rest are the pixels. Several calls on
// one workspace exercise the state carried between frames.
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <vector>

#include "cordavex/recognizer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  static constexpr int32_t kFormats[] = {8, 16, 24, 32, 12};
  const int32_t width = 1 + data[0] % 200;
  const int32_t height = 1 + data[1] % 160;
  const int32_t bitsPerPixel = kFormats[data[2] % 5];
  const int32_t mode = data[3] % 13;  // 12 is out of range on purpose
  const int32_t mask = data[4] % 9;
  data += 5;
  size -= 5;
  std::vector<uint8_t> frame(static_cast<size_t>(width * height) * 4);
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = data[i % size];
  std::vector<uint64_t> workspace(static_cast<size_t>(cordavex::GetRecognizerSize(width, height)) / 8 + 1);
  // Start from arbitrary persistent state, as a caller's uninitialised block would.
  std::memcpy(workspace.data(), data, std::min(size, workspace.size() * 8));
  cordavex::ScanResult result{};
  for (int call = 0; call < 3; ++call) {
    result.mode() = mode;
    result.symbologyMask() = mask;
    cordavex::RecognizeImage(frame.data(), workspace.data(), width, height, bitsPerPixel, &result);
  }
  return 0;
}
