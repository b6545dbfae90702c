// Preparation and labelling on arbitrary grey images and adaptive state: no
// input may make them read or write outside the workspace, or hang.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/label.h"
#include "engine/prepare.h"
#include "cordavex/recognizer.h"
#include "engine/workspace.h"

using namespace cordavex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8) return 0;
  // Header: width, height (1..256 each), mode, phase, offset, exponent step,
  // then a trace request (row, column seeds) for a second, locator-style trace.
  const int width = 1 + data[0];
  const int height = 1 + data[1];
  const int mode = data[2] % 6;
  const int phase = data[3] % 4;
  const int offset = data[4] % 129;
  const double exponent = 0.4 + 0.05 * (data[5] % 25);
  const uint8_t traceRow = data[6], traceColumn = data[7];
  data += 8;
  size -= 8;

  static std::vector<uint64_t> block;
  const size_t bytes = static_cast<size_t>(GetRecognizerSize(width, height));
  block.assign(bytes / 8 + 1, 0);
  Recognizer& r = *reinterpret_cast<Recognizer*>(block.data());
  r.sharpenPhase = phase;
  r.thresholdOffset = offset;
  r.toneExponent = exponent;
  r.imageWidth = width;
  r.imageHeight = height;
  r.imageCapacity = static_cast<int32_t>(ImageAreaBytes(int64_t{width} * height));
  const size_t n = static_cast<size_t>(width) * height;
  for (size_t i = 0; i < n; ++i) r.image()[i] = size == 0 ? 0 : data[i % size];

  if (PrepareImage(r, mode) != 1) __builtin_trap();
  if (LabelComponents(r) == 1) {
    ComponentRecord record{};
    TraceContour(r, &record, traceRow % r.imageHeight, traceColumn % r.imageWidth, 1,
                 traceRow % 8, 2);
  }
  return 0;
}
