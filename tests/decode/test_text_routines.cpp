#include "decode/text_routines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cordavex {
namespace {

TEST(TextRoutines, PrefixEqualsNoCase) {
  struct Case {
    std::u16string_view a;
    std::string_view b;
    int expected;
  };
  const Case cases[] = {
      {u"HTTP://example.com", "http://", 1},
      {u"http:", "HTTP://", 1},        // the shorter one is a prefix of the other
      {u"https://", "http://", 0},
      {u"", "", 1},
      {u"", "D:", 0},
      {u"d:", "", 0},
      {u"D:1", "d:", 1},
      {u"[x", "{x", 0},                // '[' and '{' are not a case pair
      {u"\u00C9", "\xE9", 0},          // only ASCII letters fold
      {u"\u00E9t\u00E9", "\xE9T", 1},  // an 8-bit byte compares as the unit 0-255
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PrefixEqualsNoCase(c.a, c.b), c.expected) << c.b;
    std::u16string wideB;
    for (char ch : c.b) wideB.push_back(static_cast<unsigned char>(ch));
    EXPECT_EQ(PrefixEqualsNoCase(wideB, c.a), c.expected) << c.b;
  }
  EXPECT_EQ(PrefixEqualsNoCase(std::string_view("MeCaRd:"), std::string_view("mecard")), 1);
  EXPECT_EQ(PrefixEqualsNoCase(std::string_view("mecard"), std::string_view("vcard")), 0);
}

TEST(TextRoutines, FindNarrowComparesTheLowByte) {
  EXPECT_EQ(FindNarrow(u"BEGIN:VCARD", "VCARD"), 6);
  EXPECT_EQ(FindNarrow(u"BEGIN:VCARD", "vcard"), -1);  // case counts
  EXPECT_EQ(FindNarrow(u"abc", ""), 0);
  EXPECT_EQ(FindNarrow(u"ab", "abc"), -1);
  EXPECT_EQ(FindNarrow(u"x\u3041y", "Ay"), 1);  // U+3041 has the low byte 0x41
}

TEST(TextRoutines, LengthsFindsAndBoundedCopies) {
  const char16_t text[] = u"TEL:123";
  EXPECT_EQ(WideLength(text), 7);
  EXPECT_EQ(WideLength(text, 3), 3);
  EXPECT_EQ(WideLength(nullptr), 0);
  EXPECT_EQ(FindChar(std::u16string_view(text), u':'), 3);
  EXPECT_EQ(FindChar(std::u16string_view(text), u';'), -1);
  EXPECT_EQ(FindChar(std::string_view("a;b"), ';'), 1);

  std::vector<char16_t> dest(5, u'#');
  EXPECT_EQ(WideCopy(dest, text), 4);  // four units and the terminator
  EXPECT_EQ(std::u16string(dest.data()), u"TEL:");
  EXPECT_EQ(CopyFrom(dest, text, 4), 3);
  EXPECT_EQ(std::u16string(dest.data()), u"123");
  EXPECT_EQ(CopyFrom(dest, text, 7), 0);
  EXPECT_EQ(dest[0], u'\0');
  EXPECT_EQ(CopyFrom(dest, text, 8), 0);
  EXPECT_EQ(CopyFrom(dest, text, -1), 0);
  EXPECT_EQ(CopyFirst(dest, text, 2), 2);
  EXPECT_EQ(std::u16string(dest.data()), u"TE");
  EXPECT_EQ(CopyFirst(dest, text, -3), 0);
  EXPECT_EQ(WideCopy(std::span<char16_t>(), text), 0);  // no room even for the terminator

  std::vector<char> bytes(4, '#');
  EXPECT_EQ(CopyFirst(bytes, "SMSTO:", 5), 3);
  EXPECT_EQ(std::string(bytes.data()), "SMS");
  EXPECT_EQ(CopyFrom(bytes, "SMSTO:", 3), 3);
  EXPECT_EQ(std::string(bytes.data()), "TO:");
}

}  // namespace
}  // namespace cordavex

namespace cordavex {
namespace {

TEST(TextRoutines, WideToUtf8) {
  struct Case {
    std::u16string text;
    std::string utf8;
  } cases[] = {
      {u"abc", "abc"},
      {u"é臺", "\xC3\xA9\xE8\x87\xBA"},
      {u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},         // a surrogate pair
      {u"a\xD83D" u"b", "a\xEF\xBF\xBD" "b"},       // an unpaired high surrogate
      {u"\xDE00", "\xEF\xBF\xBD"},                   // an unpaired low surrogate
  };
  for (const Case& c : cases) {
    char out[16];
    const size_t n = WideToUtf8(c.text, out);
    EXPECT_EQ(std::string(out, n), c.utf8);
  }
  // A character that does not fit is left out whole.
  char small[4];
  EXPECT_EQ(WideToUtf8(u"ab臺", small), 2u);
}

}  // namespace
}  // namespace cordavex
