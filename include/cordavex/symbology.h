// The symbologies the engine reads, one row each: the id that results and the
// engine's lock carry, the bit that selects it in a scan's symbology mask, the
// word the command line takes for it and the name JSON output gives it.
//
// Constant data; safe from any thread.
#pragma once

#include <cstdint>
#include <iterator>
#include <string_view>

namespace cordavex {

enum class Symbology : int32_t {
  kNone = 0,
  kQr = 1,
  kCordavex2 = 2,  // Cordavex code, older layout
  kCordavex3 = 3,  // Cordavex code, current layout
  kDataMatrix = 4,
};

// Bits of `symbologyMask`; any value outside 1..7 scans for all three.
inline constexpr uint32_t kMaskQr = 1;
inline constexpr uint32_t kMaskCordavex = 2;
inline constexpr uint32_t kMaskDataMatrix = 4;
inline constexpr uint32_t kMaskAll = kMaskQr | kMaskCordavex | kMaskDataMatrix;

struct SymbologyRow {
  Symbology id;
  uint32_t maskBit;
  std::string_view word;      // command-line word (both Cordavex code layouts share "cv")
  std::string_view jsonName;  // "symbology" in JSON output
};

inline constexpr SymbologyRow kSymbologies[] = {
    {Symbology::kQr, kMaskQr, "qr", "qr"},
    {Symbology::kCordavex2, kMaskCordavex, "cv", "cv2"},
    {Symbology::kCordavex3, kMaskCordavex, "cv", "cv3"},
    {Symbology::kDataMatrix, kMaskDataMatrix, "dm", "dm"},
};

constexpr bool SymbologyRowsInIdOrder() {
  for (size_t i = 0; i < std::size(kSymbologies); ++i) {
    if (static_cast<size_t>(kSymbologies[i].id) != i + 1) return false;
  }
  return true;
}
static_assert(SymbologyRowsInIdOrder(), "row i holds symbology id i + 1");

// The row of a symbology id, or nullptr for 0 and unknown ids.
constexpr const SymbologyRow* FindSymbology(int32_t id) {
  if (id < 1 || id > static_cast<int32_t>(std::size(kSymbologies))) return nullptr;
  return &kSymbologies[id - 1];
}

// The mask bit of a command-line word, or 0 for an unknown word.
constexpr uint32_t SymbologyMaskOfWord(std::string_view word) {
  for (const SymbologyRow& row : kSymbologies) {
    if (row.word == word) return row.maskBit;
  }
  return 0;
}

// A comma-separated list of command-line words ("qr,cv,dm") to a mask; 0 when
// the list is empty or holds an unknown word.
constexpr uint32_t SymbologyMaskOfList(std::string_view list) {
  uint32_t mask = 0;
  while (true) {
    const size_t comma = list.find(',');
    const uint32_t bit = SymbologyMaskOfWord(list.substr(0, comma));
    if (bit == 0) return 0;
    mask |= bit;
    if (comma == std::string_view::npos) return mask;
    list.remove_prefix(comma + 1);
  }
}

}  // namespace cordavex
