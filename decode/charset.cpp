#include "decode/charset.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "decode/charset_tables.h"
#include "platform/codepage.h"
#include "platform/platform.h"

namespace cordavex {

namespace {

namespace tables = charset_tables;

constexpr uint16_t kUiLanguageTaiwan = 1028;  // 0x0404, Chinese (Taiwan)
constexpr char16_t kQuestionMark = u'?';

// ---- Guess tests ------------------------------------------------------------------
// Each accepts the whole string or not; a sequence cut off by the end fails.

bool InRange(uint8_t b, uint8_t low, uint8_t high) { return b >= low && b <= high; }

bool LooksLikeGb2312(std::span<const uint8_t> s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] < 0x80) continue;
    if (!InRange(s[i], 0xA1, 0xF7) || i + 1 >= s.size() || !InRange(s[i + 1], 0xA1, 0xFE)) return false;
    ++i;
  }
  return true;
}

bool LooksLikeUtf8(std::span<const uint8_t> s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] < 0x80) continue;
    size_t continuations = 0;
    if (InRange(s[i], 0xC0, 0xDF)) {
      continuations = 1;
    } else if (InRange(s[i], 0xE0, 0xEF)) {
      continuations = 2;
    } else if (InRange(s[i], 0xF0, 0xF4)) {
      // Four-byte sequences (emoji, rarer CJK) are valid UTF-8 too; refusing
      // them sent a whole text with one emoji to Shift-JIS.
      continuations = 3;
    } else {
      return false;  // a stray continuation, or a lead no sequence starts with
    }
    if (s.size() - i - 1 < continuations) return false;
    for (size_t k = 1; k <= continuations; ++k) {
      if (!InRange(s[i + k], 0x80, 0xBF)) return false;
    }
    i += continuations;
  }
  return true;
}

bool LooksLikeBig5(std::span<const uint8_t> s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] < 0x80) continue;
    if (!InRange(s[i], 0xA1, 0xFE) || i + 1 >= s.size()) return false;
    const uint8_t trail = s[i + 1];
    if (!InRange(trail, 0x40, 0x7E) && !InRange(trail, 0xA1, 0xFE)) return false;
    ++i;
  }
  return true;
}

bool LooksLikeShiftJis(std::span<const uint8_t> s) {
  for (size_t i = 0; i < s.size(); ++i) {
    const uint8_t b = s[i];
    if (b < 0x81 || InRange(b, 0xA1, 0xDF)) continue;
    if (!InRange(b, 0x81, 0x9F) && !InRange(b, 0xE0, 0xFC)) return false;  // 0xA0, 0xFD-0xFF
    if (i + 1 >= s.size()) return false;
    const uint8_t trail = s[i + 1];
    if (!InRange(trail, 0x40, 0xFC) || trail == 0x7F) return false;
    ++i;
  }
  return true;
}

struct GuessCandidate {
  uint32_t charset;
  bool (*accepts)(std::span<const uint8_t>);
};

// Candidate order per UI language: a Taiwanese device never guesses GB2312.
constexpr GuessCandidate kTaiwanCandidates[] = {
    {kCharsetUtf8, LooksLikeUtf8},
    {kCharsetBig5, LooksLikeBig5},
    {kCharsetShiftJis, LooksLikeShiftJis},
};
constexpr GuessCandidate kOtherCandidates[] = {
    {kCharsetGb2312, LooksLikeGb2312},
    {kCharsetUtf8, LooksLikeUtf8},
    {kCharsetBig5, LooksLikeBig5},
    {kCharsetShiftJis, LooksLikeShiftJis},
};

// ---- Table files --------------------------------------------------------------------

// The running program's folder, looked up once.
const std::string& ProgramFolderOnce() {
  static const std::string folder = platform::ProgramFolder();
  return folder;
}

// One table file, open for the length of one conversion call.
class TableFileReader {
 public:
  TableFileReader(const tables::TableFile& file, std::string_view folderOverride) : file_(file) {
    const std::string_view folder = folderOverride.empty() ? ProgramFolderOnce() : folderOverride;
    const size_t nameLength = std::strlen(file.name);
    // A path that does not fit is treated like a missing file, never cut short.
    if (folder.size() + 1 + nameLength + 1 > sizeof path_) return;
    char* p = std::copy(folder.begin(), folder.end(), path_);
    *p++ = '/';
    std::memcpy(p, file.name, nameLength + 1);
    fd_ = open(path_, O_RDONLY | O_CLOEXEC);
  }
  ~TableFileReader() {
    if (fd_ >= 0) close(fd_);
  }
  TableFileReader(const TableFileReader&) = delete;
  TableFileReader& operator=(const TableFileReader&) = delete;

  bool IsOpen() const { return fd_ >= 0; }

  // Fetches entry `index`; false when it lies past the end of the file (a
  // truncated file, or an index of a malformed code) or cannot be read.
  bool Read(uint32_t index, char16_t& value) const {
    uint8_t entry[2];
    if (pread(fd_, entry, sizeof entry, static_cast<off_t>(index) * 2) != static_cast<ssize_t>(sizeof entry)) {
      return false;
    }
    value = static_cast<char16_t>(tables::XorEntry(file_, index, static_cast<uint16_t>(entry[0] | entry[1] << 8)));
    return true;
  }

 private:
  const tables::TableFile& file_;
  char path_[4096 + 64] = {};
  int fd_ = -1;
};

// Clears what a failed conversion wrote, so that no stale unit survives behind
// the UTF-8 retry (the caller reads up to the first zero unit).
int Fail(std::span<char16_t> out, int written) {
  std::fill_n(out.begin(), written, u'\0');
  return 0;
}

// The double-byte sets with a table-file fallback: bytes below 0x80 stand for
// themselves, every other byte leads a two-byte code.
int ConvertWithTableFile(std::span<const uint8_t> bytes, std::span<char16_t> out, const CharsetOptions& options,
                         uint32_t codePage, const tables::TableFile& file, uint32_t (*indexOf)(uint8_t, uint8_t)) {
  if (options.platformConversion) {
    const int converted = platform::MultiByteToWideChar(codePage, bytes, out);
    if (converted >= 0) return converted;
  }
  const TableFileReader reader(file, options.tableFolder);
  if (!reader.IsOpen()) return 0;
  const size_t capacity = out.size();
  int written = 0;
  for (size_t i = 0; i < bytes.size() && static_cast<size_t>(written) < capacity;) {
    const uint8_t lead = bytes[i];
    if (lead < 0x80) {
      out[written++] = lead;
      ++i;
      continue;
    }
    if (i + 1 >= bytes.size()) break;  // a lead cut off by the end
    const uint32_t index = indexOf(lead, bytes[i + 1]);
    i += 2;
    char16_t value = 0;
    if (!reader.Read(index, value)) return Fail(out, written);
    out[written++] = value;
  }
  return written;
}

char16_t ShiftJisDoubleByte(uint8_t lead, uint8_t trail) {
  const int column = tables::ShiftJisColumn(trail);
  if (column < 0 || column >= tables::kShiftJisColumns) return kQuestionMark;
  if (lead >= tables::kShiftJisUserFirstLead && lead <= tables::kShiftJisUserLastLead) {
    return static_cast<char16_t>(tables::kShiftJisUserBase +
                                 (lead - tables::kShiftJisUserFirstLead) * tables::kShiftJisColumns + column);
  }
  const int row = tables::ShiftJisRow(lead);
  if (row >= tables::kShiftJisRows) return kQuestionMark;
  const int index = row * tables::kShiftJisColumns + column;
  return index < tables::kShiftJisTableEntries ? tables::kShiftJisTable[index] : tables::kShiftJisUndefined;
}

}  // namespace

uint32_t GuessCharset(std::span<const uint8_t> bytes, uint16_t uiLanguage) {
  const std::span<const GuessCandidate> candidates =
      uiLanguage == kUiLanguageTaiwan ? std::span<const GuessCandidate>(kTaiwanCandidates)
                                      : std::span<const GuessCandidate>(kOtherCandidates);
  for (const GuessCandidate& candidate : candidates) {
    if (candidate.accepts(bytes)) return candidate.charset;
  }
  return kCharsetGuess;
}

bool CharsetAccepts(uint32_t charset, std::span<const uint8_t> bytes) {
  for (const GuessCandidate& candidate : kOtherCandidates) {
    if (candidate.charset == charset) return candidate.accepts(bytes);
  }
  return false;
}

uint32_t CharsetOfName(std::string_view name) {
  struct Named {
    std::string_view name;
    uint32_t charset;
  };
  // MIME and IANA names as vCard and iCalendar writers spell them.
  static constexpr Named kNames[] = {
      {"UTF-8", kCharsetUtf8},        {"UTF8", kCharsetUtf8},
      {"SHIFT_JIS", kCharsetShiftJis}, {"SHIFT-JIS", kCharsetShiftJis},
      {"SJIS", kCharsetShiftJis},      {"CP932", kCharsetShiftJis},
      {"WINDOWS-31J", kCharsetShiftJis}, {"MS_KANJI", kCharsetShiftJis},
      {"BIG5", kCharsetBig5},          {"BIG-5", kCharsetBig5},
      {"CP950", kCharsetBig5},         {"BIG5-HKSCS", kCharsetBig5},
      {"GB2312", kCharsetGb2312},      {"GBK", kCharsetGb2312},
      {"CP936", kCharsetGb2312},       {"GB18030", kCharsetGb2312},
      {"EUC-CN", kCharsetGb2312},
  };
  for (const Named& row : kNames) {
    if (row.name.size() != name.size()) continue;
    size_t i = 0;
    while (i < name.size() && (name[i] >= 'a' && name[i] <= 'z' ? name[i] - 32 : name[i]) == row.name[i]) ++i;
    if (i == name.size()) return row.charset;
  }
  return 0;
}

uint32_t GuessCharset(std::span<const uint8_t> bytes) {
  return GuessCharset(bytes, platform::GetUserDefaultUILanguage());
}

int ConvertUtf8(std::span<const uint8_t> bytes, std::span<char16_t> out) {
  const size_t n = bytes.size();
  const size_t capacity = out.size();
  size_t w = 0;
  for (size_t i = 0; i < n && w < capacity;) {
    const uint8_t b0 = bytes[i];
    if (b0 < 0x80) {
      out[w++] = b0;
      i += 1;
    } else if (b0 >= 0xC0 && b0 <= 0xDF) {
      if (n - i < 2) break;
      out[w++] = static_cast<char16_t>((b0 & 0x1F) << 6 | (bytes[i + 1] & 0x3F));
      i += 2;
    } else if (b0 >= 0xF0 && b0 <= 0xF4 && n - i >= 4 && (bytes[i + 1] & 0xC0) == 0x80 &&
               (bytes[i + 2] & 0xC0) == 0x80 && (bytes[i + 3] & 0xC0) == 0x80) {
      // A well-formed four-byte sequence becomes a surrogate pair instead of being
      // read as a three-byte one, which would garble it and the character after it.
      const uint32_t cp = (b0 & 0x07u) << 18 | (bytes[i + 1] & 0x3Fu) << 12 | (bytes[i + 2] & 0x3Fu) << 6 |
                          (bytes[i + 3] & 0x3Fu);
      if (cp >= 0x10000 && cp <= 0x10FFFF) {
        if (capacity - w < 2) break;
        out[w++] = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
        out[w++] = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
      } else {
        out[w++] = kQuestionMark;  // overlong or past U+10FFFF
      }
      i += 4;
    } else {
      // Lenient: every other byte of 0x80 or more leads a three-byte sequence,
      // kept to 16 bits.
      if (n - i < 3) break;
      const uint32_t value = static_cast<uint32_t>(b0) << 12 | (bytes[i + 1] & 0x3Fu) << 6 | (bytes[i + 2] & 0x3Fu);
      out[w++] = static_cast<char16_t>(value & 0xFFFF);
      i += 3;
    }
  }
  return static_cast<int>(w);
}

int ConvertShiftJis(std::span<const uint8_t> bytes, std::span<char16_t> out, const CharsetOptions& options) {
  if (options.platformConversion) {
    const int converted = platform::MultiByteToWideChar(932, bytes, out);
    if (converted >= 0) return converted;
  }
  const size_t capacity = out.size();
  size_t w = 0;
  for (size_t i = 0; i < bytes.size() && w < capacity;) {
    const uint8_t b = bytes[i];
    if (b <= 0x80) {
      out[w++] = b;
      i += 1;
    } else if (b >= 0xA1 && b <= 0xDF) {
      out[w++] = static_cast<char16_t>(b + 0xFEC0);  // half-width katakana U+FF61-U+FF9F
      i += 1;
    } else {
      if (i + 1 >= bytes.size()) break;  // a lead cut off by the end
      out[w++] = ShiftJisDoubleByte(b, bytes[i + 1]);
      i += 2;
    }
  }
  return static_cast<int>(w);
}

int ConvertBig5(std::span<const uint8_t> bytes, std::span<char16_t> out, const CharsetOptions& options) {
  return ConvertWithTableFile(bytes, out, options, 950, tables::kBig5File, tables::Big5Index);
}

int ConvertGb2312(std::span<const uint8_t> bytes, std::span<char16_t> out, const CharsetOptions& options) {
  return ConvertWithTableFile(bytes, out, options, 936, tables::kGb2312File, tables::Gb2312Index);
}

int DecodeToUnicode(uint32_t charset, std::span<const uint8_t> bytes, std::span<char16_t> out,
                    const CharsetOptions& options) {
  if (charset == kCharsetGuess) {
    charset = options.uiLanguage != 0 ? GuessCharset(bytes, options.uiLanguage) : GuessCharset(bytes);
  }
  int written = 0;
  switch (charset) {
    case kCharsetUtf8:
    case kCharsetGuess:
      written = ConvertUtf8(bytes, out);
      break;
    case kCharsetShiftJis:
      written = ConvertShiftJis(bytes, out, options);
      break;
    case kCharsetBig5:
      written = ConvertBig5(bytes, out, options);
      break;
    case kCharsetGb2312:
      written = ConvertGb2312(bytes, out, options);
      break;
    default:
      break;
  }
  if (written == 0) written = ConvertUtf8(bytes, out);
  return written;
}

}  // namespace cordavex
