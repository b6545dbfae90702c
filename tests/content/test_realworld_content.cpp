// Content as today's QR generators and phones write it: each public form
// (RFC 6068 mailto, RFC 5724 sms/mms, RFC 3966 tel, RFC 5545 iCalendar and
// vCalendar, vCard 2.1/3.0/4.0, MECARD, BIZCARD, MEBKM) with the content type
// and every field it fills; character sets chosen value by value; and the
// string pool's rule for each new form.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "content/classify.h"
#include "content/content_types.h"
#include "decode/charset.h"
#include "support/content_fields.h"

namespace cordavex {
namespace {

using test::Fields;
using test::NonEmptyFields;
using test::ScopedUiLanguage;

// ClassifyText with a guessed set, then the open types settled as a QR code's
// text would be (ClassifyStoredText).
std::unique_ptr<ScanResult> Classify(std::string_view text, uint32_t charset = kCharsetGuess) {
  auto record = std::make_unique<ScanResult>();
  auto pool = std::make_unique<ParsePool>();
  ClassifyText(text, *record, charset, *pool);
  return record;
}

struct RealWorldCase {
  const char* text;
  int32_t type;
  Fields fields;  // exactly the non-empty fields
};

TEST(RealWorldContent, EachFormFillsItsTypeAndFields) {
  const ScopedUiLanguage language("0404");
  using F = Field;
  const RealWorldCase cases[] = {
      // ---- MECARD: keys beyond the old list, free-form address, one closing ";" ----
      {"MECARD:N:Doe,John;ORG:Acme, Inc.;TITLE:CTO;TEL:+15551234567;EMAIL:john@example.com;"
       "ADR:123 Main St, Springfield, IL 62701;URL:https://example.com;NOTE:Met at expo;;",
       kTypeMecard,
       {{F::keyword, u"MECARD"}, {F::shortName, u"DoeJohn"}, {F::namePart1, u"Doe"},
        {F::namePart2, u"John"}, {F::company, u"Acme, Inc."}, {F::title, u"CTO"},
        {F::phones, u"+15551234567"}, {F::emails, u"john@example.com"},
        {F::street, u"123 Main St, Springfield, IL 62701"}, {F::webAddress, u"https://example.com"},
        {F::note, u"Met at expo"}}},
      {"MECARD:N:Lee,Anna;NICKNAME:Annie;GEO:25.0330,121.5654;X-SOCIAL:@anna;TEL:0955667788;",
       kTypeMecard,
       {{F::keyword, u"MECARD"}, {F::shortName, u"LeeAnna"}, {F::namePart1, u"Lee"},
        {F::namePart2, u"Anna"}, {F::nickname, u"Annie"}, {F::longitude, u"25.0330"},
        {F::latitude, u"121.5654"}, {F::phones, u"0955667788"}}},
      {"MECARD:N:Doe;ADR:76 9th Ave;;\r\n",
       kTypeMecard,
       {{F::keyword, u"MECARD"}, {F::shortName, u"Doe"}, {F::namePart1, u"Doe"},
        {F::street, u"76 9th Ave"}}},
      // The positional form (post-office box first) keeps its parts.
      {"MECARD:N:Doe;ADR:,,1 Main St,Taipei,,110,Taiwan;;",
       kTypeMecard,
       {{F::keyword, u"MECARD"}, {F::shortName, u"Doe"}, {F::namePart1, u"Doe"},
        {F::street, u"1 Main St"}, {F::extendedAddress, u"Taipei"}, {F::postalCode, u"110"},
        {F::country, u"Taiwan"}}},
      // ---- BIZCARD and MEBKM ----
      {"BIZCARD:N:John;X:Doe;T:CTO;C:Acme;A:1 Main St;B:+15551230000;E:j@acme.example;P:x;",
       kTypeBusinessCard,
       {{F::keyword, u"BIZCARD"}, {F::namePart2, u"John"}, {F::namePart1, u"Doe"},
        {F::title, u"CTO"}, {F::company, u"Acme"}, {F::companyStreet, u"1 Main St"},
        {F::companyPhones, u"+15551230000"}, {F::emails, u"j@acme.example"}}},
      {"MEBKM:TITLE:Example;URL:https://example.com;",
       kTypeBookmark,
       {{F::keyword, u"WEBKM"}, {F::title, u"Example"}, {F::webAddress, u"https://example.com"}}},
      // ---- vCard 3.0 and 4.0 ----
      {"BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;John;;;\r\nFN:John Doe\r\nORG:Acme\r\n"
       "ADR;HOME:123 Main St\r\nTEL;TYPE=CELL:+15551234567\r\nEND:VCARD\r\n\r\n",
       kTypeVcard,
       {{F::keyword, u"VCARD"}, {F::shortName, u"DoeJohn"}, {F::namePart1, u"Doe"},
        {F::namePart2, u"John"}, {F::fullName, u"John Doe"}, {F::company, u"Acme"},
        {F::street, u"123 Main St"}, {F::mobiles, u"+15551234567"}}},
      {"BEGIN:VCARD\nVERSION:4.0\nFN:Jane Roe\nN:Roe;Jane;;;\nEMAIL;TYPE=work:jane@example.com\n"
       "TEL;TYPE=cell:+1-555-555-5555\nADR;TYPE=work:;;100 Waters Edge;Baytown;LA;30314;USA\n"
       "X-SOCIALPROFILE;TYPE=twitter:https://twitter.com/x\nEND:VCARD\n",
       kTypeVcard,
       {{F::keyword, u"VCARD"}, {F::fullName, u"Jane Roe"}, {F::shortName, u"RoeJane"},
        {F::namePart1, u"Roe"}, {F::namePart2, u"Jane"}, {F::emails, u"jane@example.com"},
        {F::mobiles, u"+1-555-555-5555"}, {F::companyStreet, u"100 Waters Edge"},
        {F::companyExtendedAddress, u"Baytown"}, {F::companyCity, u"LA"},
        {F::companyPostalCode, u"30314"}, {F::companyCountry, u"USA"}}},
      {"BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;John\r\nADR;WORK:Suite 5, 1 Main St\r\nEND:VCARD",
       kTypeVcard,
       {{F::keyword, u"VCARD"}, {F::shortName, u"DoeJohn"}, {F::namePart1, u"Doe"},
        {F::namePart2, u"John"}, {F::companyStreet, u"Suite 5, 1 Main St"}}},
      // ---- e-mail ----
      {"mailto:jane@example.com?subject=Hello%20there&body=See%20you%20at%2010%3A30",
       kTypeVendorEmail,
       {{F::keyword, u"VFMAILTO"}, {F::emails, u"jane@example.com"},
        {F::recipient, u"jane@example.com"}, {F::subject, u"Hello there"},
        {F::body, u"See you at 10:30"}}},
      {"mailto:a@example.com?cc=b@example.com&to=c@example.com&subject=Hi",
       kTypeVendorEmail,
       {{F::keyword, u"VFMAILTO"}, {F::emails, u"a@example.com,c@example.com"},
        {F::recipient, u"a@example.com,c@example.com"}, {F::subject, u"Hi"}}},
      {"MAILTO:info@example.com",
       kTypeVendorEmail,
       {{F::keyword, u"VFMAILTO"}, {F::emails, u"info@example.com"},
        {F::recipient, u"info@example.com"}}},
      {"mailto:?to=x%40example.com&body=caf%C3%A9%0D%0Abye",
       kTypeVendorEmail,
       {{F::keyword, u"VFMAILTO"}, {F::emails, u"x@example.com"}, {F::recipient, u"x@example.com"},
        {F::body, u"caf\u00e9\r\nbye"}}},
      {"SMTP:info@example.com",
       kTypeEmail,
       {{F::keyword, u"SMTP"}, {F::emails, u"info@example.com"}, {F::recipient, u"info@example.com"}}},
      {"smtp:info@example.com:Order 42",
       kTypeEmail,
       {{F::keyword, u"SMTP"}, {F::emails, u"info@example.com"}, {F::recipient, u"info@example.com"},
        {F::subject, u"Order 42"}}},
      // ---- text and multimedia messages ----
      {"sms:+15105550101?body=hello%20there",
       kTypeTextMessage,
       {{F::keyword, u"SMS"}, {F::recipient, u"+15105550101"}, {F::body, u"hello there"}}},
      {"sms:+15105550101?body=Meet at 10:30",
       kTypeTextMessage,
       {{F::keyword, u"SMS"}, {F::recipient, u"+15105550101"}, {F::body, u"Meet at 10:30"}}},
      {"SMS:+15105550101;via=x,+15105550102?body=hi",
       kTypeTextMessage,
       {{F::keyword, u"SMS"}, {F::recipient, u"+15105550101,+15105550102"}, {F::body, u"hi"}}},
      {"mms:+15105550101?body=photo",
       kTypeMms,
       {{F::keyword, u"MMS"}, {F::recipient, u"+15105550101"}, {F::body, u"photo"}}},
      {"MMS:0955667788:see you",
       kTypeMms,
       {{F::keyword, u"MMS"}, {F::recipient, u"0955667788"}, {F::body, u"see you"}}},
      // ---- telephone numbers ----
      {"tel:+1-201-555-0123;ext=456", kTypePhone,
       {{F::keyword, u"TEL"}, {F::phones, u"+1-201-555-0123"}}},
      {"tel:(02)2345-6789", kTypePhone, {{F::keyword, u"TEL"}, {F::phones, u"(02)2345-6789"}}},
      {"TEL:+1.201.555.0123", kTypePhone, {{F::keyword, u"TEL"}, {F::phones, u"+1.201.555.0123"}}},
      {"tel:863-1234;phone-context=+1-914-555", kTypePhone,
       {{F::keyword, u"TEL"}, {F::phones, u"863-1234"}}},
      // ---- calendar entries ----
      {"BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Example//EN\r\nBEGIN:VTIMEZONE\r\n"
       "TZID:Europe/Berlin\r\nBEGIN:STANDARD\r\nDTSTART:19701025T030000\r\nEND:STANDARD\r\n"
       "END:VTIMEZONE\r\nBEGIN:VEVENT\r\nUID:1@example.com\r\n"
       "DTSTART;TZID=Europe/Berlin:20240115T090000\r\nDTEND;TZID=Europe/Berlin:20240115T100000\r\n"
       "SUMMARY:Team meeting\r\nLOCATION:Room 4\\, Floor 2\r\n"
       "DESCRIPTION:Agenda:\\n1. Budget\\n2. Plans on a line that is fo\r\n lded here\r\n"
       "BEGIN:VALARM\r\nTRIGGER:-PT15M\r\nDESCRIPTION:Reminder\r\nEND:VALARM\r\n"
       "END:VEVENT\r\nEND:VCALENDAR\r\n",
       kTypeCalendar,
       {{F::keyword, u"VCALENDAR"}, {F::eventSubject, u"Team meeting"},
        {F::eventLocation, u"Room 4, Floor 2"},
        {F::eventOther, u"Agenda:\n1. Budget\n2. Plans on a line that is folded here"},
        {F::eventStart, u"20240115T090000"}, {F::eventEnd, u"20240115T100000"}}},
      {"BEGIN:VEVENT\nSUMMARY:Launch\nDTSTART:20240301T170000Z\nDTEND:20240301T190000Z\n"
       "LOCATION:Main Hall\nURL:https://example.com/launch\nEND:VEVENT",
       kTypeCalendar,
       {{F::keyword, u"VCALENDAR"}, {F::eventSubject, u"Launch"}, {F::eventStart, u"20240301T170000Z"},
        {F::eventEnd, u"20240301T190000Z"}, {F::eventLocation, u"Main Hall"},
        {F::webAddress, u"https://example.com/launch"}}},
      {"BEGIN:VCALENDAR\r\nVERSION:1.0\r\nBEGIN:VEVENT\r\n"
       "SUMMARY;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Caf=C3=A9 meeting\r\n"
       "DTSTART:20240115T090000Z\r\nEND:VEVENT\r\nBEGIN:VEVENT\r\nSUMMARY:Second\r\nEND:VEVENT\r\n"
       "END:VCALENDAR",
       kTypeCalendar,
       {{F::keyword, u"VCALENDAR"}, {F::eventSubject, u"Caf\u00e9 meeting"},
        {F::eventStart, u"20240115T090000Z"}}},
      // ---- titled bookmarks whatever the title begins with ----
      {"2024 News\r\nhttp://news.example.com/2024", kTypeBookmark,
       {{F::keyword, u"VFBOOKMARK"}, {F::title, u"2024 News"},
        {F::webAddress, u"http://news.example.com/2024"}}},
      {"Tel Aviv guide\nhttps://example.com/tlv\n", kTypeBookmark,
       {{F::keyword, u"VFBOOKMARK"}, {F::title, u"Tel Aviv guide"},
        {F::webAddress, u"https://example.com/tlv"}}},
      // From a photo of the real-world set: a space and a line break after the address.
      {"UI office hours signup\r\nhttp://www.corp.google.com/sparrow/ui_office_hours/ \r\n",
       kTypeBookmark,
       {{F::keyword, u"VFBOOKMARK"}, {F::title, u"UI office hours signup"},
        {F::webAddress, u"http://www.corp.google.com/sparrow/ui_office_hours/"}}},
      // ---- valid UTF-8 with a four-byte sequence reads as UTF-8 ----
      {"BEGIN:VCARD\r\nN:Doe;John\r\nFN:John \xF0\x9F\x98\x80 Doe\r\nNOTE:\xE4\xB8\xAD\xE6\x96\x87\r\n"
       "END:VCARD",
       kTypeVcard,
       {{F::keyword, u"VCARD"}, {F::shortName, u"DoeJohn"}, {F::namePart1, u"Doe"},
        {F::namePart2, u"John"}, {F::fullName, u"John \U0001F600 Doe"}, {F::note, u"\u4e2d\u6587"}}},
  };
  for (const RealWorldCase& c : cases) {
    SCOPED_TRACE(c.text);
    const auto r = Classify(c.text);
    EXPECT_EQ(r->contentType, c.type);
    EXPECT_EQ(NonEmptyFields(*r), c.fields);
  }
}

// The raw text keeps a value's bytes, so that a new form's raw text is the
// symbol's text; a four-byte sequence there reads as UTF-8 too.
TEST(RealWorldContent, RawTextOfEmojiTextIsUtf8) {
  for (const char* language : {"0404", "0409", "0411"}) {
    const ScopedUiLanguage scoped(language);
    const auto r = Classify("Hi \xF0\x9F\x98\x80 \xE4\xB8\xAD");
    EXPECT_EQ(r->RawText(), u"Hi \U0001F600 \u4e2d") << language;
  }
}

// A feature phone's vCard 2.1 export: the name quoted-printable in the phone's
// own set. The guess over the whole text sees only ASCII; each value is
// guessed on its decoded bytes, and a CHARSET parameter decides outright.
TEST(RealWorldContent, QuotedPrintableNamesInEverySetAndUiLanguage) {
  struct Set {
    const char* name;  // CHARSET value
    const char* family;  // 王 quoted-printable
    const char* given;   // 小明
  };
  const Set sets[] = {
      {"BIG5", "=A4=FD", "=A4=70=A9=FA"},
      {"SHIFT_JIS", "=89=A4", "=8F=AC=96=BE"},
      {"UTF-8", "=E7=8E=8B", "=E5=B0=8F=E6=98=8E"},
  };
  for (const Set& set : sets) {
    for (const char* language : {"0404", "0409", "0411"}) {
      for (bool named : {false, true}) {
        const ScopedUiLanguage scoped(language);
        const std::string charset = named ? std::string(";CHARSET=") + set.name : "";
        const std::string text = "BEGIN:VCARD\r\nVERSION:2.1\r\nN" + charset +
                                 ";ENCODING=QUOTED-PRINTABLE:" + set.family + ";" + set.given +
                                 "\r\nTEL;CELL:0955667788\r\nEND:VCARD\r\n";
        SCOPED_TRACE(text + " under " + language);
        const auto r = Classify(text);
        EXPECT_EQ(r->contentType, kTypeVcard);
        EXPECT_EQ(r->Get(Field::namePart1), u"\u738b");
        EXPECT_EQ(r->Get(Field::namePart2), u"\u5c0f\u660e");
        EXPECT_EQ(r->Get(Field::shortName), u"\u738b\u5c0f\u660e");
        EXPECT_EQ(r->Get(Field::mobiles), u"0955667788");
      }
    }
  }
}

TEST(RealWorldContent, CharsetParameterDecidesWhereTheBytesCannot) {
  // "é" in UTF-8 (C3 A9) is also a GB2312 code: under UI language 0409 the
  // guess reads GB2312, and only the parameter can say otherwise.
  const ScopedUiLanguage scoped("0409");
  const char* const guessed = "BEGIN:VCARD\r\nFN;ENCODING=QUOTED-PRINTABLE:caf=C3=A9\r\nEND:VCARD";
  EXPECT_EQ(Classify(guessed)->Get(Field::fullName), u"caf\u8305");  // GB2312 0xC3A9
  const char* const named =
      "BEGIN:VCARD\r\nFN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:caf=C3=A9\r\nEND:VCARD";
  EXPECT_EQ(Classify(named)->Get(Field::fullName), u"caf\u00e9");
  // Percent escapes of a URI are UTF-8 by definition.
  EXPECT_EQ(Classify("mailto:a@b.example?subject=caf%C3%A9")->Get(Field::subject), u"caf\u00e9");
  // A set named by the decoder stands for values without a parameter; a raw
  // value keeps the whole text's guess where its own bytes fit it.
  const std::string big5 = "BEGIN:VCARD\r\nFN:\xA4\xFD\r\nNOTE;CHARSET=UTF-8:\xE7\x8E\x8B\r\nEND:VCARD";
  const auto r = Classify(big5, kCharsetBig5);
  EXPECT_EQ(r->Get(Field::fullName), u"\u738b");
  EXPECT_EQ(r->Get(Field::note), u"\u738b");
}

// The string pool holds 736 units of field values: a value that does not fit
// is dropped whole, and the values after it still land.
TEST(RealWorldContent, OversizeValueOfEachNewFormIsDroppedWhole) {
  const std::string big(740, 'x');
  struct Case {
    std::string text;
    int32_t type;
    Field dropped;
    Field kept;
    const char16_t* keptValue;
  };
  const Case cases[] = {
      {"mailto:a@b.example?body=" + big + "&subject=Hi", kTypeVendorEmail, Field::body,
       Field::subject, u"Hi"},
      {"sms:+15105550101?body=" + big, kTypeTextMessage, Field::body, Field::recipient,
       u"+15105550101"},
      {"BEGIN:VEVENT\r\nDESCRIPTION:" + big + "\r\nSUMMARY:Launch\r\nEND:VEVENT", kTypeCalendar,
       Field::eventOther, Field::eventSubject, u"Launch"},
      {"MECARD:ORG:" + big + ";N:Doe;", kTypeMecard, Field::company, Field::namePart1, u"Doe"},
      {"BEGIN:VCARD\r\nADR;HOME:" + big + "\r\nN:Doe\r\nEND:VCARD", kTypeVcard, Field::street,
       Field::namePart1, u"Doe"},
      {"2024 " + big + "\nhttp://a.example", kTypeBookmark, Field::title, Field::webAddress,
       u"http://a.example"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 40));
    const auto r = Classify(c.text);
    EXPECT_EQ(r->contentType, c.type);
    EXPECT_TRUE(r->Get(c.dropped).empty());
    EXPECT_EQ(r->Get(c.kept), c.keptValue);
    for (int i = 0; i < ScanResult::kKeyAreaUnits; ++i) ASSERT_EQ(r->keyArea()[i], 0) << i;
  }
}

}  // namespace
}  // namespace cordavex
