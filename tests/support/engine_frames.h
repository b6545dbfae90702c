// Running rendered frames through the engine the way the capture loop does:
// a caller-owned workspace per frame size and up to N calls on the same frame.
//
// Test-only code; allocates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cordavex/recognizer.h"
#include "engine/workspace.h"
#include "support/render.h"
#include "support/workspace.h"

namespace cordavex::test {

struct Outcome {
  int status = 0;
  int calls = 0;
  std::string bytes;  // the decoded bytes (LastDecodedSymbol)
  int symbology = 0;
  size_t allocations = 0;  // heap allocations the RecognizeImage calls made
};

// Calls RecognizeImage on the frame up to `calls` times with one fresh
// workspace, as consecutive camera frames reach it, stopping at the first
// success. `result`, when given, receives the record of the last call.
Outcome RecognizeFrame(const Frame& frame, int calls = 8, int mode = 0, int mask = 7,
                       ScanResult* result = nullptr);

}  // namespace cordavex::test
