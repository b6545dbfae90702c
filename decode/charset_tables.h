// Index rules and table layouts of the character-set fallbacks, shared by the
// reader (decode/charset.cpp) and by the build tools that produce the tables
// (tools/make_shift_jis_table.cpp, tools/make_charset_files.cpp), so that both
// sides always agree on the order of entries and on the XOR constants.
//
// Pure constexpr functions and constants; the one table (kShiftJisTable) is
// generated into the build tree and is read-only.
#pragma once

#include <cstdint>

namespace cordavex::charset_tables {

// ---- Shift-JIS (code page 932), built into the program -------------------------

// Rows of 188 columns: lead 0x81-0x9F -> rows 0-30, 0xE0-0xEF -> 31-46,
// 0xFA-0xFC -> 47-49; trail 0x40-0x7E -> columns 0-62, 0x80-0xFC -> 63-187.
inline constexpr int kShiftJisColumns = 188;
inline constexpr int kShiftJisRows = 50;
// Entries up to and including 0xFC4B, the last code that code page 932 defines
// (row 49, column 11).
inline constexpr int kShiftJisTableEntries = 49 * kShiftJisColumns + 11 + 1;
// The value of every position that code page 932 leaves undefined, and of codes
// past the table: katakana middle dot.
inline constexpr char16_t kShiftJisUndefined = 0x30FB;
// Code page 932 maps the user-defined leads 0xF0-0xF9 linearly onto the private
// use area from U+E000, 188 codes per lead.
inline constexpr uint8_t kShiftJisUserFirstLead = 0xF0;
inline constexpr uint8_t kShiftJisUserLastLead = 0xF9;
inline constexpr char16_t kShiftJisUserBase = 0xE000;

// Row of a lead byte, in byte arithmetic (mod 256): lead + 0x7F; above 30,
// lead + 0x13F instead; still above 46, that + 0xF6. Leads outside the three
// ranges give a row of 50 or more, except 0xF0-0xF9 (which land on rows 37-46 and
// are handled as user-defined codes before this rule applies).
constexpr int ShiftJisRow(uint8_t lead) {
  int row = (lead + 0x7F) & 0xFF;
  if (row > 30) row = (lead + 0x13F) & 0xFF;
  if (row > 46) row = (row + 0xF6) & 0xFF;
  return row;
}

// Column of a trail byte: trail + 0xC0 (mod 256), one less above 62 to close the
// gap of 0x7F; -1 for 0x7F itself, which is never a trail byte.
constexpr int ShiftJisColumn(uint8_t trail) {
  if (trail == 0x7F) return -1;
  int column = (trail + 0xC0) & 0xFF;
  if (column > 62) column -= 1;
  return column;
}

// The inverse, for the generator: the lead and trail of a row and column.
constexpr uint8_t ShiftJisLeadOfRow(int row) {
  return static_cast<uint8_t>(row <= 30 ? 0x81 + row : row <= 46 ? 0xE0 + row - 31 : 0xFA + row - 47);
}
constexpr uint8_t ShiftJisTrailOfColumn(int column) {
  return static_cast<uint8_t>(column <= 62 ? 0x40 + column : 0x80 + column - 63);
}

// Generated from the platform's code page 932 during the build.
extern const char16_t kShiftJisTable[kShiftJisTableEntries];

// ---- Table files for Big5 and GB2312 ----------------------------------------------

// A table file: no header, entry i (the Unicode value of the i-th code in the
// set's index order) at byte offset 2*i, 16-bit little-endian, XORed with one
// constant for even and another for odd indices.
struct TableFile {
  const char* name;
  int entries;
  uint16_t xorEven;
  uint16_t xorOdd;
};

inline constexpr TableFile kBig5File{"Cordavex.BIG5.PLUGIN", 13712, 0x5A3C, 0xC3A5};
inline constexpr TableFile kGb2312File{"Cordavex.GB2312.PLUGIN", 7445, 0x1E87, 0x96D2};

// Stored form of an entry; the XOR is its own inverse, so the reader uses it too.
constexpr uint16_t XorEntry(const TableFile& file, uint32_t index, uint16_t value) {
  return static_cast<uint16_t>(value ^ ((index & 1) != 0 ? file.xorOdd : file.xorEven));
}

// Value written for a position the source mapping leaves undefined.
inline constexpr char16_t kTableUndefined = 0xFFFD;

// Big5 index: 157 codes per lead (trails 0x40-0x7E -> 0-62, 0xA1-0xFE -> 63-156;
// other trails count unchanged), lead 0xC8 counting as the row of 0xC7, and the
// gaps before the first hanzi (0xA440) and the second plane (0xC940) closed by 63
// and 65 entries. Modulo 65536, so that malformed codes land past the table.
constexpr uint32_t Big5Index(uint8_t lead, uint8_t trail) {
  const int column = trail < 0x7F ? trail - 0x40 : trail >= 0xA1 ? trail - 0x62 : trail;
  const int row = lead < 0xC8 ? lead - 0xA1 : lead - 0xA2;
  const int adjust = lead <= 0xA3 ? 0 : lead <= 0xC7 ? 63 : 65;
  // Computed unsigned: the modulo is the point, and a negative value must wrap.
  return (static_cast<uint32_t>(157 * row + column - adjust)) & 0xFFFF;
}

// GB2312 unused cells before a code (row * 256 + cell, both from 0x21): every
// code from `from` on has `skip` unused cells of rows 0x21-0x29 and 0x30-0x57
// before it (rows 0x2A-0x2F are left out by the row arithmetic).
struct Gb2312Skip {
  uint16_t from;
  uint16_t skip;
};
inline constexpr Gb2312Skip kGb2312Skips[] = {
    {0x2231, 16},   // 0xA2A1-0xA2B0 unused
    {0x2265, 18},   // 0xA2E3-0xA2E4
    {0x2271, 20},   // 0xA2EF-0xA2F0
    {0x2321, 22},   // 0xA2FD-0xA2FE
    {0x2521, 33},   // 0xA4F4-0xA4FE, after the hiragana
    {0x2621, 41},   // 0xA5F7-0xA5FE, after the katakana
    {0x2641, 49},   // 0xA6B9-0xA6C0, between the Greek capitals and small letters
    {0x2721, 87},   // 0xA6D9-0xA6FE
    {0x2751, 102},  // 0xA7C2-0xA7D0, between the Cyrillic capitals and small letters
    {0x2821, 115},  // 0xA7F2-0xA7FE
    {0x2845, 125},  // 0xA8BB-0xA8C4, between pinyin and bopomofo
    {0x2924, 149},  // 0xA8EA-0xA8FE and 0xA9A1-0xA9A3
    {0x3021, 164},  // 0xA9F0-0xA9FE, after the box drawing
    {0x5821, 169},  // 0xD7FA-0xD7FE, after the first level of hanzi
};

// GB2312 index: 94 cells per row, rows 0x2A-0x2F left out, less the unused cells
// before the code. Modulo 65536, so that malformed codes land past the table.
constexpr uint32_t Gb2312Index(uint8_t lead, uint8_t trail) {
  const int row = lead - 0x80;
  const int cell = trail - 0x80;
  const int code = row * 256 + cell;
  int skip = 0;
  for (const Gb2312Skip& s : kGb2312Skips) {
    if (code >= s.from) skip = s.skip;
  }
  const int rowIndex = row - 0x21 - (row >= 0x30 ? 6 : 0);
  return static_cast<uint32_t>(rowIndex * 94 + (cell - 0x21) - skip) & 0xFFFF;
}

}  // namespace cordavex::charset_tables
