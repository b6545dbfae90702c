#include "support/zxing_qr_oracle.h"

#define ZX_USE_UTF8 1
#include <ZXing/ReadBarcode.h>

namespace cordavex::test {

std::vector<uint8_t> RenderModules(const uint8_t* matrix, int side, int stride, int scale,
                                   int border) {
  const int width = (side + 2 * border) * scale;
  std::vector<uint8_t> image(static_cast<size_t>(width) * width, 255);
  for (int row = 0; row < side; ++row) {
    for (int column = 0; column < side; ++column) {
      if (matrix[row * stride + column] == 0) continue;
      for (int y = 0; y < scale; ++y) {
        uint8_t* line = &image[static_cast<size_t>((row + border) * scale + y) * width];
        for (int x = 0; x < scale; ++x) line[(column + border) * scale + x] = 0;
      }
    }
  }
  return image;
}

std::optional<std::vector<uint8_t>> ZxingReadQrImage(const uint8_t* grey, int width, int height) {
  ZXing::DecodeHints hints;
  hints.setFormats(ZXing::BarcodeFormat::QRCode);
  const ZXing::Result result =
      ZXing::ReadBarcode(ZXing::ImageView(grey, width, height, ZXing::ImageFormat::Lum), hints);
  if (!result.isValid()) return std::nullopt;
  const ZXing::ByteArray& bytes = result.bytes();
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::optional<std::vector<uint8_t>> ZxingReadQr(const uint8_t* matrix, int side, int stride,
                                                int scale, int border) {
  const std::vector<uint8_t> image = RenderModules(matrix, side, stride, scale, border);
  const int width = (side + 2 * border) * scale;
  return ZxingReadQrImage(image.data(), width, width);
}

}  // namespace cordavex::test
