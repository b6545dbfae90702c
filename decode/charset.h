// Character sets: converts a decoded 8-bit byte string to UTF-16, in the set the
// decoder named (character-set code) or in one guessed from the bytes.
//
// Shift-JIS, Big5 and GB2312 go through the platform's code-page conversion first;
// when the platform lacks the code page or rejects the bytes, Shift-JIS falls back
// to a table built into the program and Big5 / GB2312 to the table files
// "Cordavex.BIG5.PLUGIN" / "Cordavex.GB2312.PLUGIN" beside the running program.
//
// Buffers are the caller's: the input is a view, the output a span that is never
// written past its end. Nothing is allocated; a table file is opened and closed
// within one call. All functions are re-entrant and may be called from several
// threads at once.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "cordavex/content.h"

namespace cordavex {

// Where the conversions look for their platform services. The defaults are the
// device's own; tests replace them to force the fallbacks.
struct CharsetOptions {
  // Try the platform's code-page conversion before the built-in table or file.
  bool platformConversion = true;
  // Folder holding the table files; empty means the running program's folder.
  std::string_view tableFolder;
  // UI language id for the guess; 0 means ask the platform.
  uint16_t uiLanguage = 0;
};

// Converts `bytes` in the set `charset` into `out` and returns the number of
// UTF-16 units written. The caller zero-fills `out`; no terminator is written, and
// every unit past the returned count is left zero. Code 32 is first replaced by
// GuessCharset's answer; 2 and an unresolved 32 convert as UTF-8; 1, 4 and 8 with
// their set; any other code converts nothing. An empty result is retried as UTF-8.
// The output never holds more units than `bytes` has bytes, so an `out` as long
// as `bytes` always suffices; a shorter one truncates.
int DecodeToUnicode(uint32_t charset, std::span<const uint8_t> bytes, std::span<char16_t> out,
                    const CharsetOptions& options = {});

// The set whose test accepts the whole string: with UI language 1028 (Chinese,
// Taiwan) trying UTF-8, Big5, Shift-JIS; otherwise GB2312, UTF-8, Big5,
// Shift-JIS. 32 when none accepts it; the first candidate for an empty string.
// The UTF-8 test takes well-formed four-byte sequences.
uint32_t GuessCharset(std::span<const uint8_t> bytes);
uint32_t GuessCharset(std::span<const uint8_t> bytes, uint16_t uiLanguage);

// Whether the guess test of the set `charset` (1, 2, 4 or 8) accepts the whole
// string; false for any other code.
bool CharsetAccepts(uint32_t charset, std::span<const uint8_t> bytes);

// The code of a character set named as in a vCard's CHARSET parameter
// ("UTF-8", "Shift_JIS", "BIG5", "GB2312" and their usual aliases, any case);
// 0 for a set without a code.
uint32_t CharsetOfName(std::string_view name);

// The single conversions. Each returns the number of units written, 0 when it
// failed (a missing or unreadable table file); after a failure every unit it had
// written is zero again.
int ConvertUtf8(std::span<const uint8_t> bytes, std::span<char16_t> out);
int ConvertShiftJis(std::span<const uint8_t> bytes, std::span<char16_t> out,
                    const CharsetOptions& options = {});
int ConvertBig5(std::span<const uint8_t> bytes, std::span<char16_t> out,
                const CharsetOptions& options = {});
int ConvertGb2312(std::span<const uint8_t> bytes, std::span<char16_t> out,
                  const CharsetOptions& options = {});

}  // namespace cordavex
