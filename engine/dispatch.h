// The engine's frame pipeline behind RecognizeImage, with its stages behind a
// table of functions so that tests can run the dispatch with instrumented
// stand-ins.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cordavex/scan_result.h"
#include "engine/workspace.h"

namespace cordavex {

struct EngineStages {
  int (*prepare)(Recognizer&, int mode);
  int (*label)(Recognizer&);
  int (*locateQr)(Recognizer&);
  int (*locateCordavex)(Recognizer&);
  int (*locateDataMatrix)(Recognizer&);
};

// The stages RecognizeImage uses.
extern const EngineStages kDefaultStages;

// Prepares, labels and runs the locators by mask, mode and lock; updates the
// adaptive state. Returns 1 on success, else meanGrey.
int32_t RunDispatch(Recognizer& r, int32_t mode, int32_t symbologyMask,
                    const EngineStages& stages);

// RecognizeImage with the given stages. An 8-bit frame that the engine
// reduces reaches the prepare stage reduced already (ReduceImageFrom);
// ReduceImage in the preparation then leaves it as it is.
int32_t RecognizeImageWith(const EngineStages& stages, const uint8_t* image, void* recognizer,
                           int32_t width, int32_t height, int32_t bitsPerPixel,
                           ScanResult* result);

// RecognizeImage on width x height grey pixels whose rows start `stride` bytes
// apart (a part of a larger frame, read where it lies); 0 when the stride is
// shorter than a row.
int32_t RecognizeGreyRows(const uint8_t* origin, size_t stride, void* recognizer, int32_t width,
                          int32_t height, ScanResult* result);

// Repairs the persistent state as every call does before its work.
void RepairPersistentState(Recognizer& r);

// Converts one frame into the grey image area (the area must hold width*height).
void ConvertToGrey(const uint8_t* image, int32_t width, int32_t height, int32_t bitsPerPixel,
                   uint8_t* grey);

}  // namespace cordavex
