// The Cordavex code grid decoders on arbitrary module grids. Byte 0 picks the
// dimension (mostly a Cordavex size, sometimes anything), byte 1's low bit the
// older fixed-layout routine instead of the current one, and the rest fills
// the dimension x dimension grid row by row, bit by bit. With byte 1's second
// bit the rest are data codewords instead: they get their parity and are
// drawn as the generator draws them (level and mask from byte 1), so that the
// payload stream itself is what varies, past the corner check, the format word
// and the correction that random grids rarely pass.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "content/decode_summary.h"
#include "decode/cv_decoder.h"
#include "decode/cv_layout.h"
#include "decode/reed_solomon.h"

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
  CvGeometry g;
  const int level = (data[1] >> 2) & 3;
  const int mask = (data[1] >> 4) & 7;
  if ((data[1] & 2) != 0 && CvMakeGeometry(dimension, level, g) == 1) {
    static uint8_t codewords[kCvMaxCodewords];
    for (int i = 0; i < g.total; ++i) {
      codewords[i] = 2 + static_cast<size_t>(i) < size && i < g.data ? data[2 + i] : 0;
    }
    RsEncodeBlocks({codewords, static_cast<size_t>(g.total)}, g.data, g.check, 8, g.blocks);
    int bit = 0;
    CvForEachDataModule(dimension, g.arm, [&](int r, int c) {
      const bool dark = bit < 8 * g.total && ((codewords[bit >> 3] >> (7 - (bit & 7))) & 1);
      grid.Set(r, c, dark != CvMaskBit(mask, r, c));
      ++bit;
    });
    for (int r = 0; r < dimension; ++r) {
      if (CvTimingDark(dimension, g.arm, r)) grid.Set(r, 0, true);
      for (int c = 0; c < dimension; ++c) {
        if (CvCornerMarkDark(dimension, g.arm, r, c)) grid.Set(r, c, true);
      }
    }
    const uint16_t word = CvFormatWord(level, mask);
    for (int i = 0; i < 15; ++i) {
      const CvModule f = CvFormatModule(dimension, i);
      grid.Set(f.row, f.column, (word >> (14 - i)) & 1);
    }
    if (CvDecodeGrid(*decoder, grid, dimension, output, second, fields) == 1) {
      CvSecondString(*decoder, second, record);
    }
    return 0;
  }
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
