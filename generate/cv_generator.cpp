// The Cordavex code generator: segmentation, size choice, bit stream,
// Reed-Solomon parity, placement, timing, corner marks, mask choice, format
// word and the output map. The layout it writes is the one decode/cv_layout.h
// defines for the reader.
#include <algorithm>
#include <cstring>

#include "cordavex/cordavex_code.h"
#include "decode/cv_crypto.h"
#include "decode/cv_layout.h"
#include "decode/reed_solomon.h"

namespace cordavex {
namespace {

// Character classes of the segmentation; a keyword index i marks its units
// with kClassKeyword + i.
enum Class : uint8_t {
  kClassNone = 0,
  kClassNumeric = 1,
  kClassPhone = 2,
  kClassSixBit = 3,
  kClassWide = 4,
  kClassKeyword = 7,
};

// Runs shorter than these move up a class: kMergeNext[c - 1] when the
// neighbour is of class c + 1, kMergeAny[c - 1] when it is of any higher
// class below the keywords. A six-bit run is kept inside a wide run only
// when it is a single unit.
constexpr int kMergeNext[3] = {14, 6, 2};
constexpr int kMergeAny[3] = {6, 2, 2};

// The pad values' generator: 4-bit fields of a 32-bit state at these shifts.
constexpr uint32_t kPadSeed = 305419896;
constexpr int kPadShifts[8] = {28, 21, 15, 10, 6, 3, 1, 0};

bool IsDigit(char16_t u) { return u >= u'0' && u <= u'9'; }
bool IsCapital(char16_t u) { return u >= u'A' && u <= u'Z'; }
char16_t Small(char16_t u) { return IsCapital(u) ? static_cast<char16_t>(u - u'A' + u'a') : u; }

uint8_t ClassOf(char16_t u) {
  if (u >= 0x80) return kClassWide;
  const char16_t s = Small(u);
  if (IsDigit(s)) return kClassNumeric;
  if (s == u'+' || s == u'-' || s == u',' || s == u'.') return kClassPhone;
  if (CvSixBitValue(s) != 0 || CvSixBitEscapedValue(s) != 0) return kClassSixBit;
  return kClassWide;
}

// Most significant bit first into the codeword buffer; counts only when
// `bytes` is null.
class BitWriter {
 public:
  BitWriter(uint8_t* bytes, int capacityBits) : bytes_(bytes), capacity_(capacityBits) {}
  void Put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i, ++at_) {
      if (bytes_ == nullptr || at_ >= capacity_) continue;
      const uint8_t bit = static_cast<uint8_t>(0x80 >> (at_ & 7));
      if ((value >> i) & 1) {
        bytes_[at_ >> 3] |= bit;
      } else {
        bytes_[at_ >> 3] &= static_cast<uint8_t>(~bit);
      }
    }
  }
  int Bits() const { return at_; }

 private:
  uint8_t* bytes_;
  int capacity_;
  int at_ = 0;
};

// The six-bit values of a run of text, capitals and escapes included; false
// for a unit outside the alphabet.
bool PutSixBit(std::u16string_view run, BitWriter& out) {
  bool capitals = false;
  for (size_t i = 0; i < run.size(); ++i) {
    const char16_t u = run[i];
    const bool hasNext = i + 1 < run.size();
    const char16_t next = hasNext ? run[i + 1] : 0;
    const bool capital = IsCapital(u);
    if (!capitals && capital) {
      if (hasNext && (IsCapital(next) || IsDigit(next))) {
        out.Put(kCvSixBitCapitalsOn, 6);
        capitals = true;
      } else {
        out.Put(kCvSixBitEscape, 6);  // this one letter inverted
      }
    } else if (capitals && !capital && !IsDigit(u)) {
      if (hasNext && next < 0x80 && !IsCapital(next)) {
        out.Put(kCvSixBitCapitalsOff, 6);
        capitals = false;
      } else {
        out.Put(kCvSixBitEscape, 6);
      }
    }
    const char16_t s = Small(u);
    if (const int value = CvSixBitValue(s); value != 0) {
      out.Put(static_cast<uint32_t>(value), 6);
    } else if (const int escaped = CvSixBitEscapedValue(s); escaped != 0) {
      out.Put(kCvSixBitEscape, 6);
      out.Put(static_cast<uint32_t>(escaped), 6);
    } else {
      return false;
    }
  }
  out.Put(kCvSixBitEnd, 6);
  return true;
}

// What a segment's units or bytes are.
struct Source {
  std::u16string_view text;
  std::span<const uint8_t> bytes;
  uint8_t parity = 0;
  int partIndex = 0;
  int lastIndex = 0;
};

// Writes one segment (or counts it when the writer has no buffer). Returns
// false for a unit outside its mode's alphabet or a count the field cannot hold.
bool PutSegment(const CordavexSegment& s, const Source& src, uint8_t functionNumber, int width,
                BitWriter& out) {
  out.Put(s.mode, kCvModeBits);
  const auto countFits = [&](int count) { return count >= 1 && count - 1 < (1 << width); };
  switch (s.mode) {
    case kCvModeNumeric: {
      if (!countFits(s.count)) return false;
      out.Put(static_cast<uint32_t>(s.count - 1), width);
      const std::u16string_view digits = src.text.substr(static_cast<size_t>(s.start), static_cast<size_t>(s.count));
      for (size_t i = 0; i < digits.size(); i += 3) {
        const size_t n = std::min<size_t>(3, digits.size() - i);
        uint32_t value = 0;
        for (size_t j = 0; j < n; ++j) value = value * 10 + static_cast<uint32_t>(digits[i + j] - u'0');
        out.Put(value, n == 3 ? 10 : n == 2 ? 7 : 4);
      }
      return true;
    }
    case kCvModePhone: {
      for (int i = 0; i < s.count; ++i) {
        const int value = CvPhoneValue(src.text[static_cast<size_t>(s.start + i)]);
        if (value == 0) return false;
        out.Put(static_cast<uint32_t>(value), 4);
      }
      out.Put(0, 4);
      return true;
    }
    case kCvModeSixBit:
      return PutSixBit(src.text.substr(static_cast<size_t>(s.start), static_cast<size_t>(s.count)), out);
    case kCvModeWide: {
      if (!countFits(s.count)) return false;
      out.Put(static_cast<uint32_t>(s.count - 1), width);
      for (int i = 0; i < s.count; ++i) out.Put(src.text[static_cast<size_t>(s.start + i)], 16);
      return true;
    }
    case kCvModeBytes:
    case kCvModeSplit: {
      if (!countFits(s.count)) return false;
      out.Put(static_cast<uint32_t>(s.count - 1), width);
      if (s.mode == kCvModeSplit) {
        out.Put(src.parity, 8);
        out.Put(static_cast<uint32_t>(src.partIndex), 4);
        out.Put(static_cast<uint32_t>(src.lastIndex), 4);
      }
      for (int i = 0; i < s.count; ++i) out.Put(src.bytes[static_cast<size_t>(s.start + i)], 8);
      return true;
    }
    case kCvModeKeyword:
      out.Put(s.keyword, 7);
      if (s.keyword == kCvFunctionEscape) out.Put(functionNumber, 8);
      return true;
    default:
      return false;
  }
}

// ---- segmentation ----

bool AddSegment(CordavexGenerator& g, uint8_t mode, uint8_t keyword, int start, int count) {
  if (g.segmentCount >= kCordavexMaxSegments) return false;
  g.segments[g.segmentCount++] = {mode, keyword, static_cast<int16_t>(start),
                                  static_cast<int16_t>(count), 0};
  return true;
}

void MarkKeywords(uint8_t* classes, std::u16string_view text) {
  const int n = static_cast<int>(text.size());
  const auto keywordLength = [](uint8_t c) {
    return static_cast<int>(kCvKeywords[static_cast<size_t>(c - kClassKeyword)].text.size());
  };
  for (int index = 0; index < kCvKeywordCount; ++index) {
    const std::string_view word = kCvKeywords[static_cast<size_t>(index)].text;
    const int length = static_cast<int>(word.size());
    int at = -1;
    for (int p = 0; p + length <= n && at < 0; ++p) {
      bool same = true;
      for (int j = 0; j < length && same; ++j) {
        same = text[static_cast<size_t>(p + j)] == static_cast<unsigned char>(word[static_cast<size_t>(j)]);
      }
      if (same) at = p;
    }
    if (at < 0) continue;
    bool blocked = false;
    for (int j = at; j < at + length; ++j) {
      if (classes[j] >= kClassKeyword && keywordLength(classes[j]) >= length) blocked = true;
    }
    if (blocked) continue;
    // A longer keyword replaces the shorter ones it overlaps, whole.
    for (int j = at; j < at + length; ++j) {
      const uint8_t old = classes[j];
      if (old < kClassKeyword) continue;
      for (int q = 0; q < n; ++q) {
        if (classes[q] == old) classes[q] = kClassNone;
      }
    }
    for (int j = at; j < at + length; ++j) classes[j] = static_cast<uint8_t>(kClassKeyword + index);
  }
}

void MergeShortRuns(uint8_t* classes, int n) {
  for (uint8_t c = kClassNumeric; c <= kClassSixBit; ++c) {
    int i = 0;
    while (i < n) {
      if (classes[i] != c) {
        ++i;
        continue;
      }
      int j = i;
      while (j < n && classes[j] == c) ++j;
      const int length = j - i;
      const uint8_t next = j < n ? classes[j] : uint8_t{kClassNone};
      const uint8_t previous = i > 0 ? classes[i - 1] : uint8_t{kClassNone};
      const uint8_t up = static_cast<uint8_t>(c + 1);
      const auto higher = [&](uint8_t k) { return k > c && k < 5; };
      bool merge = false;
      if (length < kMergeNext[c - 1] && (next == up || (i >= 2 && previous == up))) {
        merge = true;
      } else if (length < kMergeAny[c - 1] && (higher(next) || higher(previous))) {
        merge = true;
      }
      if (merge) std::fill(classes + i, classes + j, up);
      i = j;
    }
  }
}

bool SegmentText(CordavexGenerator& g, std::u16string_view text) {
  const int n = static_cast<int>(text.size());
  uint8_t* classes = g.classes;
  std::fill(classes, classes + n, uint8_t{kClassNone});
  MarkKeywords(classes, text);
  for (int i = 0; i < n; ++i) {
    if (classes[i] == kClassNone) classes[i] = ClassOf(text[static_cast<size_t>(i)]);
  }
  MergeShortRuns(classes, n);
  for (int i = 0; i < n;) {
    int j = i;
    while (j < n && classes[j] == classes[i]) ++j;
    const uint8_t c = classes[i];
    const bool ok = c >= kClassKeyword
                        ? AddSegment(g, kCvModeKeyword, static_cast<uint8_t>(c - kClassKeyword), i, j - i)
                        : AddSegment(g, c, 0, i, j - i);
    if (!ok) return false;
    i = j;
  }
  return true;
}

// ---- the symbol ----

int Score(const uint8_t* m, int s) {
  const auto at = [&](int i, int j) { return m[i * s + j] != 0; };
  int score = 0;
  int dark = 0;
  for (int i = 0; i < s; ++i) {
    int run = 0;
    for (int j = 0; j <= s; ++j) {
      if (j < s && at(i, j)) {
        ++run;
        ++dark;
      } else {
        if (run >= 5) score += run;
        run = 0;
      }
    }
  }
  for (int j = 1; j < s; ++j) {
    int run = 0;
    for (int i = 0; i <= s; ++i) {
      if (i < s && at(i, j)) {
        ++run;
      } else {
        if (run >= 5) score += run;
        run = 0;
      }
    }
  }
  // Lone dark modules, light all round.
  for (int i = 1; i <= s - 3; ++i) {
    for (int j = 2; j <= s - 2; ++j) {
      if (!at(i, j) || at(i - 1, j) || at(i + 1, j)) continue;
      if (at(i, j - 1) || at(i, j + 1) || at(i - 1, j - 1) || at(i - 1, j + 1) ||
          at(i + 1, j - 1) || at(i + 1, j + 1)) {
        continue;
      }
      ++score;
    }
  }
  const int half = s * s / 2;
  if (dark > half) score += (dark - half) * 100 / half;
  return score;
}

// Fills `output` (one map) from the codewords for the given geometry.
void DrawSymbol(CordavexGenerator& g, const CvGeometry& geo, std::span<char> output) {
  const int s = geo.side;
  const int k = geo.arm;
  uint8_t* m = g.matrix;
  std::memset(m, 0, static_cast<size_t>(s * s));
  const int bits = 8 * geo.total;
  int bit = 0;
  CvForEachDataModule(s, k, [&](int r, int c) {
    const bool dark = bit < bits && ((g.codewords[bit >> 3] >> (7 - (bit & 7))) & 1);
    m[r * s + c] = dark ? 1 : 0;
    ++bit;
  });
  for (int r = 0; r < s; ++r) {
    if (CvTimingDark(s, k, r)) m[r * s] = 1;
  }
  for (int r = 0; r < s; ++r) {
    for (int c = 0; c < s; ++c) {
      if (CvCornerMarkDark(s, k, r, c)) m[r * s + c] = 1;
    }
  }
  int best = -1;
  int bestScore = 0;
  for (int mask = 0; mask < kCvMaskCount; ++mask) {
    std::memcpy(g.trial, m, static_cast<size_t>(s * s));
    CvForEachDataModule(s, k, [&](int r, int c) {
      if (CvMaskBit(mask, r, c)) g.trial[r * s + c] ^= 1;
    });
    const int score = Score(g.trial, s);
    if (best < 0 || score < bestScore) {
      best = mask;
      bestScore = score;
    }
    if (score == 0) break;
  }
  CvForEachDataModule(s, k, [&](int r, int c) {
    if (CvMaskBit(best, r, c)) m[r * s + c] ^= 1;
  });
  const uint16_t word = CvFormatWord(geo.level, best);
  for (int i = 0; i < 15; ++i) {
    const CvModule f = CvFormatModule(s, i);
    m[f.row * s + f.column] = static_cast<uint8_t>((word >> (14 - i)) & 1);
  }
  g.mask = best;
  g.level = geo.level;

  std::fill(output.begin(), output.begin() + kCordavexMapBytes, '0');
  const int gap = (s - 5) / 2;  // splits the bars into an upper and a lower pair
  for (int r = 0; r < s; ++r) {
    char* row = output.data() + r * kCordavexMapSide;
    for (int c = 0; c < s; ++c) row[4 + c] = m[r * s + c] ? '1' : '0';
    if (r != gap && r != s - 4) {
      row[0] = '1';
      row[2] = '1';
    }
    if (r == s - 1 || r == s - 3) row[1] = '1';
  }
}

// Chooses the size for the segments, writes the stream, the parity and the
// map. Returns 1, or 0 when nothing up to 57 holds them.
int MakeSymbol(CordavexGenerator& g, const Source& src, int firstSide, int level,
               std::span<char> output, int& sideOut) {
  for (const CvSizeRow& row : kCvSizes) {
    if (row.side < firstSide) continue;
    CvGeometry geo;
    if (CvMakeGeometry(row.side, level, geo) != 1) return 0;
    BitWriter counter(nullptr, 0);
    bool ok = true;
    for (int i = 0; i < g.segmentCount && ok; ++i) {
      const int before = counter.Bits();
      ok = PutSegment(g.segments[i], src, g.functionNumber, geo.countWidth, counter);
      g.segments[i].bits = counter.Bits() - before;
    }
    if (!ok || counter.Bits() + kCvModeBits > 8 * geo.data) continue;

    std::memset(g.codewords, 0, sizeof g.codewords);
    BitWriter out(g.codewords, 8 * geo.data);
    for (int i = 0; i < g.segmentCount; ++i) {
      PutSegment(g.segments[i], src, g.functionNumber, geo.countWidth, out);
    }
    out.Put(kCvModeEnd, kCvModeBits);
    g.bitCount = out.Bits();
    // Codewords past the end mode carry pad values (no information).
    uint32_t state = kPadSeed;
    uint8_t counterByte = 0;
    int shift = 0;
    for (int i = (g.bitCount + 7) >> 3; i < geo.data; ++i) {
      g.codewords[i] = static_cast<uint8_t>((state >> kPadShifts[shift]) & 15);
      if (++shift == 8) {
        shift = 0;
        for (int j = 0; j < 4; ++j) state = state * 65537u + counterByte++;
      }
    }
    if (RsEncodeBlocks({g.codewords, static_cast<size_t>(geo.total)}, geo.data, geo.check, 8,
                       geo.blocks) != 1) {
      return 0;
    }
    DrawSymbol(g, geo, output);
    sideOut = geo.side;
    return 1;
  }
  return 0;
}

int ClampSide(int size) {
  const int side = std::clamp(size, kCordavexMinSide, kCordavexMaxSide);
  for (const CvSizeRow& row : kCvSizes) {
    if (row.side >= side) return row.side;
  }
  return kCordavexMaxSide;
}

int GenerateSplit(CordavexGenerator& g, std::span<char> output, int& size, int level,
                  std::span<const uint8_t> data, int& parts) {
  const int length = static_cast<int>(data.size());
  uint8_t parity = 0;
  for (uint8_t b : data) parity ^= b;
  // Every part needs at least one byte: its count field holds bytes - 1.
  int n = std::clamp(parts, 1, std::min(kCordavexMaxParts, length));
  for (; n <= kCordavexMaxParts && n <= length; ++n) {
    if (static_cast<size_t>(n) * kCordavexMapBytes > output.size()) return 0;
    const int share = length / n;
    bool fits = true;
    for (int i = n - 1; i >= 0 && fits; --i) {
      const int start = i * share;
      const int count = i == n - 1 ? length - start : share;
      g.segmentCount = 0;
      AddSegment(g, kCvModeSplit, 0, start, count);
      Source src{{}, data, parity, i, n - 1};
      fits = MakeSymbol(g, src, kCordavexMinSide, level,
                        output.subspan(static_cast<size_t>(i) * kCordavexMapBytes), g.partSides[i]) == 1;
    }
    if (fits) {
      parts = n;
      g.partCount = n;
      size = g.partSides[0];
      return 1;
    }
  }
  return 0;
}

}  // namespace

int GenerateCordavexCode(CordavexGenerator& g, std::span<char> output, int kind, int& size,
                         int level, const CordavexInput& input, int& parts) {
  g.partCount = 0;
  g.segmentCount = 0;
  g.functionNumber = 0;
  g.bitCount = 0;
  if (level < 0 || level >= kCvLevelCount || output.size() < kCordavexMapBytes) return 0;
  const int firstSide = ClampSide(size);
  if (kind == kCordavexSplit) {
    if (input.data.empty()) return 0;
    return GenerateSplit(g, output, size, level, input.data, parts);
  }

  Source src;
  const bool text = kind == kCordavexText || kind == kCordavexTextEncrypted;
  if (text) {
    if (input.text.empty() || input.text.size() > kCordavexMaxTextUnits) return 0;
    // The reader takes a zero unit for corruption; such a text cannot be drawn.
    if (input.text.find(u'\0') != std::u16string_view::npos) return 0;
    src.text = input.text;
    if (!SegmentText(g, input.text)) return 0;
  }
  switch (kind) {
    case kCordavexText:
      break;
    case kCordavexBytes:
      if (input.data.empty() || input.data.size() > kCordavexMaxBytes) return 0;
      src.bytes = input.data;
      if (!AddSegment(g, kCvModeBytes, 0, 0, static_cast<int>(input.data.size()))) return 0;
      break;
    case kCordavexEncrypted:
    case kCordavexTextEncrypted: {
      const std::span<const uint8_t> plain = kind == kCordavexEncrypted ? input.data : input.secondData;
      if (plain.empty() || plain.size() > kCordavexMaxBytes) return 0;
      // The decoded text (two bytes a unit) and the enciphered bytes behind it
      // must stay within what a result record keeps of binary content, or the
      // reader could not find the enciphered part again.
      const size_t padded = (plain.size() + 15) / 16 * 16;
      if (2 * input.text.size() + padded > static_cast<size_t>(kCordavexMaxEncryptedContent)) {
        return 0;
      }
      std::copy(plain.begin(), plain.end(), g.cipher);
      int length = static_cast<int>(plain.size());
      uint8_t check = 0;
      if (EncryptContent(input.key, {g.cipher, sizeof g.cipher}, length, check) != 1) return 0;
      g.functionNumber = check;
      src.bytes = {g.cipher, static_cast<size_t>(length)};
      if (!AddSegment(g, kCvModeKeyword, kCvFunctionEscape, 0, 0) ||
          !AddSegment(g, kCvModeBytes, 0, 0, length)) {
        return 0;
      }
      break;
    }
    default:
      return 0;
  }
  int side = 0;
  if (MakeSymbol(g, src, firstSide, level, output, side) != 1) return 0;
  g.partCount = 1;
  g.partSides[0] = side;
  size = side;
  parts = 1;
  return 1;
}

}  // namespace cordavex
