#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "content/parser.h"
#include "content/record_fill.h"

namespace cordavex {
namespace {

struct Filled {
  std::unique_ptr<ScanResult> record = std::make_unique<ScanResult>();
  uint16_t poolFill = 0;
  std::u16string Get(Field f) const { return std::u16string(record->Get(f)); }
};

// Parses and fills a fresh record; `type` is the type code classification
// has decided before the walk.
Filled Fill(std::string_view text, uint32_t charset = 2, int32_t type = 0) {
  Filled out;
  out.record->Clear();
  out.record->contentType = type;
  auto pool = std::make_unique<ParsePool>();
  const ContentObject* objects = nullptr;
  EXPECT_EQ(ParseContent(text, *pool, &objects), 1) << text;
  for (size_t i = 0; i < text.size() && i < ScanResult::kRawTextUnits - 1; ++i) {
    out.record->rawText()[i] = static_cast<unsigned char>(text[i]);
  }
  ContentFill fill{out.record.get(), charset, 0};
  FillContentRecord(objects, fill, *pool);
  out.poolFill = fill.poolFill;
  return out;
}

// Every non-empty field as "name=value", in record order.
std::vector<std::string> NonEmpty(const Filled& f) {
  std::vector<std::string> out;
  for (int i = 0; i < kFieldCount; ++i) {
    std::u16string_view v = f.record->Get(static_cast<Field>(i));
    if (v.empty()) continue;
    std::string s(FieldName(static_cast<Field>(i)));
    s += '=';
    for (char16_t c : v) s += c < 0x80 ? static_cast<char>(c) : '?';
    out.push_back(s);
  }
  return out;
}

using Fields = std::vector<std::string>;

TEST(RecordFill, VCardNamesMobilesAndCompanyFaxes) {
  Filled f = Fill("BEGIN:VCARD\r\nN:Doe;John\r\nTEL;CELL:0955667788\r\nTEL;WORK;FAX:022233\r\nEND:VCARD");
  EXPECT_EQ(NonEmpty(f), (Fields{"keyword=VCARD", "shortName=DoeJohn", "mobiles=0955667788",
                                 "namePart1=Doe", "namePart2=John", "companyFaxes=022233"}));
}

TEST(RecordFill, QuotedPrintableThenCharacterSet) {
  Filled utf8 = Fill("BEGIN:VCARD\r\nNOTE;ENCODING=QUOTED-PRINTABLE:caf=C3=A9\r\nEND:VCARD", 2);
  EXPECT_EQ(utf8.Get(Field::note), u"caf\u00E9");
  Filled bare = Fill("BEGIN:VCARD\r\nNOTE;QUOTED-PRINTABLE:a=\r\nb\r\nEND:VCARD", 2);
  EXPECT_EQ(bare.Get(Field::note), u"ab");
  Filled base64 = Fill("BEGIN:VCARD\r\nNOTE;ENCODING=BASE64:Y2Fmw6k=\r\nEND:VCARD", 2);
  EXPECT_EQ(base64.Get(Field::note), u"caf\u00E9");
  // A malformed escape leaves the value as written.
  Filled bad = Fill("BEGIN:VCARD\r\nNOTE;ENCODING=QUOTED-PRINTABLE:a=ZZ\r\nEND:VCARD", 2);
  EXPECT_EQ(bad.Get(Field::note), u"a=ZZ");
}

TEST(RecordFill, GeoSplitsAtSemicolon) {
  Filled f = Fill("BEGIN:VCARD\r\nGEO:25.03;121.56\r\nEND:VCARD");
  EXPECT_EQ(f.Get(Field::longitude), u"25.03");
  EXPECT_EQ(f.Get(Field::latitude), u"121.56");
}

TEST(RecordFill, TelephoneTypes) {
  struct Case {
    const char* line;
    Fields fields;
  };
  const Case cases[] = {
      {"TEL:1", {"phones=1"}},
      {"TEL;HOME:1", {"phones=1"}},
      {"TEL;WORK:1", {"companyPhones=1"}},
      {"TEL;HOME;WORK:1", {"phones=1", "companyPhones=1"}},
      {"TEL;HOME;FAX:1", {"faxes=1"}},
      {"TEL;FAX:1", {"faxes=1"}},
      {"TEL;WORK;FAX:1", {"companyFaxes=1"}},
      {"TEL;HOME;WORK;FAX:1", {"faxes=1", "companyFaxes=1"}},
      {"TEL;TYPE=WORK,FAX:1", {"companyFaxes=1"}},
      {"TEL;CELL:1", {"mobiles=1"}},
      {"TEL;CELL;WORK:1", {"mobiles=1"}},
      {"TEL;VOICE:1", {"phones=1"}},
      {"TEL;HOME;PREF:1", {"phones=1"}},
      {"TEL;PREF;WORK:1", {"phones=1", "companyPhones=1"}},
  };
  for (const Case& c : cases) {
    Filled f = Fill("BEGIN:VCARD\r\n" + std::string(c.line) + "\r\nEND:VCARD");
    Fields want = {"keyword=VCARD"};
    want.insert(want.end(), c.fields.begin(), c.fields.end());
    EXPECT_EQ(NonEmpty(f), want) << c.line;
  }
  // The first cell phone stays; a later typed-other number finds phones taken.
  Filled f = Fill("BEGIN:VCARD\r\nTEL;CELL:1\r\nTEL;CELL:2\r\nTEL;VOICE:3\r\nTEL;VOICE:4\r\nEND:VCARD");
  EXPECT_EQ(f.Get(Field::mobiles), u"1");
  EXPECT_EQ(f.Get(Field::phones), u"3");
}

TEST(RecordFill, EmailAddressAndOrganisation) {
  Filled f = Fill(
      "BEGIN:VCARD\r\nEMAIL;INTERNET:a@b.c\r\nEMAIL;IM:im1\r\nEMAIL;IM:im2\r\n"
      "ADR;HOME:;Apt 5;Main St;Old Town;Taipei;100;Taiwan\r\n"
      "ADR;WORK:;Fl 9;Work Rd;Park;Hsinchu;300;TW\r\nORG:Acme;Sales\r\n"
      "LABEL:first\r\nLABEL:second\r\nFN:John Doe\r\nEND:VCARD");
  EXPECT_EQ(NonEmpty(f),
            (Fields{"keyword=VCARD", "fullName=John Doe", "emails=im2", "street=Main St",
                    "city=Taipei", "postalCode=100", "country=Taiwan", "extendedAddress=Old Town",
                    "officeLocation=Apt 5", "label=first", "department=Sales", "company=Acme",
                    "imAddress=im1", "companyCountry=TW", "companyExtendedAddress=Park",
                    "companyOfficeLocation=Fl 9", "companyPostalCode=300",
                    "companyCity=Hsinchu", "companyStreet=Work Rd"}));
}

TEST(RecordFill, OtherForms) {
  struct Case {
    const char* text;
    Fields fields;
  };
  const Case cases[] = {
      {"MECARD:N:Doe,John;TEL:0955667788;;",
       {"keyword=MECARD", "shortName=DoeJohn", "phones=0955667788", "namePart1=Doe",
        "namePart2=John"}},
      {"MEBKM:TITLE:News;URL:http://news.example;;",
       {"keyword=WEBKM", "webAddress=http://news.example", "title=News"}},
      {"NAME:Anna;TEL:0955667788;EMAIL:x",
       {"keyword=CV3ADDRESSBOOK", "shortName=Anna", "phones=0955667788", "emails=x"}},
      {"BIZCARD:N:John;X:Doe;T:Boss;C:Acme;A:Road 1;B:02;M:09;F:03;E:a@b;;",
       {"keyword=BIZCARD", "mobiles=09", "emails=a@b", "title=Boss", "namePart1=Doe",
        "namePart2=John", "company=Acme", "companyPhones=02", "companyFaxes=03",
        "companyStreet=Road 1"}},
      {"04;2example.com",
       {"keyword=ORANGE", "webAddress=http://www.example.com"}},
      {"03;0955667788", {"keyword=ORANGE", "recipient=0955667788"}},
      {"MEMORY:memo\r\nNAME1:Anna\r\nNAME2:Bo\r\nTEL1:1\r\nTEL2:2\r\nMAIL1:m\r\n",
       {"keyword=MEMORY", "shortName=Anna", "phones=1", "emails=m", "note=memo",
        "extraPhone1=1", "extraPhone2=2", "extraEmail1=m", "displayName=Anna", "secondName=Bo"}},
      {"SMSTO:0955667788:Hi", {"keyword=SMS", "recipient=0955667788", "body=Hi"}},
      {"CARD:AD;TAG:12345678901234;DG:Buy;CVSID:77;LOCATION:Hall;;",
       {"keyword=QBCODE", "advertBuyBody=Buy", "advertBuyNumber=77", "eventLocation=Hall",
        "tagId=12345678901234"}},
  };
  for (const Case& c : cases) EXPECT_EQ(NonEmpty(Fill(c.text)), c.fields) << c.text;

  EXPECT_EQ(Fill("511;12345678901234").record->number, 1u);
}

TEST(RecordFill, WebAddressOfTypeOneIsTheWholeText) {
  Filled f = Fill("http://example.com/x", 2, 1);
  EXPECT_EQ(f.record->fields[static_cast<int>(Field::webAddress)], ScanResult::kRawTextStart);
  EXPECT_EQ(f.Get(Field::webAddress), u"http://example.com/x");
}

TEST(RecordFill, ValuesThatDoNotFitAreDropped) {
  std::string note(700, 'n');
  Filled f = Fill("BEGIN:VCARD\r\nNOTE:" + note + "\r\nFN:" + std::string(40, 'f') +
                  "\r\nTEL:123\r\nEND:VCARD");
  EXPECT_EQ(f.Get(Field::note).size(), 700u);
  EXPECT_TRUE(f.Get(Field::fullName).empty());  // 41 units no longer fit in 736
  EXPECT_EQ(f.Get(Field::phones), u"123");      // a shorter later value still does
  EXPECT_LE(f.poolFill, kFieldPoolUnits);
  for (int i = ScanResult::kKeyAreaStart; i < ScanResult::kTextUnits; ++i) {
    EXPECT_EQ(f.record->text[i], 0) << i;
  }
}

TEST(RecordFill, PoolAppend) {
  auto record = std::make_unique<ScanResult>();
  record->Clear();
  uint16_t fill = 0;
  EXPECT_EQ(PoolAppend(*record, fill, u"ab"), ScanResult::kPoolStart);
  EXPECT_EQ(fill, 3);
  EXPECT_EQ(PoolAppend(*record, fill, u"c"), ScanResult::kPoolStart + 3);
  EXPECT_EQ(record->StringAt(ScanResult::kPoolStart + 3), u"c");
  EXPECT_EQ(PoolAppend(*record, fill, u""), ScanResult::kEmptyString);
  std::u16string big(static_cast<size_t>(kFieldPoolUnits - fill - 1), u'x');
  EXPECT_EQ(PoolAppend(*record, fill, big + u"x"), ScanResult::kEmptyString);
  EXPECT_EQ(PoolAppend(*record, fill, big), ScanResult::kPoolStart + 5);
  EXPECT_EQ(fill, kFieldPoolUnits);
}

}  // namespace
}  // namespace cordavex
