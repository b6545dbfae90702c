// Writes the clip the camera's "clip" source plays: 320 × 240 YUY2-like
// frames (a YUV4MPEG2 file, 4:2:2, 15 frames per second) of a hand-held camera
// looking in turn at a QR code (libqrencode), a Data Matrix symbol (libdmtx)
// and a Cordavex code (our generator), each for one second, drifting and
// turning a little, slightly out of focus, with sensor noise and uneven light.
// Rendered by the test renderer from fixed seeds, so every build writes the
// same bytes.
//
//   cordavex_make_camera_clip OUTPUT.y4m
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "support/cv_symbols.h"
#include "tools/camera_clip.h"
#include "support/dm_symbols.h"
#include "support/qr_symbols.h"
#include "support/render.h"

namespace {

using cordavex::ModuleMatrix;
using cordavex::test::Frame;
using cordavex::test::RenderOptions;

using cordavex::clip::kCvText;
using cordavex::clip::kDmText;
using cordavex::clip::kFramesPerSymbol;
using cordavex::clip::kHeight;
using cordavex::clip::kQrText;
using cordavex::clip::kWidth;

struct Shot {
  std::vector<uint8_t> modules;  // size × size, row-major, 1 = dark
  int size = 0;
  double moduleSize = 0;
  int quietZone = 4;
};

std::vector<uint8_t> Modules(const ModuleMatrix& matrix, int size) {
  std::vector<uint8_t> modules(static_cast<size_t>(size * size));
  for (int row = 0; row < size; ++row) {
    for (int column = 0; column < size; ++column) {
      modules[static_cast<size_t>(row * size + column)] = matrix.Get(row, column) ? 1 : 0;
    }
  }
  return modules;
}

// The whole Cordavex code as printed: the generator's map holds the finder
// columns on the left of the module matrix, with light rows below.
std::vector<uint8_t> CvModules(const cordavex::test::CvSymbol& symbol, int* size) {
  *size = symbol.side + 4;
  std::vector<uint8_t> modules(static_cast<size_t>(*size * *size), 0);
  for (int row = 0; row < symbol.side; ++row) {
    for (int column = 0; column < *size; ++column) {
      modules[static_cast<size_t>(row * *size + column)] =
          symbol.maps[static_cast<size_t>(row * cordavex::kCordavexMapSide + column)] == '1';
    }
  }
  return modules;
}

bool WriteFrame(std::FILE* file, const Frame& frame, int index) {
  // Paper under indoor light: chroma a little warm, with a little sensor noise.
  std::vector<uint8_t> planes(static_cast<size_t>(kWidth * kHeight * 2));
  uint8_t* y = planes.data();
  uint8_t* u = y + kWidth * kHeight;
  uint8_t* v = u + kWidth / 2 * kHeight;
  uint32_t noise = 0x9E3779B9u * static_cast<uint32_t>(index + 1);
  for (int i = 0; i < kWidth * kHeight; ++i) y[i] = frame.grey[static_cast<size_t>(i)];
  for (int i = 0; i < kWidth / 2 * kHeight; ++i) {
    noise = noise * 1664525u + 1013904223u;
    const int jitter = static_cast<int>(noise >> 30) - 1;  // -1, 0, 1 or 2
    u[i] = static_cast<uint8_t>(125 + jitter);
    v[i] = static_cast<uint8_t>(131 + jitter);
  }
  return std::fputs("FRAME\n", file) >= 0 && std::fwrite(planes.data(), 1, planes.size(), file) == planes.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: cordavex_make_camera_clip OUTPUT.y4m\n");
    return 2;
  }
  std::vector<Shot> shots;
  const std::string qrText = kQrText;
  const auto qr = cordavex::test::EncodeQrBytes(
      std::span(reinterpret_cast<const uint8_t*>(qrText.data()), qrText.size()), 3, cordavex::test::kLevelM);
  const auto dm = cordavex::test::EncodeDmText(kDmText, 22, cordavex::test::DmScheme::kAscii);
  const cordavex::test::CvSymbol cv = cordavex::test::GenerateCvText(kCvText, 13, 1);
  if (!qr || !dm || cv.status != 1) {
    std::fprintf(stderr, "cordavex_make_camera_clip: a symbol could not be made\n");
    return 1;
  }
  // Each symbol fits the centre of the frame that the filter keeps (192 × 144
  // of 320 × 240 at the default limits), quiet zone included.
  int cvSize = 0;
  std::vector<uint8_t> cvModules = CvModules(cv, &cvSize);
  shots.push_back({qr->modules, qr->size, 3.2, 4});
  shots.push_back({Modules(dm->ToMatrix(), dm->size), dm->size, 4.0, 2});
  shots.push_back({std::move(cvModules), cvSize, 120.0 / (cvSize + 8), 4});

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(argv[1], "wb"), std::fclose);
  if (!file) {
    std::perror(argv[1]);
    return 1;
  }
  std::fprintf(file.get(), "YUV4MPEG2 W%d H%d F%d:1 Ip A1:1 C422 XCORDAVEX=clip\n", kWidth, kHeight,
               cordavex::clip::kFramesPerSecond);
  int index = 0;
  for (size_t s = 0; s < shots.size(); ++s) {
    for (int f = 0; f < kFramesPerSymbol; ++f, ++index) {
      // One slow sway per second: the hand drifts, turns and refocuses.
      const double phase = 2 * std::numbers::pi * f / kFramesPerSymbol;
      RenderOptions o;
      o.width = kWidth;
      o.height = kHeight;
      o.bitsPerPixel = 8;
      o.moduleSize = shots[s].moduleSize * (1.0 + 0.03 * std::sin(phase));
      o.quietZone = shots[s].quietZone;
      o.centerX = 0.5 + 0.025 * std::sin(phase);
      o.centerY = 0.5 + 0.02 * std::cos(phase);
      o.rotation = 4.0 * std::sin(phase + 1.0);
      o.perspective = 0.02 * std::cos(phase);
      o.blur = 0.7 + 0.3 * std::fabs(std::sin(phase));
      o.noise = 4.0;
      o.unevenLight = 0.15;
      o.background = 120;
      o.seed = static_cast<uint32_t>(1000 + index);
      const Frame frame = cordavex::test::RenderModules(shots[s].modules, shots[s].size, o);
      if (frame.grey.size() != static_cast<size_t>(kWidth * kHeight) || !WriteFrame(file.get(), frame, index)) {
        std::fprintf(stderr, "cordavex_make_camera_clip: writing %s failed\n", argv[1]);
        return 1;
      }
    }
  }
  if (std::fflush(file.get()) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
