// The business-card address: postal-code names from the generated table and
// the expansion of the address letters.
#include <gtest/gtest.h>

#include <string>

#include "content/postal_codes.h"

namespace cordavex {
namespace {

std::u16string City(int code) {
  char16_t out[16];
  const int length = PostalCodeCity(code, out);
  return std::u16string(out, static_cast<size_t>(length));
}

TEST(PostalCodeCity, NamesCityAndDistrict) {
  struct Case {
    int code;
    std::u16string name;
  } cases[] = {
      {100, u"臺北市中正區"},
      {116, u"臺北市文山區"},
      {209, u"連江縣南竿鄉"},
      {400, u"臺中市中區"},      // one-character district
      {300, u"新竹市東區"},
      {605, u"嘉義縣阿里山鄉"},  // three characters before the suffix
      {817, u"高雄市東沙群島"},
      {290, u"宜蘭縣釣魚臺"},    // no suffix
      {510, u"彰化縣員林市"},
      {983, u"花蓮縣富里鄉"},    // the last code
      {99, u""},                 // below 100: no lookup
      {0, u""},
      {101, u""},                // not in the table
      {999, u""},
  };
  for (const Case& c : cases) EXPECT_EQ(City(c.code), c.name) << c.code;
}

TEST(PostalCodeCity, TableIsSortedAndCityWordsResolve) {
  const auto table = PostalTable();
  ASSERT_GT(table.size(), 368u);
  for (size_t i = 1; i < table.size(); ++i) EXPECT_LT(table[i - 1].code, table[i].code);
  for (const PostalEntry& e : table) {
    if (e.code < 100) continue;
    // Every code entry names its city by reference.
    EXPECT_LE(e.cityWord, 0x0FFF) << e.code;
    EXPECT_LT(table[(e.cityWord & 0xFF) - 5u].code, 100) << e.code;
  }
}

TEST(PostalCodeCity, StopsAtTheEndOfTheBuffer) {
  char16_t out[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(PostalCodeCity(100, out), 4);
  EXPECT_EQ(std::u16string(out, 4), u"臺北市中");
}

TEST(ExpandAddressLetters, ExpandsTheEightLettersAndCopiesTheRest) {
  char16_t out[64];
  const int length = ExpandAddressLetters(u"3S12R5L7H2E1F3MB1s", out);
  EXPECT_EQ(std::u16string(out, static_cast<size_t>(length)), u"3段12巷5弄7號2之1樓3室地下1s");
  EXPECT_EQ(out[length], 0);
  // A two-unit word is not cut in half at the end of the buffer.
  char16_t small[2];
  EXPECT_EQ(ExpandAddressLetters(u"1B", small), 1);
}

}  // namespace
}  // namespace cordavex
