// Arbitrary grey images through the still-image reader: its views, its closer
// look at a symbol placed on a frame the engine reduces, and its give-ups. The
// first bytes are the source's width - 1 and height - 1 (up to 200 x 160), an
// enlargement (1..4, nearest pixel, so that frames reach the sizes the engine
// reduces), the symbology mask, and a limit on engine calls (1..40) whose top
// bit asks for the early give-ups; the rest are the source's pixels, repeated
// as needed.
#include <cstdint>
#include <memory>
#include <vector>

#include "cordavex/recognizer.h"
#include "cordavex/still_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  const int width = 1 + data[0] % 200;
  const int height = 1 + data[1] % 160;
  const int enlargement = 1 + data[2] % 4;
  cordavex::StillReadOptions options;
  options.symbologyMask = data[3] % 9;
  options.maxEngineCalls = 1 + (data[4] & 0x7F) % 40;
  options.giveUpEarly = (data[4] & 0x80) != 0;
  data += 5;
  size -= 5;
  const int frameWidth = width * enlargement, frameHeight = height * enlargement;
  std::vector<uint8_t> frame(static_cast<size_t>(frameWidth) * frameHeight);
  for (int y = 0; y < frameHeight; ++y) {
    for (int x = 0; x < frameWidth; ++x) {
      const size_t source = static_cast<size_t>(y / enlargement) * width + x / enlargement;
      frame[static_cast<size_t>(y) * frameWidth + x] = data[source % size];
    }
  }
  auto result = std::make_unique<cordavex::ScanResult>();
  cordavex::StillReadOutcome outcome;
  cordavex::ReadStillImage(frame.data(), frameWidth, frameHeight, 8, result.get(), options, &outcome);
  return 0;
}
