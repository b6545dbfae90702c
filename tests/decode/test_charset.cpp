#include "decode/charset.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "decode/charset_tables.h"
#include "platform/codepage.h"
#include "platform/platform.h"
#include "support/content_fields.h"

namespace cordavex {
namespace {

using test::ScopedUiLanguage;

namespace tables = charset_tables;
using Bytes = std::vector<uint8_t>;

// Platform conversion forced off: the built-in table and the table files beside
// the test binary (the build puts them there).
const CharsetOptions kFallbackOnly = [] {
  CharsetOptions options;
  options.platformConversion = false;
  return options;
}();

// Converts into a zero-filled buffer with a margin, checks that nothing past the
// returned count was touched, and returns the units written.
std::u16string Decode(uint32_t charset, const Bytes& bytes, const CharsetOptions& options = {}) {
  std::vector<char16_t> out(bytes.size() + 16, u'\0');
  const int n = DecodeToUnicode(charset, bytes, std::span(out).first(bytes.size()), options);
  EXPECT_GE(n, 0);
  EXPECT_LE(static_cast<size_t>(n), bytes.size());
  for (size_t i = static_cast<size_t>(n); i < out.size(); ++i) {
    EXPECT_EQ(out[i], u'\0') << "unit " << i << " written past the result";
  }
  return std::u16string(out.data(), static_cast<size_t>(n));
}

Bytes B(std::initializer_list<int> values) {
  Bytes bytes;
  for (int v : values) bytes.push_back(static_cast<uint8_t>(v));
  return bytes;
}

Bytes Ascii(std::string_view s) { return Bytes(s.begin(), s.end()); }

// The independent oracle: glibc's iconv, one code at a time. -1 when undefined.
class Iconv {
 public:
  explicit Iconv(const char* charset) : cd_(iconv_open("UTF-16LE", charset)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  int32_t Convert(const Bytes& bytes) {
    std::string in(bytes.begin(), bytes.end());
    char out[8];
    char* inPtr = in.data();
    char* outPtr = out;
    size_t inLeft = in.size();
    size_t outLeft = sizeof out;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || outPtr - out != 2) return -1;
    return static_cast<uint8_t>(out[0]) | static_cast<uint8_t>(out[1]) << 8;
  }

 private:
  iconv_t cd_;
};

// A scratch folder for table files of our own making.
class TableFolder {
 public:
  TableFolder() {
    path_ = std::filesystem::temp_directory_path() /
            ("cordavex-charset-" + std::to_string(getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    pathText_ = path_.string();
  }
  ~TableFolder() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return pathText_; }
  // The real file, cut to `bytes` bytes.
  void WriteTruncated(const char* name, size_t bytes) const {
    std::ifstream in(std::filesystem::path(platform::ProgramFolder()) / name, std::ios::binary);
    std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(data.size(), bytes) << name << " missing beside the test binary";
    std::ofstream(path_ / name, std::ios::binary).write(data.data(), static_cast<std::streamsize>(bytes));
  }

 private:
  std::filesystem::path path_;
  std::string pathText_;  // CharsetOptions holds a view of it
};

constexpr uint32_t kAllCodes[] = {kCharsetShiftJis, kCharsetUtf8, kCharsetBig5, kCharsetGb2312, kCharsetGuess,
                                  0, 3, 16, 64};

TEST(DecodeToUnicode, PureAsciiIsUnchangedUnderEveryCode) {
  const std::string text = "MECARD:N:Doe,John;TEL:+1 (555) 0100;URL:http://example.com/~a?b=1&c=\\x;;\t\r\n";
  const std::u16string expected(text.begin(), text.end());
  for (const CharsetOptions& options : {CharsetOptions{}, kFallbackOnly}) {
    for (uint32_t code : kAllCodes) {
      for (uint16_t language : {uint16_t{0x0404}, uint16_t{0x0409}}) {
        CharsetOptions withLanguage = options;
        withLanguage.uiLanguage = language;
        EXPECT_EQ(Decode(code, Ascii(text), withLanguage), expected)
            << "code " << code << ", language " << language << ", platform " << options.platformConversion;
      }
    }
  }
}

TEST(GuessCharset, FollowsTheCandidateOrderOfTheUiLanguage) {
  struct Case {
    Bytes bytes;
    uint32_t taiwan;  // UI language 1028
    uint32_t other;   // any other
  };
  const Case cases[] = {
      {{}, kCharsetUtf8, kCharsetGb2312},                                   // empty: the first candidate
      {Ascii("plain"), kCharsetUtf8, kCharsetGb2312},                       // ASCII passes every test
      {B({0xA4, 0x40}), kCharsetBig5, kCharsetBig5},                        // 0x40 is no GB2312 trail
      {B({0xB0, 0xA1}), kCharsetBig5, kCharsetGb2312},                      // never GB2312 in Taiwan
      {B({0xE4, 0xB8, 0xAD}), kCharsetUtf8, kCharsetUtf8},                  // GB2312 test cut off
      {B({0xE4, 0xB8, 0xAD, 0xE6, 0x96, 0x87}), kCharsetUtf8, kCharsetUtf8},  // 0x96 leads nothing in GB2312
      {B({0xC3, 0xA9}), kCharsetUtf8, kCharsetGb2312},                      // also a GB2312 code
      {B({0x82, 0xA0}), kCharsetShiftJis, kCharsetShiftJis},               // 0x82 leads only in Shift-JIS
      {B({0xB1}), kCharsetShiftJis, kCharsetShiftJis},                      // half-width katakana
      {B({0x81, 0x7F}), kCharsetGuess, kCharsetGuess},                      // 0x7F is never a trail
      {B({0xFF}), kCharsetGuess, kCharsetGuess},
      {B({0xA4}), kCharsetShiftJis, kCharsetShiftJis},                      // cut off for all but Shift-JIS
      {B({0xF0, 0x9F, 0x98, 0x80}), kCharsetUtf8, kCharsetUtf8},           // four-byte UTF-8 is UTF-8
      {B({0x61, 0xF0, 0x9F, 0x98, 0x80, 0xE4, 0xB8, 0xAD}), kCharsetUtf8, kCharsetUtf8},
      {B({0xF0, 0x9F, 0x98}), kCharsetGuess, kCharsetGuess},                // cut off: not UTF-8
      {B({0xF8, 0x88, 0x80, 0x80}), kCharsetShiftJis, kCharsetShiftJis},   // no UTF-8 sequence starts with 0xF8
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GuessCharset(c.bytes, 1028), c.taiwan) << ::testing::PrintToString(c.bytes);
    EXPECT_EQ(GuessCharset(c.bytes, 0x0409), c.other) << ::testing::PrintToString(c.bytes);
  }
}

TEST(GuessCharset, AsksThePlatformForTheUiLanguage) {
  const Bytes gb = B({0xB0, 0xA1});
  {
    const ScopedUiLanguage language("0404");
    EXPECT_EQ(GuessCharset(gb), kCharsetBig5);
    EXPECT_EQ(Decode(kCharsetGuess, gb), u"\u965B");  // Big5 0xB0A1
  }
  {
    const ScopedUiLanguage language("0409");
    EXPECT_EQ(GuessCharset(gb), kCharsetGb2312);
    EXPECT_EQ(Decode(kCharsetGuess, gb), u"\u554A");  // GB2312 0xB0A1
  }
}

TEST(ShiftJisFallback, ConvertsSingleAndDoubleBytesByTheTable) {
  struct Case {
    Bytes bytes;
    std::u16string expected;
  };
  const Case cases[] = {
      {B({0x82, 0xA0}), u"\u3042"},                    // hiragana a
      {B({0xA1}), u"\uFF61"},                          // first half-width katakana
      {B({0xDF}), u"\uFF9F"},                          // last one
      {B({0x80}), u"\u0080"},                          // copied
      {B({0x88, 0x9F}), u"\u4E9C"},                    // first kanji
      {B({0xEA, 0xA4}), u"\u7199"},                    // last JIS X 0208 kanji
      {B({0xFA, 0x40}), u"\u2170"},                    // IBM extension, row 47
      {B({0xFC, 0x4B}), u"\u9ED1"},                    // last code of code page 932
      {B({0xFC, 0x4C}), u"\u30FB"},                    // past the table
      {B({0x85, 0x40}), u"\u30FB"},                    // undefined in code page 932
      {B({0xF0, 0x40}), u"\uE000"},                    // user-defined area
      {B({0xF9, 0xFC}), u"\uE757"},                    // its last code
      {B({0xA0, 0x40}), u"?"},                         // not a lead
      {B({0xFD, 0x40}), u"?"},
      {B({0x81, 0x7F}), u"?"},                         // not a trail
      {B({0x81, 0x30}), u"?"},
      {B({0x41, 0x82, 0xA0, 0x82}), u"A\u3042"},       // a lead cut off by the end
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Decode(kCharsetShiftJis, c.bytes, kFallbackOnly), c.expected) << ::testing::PrintToString(c.bytes);
  }
}

TEST(ShiftJisFallback, RunsWhenThePlatformRejectsTheBytes) {
  // 0x85 0x40 is undefined in code page 932, so iconv refuses the whole string
  // and the built-in table converts it.
  EXPECT_EQ(Decode(kCharsetShiftJis, B({0x82, 0xA0, 0x85, 0x40, 0xB1})), u"\u3042\u30FB\uFF71");
  EXPECT_EQ(Decode(kCharsetShiftJis, B({0x82, 0xA0, 0x5C})), u"\u3042\\");
}

TEST(ShiftJisFallback, MatchesCodePage932OverTheWholeCodeSpace) {
  Iconv cp932("CP932");
  ASSERT_TRUE(cp932.ok());
  int compared = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead >= 0xA0 && lead <= 0xDF) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      const Bytes code = B({lead, trail});
      const int32_t expected = cp932.Convert(code);
      const std::u16string got = Decode(kCharsetShiftJis, code, kFallbackOnly);
      ASSERT_EQ(got.size(), 1u);
      if (expected < 0) {
        EXPECT_EQ(got[0], tables::kShiftJisUndefined) << std::hex << lead << ' ' << trail;
      } else {
        EXPECT_EQ(got[0], expected) << std::hex << lead << ' ' << trail;
        ++compared;
      }
    }
  }
  // Every double-byte character iconv's code page 932 defines, 1880 of them in
  // the user-defined area.
  EXPECT_EQ(compared, 9604);
  for (int b = 0x00; b <= 0xDF; ++b) {
    if (b > 0x80 && b < 0xA1) continue;
    const int32_t expected = cp932.Convert(B({b}));
    if (expected >= 0) {
      EXPECT_EQ(Decode(kCharsetShiftJis, B({b}), kFallbackOnly), std::u16string(1, char16_t(expected)));
    }
  }
}

TEST(TableIndex, Gb2312FollowsTheChartWithItsGapsClosed) {
  EXPECT_EQ(tables::Gb2312Index(0xA1, 0xA1), 0u);     // first symbol
  EXPECT_EQ(tables::Gb2312Index(0xA2, 0xB1), 94u);    // after the 16 unused cells of row 2
  EXPECT_EQ(tables::Gb2312Index(0xB0, 0xA1), 682u);   // first hanzi
  EXPECT_EQ(tables::Gb2312Index(0xD7, 0xF9), 3755u + 682 - 1);
  EXPECT_EQ(tables::Gb2312Index(0xD8, 0xA1), 3755u + 682);  // second level
  EXPECT_EQ(tables::Gb2312Index(0xF7, 0xFE), 7444u);  // last character
}

TEST(TableIndex, Big5RowsOf157WithTheHanziGapsClosed) {
  EXPECT_EQ(tables::Big5Index(0xA1, 0x40), 0u);
  EXPECT_EQ(tables::Big5Index(0xA1, 0x7E), 62u);
  EXPECT_EQ(tables::Big5Index(0xA1, 0xA1), 63u);
  EXPECT_EQ(tables::Big5Index(0xA1, 0xFE), 156u);
  EXPECT_EQ(tables::Big5Index(0xA2, 0x40), 157u);
  EXPECT_EQ(tables::Big5Index(0xA4, 0x40), 3u * 157 - 63);   // first hanzi
  EXPECT_EQ(tables::Big5Index(0xC6, 0x7E), 37u * 157 + 62 - 63);  // last frequent hanzi
  EXPECT_EQ(tables::Big5Index(0xC9, 0x40), 39u * 157 - 65);  // first less frequent hanzi
  EXPECT_EQ(tables::Big5Index(0xF9, 0xD5), 87u * 157 + 115 - 65);
  EXPECT_EQ(tables::Big5Index(0x81, 0x40), (65536u - 32 * 157) % 65536);  // wraps past the table
  EXPECT_EQ(tables::Big5Index(0xA1, 0x80), 0x80u);  // a trail outside both ranges counts unchanged
}

TEST(TableFiles, Gb2312AndBig5MatchIconvOverTheirCodeSpaces) {
  struct Set {
    const char* iconvName;
    uint32_t code;
    int firstLead, lastLead;
    std::vector<std::pair<int, int>> trails;
    uint32_t (*indexOf)(uint8_t, uint8_t);
    int entries;
    int expectedCompared;
  };
  const Set sets[] = {
      {"GB2312", kCharsetGb2312, 0xA1, 0xF7, {{0xA1, 0xFE}}, tables::Gb2312Index, tables::kGb2312File.entries, 7445},
      // Some Big5 codes share an index with a later one (0xA3E1, the euro sign,
      // with 0xA461; user-defined codes of rows 0xC7 and 0xC8 with each other and
      // with 0xC9xx) and codes past 0xF9D7 lie beyond the file; every entry of the
      // file still holds a code that iconv defines.
      {"BIG5", kCharsetBig5, 0xA1, 0xF9, {{0x40, 0x7E}, {0xA1, 0xFE}}, tables::Big5Index, tables::kBig5File.entries,
       13712},
  };
  for (const Set& set : sets) {
    Iconv oracle(set.iconvName);
    ASSERT_TRUE(oracle.ok());
    // The last defined code of each index owns it; the others cannot be told apart.
    std::vector<int> owner(static_cast<size_t>(set.entries), -1);
    for (int lead = set.firstLead; lead <= set.lastLead; ++lead) {
      for (const auto& [first, last] : set.trails) {
        for (int trail = first; trail <= last; ++trail) {
          const uint32_t index = set.indexOf(static_cast<uint8_t>(lead), static_cast<uint8_t>(trail));
          if (oracle.Convert(B({lead, trail})) >= 0 && index < owner.size()) owner[index] = lead << 8 | trail;
        }
      }
    }
    int compared = 0;
    for (int lead = set.firstLead; lead <= set.lastLead; ++lead) {
      for (const auto& [first, last] : set.trails) {
        for (int trail = first; trail <= last; ++trail) {
          const uint32_t index = set.indexOf(static_cast<uint8_t>(lead), static_cast<uint8_t>(trail));
          const int32_t expected = oracle.Convert(B({lead, trail}));
          if (expected < 0 || index >= owner.size() || owner[index] != (lead << 8 | trail)) continue;
          EXPECT_EQ(Decode(set.code, B({lead, trail}), kFallbackOnly), std::u16string(1, char16_t(expected)))
              << set.iconvName << std::hex << ' ' << lead << ' ' << trail;
          ++compared;
        }
      }
    }
    EXPECT_EQ(compared, set.expectedCompared) << set.iconvName;
  }
}

TEST(TableFiles, WorkedExamples) {
  EXPECT_EQ(Decode(kCharsetGb2312, B({0xA1, 0xA1, 0xB0, 0xA1, 0x41, 0xF7, 0xFE}), kFallbackOnly), u"\u3000\u554AA\u9F44");
  EXPECT_EQ(Decode(kCharsetBig5, B({0xA1, 0x40, 0xA4, 0x40, 0x41, 0xF9, 0xD5}), kFallbackOnly), u"\u3000\u4E00A\u9F98");
  // A malformed code whose index lies past the file fails the table conversion,
  // and the string is read as UTF-8 instead.
  // (0x81 then leads a three-byte sequence that the end cuts off).
  EXPECT_EQ(Decode(kCharsetBig5, B({0x41, 0x81, 0x40}), kFallbackOnly), u"A");
  EXPECT_EQ(Decode(kCharsetBig5, B({0x41, 0x81, 0x40, 0x41}), kFallbackOnly), u"A\u1001");
}

TEST(TableFiles, LayoutIsFlatLittleEndianXoredByParity) {
  struct Case {
    const tables::TableFile& file;
    size_t bytes;
    char16_t entry0, entry1;
  };
  const Case cases[] = {
      {tables::kGb2312File, 7445 * 2, u'\u3000', u'\u3001'},  // 0xA1A1, 0xA1A2
      {tables::kBig5File, 13712 * 2, u'\u3000', u'\uFF0C'},   // 0xA140, 0xA141
  };
  for (const Case& c : cases) {
    std::ifstream in(std::filesystem::path(platform::ProgramFolder()) / c.file.name, std::ios::binary);
    const std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(data.size(), c.bytes) << c.file.name;
    EXPECT_EQ(data[0] | data[1] << 8, c.entry0 ^ c.file.xorEven) << c.file.name;
    EXPECT_EQ(data[2] | data[3] << 8, c.entry1 ^ c.file.xorOdd) << c.file.name;
  }
}

TEST(TableFiles, MissingFileFallsBackToUtf8) {
  const TableFolder empty;
  CharsetOptions options = kFallbackOnly;
  options.tableFolder = empty.path();
  const Bytes text = B({0x41, 0xE4, 0xB8, 0xAD, 0xC3, 0xA9});  // "A中é" in UTF-8
  EXPECT_EQ(Decode(kCharsetBig5, text, options), u"A\u4E2D\u00E9");
  EXPECT_EQ(Decode(kCharsetGb2312, text, options), u"A\u4E2D\u00E9");
  std::vector<char16_t> out(8, u'\0');
  EXPECT_EQ(ConvertGb2312(text, out, options), 0);
}

TEST(TableFiles, TruncatedOrUnreadableFileNeverCrashes) {
  const TableFolder folder;
  CharsetOptions options = kFallbackOnly;
  options.tableFolder = folder.path();
  // Entry 0 is in the cut file, entry 682 (0xB0A1) is not. The table conversion
  // wrote three units before it failed; the UTF-8 retry writes two, and the
  // third must not survive.
  folder.WriteTruncated(tables::kGb2312File.name, 1000);
  const Bytes text = B({0xA1, 0xA1, 0xA1, 0xA1, 0xA1, 0xA1, 0xB0, 0xA1});
  EXPECT_EQ(Decode(kCharsetGb2312, text, options), std::u16string({char16_t(0x1861), char16_t(0x1861)}));
  EXPECT_EQ(Decode(kCharsetGb2312, B({0xA1, 0xA1}), options), u"\u3000");  // within the cut part
  // An odd length cuts an entry in half.
  folder.WriteTruncated(tables::kBig5File.name, 1);
  EXPECT_EQ(Decode(kCharsetBig5, B({0x41, 0xA1, 0x40}), options), u"A");  // 0xA1 0x40 cut off as UTF-8
  // A folder in the file's place opens but cannot be read.
  std::filesystem::remove(std::filesystem::path(folder.path()) / tables::kBig5File.name);
  std::filesystem::create_directory(std::filesystem::path(folder.path()) / tables::kBig5File.name);
  EXPECT_EQ(Decode(kCharsetBig5, B({0x41, 0xA1, 0x40}), options), u"A");  // 0xA1 0x40 cut off as UTF-8
}

TEST(DecodeToUnicode, LoneFFGivesAnEmptyResult) {
  for (uint32_t code : kAllCodes) {
    for (const CharsetOptions& options : {CharsetOptions{}, kFallbackOnly}) {
      EXPECT_EQ(Decode(code, B({0xFF}), options), u"") << "code " << code;
    }
  }
}

TEST(DecodeToUnicode, UnknownCodesAndFailedGuessesReadUtf8) {
  const Bytes utf8 = B({0xC3, 0xA9, 0x41});
  for (uint32_t code : {0u, 3u, 16u, 64u}) EXPECT_EQ(Decode(code, utf8), u"\u00E9A") << "code " << code;
  // 0x81 0x7F fails every guess test; as UTF-8 it is the cut-off lead 0x81.
  EXPECT_EQ(Decode(kCharsetGuess, B({0x41, 0x81, 0x7F})), u"A");
  EXPECT_EQ(Decode(kCharsetGuess, B({0x41, 0x81, 0x7F, 0x41})), u"A\u1FC1");
}

TEST(DecodeToUnicode, NeverWritesPastTheOutput) {
  const Bytes texts[] = {Ascii("ABCDEFGH"), B({0x82, 0xA0, 0x82, 0xA2, 0x82, 0xA4}),
                         B({0xB0, 0xA1, 0xB0, 0xA2, 0xB0, 0xA3}), B({0xA4, 0x40, 0xA4, 0x41, 0xA4, 0x42}),
                         B({0xF0, 0x9F, 0x98, 0x80, 0xF0, 0x9F, 0x98, 0x81})};
  for (const Bytes& text : texts) {
    for (uint32_t code : kAllCodes) {
      for (const CharsetOptions& options : {CharsetOptions{}, kFallbackOnly}) {
        for (size_t room = 0; room <= 3; ++room) {
          std::vector<char16_t> out(room + 4, u'\0');
          const int n = DecodeToUnicode(code, text, std::span(out).first(room), options);
          EXPECT_LE(static_cast<size_t>(n), room);
          for (size_t i = room; i < out.size(); ++i) EXPECT_EQ(out[i], u'\0');
        }
      }
    }
  }
}

TEST(ConvertUtf8, IsLenientAndNeverFails) {
  struct Case {
    Bytes bytes;
    std::u16string expected;
  };
  const Case cases[] = {
      {B({0xC3, 0xA9}), u"\u00E9"},
      {B({0xE4, 0xB8, 0xAD}), u"\u4E2D"},
      {B({0xF0, 0x9F, 0x98, 0x80}), u"\U0001F600"},         // a surrogate pair
      {B({0xF0, 0x80, 0x80, 0x80}), u"?"},                   // overlong four-byte form
      {B({0x80, 0x41, 0x42}), u"\u0042"},                    // 0x80 leads three bytes, kept to 16 bits
      {B({0xC1, 0x41}), u"\u0041"},                          // continuation not checked
      {B({0x41, 0xE4, 0xB8}), u"A"},                         // cut off by the end
      {B({0x41, 0xC3}), u"A"},
      {B({0xF0, 0x9F, 0x98}), u"\u07D8"},                    // cut four-byte form read as three
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Decode(kCharsetUtf8, c.bytes), c.expected) << ::testing::PrintToString(c.bytes);
  }
}

TEST(PlatformCodePage, ConvertsOrReportsFailure) {
  std::vector<char16_t> out(8, u'\0');
  EXPECT_EQ(platform::MultiByteToWideChar(932, B({0x82, 0xA0, 0x41}), out), 2);
  EXPECT_EQ(out[0], u'\u3042');
  EXPECT_EQ(platform::MultiByteToWideChar(936, B({0xB0, 0xA1}), std::span(out).first(1)), 1);
  EXPECT_EQ(out[0], u'\u554A');
  EXPECT_EQ(platform::MultiByteToWideChar(950, B({0xA4, 0x40}), out), 1);
  EXPECT_EQ(out[0], u'\u4E00');

  std::fill(out.begin(), out.end(), u'\0');
  EXPECT_EQ(platform::MultiByteToWideChar(437, B({0x41}), out), -1);             // no such code page
  EXPECT_EQ(platform::MultiByteToWideChar(932, B({0x41, 0x85, 0x40}), out), -1);  // undefined code
  EXPECT_EQ(platform::MultiByteToWideChar(932, B({0x41, 0x82}), out), -1);        // cut off
  EXPECT_EQ(out, std::vector<char16_t>(8, u'\0'));
  EXPECT_EQ(platform::MultiByteToWideChar(932, B({0x41, 0x42, 0x43}), std::span(out).first(2)), 2);  // truncated
}

TEST(PlatformCodePage, SevenBitBytesAreTheirOwnUnitsInEveryCodePage) {
  std::vector<uint8_t> bytes(128);
  for (int b = 0; b < 128; ++b) bytes[b] = static_cast<uint8_t>(b);
  for (uint32_t codePage : {932u, 936u, 950u}) {
    std::vector<char16_t> out(130, u'\xFFFF');
    EXPECT_EQ(platform::MultiByteToWideChar(codePage, bytes, out), 128) << codePage;
    for (int b = 0; b < 128; ++b) EXPECT_EQ(out[b], static_cast<char16_t>(b)) << codePage;
    EXPECT_EQ(out[128], u'\xFFFF') << "nothing past the count";
    EXPECT_EQ(platform::MultiByteToWideChar(codePage, bytes, std::span(out).first(5)), 5);
    // One byte of 0x80 or more and the code page's own rules apply again.
    EXPECT_EQ(platform::MultiByteToWideChar(codePage, B({0x41, 0x82}), out), -1) << codePage;
  }
}

}  // namespace
}  // namespace cordavex
