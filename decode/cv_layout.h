// The Cordavex code's layout, tables and codes, shared by the grid decoder
// (decode/cv_decoder.cpp) and the generator (generate/cv_generator.cpp): the
// size table, the capacity arithmetic, the count-field widths, the format word
// positions, the masks, the modes and their alphabets, the keyword table and
// the order in which codeword bits are placed in the matrix.
//
// A symbol is a square matrix of side S (13..57): an L of arm k dark modules
// at each corner, a timing pattern down column 0 between the corner marks, a
// 15-bit format word in four 2 x 2 blocks beside the corners and Reed-Solomon
// protected codewords in 2 x 2 tiles everywhere else.
//
// Constant data and pure functions; nothing is allocated. Safe from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace cordavex {

inline constexpr int kCvMinSide = 13;
inline constexpr int kCvMaxSide = 57;
inline constexpr int kCvSizeCount = 16;
inline constexpr int kCvLevelCount = 4;
inline constexpr int kCvMaskCount = 8;
// T of the largest size: (57 * 57 - 57 - 14 * 9 - 13) >> 3.
inline constexpr int kCvMaxCodewords = 381;
inline constexpr int kCvKeywordCount = 42;
inline constexpr int kCvFunctionEscape = 127;  // keyword index followed by a function number
inline constexpr int kCvMaxParts = 16;         // split data: a 4-bit part index

// One row per symbol size. The count-field width depends on the size and the
// error level; the corner arm on the size alone.
struct CvSizeRow {
  int8_t side;
  int8_t arm;                  // k: length of each corner mark's arms
  int8_t countWidth[kCvLevelCount];  // bits of the count field by level 0..3
};

inline constexpr CvSizeRow kCvSizes[kCvSizeCount] = {
    {13, 3, {7, 6, 6, 6}},      {15, 3, {7, 7, 7, 7}},      {17, 3, {8, 8, 7, 7}},
    {19, 3, {8, 8, 8, 8}},      {21, 5, {9, 8, 8, 8}},      {23, 5, {9, 9, 8, 8}},
    {25, 5, {9, 9, 9, 8}},      {27, 5, {10, 9, 9, 9}},     {29, 7, {10, 9, 9, 9}},
    {33, 7, {10, 10, 10, 9}},   {37, 7, {10, 10, 10, 10}},  {41, 7, {11, 11, 10, 10}},
    {45, 9, {11, 11, 11, 10}},  {49, 9, {11, 11, 11, 11}},  {53, 9, {12, 11, 11, 11}},
    {57, 9, {12, 12, 11, 11}},
};

// Check codewords as a percentage of all codewords, by level.
inline constexpr int kCvCheckPercent[kCvLevelCount] = {12, 24, 40, 50};

// The size index of a side: (S - 13) / 2 below 29, (S - 29) / 4 + 8 from 29.
// -1 for a side that is not a Cordavex code size.
int CvSizeIndex(int side);

// The capacity of one size at one level.
struct CvGeometry {
  int side = 0;
  int arm = 0;          // k
  int sizeIndex = 0;    // z (the version index)
  int level = 0;
  int total = 0;        // T = (S*S - S - 14k - 13) >> 3
  int blockUnit = 0;    // B: the check count is a multiple of it
  int check = 0;        // E
  int data = 0;         // D = T - E
  int blocks = 0;       // Reed-Solomon blocks: (T >> 6) + 1
  int countWidth = 0;   // w
};

// Fills `geometry` for a side and level; returns 1, or 0 when the side is not
// a size or the level is outside 0..3.
int CvMakeGeometry(int side, int level, CvGeometry& geometry);

// ---- the matrix ----

// The mask condition for the data module at row i, column j.
bool CvMaskBit(int mask, int i, int j);

// Format word: 15 bits w14..w0 (w14 first), from the 5 data bits
// level (2 bits) and mask (3 bits) and ten BCH check bits.
uint16_t CvFormatWord(int level, int mask);

// Position of format bit w(14 - i), i = 0..14, in a matrix of side S.
struct CvModule {
  int8_t row;
  int8_t column;
};
CvModule CvFormatModule(int side, int i);

// Whether column 0 is dark at `row` (timing between the corner marks, and the
// corner marks themselves).
bool CvTimingDark(int side, int arm, int row);

// Whether a module belongs to a corner mark (dark) in a matrix of side S.
bool CvCornerMarkDark(int side, int arm, int row, int column);

// Visits every module that carries codeword bits, in placement order: 2 x 2
// tiles (high nibble of a codeword, then its low nibble; in each tile
// (r, c), (r, c+1), (r+1, c), (r+1, c+1)) over row pairs from the top, the one
// row r = S - k - 2 alone in 1 x 4 tiles, and last the column k + 1 in the
// corner rows. The modules it skips are the reserved ones: column 0, the
// corner areas and the format blocks. `visit(row, column)` is called once per
// module; there are at least 8T of them (three more at most).
template <typename Visit>
void CvForEachDataModule(int side, int arm, Visit&& visit) {
  const int s = side;
  const int k1 = arm + 1;
  const auto cornerRow = [&](int r) { return r < k1 || r > s - k1 - 1; };
  const auto skip = [&](int r, int c) {
    if (c == k1 && cornerRow(r)) return true;  // the column strip, filled last
    if ((r < 2 || r > s - 3) && (c < k1 || c > s - k1 - 1)) return true;  // corner marks
    if ((r < 4 || r > s - 5) && (c < 4 || c > s - 5)) return true;         // format blocks
    if (cornerRow(r) && (c < 2 || c > s - 3)) return true;                 // corner sides
    return false;
  };
  const auto pair = [&](int r) {
    int c = 1;
    while (c < s) {
      if (skip(r, c)) {
        ++c;
        continue;
      }
      if (c + 1 >= s) break;
      visit(r, c);
      visit(r, c + 1);
      visit(r + 1, c);
      visit(r + 1, c + 1);
      c += 2;
    }
  };
  const int single = s - k1 - 1;
  for (int r = 0; r < single; r += 2) pair(r);
  // The one row left over between the row pairs: 1 x 4 tiles, and when S - 1
  // is not a multiple of 4 its last two modules stay empty.
  const int limit = (s - 1) % 4 != 0 ? s - 2 : s;
  for (int c = 1; c < limit; c += 4) {
    for (int i = 0; i < 4; ++i) visit(single, c + i);
  }
  for (int r = s - k1; r < s; r += 2) pair(r);
  for (int r = 0; r < k1; ++r) visit(r, k1);
  for (int r = s - k1; r < s; ++r) visit(r, k1);
}

// What a payload holds, as the decoder reports it. The values are the
// engine's preliminary content kinds (content/decode_summary.h ContentKind 1,
// 2, 3); a test holds the two in step.
enum CvPayloadKind : int32_t {
  kCvPayloadNone = 0,
  kCvPayloadText = 1,    // UTF-16 text
  kCvPayloadBinary = 2,  // bytes, behind any text that came first
  kCvPayloadSplit = 3,   // one part of split data
};

// Function types of the older fixed layout that carry more than one string
// (content/decode_summary.h CordavexFunction 10 and 11).
inline constexpr int kCvOlderSimpleContact = 10;
inline constexpr int kCvOlderBusinessCard = 11;

// ---- the bit stream ----

enum CvMode : int {
  kCvModeEnd = 0,
  kCvModeNumeric = 1,  // groups of three digits in 10 bits
  kCvModePhone = 2,    // digits and + - , . in 4 bits
  kCvModeSixBit = 3,   // letters, digits, signs in 6 bits
  kCvModeWide = 4,     // UTF-16 units in 16 bits
  kCvModeBytes = 5,
  kCvModeSplit = 6,    // one part of split data
  kCvModeKeyword = 7,  // a keyword index, or 127 and a function number
};
inline constexpr int kCvModeBits = 3;

// Six-bit values: 1..60 characters, 0 ends the text, 61 escapes one value, 62
// and 63 turn capitals on and off. Escaped 1..4 are line feed, carriage
// return, '[' and ']'.
inline constexpr int kCvSixBitEnd = 0;
inline constexpr int kCvSixBitSpace = 60;
inline constexpr int kCvSixBitEscape = 61;
inline constexpr int kCvSixBitCapitalsOn = 62;
inline constexpr int kCvSixBitCapitalsOff = 63;
// Index v holds the character of value v (0 for none).
inline constexpr std::string_view kCvSixBitAlphabet =
    std::string_view("\0"
                     "123456789"
                     "0"
                     "abcdefghijklmnopqrstuvwxyz"
                     "!\"#$%&'()*+,-./:;=?@\\_~"
                     " ",
                     61);
inline constexpr std::string_view kCvSixBitEscaped = std::string_view("\0\n\r[]", 5);

// The six-bit value of a character written without escape (small letters,
// digits, signs, space), else 0.
int CvSixBitValue(char16_t unit);
// The value written after the escape 61 for line feed, carriage return, '['
// and ']', else 0.
int CvSixBitEscapedValue(char16_t unit);

// Four-bit phone values: 1..9 the digits 1..9, 10 the digit 0, 11 '+', 12 '-',
// 13 ',', 14 '.'; 15 gives nothing and 0 ends the run.
inline constexpr std::string_view kCvPhoneAlphabet = std::string_view("\0" "1234567890+-,.", 15);
int CvPhoneValue(char16_t unit);

// The keyword table: index -> text. Index 127 is the function escape.
struct CvKeyword {
  std::string_view text;
  bool opensField;  // a card or address-book field name whose value follows
};
extern const std::array<CvKeyword, kCvKeywordCount> kCvKeywords;

}  // namespace cordavex
