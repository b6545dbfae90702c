#include "content/postal_codes.h"

#include <algorithm>

namespace cordavex {
namespace {

constexpr char16_t kSuffixes[] = {0, u'區', u'鄉', u'鎮', u'市', u'島'};
constexpr int kCityIndexBias = 5;  // a city word's low byte is the city entry's index + 5
constexpr uint16_t kFirstPostalCode = 100;

// Appends units to `out` while there is room, counting what was written.
class Writer {
 public:
  explicit Writer(std::span<char16_t> out) : out_(out) {}
  bool Fits(size_t units) const { return length_ + units <= out_.size(); }
  void Put(char16_t unit) {
    if (unit != 0 && Fits(1)) out_[length_++] = unit;
  }
  int Finish() {
    if (length_ < out_.size()) out_[length_] = 0;
    return static_cast<int>(length_);
  }

 private:
  std::span<char16_t> out_;
  size_t length_ = 0;
};

}  // namespace

int PostalCodeCity(int code, std::span<char16_t> out) {
  if (code < kFirstPostalCode) return Writer(out).Finish();
  const std::span<const PostalEntry> table = PostalTable();
  const auto it = std::lower_bound(table.begin(), table.end(), code,
                                   [](const PostalEntry& e, int c) { return e.code < c; });
  Writer writer(out);
  if (it == table.end() || it->code != code) return writer.Finish();
  if (it->cityWord > 0x0FFF) {
    writer.Put(it->cityWord);
    for (char16_t c : it->district) writer.Put(c);
    return writer.Finish();
  }
  const int cityIndex = (it->cityWord & 0xFF) - kCityIndexBias;
  const int suffix = (it->cityWord >> 8) & 0xF;
  if (cityIndex >= 0 && static_cast<size_t>(cityIndex) < table.size() &&
      table[static_cast<size_t>(cityIndex)].code < kFirstPostalCode) {
    const PostalEntry& city = table[static_cast<size_t>(cityIndex)];
    writer.Put(city.cityWord);
    for (char16_t c : city.district) writer.Put(c);
  }
  for (char16_t c : it->district) writer.Put(c);
  if (suffix < static_cast<int>(std::size(kSuffixes))) writer.Put(kSuffixes[suffix]);
  return writer.Finish();
}

int ExpandAddressLetters(std::u16string_view address, std::span<char16_t> out) {
  Writer writer(out);
  for (char16_t c : address) {
    std::u16string_view word;
    switch (c) {
      case u'S': word = u"段"; break;
      case u'R': word = u"巷"; break;
      case u'L': word = u"弄"; break;
      case u'H': word = u"號"; break;
      case u'E': word = u"之"; break;
      case u'F': word = u"樓"; break;
      case u'M': word = u"室"; break;
      case u'B': word = u"地下"; break;
      default: word = std::u16string_view(&c, 1); break;
    }
    if (!writer.Fits(word.size())) break;
    for (char16_t w : word) writer.Put(w);
  }
  return writer.Finish();
}

}  // namespace cordavex
