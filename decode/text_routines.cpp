#include "decode/text_routines.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace cordavex {

namespace {

// Letter case is folded for ASCII letters only: the keywords and schemes these
// routines compare are ASCII, and a wider folding would make, for example, a
// full-width letter match its ASCII twin.
constexpr char32_t FoldCase(char32_t c) { return c >= U'A' && c <= U'Z' ? c + (U'a' - U'A') : c; }

template <typename A, typename B>
int PrefixEqualsNoCaseImpl(A a, B b) {
  if (a.empty() != b.empty()) return 0;
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    // 8-bit text is compared byte by byte as code units 0-255.
    const auto ca = static_cast<char32_t>(static_cast<std::make_unsigned_t<typename A::value_type>>(a[i]));
    const auto cb = static_cast<char32_t>(static_cast<std::make_unsigned_t<typename B::value_type>>(b[i]));
    if (FoldCase(ca) != FoldCase(cb)) return 0;
  }
  return 1;
}

template <typename T>
int FindCharImpl(std::basic_string_view<T> s, T c) {
  const size_t at = s.find(c);
  return at == std::basic_string_view<T>::npos ? -1 : static_cast<int>(at);
}

// Copies up to `count` units and a terminator into `dest`, as much as fits.
template <typename T>
int CopyBounded(std::span<T> dest, std::basic_string_view<T> src) {
  if (dest.empty()) return 0;
  const size_t n = std::min(src.size(), dest.size() - 1);
  std::copy_n(src.begin(), n, dest.begin());
  dest[n] = T{};
  return static_cast<int>(n);
}

template <typename T>
int CopyFromImpl(std::span<T> dest, std::basic_string_view<T> src, int offset) {
  if (offset < 0 || static_cast<size_t>(offset) > src.size()) return CopyBounded(dest, std::basic_string_view<T>());
  return CopyBounded(dest, src.substr(static_cast<size_t>(offset)));
}

template <typename T>
int CopyFirstImpl(std::span<T> dest, std::basic_string_view<T> src, int n) {
  if (n < 0) n = 0;
  return CopyBounded(dest, src.substr(0, static_cast<size_t>(n)));
}

}  // namespace

int WideLength(const char16_t* s) {
  if (s == nullptr) return 0;
  int n = 0;
  while (s[n] != u'\0') ++n;
  return n;
}

int WideLength(const char16_t* s, int capacity) {
  if (s == nullptr) return 0;
  int n = 0;
  while (n < capacity && s[n] != u'\0') ++n;
  return n;
}

int WideCopy(std::span<char16_t> dest, std::u16string_view src) { return CopyBounded(dest, src); }

int FindNarrow(std::u16string_view text, std::string_view needle) {
  if (needle.size() > text.size()) return -1;
  for (size_t start = 0; start + needle.size() <= text.size(); ++start) {
    size_t k = 0;
    while (k < needle.size() && (text[start + k] & 0xFF) == static_cast<uint8_t>(needle[k])) ++k;
    if (k == needle.size()) return static_cast<int>(start);
  }
  return -1;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && PrefixEqualsNoCaseImpl(a, b) == 1;
}

int PrefixEqualsNoCase(std::u16string_view a, std::u16string_view b) { return PrefixEqualsNoCaseImpl(a, b); }
int PrefixEqualsNoCase(std::u16string_view a, std::string_view b) { return PrefixEqualsNoCaseImpl(a, b); }
int PrefixEqualsNoCase(std::string_view a, std::string_view b) { return PrefixEqualsNoCaseImpl(a, b); }

int FindChar(std::u16string_view s, char16_t c) { return FindCharImpl(s, c); }
int FindChar(std::string_view s, char c) { return FindCharImpl(s, c); }

int CopyFrom(std::span<char16_t> dest, std::u16string_view src, int offset) { return CopyFromImpl(dest, src, offset); }
int CopyFrom(std::span<char> dest, std::string_view src, int offset) { return CopyFromImpl(dest, src, offset); }

int CopyFirst(std::span<char16_t> dest, std::u16string_view src, int n) { return CopyFirstImpl(dest, src, n); }
int CopyFirst(std::span<char> dest, std::string_view src, int n) { return CopyFirstImpl(dest, src, n); }

// UTF-16 to UTF-8 into `out`, whole characters only; an unpaired surrogate
// becomes U+FFFD. Returns the bytes written (no terminator).
size_t WideToUtf8(std::u16string_view text, std::span<char> out) {
  size_t n = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    char bytes[4];
    size_t length;
    if (c < 0x80) {
      bytes[0] = static_cast<char>(c);
      length = 1;
    } else if (c < 0x800) {
      bytes[0] = static_cast<char>(0xC0 | (c >> 6));
      bytes[1] = static_cast<char>(0x80 | (c & 0x3F));
      length = 2;
    } else if (c < 0x10000) {
      bytes[0] = static_cast<char>(0xE0 | (c >> 12));
      bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
      length = 3;
    } else {
      bytes[0] = static_cast<char>(0xF0 | (c >> 18));
      bytes[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      bytes[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes[3] = static_cast<char>(0x80 | (c & 0x3F));
      length = 4;
    }
    if (n + length > out.size()) break;
    std::memcpy(out.data() + n, bytes, length);
    n += length;
  }
  return n;
}

}  // namespace cordavex
