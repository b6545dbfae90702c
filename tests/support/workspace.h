// The engine workspace in tests: a caller-owned block of GetRecognizerSize
// bytes, aligned as malloc gives it, with accessors for its grey image.
//
// Test-only code; allocates its block.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cordavex/recognizer.h"
#include "engine/workspace.h"

namespace cordavex::test {

class Workspace {
 public:
  // A fresh workspace for a width x height frame: zeroed, with the image size
  // and a neutral tone exponent set as RecognizeImage sets them before
  // preparation, so that an engine stage can run on it directly.
  Workspace(int width, int height) : block_(Words(width, height), 0) {
    r().toneExponent = 1.0;
    SetImage(width, height);
  }
  // A damaged workspace: every byte `fill`, nothing set up.
  struct Filled {
    uint8_t byte;
  };
  Workspace(int width, int height, Filled fill) : block_(Words(width, height)) {
    std::memset(block_.data(), fill.byte, block_.size() * sizeof(uint64_t));
  }

  void* data() { return block_.data(); }
  const std::vector<uint64_t>& Block() const { return block_; }
  Recognizer& r() { return *reinterpret_cast<Recognizer*>(block_.data()); }

  // Sets the image size and the capacity for a frame of that size.
  void SetImage(int width, int height) {
    r().imageWidth = width;
    r().imageHeight = height;
    r().imageCapacity = static_cast<int32_t>(ImageAreaBytes(int64_t{width} * height));
  }
  uint8_t& at(int x, int y) { return r().image()[static_cast<size_t>(y) * r().imageWidth + x]; }
  void Fill(uint8_t value) {
    std::memset(r().image(), value, static_cast<size_t>(r().imageWidth) * r().imageHeight);
  }
  // Rows of '#' (dark, 0) and anything else (light, 255); sets the size.
  void Draw(const std::vector<std::string>& rows) {
    SetImage(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
    for (size_t y = 0; y < rows.size(); ++y) {
      for (size_t x = 0; x < rows[y].size(); ++x) {
        at(static_cast<int>(x), static_cast<int>(y)) = rows[y][x] == '#' ? 0 : 255;
      }
    }
  }
  std::vector<uint8_t> Image() {
    return {r().image(), r().image() + static_cast<size_t>(r().imageWidth) * r().imageHeight};
  }

 private:
  static size_t Words(int width, int height) {
    return static_cast<size_t>(GetRecognizerSize(width, height)) / sizeof(uint64_t) + 1;
  }
  std::vector<uint64_t> block_;
};

}  // namespace cordavex::test
