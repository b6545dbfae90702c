// The QR grid decoder on arbitrary module grids: the first byte picks the
// dimension (any value, valid or not), the rest fills the grid bit by bit.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "content/decode_summary.h"
#include "decode/qr_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace cordavex;
  if (size < 1) return 0;
  static auto decoder = std::make_unique<QrDecoder>();
  static uint8_t text[kDecodedTextBytes];
  static uint8_t second[kSecondStringBytes];
  // Mostly valid dimensions 21..69, sometimes anything.
  const int dimension = data[0] < 208 ? 21 + 4 * (data[0] % 13) : data[0] - 180;
  ModuleMatrix grid;
  grid.Clear();
  size_t bit = 0;
  for (int r = 0; r < ModuleMatrix::kSize; ++r) {
    for (int c = 0; c < ModuleMatrix::kSize; ++c, ++bit) {
      const size_t byte = 1 + bit / 8;
      if (byte >= size) return QrDecodeGrid(*decoder, grid, dimension, text, second), 0;
      grid.Set(r, c, (data[byte] >> (bit % 8)) & 1);
    }
  }
  QrDecodeGrid(*decoder, grid, dimension, text, second);
  return 0;
}
