// Test helper: a zeroed engine workspace for a frame size, set up the way
// RecognizeImage sets it up before preparation, plus grey-image accessors.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cordavex/recognizer.h"
#include "engine/workspace.h"

namespace cordavex::test {

class EngineWorkspace {
 public:
  EngineWorkspace(int width, int height)
      : block_(static_cast<size_t>(GetRecognizerSize(width, height)) / 8 + 1, 0) {
    Recognizer& r = recognizer();
    r.toneExponent = 1.0;
    SetImage(width, height);
  }

  Recognizer& recognizer() { return *reinterpret_cast<Recognizer*>(block_.data()); }
  void* data() { return block_.data(); }

  // Sets the image size and the capacity for a frame of that size.
  void SetImage(int width, int height) {
    Recognizer& r = recognizer();
    r.imageWidth = width;
    r.imageHeight = height;
    r.imageCapacity = static_cast<int32_t>(ImageAreaBytes(int64_t{width} * height));
  }
  uint8_t& at(int x, int y) {
    return recognizer().image()[static_cast<size_t>(y) * recognizer().imageWidth + x];
  }
  void Fill(uint8_t value) {
    Recognizer& r = recognizer();
    std::memset(r.image(), value, static_cast<size_t>(r.imageWidth) * r.imageHeight);
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
    Recognizer& r = recognizer();
    return {r.image(), r.image() + static_cast<size_t>(r.imageWidth) * r.imageHeight};
  }

 private:
  std::vector<uint64_t> block_;
};

}  // namespace cordavex::test
