// The command line end to end for the Cordavex code: a symbol written by
// `generate cordavex`, read back, seen as a camera would see it (turned,
// tilted, blurred, noisy), written again and scanned.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/image_io.h"
#include "support/cli_runner.h"
#include "support/render.h"

namespace cordavex {
namespace {

namespace fs = std::filesystem;
using test::RunCli;

bool WriteGreyPng(const std::string& path, const test::Frame& frame) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(frame.width);
  image.height = static_cast<png_uint_32>(frame.height);
  image.format = PNG_FORMAT_GRAY;
  return png_image_write_to_file(&image, path.c_str(), 0, frame.grey.data(), 0, nullptr) != 0;
}

TEST(ScanCordavex, GeneratedSymbolSeenByACamera) {
  const fs::path dir = fs::path(testing::TempDir()) / ("cordavex_scan_cv_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string symbol = (dir / "symbol.png").string();
  const std::string photo = (dir / "photo.png").string();
  constexpr int kScale = 4;
  const auto generated =
      RunCli("generate cordavex --level 1 --scale 4 --border 4 'Meet at gate 7, 10:30' -o '" + symbol + "'");
  ASSERT_EQ(generated.exitStatus, 0) << generated.err;

  // Back to modules, one sample at each module's centre.
  cli::Image png;
  std::string error;
  ASSERT_TRUE(cli::ReadImage(symbol, png, error)) << error;
  ASSERT_EQ(png.bitsPerPixel, 8);
  ASSERT_EQ(png.width, png.height);
  const int side = png.width / kScale;
  std::vector<uint8_t> modules(static_cast<size_t>(side * side));
  for (int r = 0; r < side; ++r) {
    for (int c = 0; c < side; ++c) {
      const size_t at = static_cast<size_t>((r * kScale + kScale / 2) * png.width + c * kScale + kScale / 2);
      modules[static_cast<size_t>(r * side + c)] = png.pixels[at] < 128 ? 1 : 0;
    }
  }

  test::RenderOptions o;
  o.width = 640;
  o.height = 480;
  o.moduleSize = 360.0 / side;
  o.quietZone = 0;  // the border is part of the picture
  o.rotation = 23.0;
  o.perspective = 0.05;
  o.blur = 0.8;
  o.noise = 4.0;
  o.unevenLight = 0.2;
  o.seed = 11;
  ASSERT_TRUE(WriteGreyPng(photo, test::RenderModules(modules, side, o)));

  const auto scanned = RunCli("scan '" + photo + "'");
  EXPECT_EQ(scanned.exitStatus, 0) << scanned.err;
  EXPECT_EQ(scanned.out, photo + ": cv3, type 0: Meet at gate 7, 10:30\n");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace cordavex
