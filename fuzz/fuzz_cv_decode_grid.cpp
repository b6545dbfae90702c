// The Cordavex code grid decoders on arbitrary module grids. Byte 0 picks the
// dimension (mostly a Cordavex size, sometimes anything), byte 1's low bit the
// older fixed-layout routine instead of the current one, and the rest fills
// the dimension x dimension grid row by row, bit by bit.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "content/decode_summary.h"
#include "decode/cv_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace cordavex;
  if (size < 2) return 0;
  static auto decoder = std::make_unique<CvDecoder>();
  static uint8_t output[kDecodedTextBytes];
  static uint8_t second[kSecondStringBytes];
  static uint8_t record[kSecondStringBytes];
  static uint8_t further[3][kFurtherBufferBytes[1]];
  static CvFieldSpan fields[kCvKeywordCount];
  const int dimension = data[0] < 224 ? kCvSizes[data[0] % kCvSizeCount].side : data[0] - 190;
  const bool older = (data[1] & 1) != 0;
  ModuleMatrix grid;
  grid.Clear();
  const int side = dimension > 0 && dimension <= ModuleMatrix::kSize ? dimension : ModuleMatrix::kSize;
  size_t bit = 0;
  for (int r = 0; r < side; ++r) {
    for (int c = 0; c < side; ++c, ++bit) {
      const size_t byte = 2 + bit / 8;
      if (byte >= size) break;
      grid.Set(r, c, (data[byte] >> (bit % 8)) & 1);
    }
  }
  if (older) {
    CvOlderOutput out{output, second, {further[0], further[1], further[2]}};
    int32_t kind = 0;
    Failure failure = Failure::kNone;
    CvDecodeOlderGrid(grid, dimension, out, kind, failure);
  } else if (CvDecodeGrid(*decoder, grid, dimension, output, second, fields) == 1) {
    CvSecondString(*decoder, second, record);
  }
  return 0;
}
