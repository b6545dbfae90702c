// Reading one still image (a photo or a saved frame) as well as it can be read,
// rather than as one camera frame among many.
//
// The camera loop calls RecognizeImage once per frame and lets the next frame
// try again; a still image has no next frame. ReadStillImage runs the engine on
// views of the same image instead: crops at native resolution, rescaled copies,
// the frame inside a white border, a local threshold, several processing modes
// (each with the extra readings of modes 6..11). The views are tried in order
// of what they read per unit of time on real photos and camera-like frames, and
// the reader stops at the first success; when the first views found nothing
// that passes the QR finder test it stops looking for QR codes (other
// symbologies asked for still get every view).
//
// Ownership: the caller owns the image and the result record. Unlike the camera
// path, the reader allocates its own workspace and scratch images once per call.
// Threads: calls are independent; distinct result records may be used from
// several threads at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cordavex/scan_result.h"
#include "cordavex/symbology.h"

namespace cordavex {

struct StillReadOptions {
  // 1..7 as RecognizeImage takes it: bit 0 QR code, bit 1 Cordavex code, bit 2
  // Data Matrix.
  uint32_t symbologyMask = kMaskAll;
  // Stop after this many engine calls (0: no limit beyond the reader's own
  // order of views).
  int32_t maxEngineCalls = 0;
  // Stop looking for QR codes once the first views found nothing that passes
  // the QR finder test, or once several views placed a QR code and none read
  // it (true), or try every view regardless (false).
  bool giveUpEarly = true;
};

struct StillReadOutcome {
  // 1 when a symbol was decoded; otherwise the last engine status (0 or below).
  int32_t status = 0;
  int32_t engineCalls = 0;
  // Which view decoded it (a short name such as "full mode 0" or "crop 2 mode
  // 2"), empty when nothing decoded.
  std::string view;
  // The decoded symbol: symbology 1 QR code, 2 or 3 Cordavex code, 4 Data
  // Matrix (0: none) and its bytes.
  int32_t symbology = 0;
  std::vector<uint8_t> bytes;
  // Where the image was lost ("stage: cause"): the furthest stage any view
  // reached; empty when something decoded.
  std::string missCause;
};

// Reads `image` (width x height pixels of bitsPerPixel 8, 16, 24 or 32, laid out
// as RecognizeImage takes them). Returns 1 when a symbol was decoded (`result`
// then holds the classified content, as after a successful RecognizeImage), 0
// for bad arguments, otherwise a value below or equal to 0 (nothing found).
// `outcome` may be null.
int32_t ReadStillImage(const uint8_t* image, int32_t width, int32_t height, int32_t bitsPerPixel,
                       ScanResult* result, const StillReadOptions& options = {},
                       StillReadOutcome* outcome = nullptr);

}  // namespace cordavex
