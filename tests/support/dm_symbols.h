// Data Matrix symbols for the reader's tests: from libdmtx, an independent
// encoder, for content in a chosen size and encodation; and from our own small
// test-only builder for codeword streams that libdmtx will not write (function
// codewords, an upper shift, deliberate damage).
//
// Test-only code; every call allocates its result. Calls are independent.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "decode/module_matrix.h"

namespace cordavex::test {

// libdmtx's encodation schemes, as far as the tests use them.
enum class DmScheme { kAscii, kC40, kText, kX12, kEdifact, kBase256 };

struct DmSymbol {
  int size = 0;                     // modules per side
  std::vector<uint8_t> modules;     // size x size, row-major, 1 = dark; row 0 the dashed top
  std::vector<uint8_t> codewords;   // data then check codewords, in symbol order

  bool Dark(int row, int column) const { return modules[row * size + column] != 0; }
  void Set(int row, int column, bool dark) { modules[row * size + column] = dark ? 1 : 0; }
  // The whole symbol, finder and alignment patterns included.
  ModuleMatrix ToMatrix() const;
  // The grid the decoder takes: for sizes above 26 the alignment pattern pair
  // between the data regions is removed, leaving (size - 2) x (size - 2).
  ModuleMatrix ToDecoderGrid() const;
};

// Encodes `bytes` with libdmtx in a square symbol of exactly `size` modules and
// the given scheme; nullopt when libdmtx refuses (the content does not fit).
std::optional<DmSymbol> EncodeDmBytes(std::span<const uint8_t> bytes, int size, DmScheme scheme);
std::optional<DmSymbol> EncodeDmText(const std::string& text, int size, DmScheme scheme);

// Data codewords of a square size, from libdmtx's own table.
int DmDataCodewordCount(int size);

// Our own builder: `data` is padded to the size's data capacity with the
// standard's pad codewords (129, then the 253-state pseudo-random pads), check
// codewords are added over GF(256) 0x12D, and the codewords are placed.
DmSymbol BuildDmSymbol(int size, std::span<const uint8_t> data);

// Rebuilds a symbol's modules from its (possibly altered) codewords.
void PlaceDmCodewords(DmSymbol& symbol);

}  // namespace cordavex::test
