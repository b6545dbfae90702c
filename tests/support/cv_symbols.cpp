#include "support/cv_symbols.h"

#include <algorithm>
#include <array>

#include "content/decode_summary.h"
#include "decode/cv_layout.h"
#include "decode/reed_solomon.h"

namespace cordavex::test {

ModuleMatrix CvSymbol::Matrix(int part) const {
  ModuleMatrix m;
  m.Clear();
  const int s = partSides.empty() ? side : partSides[static_cast<size_t>(part)];
  const char* map = maps.data() + static_cast<size_t>(part) * kCordavexMapBytes;
  for (int r = 0; r < s; ++r) {
    for (int c = 0; c < s; ++c) m.Set(r, c, map[r * kCordavexMapSide + 4 + c] == '1');
  }
  return m;
}

std::vector<uint8_t> CvSymbol::MapModules(int part, int& outSide) const {
  const int matrix = partSides.empty() ? side : partSides[static_cast<size_t>(part)];
  outSide = matrix + 4;
  std::vector<uint8_t> modules(static_cast<size_t>(outSide) * static_cast<size_t>(outSide), 0);
  const char* map = maps.data() + static_cast<size_t>(part) * kCordavexMapBytes;
  for (int row = 0; row < matrix; ++row) {
    for (int column = 0; column < outSide; ++column) {
      modules[static_cast<size_t>(row) * static_cast<size_t>(outSide) + static_cast<size_t>(column)] =
          map[row * kCordavexMapSide + column] == '1';
    }
  }
  return modules;
}

CvSymbol GenerateCv(int kind, int minSide, int level, const CordavexInput& input, int parts) {
  CvSymbol s;
  s.work = std::make_unique<CordavexGenerator>();
  s.maps.assign(static_cast<size_t>(kCordavexMaxParts) * kCordavexMapBytes, 'x');
  int size = minSide;
  s.parts = parts;
  s.status = GenerateCordavexCode(*s.work, s.maps, kind, size, level, input, s.parts);
  s.side = size;
  s.level = s.work->level;
  s.mask = s.work->mask;
  if (s.status == 1) s.partSides.assign(s.work->partSides, s.work->partSides + s.work->partCount);
  return s;
}

CvSymbol GenerateCvText(const std::u16string& text, int minSide, int level) {
  CordavexInput input;
  input.text = text;
  return GenerateCv(kCordavexText, minSide, level, input);
}

CvDecoded DecodeCv(const ModuleMatrix& grid, int dimension) {
  auto decoder = std::make_unique<CvDecoder>();
  std::array<uint8_t, kDecodedTextBytes> output{};
  std::array<uint8_t, kSecondStringBytes> second{};
  std::array<uint8_t, kSecondStringBytes> record{};
  std::array<CvFieldSpan, kCvKeywordCount> fields{};
  CvDecoded d;
  d.status = CvDecodeGrid(*decoder, grid, dimension, output, second, fields);
  d.failure = decoder->failure;
  d.contentKind = decoder->contentKind;
  d.information = decoder->information;
  if (d.status != 1) return d;
  for (size_t i = 0; i + 1 < output.size(); i += 2) {
    const char16_t unit = static_cast<char16_t>(output[i] | (output[i + 1] << 8));
    if (unit == 0) break;
    d.text.push_back(unit);
  }
  d.bytes.assign(output.begin(), output.begin() + decoder->outputLength);
  d.second = reinterpret_cast<const char*>(second.data());
  const int n = CvSecondString(*decoder, second, record);
  d.record.assign(record.begin(), record.begin() + n);
  d.fields.assign(fields.begin(), fields.end());
  return d;
}

CvBits& CvBits::Append(uint32_t value, int count) {
  for (int i = count - 1; i >= 0; --i, ++bits) {
    if ((bits & 7) == 0) bytes.push_back(0);
    if ((value >> i) & 1) bytes.back() = static_cast<uint8_t>(bytes.back() | (0x80 >> (bits & 7)));
  }
  return *this;
}

ModuleMatrix BuildCvGrid(int side, int level, int mask, const std::vector<uint8_t>& data) {
  CvGeometry g;
  ModuleMatrix m;
  m.Clear();
  if (CvMakeGeometry(side, level, g) != 1) return m;
  std::vector<uint8_t> codewords(static_cast<size_t>(g.total), 0);
  std::copy_n(data.begin(), std::min<size_t>(data.size(), static_cast<size_t>(g.data)),
              codewords.begin());
  RsEncodeBlocks(codewords, g.data, g.check, 8, g.blocks);
  int bit = 0;
  CvForEachDataModule(side, g.arm, [&](int r, int c) {
    const bool dark = bit < 8 * g.total && ((codewords[static_cast<size_t>(bit >> 3)] >> (7 - (bit & 7))) & 1);
    m.Set(r, c, dark != CvMaskBit(mask, r, c));
    ++bit;
  });
  for (int r = 0; r < side; ++r) {
    if (CvTimingDark(side, g.arm, r)) m.Set(r, 0, true);
    for (int c = 0; c < side; ++c) {
      if (CvCornerMarkDark(side, g.arm, r, c)) m.Set(r, c, true);
    }
  }
  const uint16_t word = CvFormatWord(level, mask);
  for (int i = 0; i < 15; ++i) {
    const CvModule f = CvFormatModule(side, i);
    m.Set(f.row, f.column, (word >> (14 - i)) & 1);
  }
  return m;
}

}  // namespace cordavex::test
