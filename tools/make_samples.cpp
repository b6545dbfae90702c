// Writes the sample camera frames in samples/: QR symbols made by our own
// encoder, rendered into camera-like frames (rotation, perspective, blur,
// noise, uneven light) by the test renderer, plus one frame with no symbol.
//
//   cordavex_make_samples OUTPUT_FOLDER
#include <png.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cordavex/qr_encoder.h"
#include "support/render.h"

namespace {

using cordavex::test::Frame;
using cordavex::test::RenderOptions;

bool WritePng(const std::string& path, const Frame& frame, bool colour) {
  std::vector<uint8_t> pixels;
  if (colour) {
    // Warm paper under indoor light: the blue channel a little darker.
    for (uint8_t g : frame.grey) {
      pixels.insert(pixels.end(), {g, g, static_cast<uint8_t>(g * 9 / 10)});
    }
  } else {
    pixels = frame.grey;
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(frame.width);
  image.height = static_cast<png_uint_32>(frame.height);
  image.format = colour ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
  return png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr) != 0;
}

bool WritePgm(const std::string& path, const Frame& frame) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!file) return false;
  std::fprintf(file.get(), "P5\n%d %d\n255\n", frame.width, frame.height);
  return std::fwrite(frame.grey.data(), 1, frame.grey.size(), file.get()) == frame.grey.size();
}

Frame RenderText(const std::string& text, int level, RenderOptions options) {
  auto encoder = std::make_unique<cordavex::QrEncoder>();
  if (!cordavex::QrEncode(*encoder, level, 0, 0, -1, text.data(), static_cast<int>(text.size()))) {
    return {};
  }
  std::vector<uint8_t> modules(static_cast<size_t>(encoder->side * encoder->side));
  for (int row = 0; row < encoder->side; ++row) {
    for (int column = 0; column < encoder->side; ++column) {
      modules[static_cast<size_t>(row * encoder->side + column)] =
          cordavex::QrModule(*encoder, row, column);
    }
  }
  return cordavex::test::RenderModules(modules, encoder->side, options);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: cordavex_make_samples OUTPUT_FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  bool ok = true;

  RenderOptions url;
  url.moduleSize = 5.0;
  url.rotation = 4.0;
  url.blur = 0.7;
  url.noise = 4;
  url.seed = 1;
  ok &= WritePng(folder + "/qr-url-320x240.png",
                 RenderText("https://cordavex.example/start", 1, url), false);

  RenderOptions card;
  card.width = 640;
  card.height = 480;
  card.moduleSize = 9.0;
  card.rotation = 17.0;
  card.perspective = 0.12;
  card.unevenLight = 0.3;
  card.blur = 1.0;
  card.noise = 5;
  card.seed = 2;
  ok &= WritePng(folder + "/qr-mecard-640x480.png",
                 RenderText("MECARD:N:Doe,John;TEL:0955667788;EMAIL:john@example.com;;", 1, card),
                 true);

  RenderOptions vcard;
  vcard.width = 640;
  vcard.height = 480;
  vcard.moduleSize = 6.5;
  vcard.rotation = -28.0;
  vcard.blur = 0.8;
  vcard.noise = 4;
  vcard.seed = 3;
  ok &= WritePgm(folder + "/qr-vcard-640x480.pgm",
                 RenderText("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Chen;Mei\r\nTEL;CELL:0912345678\r\n"
                            "ORG:Cordavex\r\nEND:VCARD",
                            2, vcard));

  // A lit desk with nothing to read: the engine reports minus the mean grey.
  RenderOptions empty;
  empty.quietZone = 0;
  empty.unevenLight = 0.4;
  empty.noise = 6;
  empty.seed = 4;
  const std::vector<uint8_t> nothing(1, 0);
  Frame blank = cordavex::test::RenderModules(nothing, 1, empty);
  ok &= WritePgm(folder + "/blank-320x240.pgm", blank);

  if (!ok) std::fprintf(stderr, "cordavex_make_samples: could not write every sample\n");
  return ok ? 0 : 1;
}
