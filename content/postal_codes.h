// The business-card address: the region's three-digit postal codes with their
// city and district names, and the expansion of the one-letter address words.
//
// The table is generated at build time from data/tw_postal_codes.tsv. It is
// sorted by code and holds two kinds of entries: city-name entries (codes below
// 100, one per city, the name's characters in the character slots) and one
// entry per postal code. A postal-code entry's 16-bit city word is either a
// character itself (above 0x0FFF: the name is that character and the district
// characters) or a reference: its low byte minus 5 is the index of a city-name
// entry and its bits 8-11 pick the suffix character (區, 鄉, 鎮, 市, 島) that
// ends the district's name.
//
// Read-only constant data; safe from any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace cordavex {

struct PostalEntry {
  uint16_t code;
  char16_t cityWord;
  // Up to three: the four-character district names (阿里山鄉, 東沙群島, ...)
  // need three before their suffix.
  char16_t district[3];
};

// The generated table, sorted by code.
std::span<const PostalEntry> PostalTable();

// Writes the city and district name of a three-digit postal code into `out`
// (zero-terminated when there is room) and returns its length; 0 for codes
// below 100 and for codes not in the table.
int PostalCodeCity(int code, std::span<char16_t> out);

// Expands the address letters S 段, R 巷, L 弄, H 號, E 之, F 樓, M 室 and
// B 地下; every other unit is copied. Returns the length written, stopping
// (without a partial word) when `out` is full; zero-terminates when there is room.
int ExpandAddressLetters(std::u16string_view address, std::span<char16_t> out);

}  // namespace cordavex
