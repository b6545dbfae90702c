// Running rendered frames through the engine the way the capture loop does:
// a caller-owned workspace per frame size and up to N calls on the same frame.
//
// Test-only code; allocates.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cordavex/recognizer.h"
#include "engine/workspace.h"
#include "support/render.h"

namespace cordavex::test {

// A zeroed, 8-byte aligned workspace block for one frame size.
class Workspace {
 public:
  Workspace(int width, int height)
      : block_(static_cast<size_t>(GetRecognizerSize(width, height)) / 8 + 1, 0) {}
  void* data() { return block_.data(); }
  Recognizer& r() { return *static_cast<Recognizer*>(data()); }

 private:
  std::vector<uint64_t> block_;
};

struct Outcome {
  int status = 0;
  int calls = 0;
  std::string bytes;  // the decoded bytes (LastDecodedSymbol)
  int symbology = 0;
};

// Calls RecognizeImage on the frame up to `calls` times with one fresh
// workspace, as consecutive camera frames reach it, stopping at the first
// success. `result`, when given, receives the record of the last call.
Outcome RecognizeFrame(const Frame& frame, int calls = 8, int mode = 0, int mask = 7,
                       ScanResult* result = nullptr);

}  // namespace cordavex::test
