// Cordavex code test symbols from our own generator: the map cut to its module
// matrix, the whole map with its finder, and the grid decoder's result as
// strings, so that tests can compare what went in with what came out.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cordavex/cordavex_code.h"
#include "decode/cv_decoder.h"
#include "decode/module_matrix.h"

namespace cordavex::test {

struct CvSymbol {
  int status = 0;
  int side = 0;
  int level = 0;
  int mask = 0;
  std::vector<char> maps;  // one 4900-byte map per part
  int parts = 0;
  std::vector<int> partSides;
  std::unique_ptr<CordavexGenerator> work;

  // The module matrix of part `part` (columns 4.. of the map).
  ModuleMatrix Matrix(int part = 0) const;
  // Part `part` as drawn: the map's finder columns, a light column and the
  // matrix, with light rows below, in a square of `side` (the matrix's + 4).
  std::vector<uint8_t> MapModules(int part, int& side) const;
};

CvSymbol GenerateCv(int kind, int minSide, int level, const CordavexInput& input, int parts = 1);
CvSymbol GenerateCvText(const std::u16string& text, int minSide = 13, int level = 0);

struct CvDecoded {
  int status = 0;
  Failure failure = Failure::kNone;
  int contentKind = 0;
  std::u16string text;        // the output as UTF-16 up to its first zero unit
  std::vector<uint8_t> bytes;  // the output's first outputLength bytes
  std::string second;          // the decoder's own second string
  std::vector<uint8_t> record;  // CvSecondString's record (up to 63 bytes)
  CvInformation information{};
  std::vector<CvFieldSpan> fields;
};

CvDecoded DecodeCv(const ModuleMatrix& grid, int dimension);

// A bit stream built by hand: appendBits(0b011, 3); // six-bit text
struct CvBits {
  std::vector<uint8_t> bytes;
  int bits = 0;
  CvBits& Append(uint32_t value, int count);
};

// A symbol of `side` at `level` with `mask` whose data codewords are `data`
// (zero-filled to D), with its parity, timing, corner marks and format word:
// the grid the generator would draw, from a stream the generator may never
// write.
ModuleMatrix BuildCvGrid(int side, int level, int mask, const std::vector<uint8_t>& data);

}  // namespace cordavex::test
