// Small string routines that content classification and the field parser share:
// lengths, bounded copies, searches and a case-insensitive prefix test over
// UTF-16 and 8-bit strings.
//
// Inputs are views (a zero-terminated buffer becomes one through WideLength or
// std::u16string_view's own constructor); outputs are caller spans that are never
// written past their end and always end with a zero unit when they have room for
// one. Pure functions; safe from any thread.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace cordavex {

// Units before the first zero unit.
int WideLength(const char16_t* s);
// As above, but reads at most `capacity` units (returns `capacity` when no zero
// unit is among them).
int WideLength(const char16_t* s, int capacity);

// Copies `src` into `dest` with a terminator, as much as fits; returns the units
// copied (without the terminator).
int WideCopy(std::span<char16_t> dest, std::u16string_view src);

// Position of the 8-bit `needle` inside `text`, comparing the low byte of each
// UTF-16 unit with each byte; -1 when absent. An empty needle is found at 0.
int FindNarrow(std::u16string_view text, std::string_view needle);

// 1 when the shorter of the two strings equals the start of the other, ignoring
// the case of ASCII letters; 0 otherwise. Two empty strings are equal; an empty and
// a non-empty one are not.
// Equal length and equal but for the case of ASCII letters.
bool EqualsNoCase(std::string_view a, std::string_view b);
int PrefixEqualsNoCase(std::u16string_view a, std::u16string_view b);
int PrefixEqualsNoCase(std::u16string_view a, std::string_view b);
int PrefixEqualsNoCase(std::string_view a, std::string_view b);

// Position of the first `c` in `s`; -1 when absent.
int FindChar(std::u16string_view s, char16_t c);
int FindChar(std::string_view s, char c);

// Copies `src` from position `offset` on (nothing when `offset` is negative or
// past the end) into `dest` with a terminator; returns the units copied.
int CopyFrom(std::span<char16_t> dest, std::u16string_view src, int offset);
int CopyFrom(std::span<char> dest, std::string_view src, int offset);

// Copies the first `n` units of `src` (all of it when shorter, none when `n` is
// negative) into `dest` with a terminator; returns the units copied.
int CopyFirst(std::span<char16_t> dest, std::u16string_view src, int n);
int CopyFirst(std::span<char> dest, std::string_view src, int n);

// UTF-16 to UTF-8 into `out`, whole characters only (a character that does not
// fit ends the conversion); an unpaired surrogate becomes U+FFFD, so the output
// is always valid UTF-8. Returns the bytes written, without a terminator. Three
// bytes per unit of `text` always suffice.
size_t WideToUtf8(std::u16string_view text, std::span<char> out);

}  // namespace cordavex
