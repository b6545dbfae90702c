// Reading the image files users hold (PNG, JPEG, PGM, PPM) into one of the
// engine's pixel formats: 8-bit grey for grey images, the engine's 24-bit format
// (three bytes per pixel, blue-green-red) for colour ones.
//
// Every failure — a missing, truncated, corrupt or unsupported file, or one too
// large to scan — comes back as a one-line message, never as a crash.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cordavex::cli {

struct Image {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bitsPerPixel = 0;  // 8 or 24
  std::vector<uint8_t> pixels;
};

// Images larger than this are refused before any pixel is decoded: a camera
// frame is far smaller, and a hostile header must not make us allocate gigabytes.
inline constexpr int64_t kMaxImagePixels = 64 * 1024 * 1024;
inline constexpr int32_t kMaxImageSide = 32768;

// Reads `path`, choosing the decoder by the file's first bytes. Returns false
// with `error` set when the file cannot be used.
bool ReadImage(const std::string& path, Image& image, std::string& error);

}  // namespace cordavex::cli
