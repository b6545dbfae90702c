// Content classification: the type of each kind of content, the fields it
// fills, the older Cordavex code function table with the business-card
// address, the results recognised before parsing, and hostile buffers.
#include "content/classify.h"
#include "cordavex/content.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "content/content_types.h"
#include "support/content_fields.h"

namespace cordavex {
namespace {

using test::Fields;
using test::NonEmptyFields;

std::u16string Wide(std::string_view ascii) { return {ascii.begin(), ascii.end()}; }

// Classifies `bytes` as the content of a QR code: the QR locator's preliminary
// content kind on the decoder buffers, then ClassifyResult.
std::unique_ptr<ScanResult> ClassifyAsQr(std::string_view bytes, uint32_t charset = 32) {
  auto result = std::make_unique<ScanResult>();
  ClassifyQrBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, charset, *result);
  return result;
}

// Decoder buffers for results that do not come from the QR locator.
struct Buffers {
  uint8_t text[kDecodedTextBytes] = {};
  uint8_t second[kSecondStringBytes] = {};
  uint8_t further0[kFurtherBufferBytes[0]] = {};
  uint8_t further1[kFurtherBufferBytes[1]] = {};
  uint8_t further2[kFurtherBufferBytes[2]] = {};

  static void Put(uint8_t* buffer, std::string_view s) { std::memcpy(buffer, s.data(), s.size()); }
  ClassifyInput Input(int32_t contentKind, int32_t lockedKind) const {
    ClassifyInput in;
    in.summary = {contentKind, text, second, {further0, further1, further2}};
    in.lockedKind = lockedKind;
    return in;
  }
};

std::unique_ptr<ScanResult> Classify(const ClassifyInput& in) {
  auto result = std::make_unique<ScanResult>();
  std::memset(static_cast<void*>(result.get()), 0xA5, sizeof(ScanResult));  // no stale state survives
  ClassifyResult(in, *result);
  return result;
}

// ---- scanned text ----

struct TextCase {
  const char* text;
  int32_t type;
  uint32_t subType;
  Fields fields;       // exactly the non-empty fields
  const char* display;  // nullptr: the pool's first string (the keyword)
};

TEST(ClassifyResult, ScannedTextByContent) {
  const TextCase cases[] = {
      {"MECARD:N:Doe,John;TEL:0955667788;;", kTypeMecard, 0,
       {{Field::keyword, u"MECARD"}, {Field::shortName, u"DoeJohn"}, {Field::phones, u"0955667788"},
        {Field::namePart1, u"Doe"}, {Field::namePart2, u"John"}},
       nullptr},
      {"http://www.example.com", kTypeWebAddress, 0,
       {{Field::keyword, u"HTTP"}, {Field::webAddress, u"http://www.example.com"}}, nullptr},
      {"wtai://wp/mc;0955667788", kTypePhone, 0,
       {{Field::keyword, u"WTAI"}, {Field::phones, u"0955667788"}}, nullptr},
      {"wtai://wp/ap;0955667788;Anna", kTypeSimpleContact, 0,
       {{Field::keyword, u"WTAI"}, {Field::phones, u"0955667788"}, {Field::shortName, u"Anna"}},
       nullptr},
      // Settled as plain text, with the whole text shown.
      {"wtai://wp/sd;0955667788", kTypePlainText, 0,
       {{Field::keyword, u"WTAI"}, {Field::phones, u"0955667788"}}, "wtai://wp/sd;0955667788"},
      {"wtai://vc/mc;0955667788", kTypePlainText, 1,
       {{Field::keyword, u"WTAI"}, {Field::phones, u"0955667788"}}, "wtai://vc/mc;0955667788"},
      // Not parsed; the locator's content kind 19 makes it an e-mail address.
      {"john.doe@example.com", kTypeEmail, 0,
       {{Field::emails, u"john.doe@example.com"}, {Field::recipient, u"john.doe@example.com"}},
       "john.doe@example.com"},
      {"Hello world", kTypePlainText, 0, {}, "Hello world"},
      {"Hello", kTypePlainText, 0, {}, "Hello"},
      // An at sign after a separator is no mailbox.
      {"note: a@b", kTypePlainText, 0, {}, "note: a@b"},
      {"TEL:0955667788", kTypePhone, 0, {{Field::keyword, u"TEL"}, {Field::phones, u"0955667788"}},
       nullptr},
      {"SMSTO:0955667788:hi there", kTypeTextMessage, 0,
       {{Field::keyword, u"SMS"}, {Field::recipient, u"0955667788"}, {Field::body, u"hi there"}},
       nullptr},
      // Own address-book form: a name and a phone only, then with an e-mail.
      {"NAME:Anna;TEL:0955667788", kTypeSimpleContact, 0,
       {{Field::keyword, u"CV3ADDRESSBOOK"}, {Field::shortName, u"Anna"},
        {Field::phones, u"0955667788"}},
       nullptr},
      {"NAME:Anna;TEL:0955667788;EMAIL:anna@example.com", kTypeContactCard, 0,
       {{Field::keyword, u"CV3ADDRESSBOOK"}, {Field::shortName, u"Anna"},
        {Field::phones, u"0955667788"}, {Field::emails, u"anna@example.com"}},
       nullptr},
      {"NAME:Anna;URL:http://a.example;TEL:1234567", kTypeSimpleContact, 0,
       {{Field::keyword, u"CV3ADDRESSBOOK"}, {Field::shortName, u"Anna"},
        {Field::webAddress, u"http://a.example"}, {Field::phones, u"1234567"}},
       nullptr},
      {"NAME:Anna;CITY:Taipei", kTypeContactCard, 0,
       {{Field::keyword, u"CV3ADDRESSBOOK"}, {Field::shortName, u"Anna"}, {Field::city, u"Taipei"}},
       nullptr},
      // Numbered-function form.
      {"01;0955667788", kTypeSimpleContact, 0,
       {{Field::keyword, u"ORANGE"}, {Field::phones, u"0955667788"}}, nullptr},
      {"04;2example.com", kTypeBookmark, 0,
       {{Field::keyword, u"ORANGE"}, {Field::webAddress, u"http://www.example.com"}}, nullptr},
      {"07;Meeting", kTypeCalendar, 0,
       {{Field::keyword, u"ORANGE"}, {Field::eventSubject, u"Meeting"}}, nullptr},
      {"09;just text", kTypePlainText, 0, {{Field::keyword, u"ORANGE"}, {Field::body, u"just text"}},
       "09;just text"},
      // A tag lookup needs a tag id of exactly 14 characters.
      {"53;12345678901234", kTypeTagId, kTypeTextMessage,
       {{Field::keyword, u"ORANGE"}, {Field::tagId, u"12345678901234"}}, nullptr},
      {"53;1234567890123", kTypePlainText, 0,
       {{Field::keyword, u"ORANGE"}, {Field::tagId, u"1234567890123"}}, "53;1234567890123"},
      {"59;12345678901234", kTypeTagId, kTypePlainText,
       {{Field::keyword, u"ORANGE"}, {Field::tagId, u"12345678901234"}}, nullptr},
      // The number 1 narrows a contact to a phone and a bookmark to a web address.
      {"511;12345678901234", kTypeTagId, kTypePhone,
       {{Field::keyword, u"ORANGE"}, {Field::tagId, u"12345678901234"}}, nullptr},
      {"541;12345678901234", kTypeTagId, kTypeWebAddress,
       {{Field::keyword, u"ORANGE"}, {Field::tagId, u"12345678901234"}}, nullptr},
      {"542;12345678901234", kTypeTagId, kTypeBookmark,
       {{Field::keyword, u"ORANGE"}, {Field::tagId, u"12345678901234"}}, nullptr},
      // Address-book kinds.
      {"CARD:PHONE;TEL:0955667788;;", kTypePhone, 0,
       {{Field::keyword, u"QBCODE"}, {Field::phones, u"0955667788"}}, nullptr},
      {"CARD:dtxt;SUB:Hi;TXT:Body;;", kTypeTextWithSubject, 0,
       {{Field::keyword, u"QBCODE"}, {Field::subject, u"Hi"}, {Field::body, u"Body"}}, nullptr},
      {"CARD:AD;TAG:12345678901234;FUNC:52;NUM:1;;", kTypeTagId, kTypeContactCard,
       {{Field::keyword, u"QBCODE"}, {Field::tagId, u"12345678901234"}}, nullptr},
      // An unknown kind stays open without a name, and is decided by its fields with one.
      {"CARD:XYZ;TEL:0955667788;;", kTypeUnclassified, 0,
       {{Field::keyword, u"QBCODE"}, {Field::phones, u"0955667788"}}, nullptr},
      {"CARD:XYZ;NAME:Anna;TEL:0955667788;;", kTypeSimpleContact, 0,
       {{Field::keyword, u"QBCODE"}, {Field::shortName, u"Anna"}, {Field::phones, u"0955667788"}},
       nullptr},
      {"MEBKM:TITLE:News;URL:http://news.example;;", kTypeBookmark, 0,
       {{Field::keyword, u"WEBKM"}, {Field::title, u"News"}, {Field::webAddress, u"http://news.example"}},
       nullptr},
      {"BIZCARD:N:John;X:Doe;C:Acme;M:0955667788;;", kTypeBusinessCard, 0,
       {{Field::keyword, u"BIZCARD"}, {Field::namePart2, u"John"}, {Field::namePart1, u"Doe"},
        {Field::company, u"Acme"}, {Field::mobiles, u"0955667788"}},
       nullptr},
      {"CALLTO:anna.b", kTypeSkypeCall, 0,
       {{Field::keyword, u"CALLTO"}, {Field::shortName, u"anna.b"},
        {Field::webAddress, u"callto://anna.b"}},
       nullptr},
      // Rejected by the parser (no closing ";"): plain text.
      {"MECARD:N:Doe", kTypePlainText, 0, {}, "MECARD:N:Doe"},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.text);
    const auto r = ClassifyAsQr(c.text);
    EXPECT_EQ(r->contentType, c.type);
    EXPECT_EQ(r->subType, c.subType);
    EXPECT_EQ(r->RawText(), Wide(c.text));
    EXPECT_EQ(NonEmptyFields(*r), c.fields);
    if (c.display != nullptr) {
      EXPECT_EQ(r->DisplayText(), Wide(c.display));
    } else {
      EXPECT_EQ(r->displayText, ScanResult::kPoolStart);
    }
  }
}

TEST(ClassifyText, LeavesOpenTypesForTheCaller) {
  struct Case {
    const char* text;
    int32_t type;
    uint32_t subType;
  } cases[] = {
      {"wtai://wp/mc;0955667788", kTypePhone, 0},
      {"wtai://wp/ap;0955667788;Anna", kTypeSimpleContact, 0},
      {"wtai://wp/sd;0955667788", kTypeWtaiLink, 0},
      {"wtai://ms/mc;0955667788", kTypeWtaiLink, 5},
      {"53;1234567890123", kTypeUnclassified, 0},
      {"NAME:Anna;TEL:0955667788", kTypeUnclassified, 0},
      {"Hello world", kTypePlainText, 0},
      {"", kTypePlainText, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    auto r = std::make_unique<ScanResult>();
    EXPECT_EQ(ClassifyText(c.text, *r, 32), c.type);
    EXPECT_EQ(r->contentType, c.type);
    EXPECT_EQ(r->subType, c.subType);
  }
}

TEST(ClassifyText, ConvertsValuesInTheTextsCharacterSet) {
  auto r = std::make_unique<ScanResult>();
  // 王小明 in UTF-8, guessed; and 王 in GB2312 (0xCD 0xF5), named.
  EXPECT_EQ(ClassifyText("MECARD:N:\xE7\x8E\x8B,\xE5\xB0\x8F\xE6\x98\x8E;;", *r, 32), kTypeMecard);
  EXPECT_EQ(r->Get(Field::shortName), u"王小明");
  EXPECT_EQ(r->Get(Field::namePart2), u"小明");
  EXPECT_EQ(ClassifyText("MECARD:N:\xCD\xF5;;", *r, 8), kTypeMecard);
  EXPECT_EQ(r->Get(Field::namePart1), u"王");
  EXPECT_EQ(r->RawText(), u"MECARD:N:王;;");
}

TEST(ClassifyText, ClearsWhatAnEarlierClassificationLeft) {
  auto r = std::make_unique<ScanResult>();
  ClassifyText("BEGIN:VCARD\r\nN:Doe;John\r\nTEL;CELL:0955667788\r\nNOTE:x\r\nEND:VCARD", *r, 32);
  EXPECT_EQ(r->contentType, kTypeVcard);
  EXPECT_EQ(r->Get(Field::mobiles), u"0955667788");
  EXPECT_EQ(ClassifyText("TEL:123", *r, 32), kTypePhone);
  EXPECT_EQ(NonEmptyFields(*r), (Fields{{Field::keyword, u"TEL"}, {Field::phones, u"123"}}));
  EXPECT_EQ(r->RawText(), u"TEL:123");
}

TEST(ClassifyWideText, ParsesUtf16AndSettlesOpenTypes) {
  ParsePool pool;
  auto r = std::make_unique<ScanResult>();
  EXPECT_EQ(ClassifyWideText(u"MECARD:N:王,小明;TEL:0955667788;;", *r, pool), kTypeMecard);
  EXPECT_EQ(r->Get(Field::shortName), u"王小明");
  EXPECT_EQ(r->RawText(), u"MECARD:N:王,小明;TEL:0955667788;;");
  EXPECT_EQ(ClassifyWideText(u"wtai://wp/sd;0955667788", *r, pool), kTypePlainText);
  EXPECT_EQ(r->DisplayText(), u"wtai://wp/sd;0955667788");
  // An unpaired surrogate does not stop the text.
  const char16_t broken[] = {u'H', 0xD800, u'i', 0};
  EXPECT_EQ(ClassifyWideText(broken, *r, pool), kTypePlainText);
  EXPECT_EQ(r->RawText(), u"H\uFFFDi");
}

TEST(ClassifyStoredText, ClassifiesAsAScanWould) {
  ParsePool pool;
  auto r = std::make_unique<ScanResult>();
  EXPECT_EQ(ClassifyStoredText("NAME:Anna;TEL:0955667788", *r, pool), kTypeSimpleContact);
  EXPECT_EQ(ClassifyStoredText("53;1234567890123", *r, pool), kTypePlainText);
  EXPECT_EQ(r->DisplayText(), u"53;1234567890123");
  EXPECT_EQ(ClassifyStoredText("http://example.com", *r, pool), kTypeWebAddress);
  EXPECT_EQ(r->Get(Field::webAddress), u"http://example.com");
}

// ---- the older Cordavex code generation ----

struct FunctionCase {
  int32_t function;
  const char* text;
  int32_t type;
  const char* raw;  // the display text, built in the raw text
  Fields fields;
};

TEST(ClassifyResult, OlderCordavexCodeFunctions) {
  const FunctionCase cases[] = {
      {1, "0955667788", kTypePhone, "TEL:0955667788", {{Field::phones, u"0955667788"}}},
      {2, "example.com", kTypeWebAddress, "http://example.com",
       {{Field::webAddress, u"http://example.com"}}},
      {2, "HTTP://Example.com/A", kTypeWebAddress, "HTTP://Example.com/A",
       {{Field::webAddress, u"HTTP://Example.com/A"}}},
      {2, "http:", kTypeWebAddress, "http://http:", {{Field::webAddress, u"http://http:"}}},
      {5, "example.com", kTypeSecureWebAddress, "https://example.com",
       {{Field::webAddress, u"https://example.com"}}},
      {5, "hTTps://x.org", kTypeSecureWebAddress, "hTTps://x.org",
       {{Field::webAddress, u"hTTps://x.org"}}},
      {8, "anna", kTypeSkypeCall, "callto://anna", {{Field::webAddress, u"callto://anna"}}},
      {3, "0955667788/see you", kTypeTextMessage, "SMSTO:0955667788:see you",
       {{Field::recipient, u"0955667788"}, {Field::body, u"see you"}}},
      {3, "0955667788", kTypeTextMessage, "SMSTO:0955667788", {{Field::recipient, u"0955667788"}}},
      {19, "anna@example.com", kTypeEmail, "anna@example.com",
       {{Field::emails, u"anna@example.com"}, {Field::recipient, u"anna@example.com"}}},
      {12, "12345", kTypePlainText, "12345", {}},
  };
  for (const FunctionCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.function) + " " + c.text);
    auto b = std::make_unique<Buffers>();
    Buffers::Put(b->text, c.text);
    const auto r = Classify(b->Input(c.function, kLockCordavex2));
    EXPECT_EQ(r->contentType, c.type);
    EXPECT_EQ(r->RawText(), Wide(c.raw));
    EXPECT_EQ(r->DisplayText(), Wide(c.raw));
    EXPECT_EQ(NonEmptyFields(*r), c.fields);
  }
}

TEST(ClassifyResult, OlderCordavexSimpleContact) {
  auto b = std::make_unique<Buffers>();
  Buffers::Put(b->text, "\xE7\x8E\x8B\xE5\xB0\x8F\xE6\x98\x8E");  // 王小明, UTF-8
  auto r = Classify(b->Input(10, kLockCordavex2));
  EXPECT_EQ(r->contentType, kTypeSimpleContact);
  EXPECT_EQ(r->Get(Field::shortName), u"王小明");
  EXPECT_EQ(r->DisplayText(), u"NAME:王小明;TEL: ");  // no phone: one space
  Buffers::Put(b->second, "0955667788");
  r = Classify(b->Input(10, kLockCordavex2));
  EXPECT_EQ(r->DisplayText(), u"NAME:王小明;TEL:0955667788");
  EXPECT_EQ(r->Get(Field::phones), u"0955667788");
}

struct CardCase {
  const char* prefix;   // fourth string
  const char* address;  // fifth string
  std::u16string postalCode;
  std::u16string city;
  std::u16string street;
};

TEST(ClassifyResult, OlderCordavexBusinessCardAddress) {
  const CardCase cases[] = {
      // 100 is in the table: its city and district.
      {"\xE5\xBF\xA0\xE5\xAD\x9D\xE8\xA5\xBF\xE8\xB7\xAF", "100#1S3R4L5H6E7F", u"100", u"臺北市中正區",
       u"忠孝西路1段3巷4弄5號6之7樓"},
      {"", "605#12HB", u"605", u"嘉義縣阿里山鄉", u"12號地下"},
      {"", "209#8M", u"209", u"連江縣南竿鄉", u"8室"},
      // 101 is not: the code stays, the city is empty.
      {"", "101#5H", u"101", u"", u"5號"},
      // Below 100 is not looked up.
      {"", "099#5H", u"099", u"", u"5號"},
      // No code: the whole address is expanded.
      {"", "5H2F", u"", u"", u"5號2樓"},
  };
  for (const CardCase& c : cases) {
    SCOPED_TRACE(c.address);
    auto b = std::make_unique<Buffers>();
    Buffers::Put(b->text, "Anna");
    Buffers::Put(b->second, "0955667788");
    Buffers::Put(b->further0, "anna@example.com");
    Buffers::Put(b->further1, c.prefix);
    Buffers::Put(b->further2, c.address);
    const auto r = Classify(b->Input(11, kLockCordavex2));
    EXPECT_EQ(r->contentType, kTypeContactCard);
    EXPECT_EQ(r->Get(Field::shortName), u"Anna");
    EXPECT_EQ(r->Get(Field::phones), u"0955667788");
    EXPECT_EQ(r->Get(Field::emails), u"anna@example.com");
    EXPECT_EQ(r->Get(Field::postalCode), c.postalCode);
    EXPECT_EQ(r->Get(Field::city), c.city);
    EXPECT_EQ(r->Get(Field::street), c.street);
    const auto shown = [](const std::u16string& v) { return v.empty() ? std::u16string(u" ") : v; };
    EXPECT_EQ(r->DisplayText(), u"NAME:Anna;TEL:0955667788;EMAIL:anna@example.com;ZIP:" +
                                    shown(c.postalCode) + u";CITY:" + shown(c.city) + u";ADR:" +
                                    shown(c.street));
  }
}

TEST(ClassifyResult, OlderCordavexCardReadsBackFromItsDisplayText) {
  // The display text is the own address-book form: stored in the history and
  // classified again, it is the same card.
  auto b = std::make_unique<Buffers>();
  Buffers::Put(b->text, "Anna");
  Buffers::Put(b->second, "0955667788");
  Buffers::Put(b->further0, "anna@example.com");
  Buffers::Put(b->further2, "100#5H");
  const auto card = Classify(b->Input(11, kLockCordavex2));
  std::string stored;
  for (char16_t u : card->RawText()) {
    char8_t utf8[4];
    int n = 0;
    if (u < 0x80) {
      utf8[n++] = static_cast<char8_t>(u);
    } else {
      utf8[n++] = static_cast<char8_t>(0xE0 | (u >> 12));
      utf8[n++] = static_cast<char8_t>(0x80 | ((u >> 6) & 0x3F));
      utf8[n++] = static_cast<char8_t>(0x80 | (u & 0x3F));
    }
    stored.append(reinterpret_cast<const char*>(utf8), static_cast<size_t>(n));
  }
  ParsePool pool;
  auto again = std::make_unique<ScanResult>();
  EXPECT_EQ(ClassifyStoredText(stored, *again, pool), kTypeContactCard);
  for (Field f : {Field::shortName, Field::phones, Field::emails, Field::postalCode, Field::city,
                  Field::street}) {
    EXPECT_EQ(again->Get(f), card->Get(f)) << FieldName(f);
  }
}

// ---- results recognised before parsing ----

TEST(ClassifyResult, SplitDataPart) {
  // A QR code with a structured-append header: the decoder's record in the
  // second string makes the content kind 27.
  auto b = std::make_unique<Buffers>();
  const uint8_t part[] = {'G', 'I', 'F', 0, 0xFF, 'x'};
  std::memcpy(b->text, part, sizeof part);
  Buffers::Put(b->second, "90:64:1:2:6");
  for (auto [kind, lock] : {std::pair{27, int32_t{kLockQr}}, std::pair{3, int32_t{kLockCordavex3}}}) {
    const auto r = Classify(b->Input(kind, lock));
    EXPECT_EQ(r->contentType, kTypeSplitPart) << kind;
    EXPECT_EQ(r->Get(Field::phones), u"90:64:1:2:6");
    const std::u16string bytes(r->rawText(), r->rawText() + sizeof part);
    EXPECT_EQ(bytes, (std::u16string{u'G', u'I', u'F', 0, 0xFF, u'x'}));
  }
}

TEST(ClassifyResult, QrEncryptedContentKeepsSideInformationInTheKeyArea) {
  // "PE:", the check byte 0x5A, then five enciphered bytes (one of them zero).
  const std::string text = std::string("PE:\x5A") + std::string("\x01\x00\x80\xFEq", 5);
  const auto r = ClassifyAsQr(text);
  EXPECT_EQ(r->contentType, kTypeEncrypted);
  const char16_t* key = r->keyArea();
  EXPECT_EQ(key[2], 0x5A);  // check byte
  EXPECT_EQ(key[3], 1);     // one length digit
  EXPECT_EQ(key[4], 5);     // five bytes
  EXPECT_EQ(key[ScanResult::kKeyAreaUnits - 1], 255);  // marker of QR-enciphered content
  const std::u16string payload(r->rawText(), r->rawText() + 5);
  EXPECT_EQ(payload, (std::u16string{1, 0, 0x80, 0xFE, u'q'}));
  EXPECT_EQ(NonEmptyFields(*r), Fields{});
}

TEST(ClassifyResult, CurrentCordavexBinaryData) {
  auto b = std::make_unique<Buffers>();
  const uint8_t bytes[] = {'A', 0, 'B', 0xC8, 'Z', 'z', 'z'};
  std::memcpy(b->text, bytes, sizeof bytes);
  Buffers::Put(b->second, "5");
  auto r = Classify(b->Input(2, kLockCordavex3));
  EXPECT_EQ(r->contentType, kTypeRawData);
  EXPECT_EQ(r->Get(Field::phones), u"5");
  EXPECT_EQ(std::u16string(r->rawText(), r->rawText() + 6), (std::u16string{u'A', 0, u'B', 0xC8, u'Z', 0}));
  EXPECT_EQ(r->displayText, ScanResult::kRawTextStart);

  // "D:" side information: enciphered content with the Cordavex code's marker.
  std::memset(b->second, 0, sizeof b->second);
  const uint8_t side[] = {'d', ':', 0x33, 1, 7, 1, 0};
  std::memcpy(b->second, side, sizeof side);
  r = Classify(b->Input(2, kLockCordavex3));
  EXPECT_EQ(r->contentType, kTypeEncrypted);
  EXPECT_EQ(r->keyArea()[2], 0x33);
  EXPECT_EQ(r->keyArea()[4], 7);
  EXPECT_EQ(r->keyArea()[ScanResult::kKeyAreaUnits - 1], 254);
}

TEST(ClassifyResult, CurrentCordavexTextIsUtf16) {
  auto b = std::make_unique<Buffers>();
  const std::u16string text = u"MECARD:N:王;TEL:0955667788;;";
  for (size_t i = 0; i < text.size(); ++i) {
    b->text[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
    b->text[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
  }
  const auto r = Classify(b->Input(1, kLockCordavex3));
  EXPECT_EQ(r->contentType, kTypeMecard);
  EXPECT_EQ(r->Get(Field::shortName), u"王");
  EXPECT_EQ(r->RawText(), text);
}

TEST(ClassifyResult, ResultWithoutDisplay) {
  auto b = std::make_unique<Buffers>();
  Buffers::Put(b->text, "\xE7\x8E\x8B ok");
  const auto r = Classify(b->Input(63, kLockDataMatrix));
  EXPECT_EQ(r->contentType, kTypeNoDisplay);
  EXPECT_EQ(r->DisplayText(), u"王 ok");
}

// ---- the record ----

TEST(ClassifyResult, CopiedRecordReadsTheSame) {
  const auto original =
      ClassifyAsQr("BEGIN:VCARD\r\nN:Doe;John\r\nTEL;CELL:0955667788\r\nTEL;WORK;FAX:022233\r\n"
                   "GEO:25.03;121.56\r\nEND:VCARD");
  ASSERT_EQ(original->contentType, kTypeVcard);
  const Fields before = NonEmptyFields(*original);
  const std::u16string display(original->DisplayText());
  auto copy = std::make_unique<ScanResult>();
  std::memcpy(static_cast<void*>(copy.get()), original.get(), sizeof(ScanResult));
  // The original is gone: nothing in the copy may lead back to it.
  std::memset(static_cast<void*>(original.get()), 0x5A, sizeof(ScanResult));
  EXPECT_EQ(NonEmptyFields(*copy), before);
  EXPECT_EQ(copy->DisplayText(), display);
  EXPECT_EQ(copy->Get(Field::companyFaxes), u"022233");
  EXPECT_EQ(copy->Get(Field::latitude), u"121.56");
  EXPECT_EQ(before.size(), 8u);  // keyword, short name, name parts, mobiles, faxes, GEO
}

// ---- hostile buffers ----

TEST(ClassifyResult, HostileBuffersStayInBounds) {
  // No terminating zero anywhere in the text buffer.
  auto b = std::make_unique<Buffers>();
  std::memset(b->text, 'A', sizeof b->text);
  std::memset(b->second, '7', sizeof b->second);
  std::memset(b->further0, 'e', sizeof b->further0);
  std::memset(b->further1, 'p', sizeof b->further1);
  std::memset(b->further2, 'B', sizeof b->further2);
  for (auto [kind, lock] : std::vector<std::pair<int32_t, int32_t>>{
           {0, kLockQr}, {1, kLockCordavex3}, {2, kLockCordavex3}, {11, kLockCordavex2},
           {10, kLockCordavex2}, {63, kLockQr}}) {
    SCOPED_TRACE(std::to_string(kind) + "/" + std::to_string(lock));
    const auto r = Classify(b->Input(kind, lock));
    EXPECT_LT(r->RawText().size(), static_cast<size_t>(ScanResult::kRawTextUnits));
    for (int i = 0; i < kFieldCount; ++i) EXPECT_LT(r->fields[i], ScanResult::kTextUnits);
  }
  // Null buffers: plain, empty text.
  ClassifyInput empty;
  empty.summary.contentKind = 16;
  const auto r = Classify(empty);
  EXPECT_EQ(r->contentType, kTypePlainText);
  EXPECT_EQ(r->RawText(), u"");
  EXPECT_EQ(r->fields[0], ScanResult::kEmptyString);
}

TEST(ClassifyResult, ValuesBeyondTheStringPoolAreDroppedWhole) {
  // Ten 100-character notes: the pool (736 units for fields) holds the keyword
  // and name (15 units) and seven notes of 101; the eighth to tenth are dropped
  // whole, the phone still fits, and the key area stays clear.
  std::string text = "MECARD:N:Doe;";
  for (char c = 'a'; c < 'k'; ++c) text += "NOTE:" + std::string(100, c) + ";";
  text += "TEL:0955667788;;";
  const auto r = ClassifyAsQr(text);
  EXPECT_EQ(r->contentType, kTypeMecard);
  EXPECT_EQ(r->Get(Field::note), std::u16string(100, u'g'));
  EXPECT_EQ(r->Get(Field::phones), u"0955667788");
  for (int i = 0; i < ScanResult::kKeyAreaUnits; ++i) EXPECT_EQ(r->keyArea()[i], 0) << i;
}

}  // namespace
}  // namespace cordavex
