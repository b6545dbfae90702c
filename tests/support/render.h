// Renders a module grid into a camera-like frame for the engine's end-to-end
// tests: module size, quiet zone, rotation, mirroring, perspective, blur, noise
// and uneven light, in any of the engine's four pixel formats, reproducibly from
// a seed.
//
// Test-only code; every call allocates its result. Calls are independent.
#pragma once

#include <cstdint>
#include <vector>

#include "decode/module_matrix.h"

namespace cordavex::test {

struct RenderOptions {
  int width = 320;
  int height = 240;
  int bitsPerPixel = 8;       // 8, 16 (RGB 5-6-5), 24 or 32
  double moduleSize = 4.0;    // pixels per module before perspective
  int quietZone = 4;          // light modules around the symbol
  double rotation = 0.0;      // degrees, clockwise on screen
  bool mirror = false;        // the symbol seen from behind (left and right swapped)
  double perspective = 0.0;   // keystone: the bottom edge is (1 + p) / (1 - p) times the top
  double centerX = 0.5;       // symbol centre as a fraction of the frame
  double centerY = 0.5;
  double blur = 0.0;          // Gaussian sigma in pixels
  double noise = 0.0;         // standard deviation of grey noise
  double unevenLight = 0.0;   // light falls by this fraction from the left edge to the right
  int dark = 40;              // grey of ink
  int light = 210;            // grey of paper
  int background = 150;       // grey outside the quiet zone
  uint32_t seed = 1;
};

struct Frame {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 8;
  std::vector<uint8_t> pixels;  // top-down rows in the pixel format
  std::vector<uint8_t> grey;    // the rendered grey image before format conversion
};

// `modules` is row-major, size x size, non-zero = dark.
Frame RenderModules(const std::vector<uint8_t>& modules, int size, const RenderOptions& options);
Frame RenderMatrix(const ModuleMatrix& matrix, int size, const RenderOptions& options);

// Packs grey pixels into a pixel format so that the engine's conversion gives the
// grey back (exactly for 8, 24 and 32 bits; within 6 levels for RGB 5-6-5).
std::vector<uint8_t> PackGrey(const std::vector<uint8_t>& grey, int bitsPerPixel, uint32_t seed);

}  // namespace cordavex::test
