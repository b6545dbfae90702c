// Helpers for the camera tests: small YUV4MPEG2 and picture files written
// into a temporary folder, and reading a source to its end.
#pragma once

#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "camera/frame_source.h"

namespace cordavex::test {

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

// A binary PGM picture.
inline std::string Pgm(int width, int height, uint8_t grey) {
  return "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n" +
         std::string(static_cast<size_t>(width * height), static_cast<char>(grey));
}

// Reads frames until the source ends or fails (at most `limit` reads).
struct Played {
  std::vector<camera::CameraFrame> frames;
  camera::ReadResult last;
};
inline Played Play(camera::FrameSource& source, int limit = 1000) {
  Played played;
  camera::CameraFrame frame;
  for (int i = 0; i < limit; ++i) {
    played.last = source.Read(frame, std::chrono::milliseconds(0));
    if (played.last.outcome == camera::ReadOutcome::kTimedOut) continue;
    if (played.last.outcome != camera::ReadOutcome::kFrame) break;
    played.frames.push_back(frame);
  }
  return played;
}

}  // namespace cordavex::test
