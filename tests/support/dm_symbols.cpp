#include "support/dm_symbols.h"

#include <dmtx.h>

#include <stdexcept>

#include "support/oracle_parity.h"

namespace cordavex::test {
namespace {

int SchemeOf(DmScheme scheme) {
  switch (scheme) {
    case DmScheme::kAscii: return DmtxSchemeAscii;
    case DmScheme::kC40: return DmtxSchemeC40;
    case DmScheme::kText: return DmtxSchemeText;
    case DmScheme::kX12: return DmtxSchemeX12;
    case DmScheme::kEdifact: return DmtxSchemeEdifact;
    case DmScheme::kBase256: return DmtxSchemeBase256;
  }
  return DmtxSchemeAscii;
}

int SizeIndex(int size) {
  for (int i = 0; i < DmtxSymbolSquareCount; ++i) {
    if (dmtxGetSymbolAttribute(DmtxSymAttribSymbolRows, i) == size) return i;
  }
  return -1;
}

std::vector<uint8_t> Parity(std::span<const uint8_t> data, int e) {
  return OracleParity(data, e, 0x12D, 1);
}

struct Layout {
  int regionRows;   // data region side (square sizes)
  int regions;      // regions per side
  int mapping;      // mapping matrix side
};

Layout LayoutOf(int size) {
  const int index = SizeIndex(size);
  if (index < 0) throw std::invalid_argument("not a square Data Matrix size");
  Layout l;
  l.regionRows = dmtxGetSymbolAttribute(DmtxSymAttribDataRegionRows, index);
  l.regions = dmtxGetSymbolAttribute(DmtxSymAttribHorizDataRegions, index);
  l.mapping = l.regionRows * l.regions;
  return l;
}

// The standard's placement (ISO/IEC 16022 Annex F), writing codeword bits into
// a mapping matrix; -1 marks a module not yet placed.
class Placer {
 public:
  Placer(int n, std::span<const uint8_t> codewords)
      : n_(n), words_(codewords), m_(static_cast<size_t>(n) * n, -1) {}

  std::vector<int> Run() {
    int row = 4, col = 0;
    do {
      if (row == n_ && col == 0) Corner({{n_ - 1, 0}, {n_ - 1, 1}, {n_ - 1, 2}, {0, n_ - 2},
                                         {0, n_ - 1}, {1, n_ - 1}, {2, n_ - 1}, {3, n_ - 1}});
      if (row == n_ - 2 && col == 0 && n_ % 4)
        Corner({{n_ - 3, 0}, {n_ - 2, 0}, {n_ - 1, 0}, {0, n_ - 4},
                {0, n_ - 3}, {0, n_ - 2}, {0, n_ - 1}, {1, n_ - 1}});
      if (row == n_ - 2 && col == 0 && n_ % 8 == 4)
        Corner({{n_ - 3, 0}, {n_ - 2, 0}, {n_ - 1, 0}, {0, n_ - 2},
                {0, n_ - 1}, {1, n_ - 1}, {2, n_ - 1}, {3, n_ - 1}});
      if (row == n_ + 4 && col == 2 && n_ % 8 == 0)
        Corner({{n_ - 1, 0}, {n_ - 1, n_ - 1}, {0, n_ - 3}, {0, n_ - 2},
                {0, n_ - 1}, {1, n_ - 3}, {1, n_ - 2}, {1, n_ - 1}});
      do {
        if (row < n_ && col >= 0 && At(row, col) < 0) Shape(row, col);
        row -= 2;
        col += 2;
      } while (row >= 0 && col < n_);
      row += 1;
      col += 3;
      do {
        if (row >= 0 && col < n_ && At(row, col) < 0) Shape(row, col);
        row += 2;
        col -= 2;
      } while (row < n_ && col >= 0);
      row += 3;
      col += 1;
    } while (row < n_ || col < n_);
    // The fixed pattern of sizes whose matrix is not a multiple of 8 modules.
    if (At(n_ - 1, n_ - 1) < 0) {
      At(n_ - 1, n_ - 1) = 1;
      At(n_ - 2, n_ - 2) = 1;
      At(n_ - 1, n_ - 2) = 0;
      At(n_ - 2, n_ - 1) = 0;
    }
    return m_;
  }

 private:
  int& At(int r, int c) { return m_[static_cast<size_t>(r) * n_ + c]; }
  void Bit(int r, int c, int bit) {
    if (r < 0) {
      r += n_;
      c += 4 - ((n_ + 4) % 8);
    }
    if (c < 0) {
      c += n_;
      r += 4 - ((n_ + 4) % 8);
    }
    const uint8_t word = next_ < words_.size() ? words_[next_] : 0;
    At(r, c) = (word >> (7 - bit)) & 1;
  }
  void Corner(std::initializer_list<std::pair<int, int>> at) {
    int bit = 0;
    for (auto [r, c] : at) Bit(r, c, bit++);
    ++next_;
  }
  void Shape(int r, int c) {
    Corner({{r - 2, c - 2}, {r - 2, c - 1}, {r - 1, c - 2}, {r - 1, c - 1},
            {r - 1, c}, {r, c - 2}, {r, c - 1}, {r, c}});
  }

  int n_;
  std::span<const uint8_t> words_;
  size_t next_ = 0;
  std::vector<int> m_;
};

}  // namespace

ModuleMatrix DmSymbol::ToMatrix() const {
  ModuleMatrix m;
  m.Clear();
  for (int r = 0; r < size; ++r) {
    for (int c = 0; c < size; ++c) m.Set(r, c, Dark(r, c));
  }
  return m;
}

ModuleMatrix DmSymbol::ToDecoderGrid() const {
  ModuleMatrix m;
  m.Clear();
  const int half = size / 2;
  auto keep = [&](int i) { return size <= 26 || (i != half - 1 && i != half); };
  int gr = 0;
  for (int r = 0; r < size; ++r) {
    if (!keep(r)) continue;
    int gc = 0;
    for (int c = 0; c < size; ++c) {
      if (!keep(c)) continue;
      m.Set(gr, gc++, Dark(r, c));
    }
    ++gr;
  }
  return m;
}

int DmDataCodewordCount(int size) {
  const int index = SizeIndex(size);
  return index < 0 ? 0 : dmtxGetSymbolAttribute(DmtxSymAttribSymbolDataWords, index);
}

std::optional<DmSymbol> EncodeDmBytes(std::span<const uint8_t> bytes, int size, DmScheme scheme) {
  const int index = SizeIndex(size);
  if (index < 0) return std::nullopt;
  DmtxEncode* enc = dmtxEncodeCreate();
  if (enc == nullptr) return std::nullopt;
  dmtxEncodeSetProp(enc, DmtxPropScheme, SchemeOf(scheme));
  dmtxEncodeSetProp(enc, DmtxPropSizeRequest, index);
  dmtxEncodeSetProp(enc, DmtxPropMarginSize, 0);
  dmtxEncodeSetProp(enc, DmtxPropModuleSize, 1);
  std::vector<unsigned char> input(bytes.begin(), bytes.end());
  std::optional<DmSymbol> out;
  if (dmtxEncodeDataMatrix(enc, static_cast<int>(input.size()), input.data()) == DmtxPass &&
      enc->region.sizeIdx == index) {
    DmSymbol s;
    s.size = size;
    s.modules.assign(static_cast<size_t>(size) * size, 0);
    // libdmtx counts symbol rows from the bottom (the solid edge).
    for (int row = 0; row < size; ++row) {
      for (int col = 0; col < size; ++col) {
        const int status = dmtxSymbolModuleStatus(enc->message, index, row, col);
        s.Set(size - 1 - row, col, (status & DmtxModuleOnRGB) != 0);
      }
    }
    s.codewords.assign(enc->message->code, enc->message->code + enc->message->codeSize);
    out = std::move(s);
  }
  dmtxEncodeDestroy(&enc);
  return out;
}

std::optional<DmSymbol> EncodeDmText(const std::string& text, int size, DmScheme scheme) {
  return EncodeDmBytes({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, size, scheme);
}

void PlaceDmCodewords(DmSymbol& s) {
  const Layout l = LayoutOf(s.size);
  const std::vector<int> mapping = Placer(l.mapping, s.codewords).Run();
  s.modules.assign(static_cast<size_t>(s.size) * s.size, 0);
  const int step = l.regionRows + 2;
  for (int r = 0; r < s.size; ++r) {
    for (int c = 0; c < s.size; ++c) {
      const int rr = r % step, cc = c % step;
      bool dark;
      if (rr == step - 1) {
        dark = true;  // solid bottom edge of a region
      } else if (cc == 0) {
        dark = true;  // solid left edge
      } else if (rr == 0) {
        dark = c % 2 == 0;  // dashed top edge
      } else if (cc == step - 1) {
        dark = r % 2 == 1;  // dashed right edge
      } else {
        const int mr = (r / step) * l.regionRows + rr - 1;
        const int mc = (c / step) * l.regionRows + cc - 1;
        dark = mapping[static_cast<size_t>(mr) * l.mapping + mc] == 1;
      }
      s.Set(r, c, dark);
    }
  }
}

DmSymbol BuildDmSymbol(int size, std::span<const uint8_t> data) {
  const int index = SizeIndex(size);
  if (index < 0) throw std::invalid_argument("not a square Data Matrix size");
  const int dataCount = dmtxGetSymbolAttribute(DmtxSymAttribSymbolDataWords, index);
  const int checkCount = dmtxGetSymbolAttribute(DmtxSymAttribSymbolErrorWords, index);
  std::vector<uint8_t> words(data.begin(), data.end());
  words.resize(std::min<size_t>(words.size(), static_cast<size_t>(dataCount)));
  for (int position = static_cast<int>(words.size()) + 1; position <= dataCount; ++position) {
    if (position == static_cast<int>(data.size()) + 1) {
      words.push_back(129);
    } else {
      // The 253-state randomising of the pad codeword 129.
      const int pseudo = (149 * position) % 253 + 1;
      const int value = 129 + pseudo;
      words.push_back(static_cast<uint8_t>(value <= 254 ? value : value - 254));
    }
  }
  DmSymbol s;
  s.size = size;
  s.codewords = words;
  const std::vector<uint8_t> check = Parity(words, checkCount);
  s.codewords.insert(s.codewords.end(), check.begin(), check.end());
  PlaceDmCodewords(s);
  return s;
}

}  // namespace cordavex::test
