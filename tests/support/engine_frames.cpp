#include "support/engine_frames.h"

#include <memory>

#include "support/alloc_counter.h"

namespace cordavex::test {

Outcome RecognizeFrame(const Frame& frame, int calls, int mode, int mask, ScanResult* result) {
  Workspace ws(frame.width, frame.height);
  auto own = std::make_unique<ScanResult>();
  ScanResult* record = result != nullptr ? result : own.get();
  Outcome out;
  for (out.calls = 1; out.calls <= calls; ++out.calls) {
    // A success overwrites the input words, so they are set before every call.
    record->mode() = mode;
    record->symbologyMask() = mask;
    const size_t before = AllocationCount();
    out.status = RecognizeImage(frame.pixels.data(), ws.data(), frame.width, frame.height,
                                frame.bitsPerPixel, record);
    out.allocations += AllocationCount() - before;
    if (out.status == 1) break;
  }
  if (out.calls > calls) out.calls = calls;
  const DecodedSymbol d = LastDecodedSymbol(ws.data());
  out.bytes.assign(d.bytes.begin(), d.bytes.end());
  out.symbology = d.symbology;
  return out;
}

}  // namespace cordavex::test
