#include "support/content_corpus.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string_view>

#include "content/classify.h"
#include "content/parser.h"
#include "support/content_fields.h"
#include "support/digest.h"

namespace cordavex::test {
namespace {

bool IsAddressField(Field f) {
  switch (f) {
    case Field::street: case Field::city: case Field::postalCode: case Field::country:
    case Field::extendedAddress: case Field::officeLocation: case Field::companyCountry:
    case Field::companyExtendedAddress: case Field::companyOfficeLocation:
    case Field::companyPostalCode: case Field::companyCity: case Field::companyStreet:
      return true;
    default:
      return false;
  }
}

uint64_t RecordDigest(int32_t type, const ScanResult& r, bool withAddress) {
  Digest d;
  d.AddInt(type);
  d.AddInt(r.contentType);
  d.AddInt(r.subType);
  d.AddInt(r.number);
  d.AddText(r.RawText());
  d.AddText(r.DisplayText());
  for (int f = 0; f < kFieldCount; ++f) {
    if (!withAddress && IsAddressField(static_cast<Field>(f))) continue;
    d.AddText(r.Get(static_cast<Field>(f)));
  }
  return d.value();
}

// Value samples: ASCII, the separators' escapes, and names in UTF-8, Big5 and
// Shift-JIS.
const char* const kValues[] = {
    "Doe", "John", "Anna Lee", "0955667788", "+886-2-2345-6789", "a@b.example",
    "http://www.example.com/x?y=1", "1 Main St", "Taipei", "110", "Taiwan", "Acme",
    "Sales", "Mr.", "19700101", "x\\;y", "a\\,b", "c\\:d", "e\\\\f", "note text",
    "\xe7\x8e\x8b\xe5\xb0\x8f\xe6\x98\x8e",  // UTF-8
    "\xa4\xfd\xa4\x70\xa9\xfa",              // Big5
    "\x82\xa0\x82\xa2\x82\xa4",              // Shift-JIS
    "\xc3\xa9t\xc3\xa9",                     // UTF-8, also GB2312-shaped
    "",
};

const char* const kQpValues[] = {
    "=E7=8E=8B=E5=B0=8F=E6=98=8E", "=A4=FD=A4p=A9=FA", "=82=A0=82=A2", "caf=C3=A9",
    "line one=0D=0Aline two", "plain",
};

const char* const kTelParams[] = {"", ";CELL", ";HOME", ";WORK", ";WORK;FAX", ";HOME;FAX",
                                  ";VOICE", ";TYPE=WORK,VOICE", ";PREF;HOME", ";FAX"};
const char* const kAdrParams[] = {"", ";HOME", ";WORK", ";TYPE=WORK", ";DOM;POSTAL"};

class Generator {
 public:
  explicit Generator(uint32_t seed) : random_(seed) {}

  std::string Text() {
    switch (Pick(10)) {
      case 0: case 1: case 2: return VCard();
      case 3: case 4: return MeCard();
      case 5: return BizCard();
      case 6: return "MATMSG:TO:" + Plain() + ";SUB:" + Plain() + ";BODY:" + Plain() + ";;";
      case 7: return "MEBKM:TITLE:" + Plain() + ";URL:http://example.com/" + Plain() + ";;";
      case 8: return std::string(Pick(2) ? "SMSTO:" : "MMSTO:") + Digits() +
                     (Pick(2) ? ":" + Plain() + "x" : "");
      default: return "TEL:" + Digits();
    }
  }

 private:
  int Pick(int n) { return static_cast<int>(random_() % static_cast<uint32_t>(n)); }
  std::string Value() { return kValues[Pick(static_cast<int>(std::size(kValues)))]; }
  // A value without escapes or separators of its own.
  std::string Plain() {
    std::string v = Value();
    return v.find_first_of("\\;:,") == std::string::npos ? v : "text";
  }
  std::string Digits() {
    std::string d;
    for (int i = 0, n = 3 + Pick(8); i < n; ++i) d += static_cast<char>('0' + Pick(10));
    return d;
  }
  std::string Components(int n, char separator) {
    std::string out;
    for (int i = 0; i < n; ++i) {
      if (i > 0) out += separator;
      out += Value();
    }
    return out;
  }

  std::string VCard() {
    std::string t = "BEGIN:VCARD\r\n";
    if (Pick(2)) t += Pick(2) ? "VERSION:2.1\r\n" : "VERSION:3.0\r\n";
    for (int i = 0, n = 1 + Pick(7); i < n; ++i) {
      switch (Pick(12)) {
        case 0: t += "N:" + Components(1 + Pick(5), ';'); break;
        case 1: t += "FN:" + Value(); break;
        case 2: t += std::string("TEL") + kTelParams[Pick(static_cast<int>(std::size(kTelParams)))] + ":" + Digits(); break;
        case 3: t += std::string(Pick(3) ? "EMAIL" : "EMAIL;INTERNET") + ":" + Value(); break;
        case 4: t += std::string("ADR") + kAdrParams[Pick(static_cast<int>(std::size(kAdrParams)))] + ":" +
                     Components(2 + Pick(6), ';');
                break;
        case 5: t += "ORG:" + Components(1 + Pick(2), ';'); break;
        case 6: t += "NOTE;ENCODING=QUOTED-PRINTABLE:" + std::string(kQpValues[Pick(static_cast<int>(std::size(kQpValues)))]); break;
        case 7: t += "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:" + std::string(kQpValues[Pick(static_cast<int>(std::size(kQpValues)))]); break;
        case 8: t += "TITLE:" + Value(); break;
        case 9: t += "URL:" + Value(); break;
        case 10: t += "GEO:25.03;121.56"; break;
        default: t += "X-CUSTOM;TYPE=A:" + Value(); break;
      }
      t += "\r\n";
    }
    t += "END:VCARD";
    if (Pick(2)) t += "\r\n";
    return t;
  }

  std::string MeCard() {
    static const char* const kKeys[] = {"N", "TEL", "EMAIL", "ADR", "URL", "NOTE", "BDAY",
                                        "NICKNAME", "TEL-AV", "SOUND"};
    std::string t = "MECARD:";
    for (int i = 0, n = 1 + Pick(6); i < n; ++i) {
      const std::string key = kKeys[Pick(static_cast<int>(std::size(kKeys)))];
      t += key + ":";
      t += (key == "N" || key == "ADR") ? Components(1 + Pick(7), ',') : Value();
      t += ";";
    }
    return t + ";";
  }

  std::string BizCard() {
    static const char* const kKeys[] = {"N", "X", "T", "C", "A", "B", "M", "F", "E"};
    std::string t = "BIZCARD:";
    for (int i = 0, n = 1 + Pick(6); i < n; ++i) {
      t += std::string(kKeys[Pick(static_cast<int>(std::size(kKeys)))]) + ":" + Value() + ";";
    }
    return t + ";";
  }

  std::mt19937 random_;
};

char HexDigit(int v) { return "0123456789abcdef"[v & 15]; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::vector<std::string> GeneratedContentTexts(int count, uint32_t seed) {
  Generator generator(seed);
  std::vector<std::string> texts;
  for (int i = 0; i < count; ++i) texts.push_back(generator.Text());
  return texts;
}

CorpusRecord RecordContentText(const std::string& text) {
  static auto pool = std::make_unique<ParsePool>();
  static auto record = std::make_unique<ScanResult>();
  CorpusRecord out;
  out.text = text;
  const ContentObject* objects = nullptr;
  out.accepted = ParseContent(text, *pool, &objects) == 1;
  int v = 0;
  for (uint16_t language : kCorpusLanguages) {
    char value[8];
    std::snprintf(value, sizeof value, "%04x", language);
    const ScopedUiLanguage scope(value);
    for (uint32_t charset : kCorpusCharsets) {
      const int32_t type = ClassifyText(text, *record, charset, *pool);
      out.digests[v] = RecordDigest(type, *record, true);
      out.outsideAddress[v++] = RecordDigest(type, *record, false);
    }
  }
  return out;
}

std::string FormatCorpusLine(const CorpusRecord& record) {
  std::string line;
  for (unsigned char c : record.text) {
    line += HexDigit(c >> 4);
    line += HexDigit(c);
  }
  line += record.accepted ? "\t1" : "\t0";
  for (const uint64_t* digests : {record.digests, record.outsideAddress}) {
    for (int v = 0; v < kCorpusVariants; ++v) {
      char hex[24];
      std::snprintf(hex, sizeof hex, "\t%016llx", static_cast<unsigned long long>(digests[v]));
      line += hex;
    }
  }
  return line;
}

bool ParseCorpusLine(const std::string& line, CorpusRecord& record) {
  record = {};
  size_t tab = line.find('\t');
  if (tab == std::string::npos || tab % 2 != 0) return false;
  for (size_t i = 0; i < tab; i += 2) {
    const int high = HexValue(line[i]);
    const int low = HexValue(line[i + 1]);
    if (high < 0 || low < 0) return false;
    record.text += static_cast<char>(high * 16 + low);
  }
  if (line.size() < tab + 2) return false;
  record.accepted = line[tab + 1] == '1';
  size_t at = tab + 2;
  for (uint64_t* digests : {record.digests, record.outsideAddress}) {
    for (int v = 0; v < kCorpusVariants; ++v) {
      if (at >= line.size() || line[at] != '\t') return false;
      digests[v] = std::strtoull(line.c_str() + at + 1, nullptr, 16);
      at += 17;
    }
  }
  return true;
}

}  // namespace cordavex::test
