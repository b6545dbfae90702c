#include "decode/cv_layout.h"

#include <span>

#include "decode/bch.h"

namespace cordavex {

// Field names are the card and address-book properties whose value follows
// them up to a ";"; object names, schemes and domain parts open nothing.
const std::array<CvKeyword, kCvKeywordCount> kCvKeywords = {{
    {"ADR:", true},
    {"BODY:", true},
    {"CALLTO:", false},
    {"CITY:", true},
    {"COR:", true},
    {"CR:", true},
    {"DG:", true},
    {"DIV:", true},
    {"EMAIL:", true},
    {"FAX:", true},
    {"MATMSG:", false},
    {"MOBILE:", true},
    {"NAME:", true},
    {"SID:", true},
    {"SMSTO:", false},
    {"SMTP:", false},
    {"SUBJECT:", true},
    {"TEL:", true},
    {"TITLE:", true},
    {"URL:", true},
    {"wtai://wp/mc;", false},
    {"ZIP:", true},
    {"http://", false},
    {"http://www.", false},
    {"https://", false},
    {"https://www.", false},
    {"cordavex.com", false},  // our own web site
    {".com", false},
    {".org", false},
    {".net", false},
    {".biz", false},
    {".mobi", false},
    {".info", false},
    {".name", false},
    {"BEGIN:VCARD\r\n", false},
    {"\r\nEND:VCARD", false},
    {"MECARD:", false},
    {"MEBKM:", false},
    {"SMS:", false},
    {"BEGIN:VCALENDAR", false},
    {"MAILTO:", false},
    {"MEMORY:", false},
}};

int CvSizeIndex(int side) {
  if (side < kCvMinSide || side > kCvMaxSide || side % 2 == 0) return -1;
  if (side < 29) return (side - 13) / 2;
  if ((side - 29) % 4 != 0) return -1;
  return (side - 29) / 4 + 8;
}

int CvMakeGeometry(int side, int level, CvGeometry& g) {
  const int z = CvSizeIndex(side);
  if (z < 0 || level < 0 || level >= kCvLevelCount) return 0;
  const CvSizeRow& row = kCvSizes[z];
  g.side = side;
  g.arm = row.arm;
  g.sizeIndex = z;
  g.level = level;
  // Modules left for codewords: all but column 0, the corner areas and the
  // format blocks.
  const int modules = side * side - side - 14 * row.arm - 13;
  g.total = modules >> 3;
  g.blockUnit = 2 + ((g.total >> 5) & ~1);
  // Percentage rounded up, then up to a multiple of B so that every block gets
  // the same, even number of check codewords.
  const int percent = (g.total * kCvCheckPercent[level] + 99) / 100;
  g.check = (percent + g.blockUnit - 1) / g.blockUnit * g.blockUnit;
  g.data = g.total - g.check;
  g.blocks = (g.total >> 6) + 1;
  g.countWidth = row.countWidth[level];
  return 1;
}

bool CvMaskBit(int mask, int i, int j) {
  const int p = i * j;
  switch (mask) {
    case 0: return (i + j) % 3 == 0;
    case 1: return ((i + j) % 3 + p % 2) % 3 == 0;
    case 2: return ((i + j) % 2 + p % 3) % 3 == 0;
    case 3: return (i / 2 + j / 2) % 2 == 0;
    case 4: return (i / 2 + j / 2) % 3 == 0;
    case 5: return (p % 3 + p % 2) % 2 == 0;
    case 6: return ((i + j) % 3 + p % 2) % 2 == 0;
    case 7: return ((i + j) % 2 + p % 3) % 2 == 0;
    default: return false;
  }
}

uint16_t CvFormatWord(int level, int mask) {
  const int value = ((level & 3) << 3) | (mask & 7);
  // Bch15Encode's order: byte i is x^(10+i), byte 5 + k is x^k.
  uint8_t bits[15] = {};
  for (int i = 0; i < 5; ++i) bits[i] = static_cast<uint8_t>((value >> i) & 1);
  Bch15Encode(std::span<uint8_t, 15>(bits));
  uint16_t word = 0;
  for (int j = 0; j < 15; ++j) {
    const int bit = j >= 10 ? bits[j - 10] : bits[5 + j];
    word = static_cast<uint16_t>(word | (bit << j));
  }
  return word;
}

CvModule CvFormatModule(int side, int i) {
  // w14 w13 / w12 w11 top left, w10 w9 / w8 w7 top right, w6 w5 / w4 w3 bottom
  // left, w2 w1 / w0 bottom right: each block read row by row.
  const int block = i / 4;
  const int within = i % 4;
  const int row = (block < 2 ? 2 : side - 4) + within / 2;
  const int column = ((block & 1) == 0 ? 2 : side - 4) + within % 2;
  return {static_cast<int8_t>(row), static_cast<int8_t>(column)};
}

bool CvTimingDark(int side, int arm, int row) {
  if (row < arm || row >= side - arm) return true;  // corner marks
  struct Pattern {
    int start;       // first timing row
    int shortRuns;   // runs of `shortDark` dark + 1 light
    int shortDark;
    int longRuns;    // then runs of `longDark` dark, each + 1 light
    int longDark;
  };
  Pattern p{};
  if (side < 21) {
    return row % 2 == 0;
  } else if (side < 29) {
    p = {side < 25 ? arm + 2 : arm + 1, (side - 21) / 2, 2, 1, side == 21 ? 7 : 6};
  } else if (side < 45) {
    p = {arm + 1, (side - 29) / 4, 3, 2, 6};
  } else {
    p = {arm + 2, (side - 45) / 4, 3, 3, 7};
  }
  int at = p.start;
  for (int i = 0; i < p.shortRuns; ++i, at += p.shortDark + 1) {
    if (row >= at && row < at + p.shortDark) return true;
  }
  for (int i = 0; i < p.longRuns; ++i, at += p.longDark + 1) {
    if (row >= at && row < at + p.longDark) return true;
  }
  return false;
}

bool CvCornerMarkDark(int side, int arm, int row, int column) {
  const bool edgeRow = row == 0 || row == side - 1;
  const bool edgeColumn = column == 0 || column == side - 1;
  if (edgeRow && (column < arm || column >= side - arm)) return true;
  if (edgeColumn && (row < arm || row >= side - arm)) return true;
  return false;
}

int CvSixBitValue(char16_t unit) {
  if (unit == 0 || unit >= 0x80) return 0;
  const size_t at = kCvSixBitAlphabet.find(static_cast<char>(unit), 1);
  return at == std::string_view::npos ? 0 : static_cast<int>(at);
}

int CvSixBitEscapedValue(char16_t unit) {
  if (unit == 0 || unit >= 0x80) return 0;
  const size_t at = kCvSixBitEscaped.find(static_cast<char>(unit), 1);
  return at == std::string_view::npos ? 0 : static_cast<int>(at);
}

int CvPhoneValue(char16_t unit) {
  if (unit == 0 || unit >= 0x80) return 0;
  const size_t at = kCvPhoneAlphabet.find(static_cast<char>(unit), 1);
  return at == std::string_view::npos ? 0 : static_cast<int>(at);
}

}  // namespace cordavex
