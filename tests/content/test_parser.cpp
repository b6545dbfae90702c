#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "content/content_parser.h"
#include "content/parser.h"
#include "content/record_fill.h"

namespace cordavex {
namespace {

// "NAME | kind=value | kind=value ..." for one parse, or "REJECTED".
std::string Describe(std::string_view text) {
  auto pool = std::make_unique<ParsePool>();
  const ContentObject* objects = nullptr;
  if (ParseContent(text, *pool, &objects) != 1) return "REJECTED";
  std::string out;
  for (const ContentObject* o = objects; o != nullptr; o = o->next) {
    out += std::string(o->Name());
    for (const ContentItem* i = o->items->next; i != nullptr; i = i->next) {
      out += " | " + std::string(PropKindName(i->kind)) + "=" + std::string(i->value.View());
    }
  }
  return out;
}

std::vector<int> Tokens(std::string_view text) {
  auto pool = std::make_unique<ParsePool>();
  std::vector<int> codes(64);
  int n = ScanTokens(text, *pool, codes);
  codes.resize(static_cast<size_t>(std::min(n, 64)));
  return codes;
}

TEST(ContentScanner, KeywordsInAnyCaseGiveTheSameTokens) {
  EXPECT_EQ(Tokens("tel:0955667788"), Tokens("TEL:0955667788"));
  EXPECT_EQ(Tokens("tel:0955667788"),
            (std::vector<int>{K_TEL, P_COLON, D_0, D_9, D_5, D_5, D_6, D_6, D_7, D_7, D_8, D_8}));
  EXPECT_EQ(Tokens("mEcArD"), std::vector<int>{K_MECARD});
}

TEST(ContentScanner, LongestMatchAndSpecialTokens) {
  struct Case {
    const char* text;
    std::vector<int> tokens;
  };
  const Case cases[] = {
      {"NAME1", {K_NAME1}},
      {"NAMES", {K_NAME, L_S}},
      {"MPEG2", {K_MPEG2}},
      {"TEL-AV", {K_TEL_AV}},
      {"image/gif", {K_GIF}},
      {"IMAGE/JPEG", {K_JPEG}},
      {"%audio/midi", {K_AUDIO_MIDI}},
      {"%content-id", {K_CONTENT_ID}},
      {"%12-3456-7890", {P_PCT_CODE}},
      {"%1", {P_OTHER, D_1}},
      {"X-A", {K_X_DASH, L_A}},
      {"X-", {L_X, P_OTHER}},  // "X-" needs a following character
      {"\\;\\,\\:\\\\", {P_ESC_SEMI, P_ESC_COMMA, P_ESC_COLON, P_ESC_BACKSLASH}},
      {"\\x", {P_OTHER, L_X}},
      {"%%%:%;", {P_PCT_PCT, P_PCT_COLON, P_PCT_SEMI}},
      {"a\r\nb\nc\rd", {L_A, P_LB, L_B, P_LB, L_C, P_LB, L_D}},
      {"w W", {L_W, P_SPACE, L_W}},
      {"\xC3\xA9", {P_OTHER, P_OTHER}},
      {"7bit8bit", {K_BIT7, K_BIT8}},
      {"wtai://wp/mc", {K_WTAI, P_COLON, P_SLASH, P_SLASH, K_WP, P_SLASH, K_MC}},
  };
  for (const Case& c : cases) EXPECT_EQ(Tokens(c.text), c.tokens) << c.text;
}

TEST(ContentParser, AcceptedForms) {
  struct Case {
    const char* text;
    const char* parsed;
  };
  const Case cases[] = {
      {"BEGIN:VCARD\r\nN:Doe;John\r\nEND:VCARD", "VCARD | n=Doe;John"},
      {"begin:vcard\nversion:2.1\nfn:John Doe\nend:vcard\n",
       "VCARD | other=2.1 | fn=John Doe"},
      {"BEGIN:VCARD\rEND:VCARD\r", "VCARD"},
      // "=" ends a line unless the value is quoted-printable; blank lines are skipped.
      {"BEGIN:VCARD\r\nURL:http://x?a=\r\nPHOTO;BASE64:QUJD\r\n\r\nEND:VCARD",
       "VCARD | url=http://x?a= | photo=QUJD"},
      {"BEGIN:VCARD\nNOTE;QUOTED-PRINTABLE:a=\nb\nNOTE:c=\nEND:VCARD",
       "VCARD | note=a=\nb | note=c="},
      {"MECARD:N:Doe;;", "MECARD | n=Doe"},
      {"MECARD:N:Doe,John;TEL:0955667788;EMAIL:a@b.c;TEL:1;;",
       "MECARD | n=Doe,John | tel=0955667788 | email=a@b.c | tel=1"},
      {"mecard:url:http://x.y/a\\;b;TEL-AV:1;;", "MECARD | url=http://x.y/a;b | telAv=1"},
      {"MEBKM:TITLE:News;URL:http://news.example;;",
       "WEBKM | title=News | url=http://news.example"},
      {"MATMSG:TO:a@b.c;SUB:Hi;BODY:Text: more;;",
       "MATMSG | to=a@b.c | sub=Hi | body=Text: more"},
      {"BIZCARD:N:John;X:Doe;T:Boss;C:Acme;A:Road 1;B:02;M:09;F:03;E:a@b;;",
       "BIZCARD | n=John | bizFamilyName=Doe | title=Boss | cor=Acme | bizCompanyStreet=Road 1 "
       "| bizCompanyPhone=02 | bizMobile=09 | bizCompanyFax=03 | em=a@b"},
      {"SMTP:a@b.c:Hello:Body: with colon", "SMTP | email=a@b.c | to=a@b.c | sub=Hello | body=Body: with colon"},
      {"SMSTO:0955667788", "SMS | sm=0955667788"},
      {"SMS:0955667788:Hi there", "SMS | sm=0955667788 | body=Hi there"},
      {"MMSTO:0955667788:Hi", "MMS | sm=0955667788 | body=Hi"},
      {"MAILTO:a@b.c\r\nSUBJECT:Hi\r\nBODY:Text\r\n",
       "VFMAILTO | email=a@b.c | to=a@b.c | sub=Hi | body=Text"},
      {"TEL:+886-2 1234*5#w", "TEL | tel=+886-2 1234*5#w"},
      {"tel:0800FLOWERS", "TEL | tel=0800FLOWERS"},
      {"http://example.com/a?b=c;d", "HTTP | url=http://example.com/a?b=c;d"},
      {"HTTPS://example.com", "HTTP | url=HTTPS://example.com"},
      {"wtai://wp/mc;0955667788", "WTAI | wtaiLibrary=wp | wtaiFunction=mc | tel=0955667788"},
      {"wtai://wp/ap;0955667788;Anna",
       "WTAI | wtaiLibrary=wp | wtaiFunction=ap | tel=0955667788 | name=Anna"},
      {"CALLTO:echo123", "CALLTO | name=echo123 | url=callto://echo123"},
      {"callto://echo123", "CALLTO | name=echo123 | url=callto://echo123"},
      {"MEMORY:memo\r\nNAME1:Anna\r\nTEL1:0955\r\nMAIL2:a@b\r\nADD:Road\r\n",
       "MEMORY | memory=memo | name1=Anna | tel1=0955 | mail2=a@b | add=Road"},
      {"NAME:Anna;TEL:0955667788;EMAIL:x", "CV3ADDRESSBOOK | name=Anna | tel=0955667788 | email=x"},
      {"NAME:Anna;TEL: ;ZIP:100;CITY:Taipei;ADR:Road;URL:u;TEL:2",
       "CV3ADDRESSBOOK | name=Anna | tel=  | zip=100 | city=Taipei | adr=Road | url=u | tel=2"},
      {"News of the day\r\nhttp://news.example", "VFBOOKMARK | title=News of the day | url=http://news.example"},
      {"01;0955667788", "ORANGE | tel=0955667788 | functionNumber=01"},
      {"04;2example.com", "ORANGE | url=http://www.example.com | functionNumber=04"},
      {"04;5host/live", "ORANGE | url=rtsp://host/live | functionNumber=04"},
      {"04;xhost", "ORANGE | url=host | functionNumber=04"},
      {"07;Meeting", "ORANGE | eventSubject=Meeting | functionNumber=07"},
      {"511;12345678901234", "ORANGE | tagId=12345678901234 | functionNumber=51 | number=1"},
      {"09;Some text", "ORANGE | body=Some text | functionNumber=09"},
      {"CARD:PHONE;TEL:0955667788;;", "QBCODE | addressBookKind=PHONE | tel=0955667788"},
      {"card:AD;TAG:12345678901234;FUNC:52;NUM:1;DTSTART:20260101;;",
       "QBCODE | addressBookKind=AD | tagId=12345678901234 | functionNumber=52 | number=1 | "
       "eventStart=20260101"},
  };
  for (const Case& c : cases) EXPECT_EQ(Describe(c.text), c.parsed) << c.text;
}

TEST(ContentParser, RejectedNeighbours) {
  const char* rejected[] = {
      "",
      "MECARD:N:Doe",
      "MECARD:;",
      "BEGIN:VCARD\r\nN:Doe\r\nEND:VCARD\r\nBEGIN:VCARD\r\nN:Roe\r\nEND:VCARD\r\n",
      "BEGIN:VCARD\r\nN:Doe\r\n",
      "SMSTO:0955667788:",
      "SMSTO:",
      "NAME:Anna",
      "NAME:Anna;TEL:0955667788;",
      "NAME:Anna;FAX:1",
      "Hello world",
      "www.example.com",
      "rtsp://example.com/live",
      "http://",
      "TEL:",
      "TEL:09_55",
      "CALLTO:echo123;",
      "callto://",
      "wtai://xx/mc;1",
      "News\r\n\r\nhttp://news.example",
      "01;",
      "01;a;b",
      "1;abc",
      "MEBKM:NOTE:x;;",  // no known key left
      "MECARD:X-FOO:1;;",
      "BIZCARD:P:1;;",
      "MECARD:N:Doe;;;",
      "MECARD:N:Doe; ;",
      "SMTP:",
      "mailto:",
      "TEL:0955[1]",
      "sms:",
      "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nEND:VCALENDAR",  // no event
      "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY:x\r\nEND:VCALENDAR",  // event left open
      "BEGIN:VEVENT\r\nSUMMARY:x\r\nEND:VTODO",
      "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nEND:VALARM\r\nEND:VCALENDAR",
      "2024 News\r\n\r\nhttp://news.example",
      "2024 News\r\nftp://news.example",
      " \r\n",
      "MATMSG:TO:a;;x",
      "CARD:PHONE;;",
  };
  for (const char* text : rejected) EXPECT_EQ(Describe(text), "REJECTED") << text;
}

// The forms read since the grammar learnt what today's generators write: the
// items each yields (values with escapes and percent escapes resolved).
TEST(ContentParser, RealWorldFormsGiveTheirItems) {
  struct Case {
    const char* text;
    const char* parsed;
  };
  const Case cases[] = {
      // Unknown keys skipped, one closing ";" enough.
      {"MECARD:N:Doe;X-A:1;ORG:Acme\\, Inc;", "MECARD | n=Doe | org=Acme, Inc"},
      {"MATMSG:TO:a@b.c;CC:d@e.f;SUB:Hi;", "MATMSG | to=a@b.c | sub=Hi"},
      {"MEBKM:URL:http://x;NOTE:n;;", "WEBKM | url=http://x"},
      // Trailing blanks: read again without them.
      {"MECARD:N:Doe;; \r\n\r\n", "MECARD | n=Doe"},
      {"BEGIN:VCARD\r\nN:Doe\r\nEND:VCARD\r\n\r\n", "VCARD | n=Doe"},
      // URIs.
      {"mailto:a@b.c,d@e.f?Subject=x%3Ay&BODY=1%2B1&cc=g@h.i",
       "VFMAILTO | email=a@b.c,d@e.f | to=a@b.c,d@e.f | sub=x:y | body=1+1"},
      {"mailto:a%40b.c?to=&subject=%zz", "VFMAILTO | email=a@b.c | to=a@b.c | sub=%zz | body="},
      {"sms:+1;a=b,+2;c=d?x=y&body=o%20k:ay", "SMS | sm=+1,+2 | body=o k:ay"},
      {"sms:+1?subject=s", "SMS | sm=+1"},
      {"SMSTO:+1?body=x", "SMS | sm=+1?body=x"},  // not a URI scheme: as written
      {"mms:0955667788", "MMS | sm=0955667788"},
      {"tel:+1 (201) 555.0123;ext=1;isub=2", "TEL | tel=+1 (201) 555.0123"},
      {"SMTP:a@b.c", "SMTP | email=a@b.c | to=a@b.c | sub= | body="},
      {"SMTP:a@b.c::", "SMTP | email=a@b.c | to=a@b.c | sub= | body="},
      // iCalendar: the first event's own lines only.
      {"BEGIN:VCALENDAR\nBEGIN:VTODO\nSUMMARY:todo\nEND:VTODO\nBEGIN:VEVENT\nSUMMARY:a\\;b\\\\n\n"
       "BEGIN:VALARM\nDESCRIPTION:alarm\nEND:VALARM\nDTEND;VALUE=DATE:20240102\nEND:VEVENT\n"
       "BEGIN:VEVENT\nSUMMARY:later\nEND:VEVENT\nEND:VCALENDAR",
       "VCALENDAR | eventSubject=a;b\\n | eventEnd=20240102"},
      {"begin:vevent\r\nsummary:x\r\n  y\r\nend:vevent", "VCALENDAR | eventSubject=x y"},
      // Titled bookmarks whatever the title.
      {"TEL:1 News\r\nhttp://x", "VFBOOKMARK | title=TEL:1 News | url=http://x"},
      {"BEGIN:VCARD\nhttps://x/y", "VFBOOKMARK | title=BEGIN:VCARD | url=https://x/y"},
  };
  for (const Case& c : cases) EXPECT_EQ(Describe(c.text), c.parsed) << c.text;
}

TEST(ContentParser, VCardParametersAndComponents) {
  auto pool = std::make_unique<ParsePool>();
  const ContentObject* objects = nullptr;
  ASSERT_EQ(ParseContent("BEGIN:VCARD\r\nitem1.TEL;type=HOME,voice;PREF:1\r\n"
                         "ADR;WORK:;Suite 5;Main St\\; 1;Town;Region;100;TW;Extra;More\r\n"
                         "NOTE;ENCODING=QUOTED-PRINTABLE:a=\r\nb\r\n"
                         "PHOTO;BASE64:QUJD\r\n  REVG\r\n"
                         "END:VCARD",
                         *pool, &objects),
            1);
  const ContentItem* tel = objects->items->next;
  EXPECT_EQ(tel->kind, PropKind::tel);
  std::vector<std::string> params;
  for (const ContentParam* p = tel->params; p != nullptr; p = p->next) {
    params.push_back(std::to_string(static_cast<int>(p->kind)) + ":" + std::string(p->text.View()));
  }
  EXPECT_EQ(params, (std::vector<std::string>{"0:HOME", "0:voice", "0:PREF"}));
  EXPECT_NE(tel->FindParam("home"), nullptr);
  EXPECT_EQ(tel->FindParam("WORK"), nullptr);

  const ContentItem* adr = tel->next;
  ASSERT_EQ(adr->componentCount, 7);
  EXPECT_EQ(adr->components[0].View(), "");
  EXPECT_EQ(adr->components[2].View(), "Main St; 1");
  EXPECT_EQ(adr->components[6].View(), "TW;Extra;More");  // the rest stays in the seventh

  const ContentItem* note = adr->next;
  EXPECT_EQ(note->value.View(), "a=\r\nb");  // soft line break kept for the decoder
  EXPECT_EQ(note->params->kind, ParamKind::encoding);
  const ContentItem* photo = note->next;
  EXPECT_EQ(photo->value.View(), "QUJD REVG");  // folded line joined
  EXPECT_EQ(photo->params->kind, ParamKind::encoding);
}

TEST(ContentParser, BufferAndPoolBounds) {
  auto pool = std::make_unique<ParsePool>();
  const ContentObject* objects = nullptr;
  std::string url = "http://" + std::string(kMaxParseTextBytes - 7, 'a');
  EXPECT_EQ(ParseContent(url, *pool, &objects), 1);
  EXPECT_EQ(objects->items->next->value.length, kMaxParseTextBytes);
  EXPECT_EQ(ParseContent(url + "a", *pool, &objects), 0);
  EXPECT_EQ(objects, nullptr);

  // The text ends at its first zero byte.
  EXPECT_EQ(ParseContent(std::string_view("TEL:1\0;", 7), *pool, &objects), 1);

  // Thousands of small fields outgrow the pool: the parse fails cleanly.
  std::string many = "MECARD:";
  while (many.size() < 8000) many += "TEL:1;";
  many += ";";
  EXPECT_EQ(ParseContent(many, *pool, &objects), 0);
  EXPECT_TRUE(pool->exhausted);
  EXPECT_LE(pool->used, static_cast<uint32_t>(ParsePool::kBytes));

  // A fresh parse starts with an empty pool.
  EXPECT_EQ(ParseContent("MECARD:TEL:1;;", *pool, &objects), 1);
  EXPECT_FALSE(pool->exhausted);
}

TEST(TransferEncoding, DecodesBase64AndQuotedPrintable) {
  struct Case {
    const char* in;
    int mode;
    int length;
    const char* out;
  };
  const Case cases[] = {
      {"QUJD", 0, 3, "ABC"},
      {"QU\r\nJDRA==", 0, 4, "ABCD"},
      {"QQ", 0, 1, "A"},
      {"", 0, 0, ""},
      {"=C3=A9", 1, 2, "\xC3\xA9"},
      {"caf=c3=a9!", 1, 6, "caf\xC3\xA9!"},
      {"a=\r\nb=\nc", 1, 3, "abc"},
      {"a=G1", 1, -1, nullptr},
      {"a=4", 1, -1, nullptr},
      {"a=", 1, -1, nullptr},
      {"abc", 2, -1, nullptr},
  };
  for (const Case& c : cases) {
    char out[32];
    std::memset(out, 0x55, sizeof out);
    int n = DecodeTransferEncoding(c.in, out, c.mode);
    EXPECT_EQ(n, c.length) << c.in;
    if (n >= 0) {
      EXPECT_EQ(std::string_view(out, static_cast<size_t>(n)), c.out) << c.in;
      EXPECT_EQ(out[n], 0);
    }
  }
  char small[2];
  EXPECT_EQ(DecodeTransferEncoding("QUJD", small, 0), -1);  // output too small
  char inPlace[] = "=41=42c";
  EXPECT_EQ(DecodeTransferEncoding(inPlace, {inPlace, sizeof inPlace}, 1), 3);
  EXPECT_STREQ(inPlace, "ABc");
}

}  // namespace
}  // namespace cordavex
