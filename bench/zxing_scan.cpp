// The peer's reader as a command of its own, for timing whole processes side by
// side with `cordavex scan` (farm-bench and the like): each image is read with
// the command line's own image reader and handed to zxing-cpp's ReadBarcode as
// grey pixels, the way cordavex_bench_corpus hands it over.
//
//   cordavex_zxing_scan [--symbologies qr|dm] IMAGE...
//
// Prints one line per image: the file, then the bytes read in lower-case hex or
// "--". Exit status 0 when every image was read, 1 when some were not, 2 for an
// unreadable file or a bad argument.
#include <ZXing/ReadBarcode.h>

#include <cstdio>
#include <string>

#include "cli/image_io.h"
#include "engine/still_reader.h"

int main(int argc, char** argv) {
  auto format = ZXing::BarcodeFormat::QRCode;
  int status = 0;
  int first = 1;
  if (argc > 2 && std::string(argv[1]) == "--symbologies") {
    const std::string word = argv[2];
    if (word == "dm") {
      format = ZXing::BarcodeFormat::DataMatrix;
    } else if (word != "qr") {
      std::fprintf(stderr, "cordavex_zxing_scan: --symbologies takes qr or dm\n");
      return 2;
    }
    first = 3;
  }
  const auto hints = ZXing::DecodeHints().setFormats(format);
  for (int i = first; i < argc; ++i) {
    cordavex::cli::Image image;
    std::string error;
    if (!cordavex::cli::ReadImage(argv[i], image, error)) {
      std::fprintf(stderr, "%s: %s\n", argv[i], error.c_str());
      status = 2;
      continue;
    }
    const std::vector<uint8_t> grey =
        cordavex::GreyOfFrame(image.pixels.data(), image.width, image.height, image.bitsPerPixel);
    const ZXing::Result z = ZXing::ReadBarcode(
        ZXing::ImageView(grey.data(), image.width, image.height, ZXing::ImageFormat::Lum), hints);
    std::printf("%s ", argv[i]);
    if (z.isValid()) {
      for (const uint8_t b : z.bytes()) std::printf("%02x", b);
      std::printf("\n");
    } else {
      std::printf("--\n");
      if (status == 0) status = 1;
    }
  }
  return status;
}
