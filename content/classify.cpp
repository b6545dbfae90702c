#include "content/classify.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "content/content_types.h"
#include "content/postal_codes.h"
#include "content/record_fill.h"
#include "decode/charset.h"
#include "decode/text_routines.h"

namespace cordavex {
namespace {

// Binary content (split-data parts, enciphered data) is kept one byte per unit
// in the raw text, at most the raw text less the key area's 64 units.
constexpr int kBinaryUnits = ScanResult::kRawTextUnits - ScanResult::kKeyAreaUnits;  // 736
// The key area takes 63 units of side information and a marker unit.
constexpr int kKeyAreaCopy = ScanResult::kKeyAreaUnits - 1;
constexpr char16_t kMarkerQrEncrypted = 255;
constexpr char16_t kMarkerCordavexEncrypted = 254;
// Units of the second string that a raw-data result keeps in its phones field.
constexpr size_t kRawDataTagUnits = 6;
// Longest string of the decoder buffers.
constexpr int kLongestBuffer = kDecodedTextBytes;

// One classification: the record, the parser's pool and the string pool's fill.
struct Classification {
  ScanResult& record;
  ParsePool& pool;
  uint16_t poolFill = 0;

  uint16_t Append(std::u16string_view text) { return PoolAppend(record, poolFill, text); }
  void Set(Field field, uint16_t offset) { record.fields[static_cast<int>(field)] = offset; }
  std::u16string_view Get(Field field) const { return record.Get(field); }
};

// A bounded UTF-16 string under construction; what does not fit is cut.
template <size_t N>
class WideBuilder {
 public:
  WideBuilder& Add(std::u16string_view text) {
    const size_t n = std::min(text.size(), N - length_);
    std::copy_n(text.begin(), n, units_ + length_);
    length_ += n;
    return *this;
  }
  WideBuilder& AddAscii(std::string_view text) {
    for (char c : text) {
      if (length_ < N) units_[length_++] = static_cast<unsigned char>(c);
    }
    return *this;
  }
  // The text, or one space when it is empty (the own address-book form shows
  // a missing value as a space).
  WideBuilder& AddOrSpace(std::u16string_view text) { return text.empty() ? Add(u" ") : Add(text); }
  std::u16string_view View() const { return {units_, length_}; }

 private:
  char16_t units_[N];
  size_t length_ = 0;
};

using RawBuilder = WideBuilder<ScanResult::kRawTextUnits - 1>;

// The bytes of a decoder buffer up to its first zero, never past its size.
std::string_view BufferText(const uint8_t* buffer, size_t capacity) {
  if (buffer == nullptr) return {};
  const auto* begin = reinterpret_cast<const char*>(buffer);
  const void* zero = std::memchr(begin, 0, capacity);
  const size_t length = zero == nullptr ? capacity : static_cast<size_t>(static_cast<const char*>(zero) - begin);
  return {begin, length};
}

std::span<const uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// Replaces the raw text; display text is the raw text.
void SetRawText(ScanResult& record, std::u16string_view text) {
  char16_t* raw = record.rawText();
  std::fill_n(raw, ScanResult::kRawTextUnits, u'\0');
  std::copy_n(text.begin(), std::min<size_t>(text.size(), ScanResult::kRawTextUnits - 1), raw);
  record.displayText = ScanResult::kRawTextStart;
}

// Bytes widened one to a unit into the raw text (binary content).
void SetRawBytes(ScanResult& record, const uint8_t* bytes, int count) {
  char16_t* raw = record.rawText();
  std::fill_n(raw, ScanResult::kRawTextUnits, u'\0');
  for (int i = 0; i < count; ++i) raw[i] = bytes[i];
}

// Converts UTF-8 bytes into `out`; returns the view of what was written.
std::u16string_view Utf8ToWide(std::string_view bytes, std::span<char16_t> out) {
  std::fill(out.begin(), out.end(), u'\0');
  const int n = DecodeToUnicode(kCharsetUtf8, Bytes(bytes), out);
  return {out.data(), static_cast<size_t>(std::max(n, 0))};
}

bool StartsWithNoCase(std::u16string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && PrefixEqualsNoCase(text.substr(0, prefix.size()), prefix) == 1;
}

bool EqualsAscii(std::u16string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char y) {
           return x == static_cast<unsigned char>(y);
         });
}

// A small decimal number at the start of `text`; -1 when it does not start
// with a digit. Stops before it could overflow.
int LeadingNumber(std::string_view text) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return -1;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || value > 100000) break;
    value = value * 10 + (c - '0');
  }
  return value;
}

// ---- the parsed objects ----

// The items that set the type rather than a field: WTAI codes, address-book
// kinds and function numbers. Runs after the object's fields are filled, so
// that a tag id is known wherever it stands in the object.
void ApplyTypeItems(const ContentObject& object, ScanResult& record) {
  int32_t library = -1;
  for (const ContentItem* item = object.items; item != nullptr; item = item->next) {
    const std::string_view value = item->value.View();
    switch (item->kind) {
      case PropKind::wtaiLibrary:
        library = WtaiLibraryCode(value);
        if (library >= 0) record.subType = static_cast<uint32_t>(library);
        break;
      case PropKind::wtaiFunction:
        if (library == kWtaiPublicLibrary) record.contentType = TypeOfWtaiFunction(value);
        break;
      case PropKind::addressBookKind:
        record.contentType = TypeOfAddressBookKind(value);
        break;
      case PropKind::forceUnclassified:
        record.contentType = kTypeUnclassified;
        break;
      case PropKind::functionNumber: {
        const bool twoDigits = value.size() == 2 && value[0] >= '0' && value[0] <= '9' &&
                               value[1] >= '0' && value[1] <= '9';
        const int number = twoDigits ? (value[0] - '0') * 10 + (value[1] - '0') : -1;
        if (number < kFirstTagFunction || number > kLastTagFunction) {
          record.contentType = TypeOfFunctionNumber(number);
          break;
        }
        // A tag lookup needs a whole tag id; anything else leaves the object
        // unclassified and ends its walk.
        if (record.Get(Field::tagId).size() != static_cast<size_t>(kTagIdLength)) {
          record.contentType = kTypeUnclassified;
          return;
        }
        record.contentType = kTypeTagId;
        record.subType = static_cast<uint32_t>(TypeOfFunctionNumber(number - kTagFunctionOffset));
        break;
      }
      default:
        break;
    }
  }
  // The number 1 narrows a tag's contact to a phone and its bookmark to a web
  // address.
  if (record.contentType == kTypeTagId && record.number == 1) {
    if (record.subType == kTypeSimpleContact) record.subType = kTypePhone;
    if (record.subType == kTypeBookmark) record.subType = kTypeWebAddress;
  }
}

// Clears the record, converts the text into the raw text, parses it and walks
// the objects. Returns the type.
int32_t ClassifyTextInto(Classification& c, std::string_view text, uint32_t charset) {
  ScanResult& record = c.record;
  record.Clear();
  c.poolFill = 0;
  text = text.substr(0, std::min(text.find('\0'), text.size()));
  // One guess for the whole text, which the field values keep unless their
  // own bytes refute it (record_fill.h).
  const uint32_t resolved = charset == kCharsetGuess ? GuessCharset(Bytes(text)) : charset;
  DecodeToUnicode(resolved, Bytes(text), {record.rawText(), ScanResult::kRawTextUnits - 1});

  const ContentObject* objects = nullptr;
  if (!text.empty() && ParseContent(text, c.pool, &objects) == 1) {
    ContentFill fill{&record, resolved, 0, charset == kCharsetGuess};
    for (const ContentObject* o = objects; o != nullptr; o = o->next) {
      if (o->Name() == "DOCOMO_MIX") break;
      // The type comes first: a web address's URL field is the whole text.
      if (const int32_t type = TypeOfObjectName(o->Name()); type != kNoType) {
        record.contentType = type;
      }
      FillObjectFields(*o, fill, c.pool);
      ApplyTypeItems(*o, record);
    }
    c.poolFill = fill.poolFill;
  }
  if (record.contentType == kTypePlainText) record.displayText = ScanResult::kRawTextStart;
  return record.contentType;
}

// Settles the types 6 and 256 that the parse left open. Our own forms become
// a simple contact or a contact card by the fields they carry; anything else is
// plain text, or an e-mail address when an at sign comes before the first
// separator.
void SettleOpenType(Classification& c, bool spaceSeparates) {
  ScanResult& record = c.record;
  if (record.contentType != kTypeWtaiLink && record.contentType != kTypeUnclassified) return;
  const std::u16string_view keyword = c.Get(Field::keyword);
  if (!EqualsAscii(keyword, "QBCODE") && !EqualsAscii(keyword, "CV3ADDRESSBOOK")) {
    record.contentType = kTypePlainText;
    record.displayText = ScanResult::kRawTextStart;
    const std::u16string_view raw = record.RawText();
    for (size_t i = 1; i < raw.size(); ++i) {
      const char16_t ch = raw[i];
      if (ch == u':' || ch == u';' || (spaceSeparates && ch == u' ')) return;
      if (ch == u'@') {
        record.contentType = kTypeEmail;
        c.Set(Field::emails, ScanResult::kRawTextStart);
        c.Set(Field::recipient, ScanResult::kRawTextStart);
        return;
      }
    }
    return;
  }
  if (c.Get(Field::shortName).empty()) return;
  struct MaskBit {
    Field field;
    int bit;
  };
  static constexpr MaskBit kMaskBits[] = {
      {Field::phones, 1}, {Field::mobiles, 2}, {Field::emails, 4},
      {Field::webAddress, 8}, {Field::street, 16}, {Field::postalCode, 32},
  };
  int mask = 0;
  for (const MaskBit& m : kMaskBits) {
    if (!c.Get(m.field).empty()) mask |= m.bit;
  }
  // Phone and/or mobile, each optionally with a web address: a name and a number.
  const bool simple = mask == 1 || mask == 2 || mask == 9 || mask == 10;
  record.contentType = simple ? kTypeSimpleContact : kTypeContactCard;
}

// ---- results recognised before parsing ----

// A part of split data: its bytes and its "%d:%d:%d:%d:%d" header, which the
// phones field carries.
void ClassifySplitPart(Classification& c, const DecodeSummary& s) {
  ScanResult& record = c.record;
  record.contentType = kTypeSplitPart;
  if (s.text != nullptr) SetRawBytes(record, s.text, kBinaryUnits);
  WideBuilder<kSecondStringBytes> header;
  header.AddAscii(BufferText(s.secondString, kSecondStringBytes));
  c.Set(Field::phones, c.Append(header.View()));
}

// Enciphered content: the payload's bytes and, in the key area, the side
// information (check byte, length and offset digits) behind a marker.
void ClassifyEncrypted(Classification& c, const DecodeSummary& s, char16_t marker) {
  ScanResult& record = c.record;
  record.contentType = kTypeEncrypted;
  if (s.text != nullptr) SetRawBytes(record, s.text, kBinaryUnits);
  char16_t* key = record.keyArea();
  for (int i = 0; i < kKeyAreaCopy; ++i) key[i] = s.secondString != nullptr ? s.secondString[i] : 0;
  key[kKeyAreaCopy] = marker;
}

// Binary data of a current-generation Cordavex code: as many bytes as the
// second string counts, shown as they are.
void ClassifyRawData(Classification& c, const DecodeSummary& s) {
  ScanResult& record = c.record;
  record.contentType = kTypeRawData;
  const std::string_view count = BufferText(s.secondString, kSecondStringBytes);
  WideBuilder<kRawDataTagUnits> tag;
  tag.AddAscii(count.substr(0, kRawDataTagUnits));
  c.Set(Field::phones, c.Append(tag.View()));
  const int n = std::clamp(LeadingNumber(count), 0, ScanResult::kRawTextUnits - 1);
  if (s.text != nullptr) SetRawBytes(record, s.text, n);
  record.displayText = ScanResult::kRawTextStart;
}

// A result the screens do not show: its text, as UTF-8, in the pool.
void ClassifyNoDisplay(Classification& c, const DecodeSummary& s) {
  c.record.contentType = kTypeNoDisplay;
  char16_t text[kLongestBuffer];
  c.Append(Utf8ToWide(BufferText(s.text, kDecodedTextBytes), text));
}

// ---- the function table ----

// Web-like addresses: the text with the scheme put in front unless it already
// starts with it, in any case.
void ClassifyAddress(Classification& c, int32_t type, std::string_view scheme) {
  const std::u16string_view text = c.record.RawText();
  RawBuilder address;
  if (!StartsWithNoCase(text, scheme)) address.AddAscii(scheme);
  address.Add(text);
  c.record.contentType = type;
  SetRawText(c.record, address.View());
  c.Set(Field::webAddress, ScanResult::kRawTextStart);
}

// The business card's address: "NNN#" and the address in letters. The postal
// code goes to its field and names the city; the street is the payload's
// address prefix followed by the expanded address.
void FillBusinessCardAddress(Classification& c, const DecodeSummary& s) {
  char16_t prefixUnits[kFurtherBufferBytes[1]];
  char16_t addressUnits[kFurtherBufferBytes[2]];
  const std::u16string_view prefix =
      Utf8ToWide(BufferText(s.further[1], kFurtherBufferBytes[1]), prefixUnits);
  std::u16string_view address =
      Utf8ToWide(BufferText(s.further[2], kFurtherBufferBytes[2]), addressUnits);
  const auto digit = [](char16_t u) { return u >= u'0' && u <= u'9'; };
  if (address.size() >= 4 && digit(address[0]) && digit(address[1]) && digit(address[2]) &&
      address[3] == u'#') {
    c.Set(Field::postalCode, c.Append(address.substr(0, 3)));
    const int code = (address[0] - u'0') * 100 + (address[1] - u'0') * 10 + (address[2] - u'0');
    char16_t city[16];
    const int cityLength = PostalCodeCity(code, city);
    c.Set(Field::city, c.Append({city, static_cast<size_t>(cityLength)}));
    address.remove_prefix(4);
  }
  // Each letter may become two units.
  char16_t expanded[2 * kFurtherBufferBytes[2]];
  const int expandedLength = ExpandAddressLetters(address, expanded);
  WideBuilder<kFurtherBufferBytes[1] + 2 * kFurtherBufferBytes[2]> street;
  street.Add(prefix).Add({expanded, static_cast<size_t>(expandedLength)});
  c.Set(Field::street, c.Append(street.View()));
}

// Older Cordavex code function types, and the content kind of text that the
// parser did not take. The display text is built in the raw text, in the form
// the parser reads back, so that a stored result classifies the same again.
void ApplyFunction(Classification& c, int32_t function, const DecodeSummary& s) {
  ScanResult& record = c.record;
  const std::u16string_view text = record.RawText();
  switch (function) {
    case kFunctionPhone: {
      c.Set(Field::phones, c.Append(text));
      RawBuilder display;
      display.Add(u"TEL:").Add(text);
      record.contentType = kTypePhone;
      SetRawText(record, display.View());
      return;
    }
    case kFunctionWeb:
      return ClassifyAddress(c, kTypeWebAddress, "http://");
    case kFunctionSecureWeb:
      return ClassifyAddress(c, kTypeSecureWebAddress, "https://");
    case kFunctionSkype:
      return ClassifyAddress(c, kTypeSkypeCall, "callto://");
    case kFunctionTextMessage: {
      const size_t slash = text.find(u'/');
      const std::u16string_view recipient = text.substr(0, slash);
      const std::u16string_view body =
          slash == std::u16string_view::npos ? std::u16string_view{} : text.substr(slash + 1);
      c.Set(Field::recipient, c.Append(recipient));
      c.Set(Field::body, c.Append(body));
      // Without a body the ":" is left out: "SMSTO:number:" is not a message.
      RawBuilder display;
      display.Add(u"SMSTO:").Add(recipient);
      if (!body.empty()) display.Add(u":").Add(body);
      record.contentType = kTypeTextMessage;
      SetRawText(record, display.View());
      return;
    }
    case kFunctionSimpleContact:
    case kFunctionBusinessCard: {
      char16_t name[kDecodedTextBytes];
      char16_t phones[kSecondStringBytes];
      c.Set(Field::shortName, c.Append(Utf8ToWide(BufferText(s.text, kDecodedTextBytes), name)));
      c.Set(Field::phones,
            c.Append(Utf8ToWide(BufferText(s.secondString, kSecondStringBytes), phones)));
      RawBuilder display;
      display.Add(u"NAME:").Add(c.Get(Field::shortName)).Add(u";TEL:").AddOrSpace(c.Get(Field::phones));
      if (function == kFunctionSimpleContact) {
        record.contentType = kTypeSimpleContact;
      } else {
        char16_t emails[kFurtherBufferBytes[0]];
        c.Set(Field::emails,
              c.Append(Utf8ToWide(BufferText(s.further[0], kFurtherBufferBytes[0]), emails)));
        FillBusinessCardAddress(c, s);
        display.Add(u";EMAIL:").AddOrSpace(c.Get(Field::emails));
        display.Add(u";ZIP:").AddOrSpace(c.Get(Field::postalCode));
        display.Add(u";CITY:").AddOrSpace(c.Get(Field::city));
        display.Add(u";ADR:").AddOrSpace(c.Get(Field::street));
        record.contentType = kTypeContactCard;
      }
      SetRawText(record, display.View());
      return;
    }
    case kFunctionEmail:
      record.contentType = kTypeEmail;
      c.Set(Field::emails, ScanResult::kRawTextStart);
      c.Set(Field::recipient, ScanResult::kRawTextStart);
      record.displayText = ScanResult::kRawTextStart;
      return;
    case kKindSplitPart:
      return ClassifySplitPart(c, s);
    case kKindEncrypted:
      return ClassifyEncrypted(c, s, kMarkerQrEncrypted);
    default:
      record.contentType = kTypePlainText;
      record.displayText = ScanResult::kRawTextStart;
      return;
  }
}

// The UTF-16 text of a current-generation Cordavex code: little-endian units
// up to the first zero unit.
std::u16string_view WideBufferText(const uint8_t* buffer, std::span<char16_t> out) {
  size_t n = 0;
  if (buffer != nullptr) {
    for (; n < out.size(); ++n) {
      const char16_t unit = static_cast<char16_t>(buffer[2 * n] | (buffer[2 * n + 1] << 8));
      if (unit == 0) break;
      out[n] = unit;
    }
  }
  return {out.data(), n};
}

int32_t ClassifyWideInto(Classification& c, std::u16string_view text) {
  char utf8[kMaxParseTextBytes + 1];
  const size_t length = WideToUtf8(text, {utf8, kMaxParseTextBytes});
  ClassifyTextInto(c, {utf8, length}, kCharsetUtf8);
  SettleOpenType(c, true);
  return c.record.contentType;
}

}  // namespace

int32_t ClassifyText(std::string_view text, ScanResult& record, uint32_t charset,
                     ParsePool& pool) {
  Classification c{record, pool};
  return ClassifyTextInto(c, text, charset);
}

int32_t ClassifyText(std::string_view text, ScanResult& record, uint32_t charset) {
  ParsePool pool;
  return ClassifyText(text, record, charset, pool);
}

int32_t ClassifyWideText(std::u16string_view text, ScanResult& record, ParsePool& pool) {
  Classification c{record, pool};
  return ClassifyWideInto(c, text);
}

int32_t ClassifyWideText(std::u16string_view text, ScanResult& record) {
  ParsePool pool;
  return ClassifyWideText(text, record, pool);
}

int32_t ClassifyStoredText(std::string_view text, ScanResult& record, ParsePool& pool) {
  Classification c{record, pool};
  ClassifyTextInto(c, text, kCharsetGuess);
  SettleOpenType(c, true);
  return record.contentType;
}

void ClassifyResult(const ClassifyInput& input, ScanResult& result, ParsePool& pool) {
  result.Clear();
  Classification c{result, pool};
  const DecodeSummary& s = input.summary;

  if (input.lockedKind == kLockCordavex3) {
    switch (s.contentKind) {
      case kKindCordavexText: {
        char16_t units[kDecodedTextBytes / 2];
        ClassifyWideInto(c, WideBufferText(s.text, units));
        return;
      }
      case kKindCordavexBinary: {
        const std::string_view second = BufferText(s.secondString, kSecondStringBytes);
        if (second.size() >= 2 && PrefixEqualsNoCase(second.substr(0, 2), "D:") == 1) {
          ClassifyEncrypted(c, s, kMarkerCordavexEncrypted);
        } else {
          ClassifyRawData(c, s);
        }
        return;
      }
      case kKindCordavexSplit:
        return ClassifySplitPart(c, s);
      default:
        break;
    }
  }

  switch (s.contentKind) {
    case kKindSplitPart:
      return ClassifySplitPart(c, s);
    case kKindNoDisplay:
      return ClassifyNoDisplay(c, s);
    case kKindEncrypted:
      return ClassifyEncrypted(c, s, kMarkerQrEncrypted);
    default:
      break;
  }

  const std::string_view text = BufferText(s.text, kDecodedTextBytes);
  if (input.lockedKind == kLockCordavex2) {
    // The older generation's function type decides without the parser.
    const uint32_t charset =
        input.textFlag == kCharsetGuess ? GuessCharset(Bytes(text)) : input.textFlag;
    DecodeToUnicode(charset, Bytes(text), {result.rawText(), ScanResult::kRawTextUnits - 1});
    return ApplyFunction(c, s.contentKind, s);
  }

  const int32_t type = ClassifyTextInto(c, text, input.textFlag);
  if (type == kTypePlainText) {
    ApplyFunction(c, s.contentKind, s);
  } else if (type == kTypeWtaiLink || type == kTypeUnclassified) {
    SettleOpenType(c, false);
  }
}

void ClassifyResult(const ClassifyInput& input, ScanResult& result) {
  ParsePool pool;
  ClassifyResult(input, result, pool);
}

}  // namespace cordavex
