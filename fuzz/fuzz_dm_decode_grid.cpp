// The Data Matrix grid decoder on arbitrary module grids: the first byte picks
// the size (mostly one the decoder reads, sometimes anything), the rest fills
// the grid bit by bit. The data codewords are also decoded directly, so that
// the encodations see streams Reed-Solomon would have refused.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "content/decode_summary.h"
#include "decode/dm_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace cordavex;
  if (size < 1) return 0;
  static auto decoder = std::make_unique<DmDecoder>();
  static uint8_t text[kDecodedTextBytes];
  static uint8_t second[kSecondStringBytes];
  static constexpr int kSides[] = {10, 12, 14, 16, 18, 20, 22, 24, 26, 32, 36, 40, 44, 48};
  const int side = data[0] < 224 ? kSides[data[0] % 14] : data[0] - 200;
  ModuleMatrix grid;
  grid.Clear();
  size_t bit = 0;
  for (int r = 0; r < ModuleMatrix::kSize; ++r) {
    for (int c = 0; c < ModuleMatrix::kSize; ++c, ++bit) {
      const size_t byte = 1 + bit / 8;
      if (byte >= size) break;
      grid.Set(r, c, (data[byte] >> (bit % 8)) & 1);
    }
  }
  DmDecodeGrid(*decoder, grid, side, text, second);
  DmDecodeData(*decoder, {data + 1, size - 1}, text);
  return 0;
}
