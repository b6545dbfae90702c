// The grammar's actions: key tables of the KEY:value forms, value copies with
// escapes resolved, components, parameters, and the object lists.
#include <cstring>
#include <iterator>
#include <string_view>

#include "content/content_types.h"
#include "content/parse_state.h"
#include "decode/text_routines.h"

namespace cordavex {
namespace {

// One row per key of a KEY:value form. The same rows tell a writer how to
// spell each item of these forms.
struct FormKey {
  FormKind form;
  std::string_view key;
  PropKind kind;
};

constexpr FormKey kFormKeys[] = {
    // vCard properties; a vCard property missing here is kept as `other`.
    {FormKind::vcard, "N", PropKind::n},
    {FormKind::vcard, "FN", PropKind::fn},
    {FormKind::vcard, "TEL", PropKind::tel},
    {FormKind::vcard, "EMAIL", PropKind::email},
    {FormKind::vcard, "E-MAIL", PropKind::email},
    {FormKind::vcard, "URL", PropKind::url},
    {FormKind::vcard, "ADR", PropKind::adr},
    {FormKind::vcard, "NOTE", PropKind::note},
    {FormKind::vcard, "TITLE", PropKind::title},
    {FormKind::vcard, "ORG", PropKind::org},
    {FormKind::vcard, "GEO", PropKind::geo},
    {FormKind::vcard, "BDAY", PropKind::bday},
    {FormKind::vcard, "NICKNAME", PropKind::nickname},
    {FormKind::vcard, "LABEL", PropKind::label},
    {FormKind::vcard, "FAX", PropKind::fax},
    {FormKind::vcard, "SOUND", PropKind::sound},
    {FormKind::vcard, "ROLE", PropKind::role},
    {FormKind::vcard, "PHOTO", PropKind::photo},
    {FormKind::vcard, "LOGO", PropKind::logo},
    // MECARD (DOCOMO): N and ADR use "," between their parts.
    {FormKind::mecard, "N", PropKind::n},
    {FormKind::mecard, "TEL", PropKind::tel},
    {FormKind::mecard, "EMAIL", PropKind::email},
    {FormKind::mecard, "ADR", PropKind::adr},
    {FormKind::mecard, "URL", PropKind::url},
    {FormKind::mecard, "NOTE", PropKind::note},
    {FormKind::mecard, "BDAY", PropKind::bday},
    {FormKind::mecard, "NICKNAME", PropKind::nickname},
    {FormKind::mecard, "TEL-AV", PropKind::telAv},
    {FormKind::mecard, "SOUND", PropKind::sound},
    // Keys that today's generators add to MECARD; other keys are skipped.
    {FormKind::mecard, "ORG", PropKind::org},
    {FormKind::mecard, "TITLE", PropKind::title},
    {FormKind::mecard, "GEO", PropKind::geo},
    {FormKind::mebkm, "TITLE", PropKind::title},
    {FormKind::mebkm, "URL", PropKind::url},
    {FormKind::matmsg, "TO", PropKind::to},
    {FormKind::matmsg, "SUB", PropKind::sub},
    {FormKind::matmsg, "BODY", PropKind::body},
    {FormKind::bizcard, "N", PropKind::n},
    {FormKind::bizcard, "X", PropKind::bizFamilyName},
    {FormKind::bizcard, "T", PropKind::title},
    {FormKind::bizcard, "C", PropKind::cor},
    {FormKind::bizcard, "A", PropKind::bizCompanyStreet},
    {FormKind::bizcard, "B", PropKind::bizCompanyPhone},
    {FormKind::bizcard, "M", PropKind::bizMobile},
    {FormKind::bizcard, "F", PropKind::bizCompanyFax},
    {FormKind::bizcard, "E", PropKind::em},
    {FormKind::memory, "NAME1", PropKind::name1},
    {FormKind::memory, "NAME2", PropKind::name2},
    {FormKind::memory, "TEL1", PropKind::tel1},
    {FormKind::memory, "TEL2", PropKind::tel2},
    {FormKind::memory, "TEL3", PropKind::tel3},
    {FormKind::memory, "MAIL1", PropKind::mail1},
    {FormKind::memory, "MAIL2", PropKind::mail2},
    {FormKind::memory, "MAIL3", PropKind::mail3},
    {FormKind::memory, "ADD", PropKind::add},
    {FormKind::addressBook, "TEL", PropKind::tel},
    {FormKind::addressBook, "EMAIL", PropKind::email},
    {FormKind::addressBook, "ADR", PropKind::adr},
    {FormKind::addressBook, "CITY", PropKind::city},
    {FormKind::addressBook, "ZIP", PropKind::zip},
    {FormKind::addressBook, "URL", PropKind::url},
    // The own address-book kinds (CARD:kind;KEY:value;...;).
    {FormKind::card, "NAME", PropKind::name},
    {FormKind::card, "TEL", PropKind::tel},
    {FormKind::card, "CT", PropKind::ct},
    {FormKind::card, "EMAIL", PropKind::email},
    {FormKind::card, "EM", PropKind::em},
    {FormKind::card, "SM", PropKind::sm},
    {FormKind::card, "SUB", PropKind::sub},
    {FormKind::card, "TXT", PropKind::txt},
    {FormKind::card, "INTR", PropKind::intr},
    {FormKind::card, "BODY", PropKind::body},
    {FormKind::card, "TIL", PropKind::til},
    {FormKind::card, "TITLE", PropKind::title},
    {FormKind::card, "NOTE", PropKind::note},
    {FormKind::card, "URL", PropKind::url},
    {FormKind::card, "ADR", PropKind::adr},
    {FormKind::card, "CITY", PropKind::city},
    {FormKind::card, "ZIP", PropKind::zip},
    {FormKind::card, "COR", PropKind::cor},
    {FormKind::card, "DIV", PropKind::div},
    {FormKind::card, "IM", PropKind::im},
    {FormKind::card, "LEN", PropKind::len},
    {FormKind::card, "LNG", PropKind::lng},
    {FormKind::card, "FILE", PropKind::file},
    {FormKind::card, "TYPE", PropKind::type},
    {FormKind::card, "CR", PropKind::cr},
    {FormKind::card, "DG", PropKind::dg},
    {FormKind::card, "CVSID", PropKind::cvsid},
    {FormKind::card, "FUNC", PropKind::functionNumber},
    {FormKind::card, "NUM", PropKind::number},
    {FormKind::card, "TAG", PropKind::tagId},
    {FormKind::card, "SUMMARY", PropKind::eventSubject},
    {FormKind::card, "LOCATION", PropKind::eventLocation},
    {FormKind::card, "DESCRIPTION", PropKind::eventOther},
    {FormKind::card, "DTSTART", PropKind::eventStart},
    {FormKind::card, "DTEND", PropKind::eventEnd},
    // iCalendar and vCalendar event properties; other properties are skipped.
    {FormKind::vcalendar, "SUMMARY", PropKind::eventSubject},
    {FormKind::vcalendar, "LOCATION", PropKind::eventLocation},
    {FormKind::vcalendar, "DESCRIPTION", PropKind::eventOther},
    {FormKind::vcalendar, "DTSTART", PropKind::eventStart},
    {FormKind::vcalendar, "DTEND", PropKind::eventEnd},
    {FormKind::vcalendar, "URL", PropKind::url},
    {FormKind::vcalendar, "GEO", PropKind::geo},
};

// Forms whose unknown keys are skipped rather than rejecting the text: the
// published card, bookmark and message forms, which generators extend freely.
// Our own forms keep their closed key sets.
bool SkipsUnknownKeys(FormKind form) {
  return form == FormKind::mecard || form == FormKind::mebkm || form == FormKind::matmsg ||
         form == FormKind::bizcard || form == FormKind::vcalendar;
}

// vCard parameter words: the named parameters, then the bare words whose kind
// is not TYPE.
struct ParamWord {
  std::string_view word;
  ParamKind kind;
};

constexpr ParamWord kParamNames[] = {
    {"TYPE", ParamKind::type},         {"VALUE", ParamKind::value},
    {"ENCODING", ParamKind::encoding}, {"CHARSET", ParamKind::charset},
    {"LANGUAGE", ParamKind::language},
};

constexpr ParamWord kBareParams[] = {
    {"QUOTED-PRINTABLE", ParamKind::encoding}, {"BASE64", ParamKind::encoding},
    {"7BIT", ParamKind::encoding},             {"8BIT", ParamKind::encoding},
    {"INLINE", ParamKind::value},              {"URL", ParamKind::value},
    {"CONTENT-ID", ParamKind::value},          {"CID", ParamKind::value},
};

// Length of the escape at `p` ("\;", "\,", "\:", "\\"), or 0. The scanner
// takes the same two-byte tokens, so resolving escapes left to right from the
// start of a value meets them exactly where the scanner did.
int EscapeAt(const char* p, const char* end) {
  if (end - p < 2 || p[0] != '\\') return 0;
  return (p[1] == ';' || p[1] == ',' || p[1] == ':' || p[1] == '\\') ? 2 : 0;
}

// Writes raw[begin, end) to `out` with escapes resolved and returns its length
// (never more than end - begin). `unfold` removes a line break followed by a
// space or tab (vCard folding); `textEscapes` also reads "\n" and "\N" as a
// line break (iCalendar text).
int32_t ResolveEscapes(const char* begin, const char* end, bool unfold, char* out,
                       bool textEscapes = false) {
  int32_t n = 0;
  for (const char* p = begin; p < end;) {
    if (textEscapes && end - p >= 2 && p[0] == '\\' && (p[1] == 'n' || p[1] == 'N')) {
      out[n++] = '\n';
      p += 2;
      continue;
    }
    if (EscapeAt(p, end) != 0) {
      out[n++] = p[1];
      p += 2;
      continue;
    }
    if (unfold && (*p == '\r' || *p == '\n')) {
      const char* q = p + ((*p == '\r' && p + 1 < end && p[1] == '\n') ? 2 : 1);
      if (q < end && (*q == ' ' || *q == '\t')) {
        p = q + 1;
        continue;
      }
    }
    out[n++] = *p++;
  }
  return n;
}

// Copies `prefix` and raw[begin, end), escapes resolved, into the pool with a
// zero after them.
bool CopyValue(ParserState& s, std::string_view prefix, const char* begin, const char* end,
               bool unfold, PoolString& out, bool textEscapes = false) {
  const size_t size = prefix.size() + static_cast<size_t>(end - begin) + 1;
  char* copy = static_cast<char*>(s.pool->Allocate(size, 1));
  if (copy == nullptr) return false;
  if (!prefix.empty()) std::memcpy(copy, prefix.data(), prefix.size());
  auto n = static_cast<int32_t>(prefix.size());
  if (begin != end) n += ResolveEscapes(begin, end, unfold, copy + n, textEscapes);
  copy[n] = 0;
  out = {copy, n};
  return true;
}

bool CopyValue(ParserState& s, const char* begin, const char* end, bool unfold, PoolString& out) {
  return CopyValue(s, {}, begin, end, unfold, out);
}

// Splits raw[begin, end) at unescaped `separator` into at most seven components.
bool SplitComponents(ParserState& s, const char* begin, const char* end, char separator,
                     bool unfold, ContentItem& item) {
  const char* start = begin;
  item.componentCount = 0;
  for (const char* p = begin;; ) {
    bool last = item.componentCount == kMaxComponents - 1;
    if (p == end || (!last && *p == separator)) {
      if (!CopyValue(s, start, p, unfold, item.components[item.componentCount])) return false;
      ++item.componentCount;
      if (p == end) return true;
      start = ++p;
      continue;
    }
    p += EscapeAt(p, end) != 0 ? 2 : 1;
  }
}

bool IsStructured(PropKind kind) {
  return kind == PropKind::n || kind == PropKind::adr || kind == PropKind::org;
}

ContentItem* NewItem(ParserState& s, PropKind kind) {
  auto* item = static_cast<ContentItem*>(s.pool->Allocate(sizeof(ContentItem)));
  if (item == nullptr) return nullptr;
  *item = ContentItem{kind, {}, nullptr, 0, {}, nullptr};
  return item;
}

void Append(ParserState& s, ContentItem* item) {
  if (s.lastItem == nullptr) {
    s.firstItem = item;
  } else {
    s.lastItem->next = item;
  }
  s.lastItem = item;
}

// Adds an item whose value is `prefix` followed by the span's text.
bool AddItemWithPrefix(ParserState& s, PropKind kind, std::string_view prefix, Span value) {
  ContentItem* item = NewItem(s, kind);
  if (item == nullptr) return false;
  std::string_view raw = SpanText(s, value);
  if (!CopyValue(s, prefix, raw.data(), raw.data() + raw.size(), false, item->value)) return false;
  Append(s, item);
  return true;
}

bool AddItemFull(ParserState& s, PropKind kind, Span value, char separator) {
  ContentItem* item = NewItem(s, kind);
  if (item == nullptr) return false;
  std::string_view raw = SpanText(s, value);
  const char* begin = raw.data();
  const char* end = begin + raw.size();
  bool unfold = s.form == FormKind::vcard || s.form == FormKind::vcalendar;
  bool textEscapes = s.form == FormKind::vcalendar;
  if (!CopyValue(s, {}, begin, end, unfold, item->value, textEscapes)) return false;
  if (separator != 0 && !SplitComponents(s, begin, end, separator, unfold, *item)) return false;
  item->params = s.pendingParams;
  s.pendingParams = s.lastParam = nullptr;
  Append(s, item);
  return true;
}

void DropPendingParams(ParserState& s) { s.pendingParams = s.lastParam = nullptr; }

// Values of the URI forms are read as written: their escapes are "%XY", which
// PercentDecode resolves, and a backslash is an ordinary character.
bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  return (c | 0x20) - 'a' + 10;
}

// The bytes of `text` with every "%XY" replaced by its byte, in the pool; a "%"
// not followed by two hexadecimal digits stays. `escapedHigh` tells whether an
// escape gave a byte of 0x80 or more.
bool PercentDecode(ParserState& s, std::string_view text, std::string_view& out,
                   bool& escapedHigh) {
  char* copy = static_cast<char*>(s.pool->Allocate(text.size() + 1, 1));
  if (copy == nullptr) return false;
  size_t n = 0;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '%' && i + 2 < text.size() && IsHex(text[i + 1]) && IsHex(text[i + 2])) {
      const int byte = HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]);
      if (byte >= 0x80) escapedHigh = true;
      copy[n++] = static_cast<char>(byte);
      i += 3;
      continue;
    }
    copy[n++] = text[i++];
  }
  copy[n] = 0;
  out = {copy, n};
  return true;
}

// Percent escapes in a URI stand for UTF-8 (RFC 3986): a value whose high
// bytes came from escapes says so with this parameter, so that the record walk
// does not guess its character set.
constexpr ContentParam kUtf8Charset = {ParamKind::charset, {"UTF-8", 5}, nullptr};

// Adds an item whose value is `bytes` as they are (already in the pool or
// copied there), with the UTF-8 parameter when `utf8` is set.
bool AddItemBytes(ParserState& s, PropKind kind, std::string_view bytes, bool utf8) {
  ContentItem* item = NewItem(s, kind);
  if (item == nullptr) return false;
  char* copy = static_cast<char*>(s.pool->Allocate(bytes.size() + 1, 1));
  if (copy == nullptr) return false;
  if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
  copy[bytes.size()] = 0;
  item->value = {copy, static_cast<int32_t>(bytes.size())};
  if (utf8) item->params = &kUtf8Charset;
  Append(s, item);
  return true;
}

// Splits "name=value&name=value" and hands each pair to `field`.
template <typename Field>
bool ForEachQueryField(std::string_view query, Field field) {
  while (!query.empty()) {
    const size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    const size_t equals = pair.find('=');
    const std::string_view name = pair.substr(0, equals);
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view{} : pair.substr(equals + 1);
    if (!field(name, value)) return false;
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return true;
}

// One row per property kind, in enum order.
struct PropKindRow {
  PropKind kind;
  std::string_view name;
};
constexpr PropKindRow kPropKindNames[] = {
    {PropKind::objectName, "objectName"},
    {PropKind::other, "other"},
    {PropKind::n, "n"},
    {PropKind::fn, "fn"},
    {PropKind::tel, "tel"},
    {PropKind::email, "email"},
    {PropKind::url, "url"},
    {PropKind::adr, "adr"},
    {PropKind::note, "note"},
    {PropKind::title, "title"},
    {PropKind::org, "org"},
    {PropKind::geo, "geo"},
    {PropKind::bday, "bday"},
    {PropKind::nickname, "nickname"},
    {PropKind::label, "label"},
    {PropKind::fax, "fax"},
    {PropKind::sound, "sound"},
    {PropKind::telAv, "telAv"},
    {PropKind::role, "role"},
    {PropKind::photo, "photo"},
    {PropKind::logo, "logo"},
    {PropKind::to, "to"},
    {PropKind::sub, "sub"},
    {PropKind::body, "body"},
    {PropKind::name, "name"},
    {PropKind::name1, "name1"},
    {PropKind::name2, "name2"},
    {PropKind::tel1, "tel1"},
    {PropKind::tel2, "tel2"},
    {PropKind::tel3, "tel3"},
    {PropKind::mail1, "mail1"},
    {PropKind::mail2, "mail2"},
    {PropKind::mail3, "mail3"},
    {PropKind::add, "add"},
    {PropKind::memory, "memory"},
    {PropKind::city, "city"},
    {PropKind::zip, "zip"},
    {PropKind::ct, "ct"},
    {PropKind::em, "em"},
    {PropKind::sm, "sm"},
    {PropKind::txt, "txt"},
    {PropKind::intr, "intr"},
    {PropKind::til, "til"},
    {PropKind::div, "div"},
    {PropKind::cor, "cor"},
    {PropKind::len, "len"},
    {PropKind::lng, "lng"},
    {PropKind::file, "file"},
    {PropKind::cr, "cr"},
    {PropKind::dg, "dg"},
    {PropKind::cvsid, "cvsid"},
    {PropKind::type, "type"},
    {PropKind::im, "im"},
    {PropKind::bizFamilyName, "bizFamilyName"},
    {PropKind::bizCompanyStreet, "bizCompanyStreet"},
    {PropKind::bizCompanyPhone, "bizCompanyPhone"},
    {PropKind::bizMobile, "bizMobile"},
    {PropKind::bizCompanyFax, "bizCompanyFax"},
    {PropKind::functionNumber, "functionNumber"},
    {PropKind::number, "number"},
    {PropKind::tagId, "tagId"},
    {PropKind::eventSubject, "eventSubject"},
    {PropKind::eventLocation, "eventLocation"},
    {PropKind::eventOther, "eventOther"},
    {PropKind::eventStart, "eventStart"},
    {PropKind::eventEnd, "eventEnd"},
    {PropKind::addressBookKind, "addressBookKind"},
    {PropKind::wtaiLibrary, "wtaiLibrary"},
    {PropKind::wtaiFunction, "wtaiFunction"},
    {PropKind::forceUnclassified, "forceUnclassified"},
};

constexpr bool PropKindRowsInOrder() {
  for (size_t i = 0; i < std::size(kPropKindNames); ++i) {
    if (static_cast<size_t>(kPropKindNames[i].kind) != i) return false;
  }
  return std::size(kPropKindNames) == static_cast<size_t>(PropKind::forceUnclassified) + 1;
}
static_assert(PropKindRowsInOrder(), "one name row per property kind, in enum order");

}  // namespace

std::string_view PropKindName(PropKind kind) {
  return kPropKindNames[static_cast<size_t>(kind)].name;
}

std::string_view SpanText(const ParserState& s, Span span) {
  if (span.begin < 0) return {};
  return {s.input + span.begin, static_cast<size_t>(span.end - span.begin)};
}

bool AddItem(ParserState& s, PropKind kind, Span value) {
  return AddItemFull(s, kind, value, 0);
}

bool AddKeyedItem(ParserState& s, Span key, Span value) {
  std::string_view name = SpanText(s, key);
  if (s.form == FormKind::vcard) {
    // A group prefix ("item1.TEL") names no property of its own.
    size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) name.remove_prefix(dot + 1);
  }
  for (const FormKey& row : kFormKeys) {
    if (row.form != s.form || !EqualsNoCase(row.key, name)) continue;
    char separator = 0;
    if (IsStructured(row.kind)) separator = s.form == FormKind::mecard ? ',' : ';';
    return AddItemFull(s, row.kind, value, separator);
  }
  if (s.form == FormKind::vcard) return AddItemFull(s, PropKind::other, value, 0);
  if (SkipsUnknownKeys(s.form)) {
    DropPendingParams(s);
    return true;
  }
  return false;
}

bool AddParam(ParserState& s, Span name, Span value) {
  std::string_view nameText = SpanText(s, name);
  ParamKind kind = ParamKind::type;
  Span text = value;
  if (value.begin < 0) {
    // A bare word: its own text under the kind its word belongs to.
    text = name;
    for (const ParamWord& row : kBareParams) {
      if (EqualsNoCase(row.word, nameText)) kind = row.kind;
    }
  } else {
    kind = ParamKind::other;
    for (const ParamWord& row : kParamNames) {
      if (EqualsNoCase(row.word, nameText)) kind = row.kind;
    }
  }
  if (kind == ParamKind::encoding && EqualsNoCase(SpanText(s, text), "QUOTED-PRINTABLE")) {
    s.quotedPrintable = true;
  }
  // "TYPE=HOME,WORK" is two parameters.
  std::string_view raw = SpanText(s, text);
  const char* end = raw.data() + raw.size();
  const char* start = raw.data();
  for (const char* p = start;; ) {
    if (p == end || *p == ',') {
      auto* param = static_cast<ContentParam*>(s.pool->Allocate(sizeof(ContentParam)));
      if (param == nullptr) return false;
      *param = ContentParam{kind, {}, nullptr};
      if (!CopyValue(s, start, p, false, param->text)) return false;
      if (s.lastParam == nullptr) {
        s.pendingParams = param;
      } else {
        s.lastParam->next = param;
      }
      s.lastParam = param;
      if (p == end) return true;
      start = ++p;
      continue;
    }
    p += EscapeAt(p, end) != 0 ? 2 : 1;
  }
}

bool AddWtaiParam(ParserState& s, Span value) {
  // wtai://wp/mc;number and wtai://wp/ap;number;name: the first parameter is
  // the number, the second the name; further ones are kept without a field.
  PropKind kind = s.wtaiParams == 0 ? PropKind::tel : s.wtaiParams == 1 ? PropKind::name
                                                                         : PropKind::other;
  ++s.wtaiParams;
  return AddItem(s, kind, value);
}

bool AddCallto(ParserState& s, Span value) {
  // "callto://name" and "CALLTO:name" name the same call; the web address is
  // always given in the first spelling.
  std::string_view raw = SpanText(s, value);
  if (raw.size() >= 2 && raw[0] == '/' && raw[1] == '/') value.begin += 2;
  if (value.begin >= value.end) return false;
  return AddItem(s, PropKind::name, value) && AddItemWithPrefix(s, PropKind::url, "callto://", value);
}

bool AddNumberedField(ParserState& s, Span code, Span value) {
  std::string_view digits = SpanText(s, code);
  const int function = (digits[0] - '0') * 10 + (digits[1] - '0');
  const PropKind kind = NumberedFunctionValue(function);
  if (kind == PropKind::url) {
    // The first character of a web address is a prefix digit.
    static constexpr std::string_view kPrefixes[] = {"http://", "http://www.", "https://",
                                                     "https://www.", "rtsp://"};
    std::string_view raw = SpanText(s, value);
    int first = raw[0] - '1';
    std::string_view prefix = (first >= 0 && first < 5) ? kPrefixes[first] : std::string_view{};
    int skip = EscapeAt(raw.data(), raw.data() + raw.size()) != 0 ? 2 : 1;
    Span rest = {value.begin + skip, value.end};
    if (rest.begin >= rest.end) rest = kEmptySpan;
    if (!AddItemWithPrefix(s, kind, prefix, rest)) return false;
  } else if (!AddItem(s, kind, value)) {
    return false;
  }
  if (!AddItem(s, PropKind::functionNumber, {code.begin, code.begin + 2})) return false;
  if (code.end > code.begin + 2 && !AddItem(s, PropKind::number, {code.begin + 2, code.end})) {
    return false;
  }
  return true;
}

bool IsDash(const ParserState& s, Span token) { return SpanText(s, token) == "-"; }

bool IsPhoneSeparator(const ParserState& s, Span token) {
  const std::string_view text = SpanText(s, token);
  return text == "-" || text == "(" || text == ")";
}

bool AddSmtp(ParserState& s, Span address, Span subject, Span body) {
  return AddItem(s, PropKind::email, address) && AddItem(s, PropKind::to, address) &&
         AddItem(s, PropKind::sub, subject) && AddItem(s, PropKind::body, body) &&
         FinishObject(s, "SMTP");
}

bool AddShortMessage(ParserState& s, Span recipient, Span message) {
  const std::string_view number = SpanText(s, recipient);
  if (!s.smsUri || number.find_first_of("?;") == std::string_view::npos) {
    // SMSTO:number:message, and an sms: URI that is nothing more than a number.
    if (!AddItem(s, PropKind::sm, recipient)) return false;
    if (message.begin >= 0 && !AddItem(s, PropKind::body, message)) return false;
    return FinishObject(s, s.objectName);
  }
  // sms:number[;param][,number...][?body=text]: a ":" belongs to the URI.
  const std::string_view uri = SpanText(s, message.begin >= 0 ? Join(recipient, message) : recipient);
  const size_t question = uri.find('?');
  std::string_view numbers = uri.substr(0, question);
  char* joined = static_cast<char*>(s.pool->Allocate(numbers.size() + 1, 1));
  if (joined == nullptr) return false;
  size_t n = 0;
  while (true) {
    const size_t comma = numbers.find(',');
    std::string_view one = numbers.substr(0, comma);
    one = one.substr(0, one.find(';'));  // RFC 3966 parameters name no field
    if (!one.empty()) {
      if (n > 0) joined[n++] = ',';
      std::memcpy(joined + n, one.data(), one.size());
      n += one.size();
    }
    if (comma == std::string_view::npos) break;
    numbers.remove_prefix(comma + 1);
  }
  std::string_view decodedNumbers;
  bool high = false;
  if (!PercentDecode(s, {joined, n}, decodedNumbers, high) ||
      !AddItemBytes(s, PropKind::sm, decodedNumbers, high)) {
    return false;
  }
  if (question != std::string_view::npos) {
    const bool ok = ForEachQueryField(uri.substr(question + 1), [&](std::string_view name,
                                                                    std::string_view value) {
      if (!EqualsNoCase(name, "body")) return true;
      std::string_view body;
      bool escapedHigh = false;
      return PercentDecode(s, value, body, escapedHigh) &&
             AddItemBytes(s, PropKind::body, body, escapedHigh);
    });
    if (!ok) return false;
  }
  return FinishObject(s, s.objectName);
}

bool AddMailtoUri(ParserState& s, Span uri) {
  const std::string_view text = SpanText(s, uri);
  const size_t question = text.find('?');
  const std::string_view query =
      question == std::string_view::npos ? std::string_view{} : text.substr(question + 1);
  // Recipients: the addresses before "?" and those of every "to" field, as one
  // comma-separated list.
  std::string_view addresses = text.substr(0, question);
  bool addressesHigh = false;
  if (!PercentDecode(s, addresses, addresses, addressesHigh)) return false;
  std::string_view subject, body;
  bool subjectHigh = false, bodyHigh = false;
  const bool ok = ForEachQueryField(query, [&](std::string_view name, std::string_view value) {
    if (EqualsNoCase(name, "subject")) return PercentDecode(s, value, subject, subjectHigh);
    if (EqualsNoCase(name, "body")) return PercentDecode(s, value, body, bodyHigh);
    if (!EqualsNoCase(name, "to") || value.empty()) return true;  // cc, bcc, ...: no field
    std::string_view more;
    if (!PercentDecode(s, value, more, addressesHigh)) return false;
    const size_t size = addresses.size() + 1 + more.size();
    char* list = static_cast<char*>(s.pool->Allocate(size + 1, 1));
    if (list == nullptr) return false;
    size_t n = 0;
    if (!addresses.empty()) {
      std::memcpy(list, addresses.data(), addresses.size());
      n = addresses.size();
      list[n++] = ',';
    }
    std::memcpy(list + n, more.data(), more.size());
    addresses = {list, n + more.size()};
    return true;
  });
  return ok && AddItemBytes(s, PropKind::email, addresses, addressesHigh) &&
         AddItemBytes(s, PropKind::to, addresses, addressesHigh) &&
         AddItemBytes(s, PropKind::sub, subject, subjectHigh) &&
         AddItemBytes(s, PropKind::body, body, bodyHigh) && FinishObject(s, "VFMAILTO");
}

bool AddTelNumber(ParserState& s, Span number) {
  return AddItem(s, PropKind::tel, number) && FinishObject(s, "TEL");
}

bool FinishKeyedObject(ParserState& s) {
  return s.firstItem != nullptr && FinishObject(s, s.objectName);
}

void BeginCalendar(ParserState& s, Span name) {
  s.form = FormKind::vcalendar;
  s.calendarName = name;
  s.calendarDepth = 0;
  // A bare VEVENT is itself the event.
  s.eventDepth = EqualsNoCase(SpanText(s, name), "VEVENT") ? 0 : -1;
  s.eventRead = false;
}

bool AddCalendarItem(ParserState& s, Span key, Span value) {
  if (EqualsNoCase(SpanText(s, key), "BEGIN")) {
    DropPendingParams(s);
    ++s.calendarDepth;
    if (!s.eventRead && s.eventDepth < 0 && EqualsNoCase(SpanText(s, value), "VEVENT")) {
      s.eventDepth = s.calendarDepth;
    }
    return true;
  }
  // Lines of the calendar itself, of a later event, of a time zone or of an
  // alarm inside the event fill nothing.
  if (s.calendarDepth != s.eventDepth || s.eventRead) {
    DropPendingParams(s);
    return true;
  }
  return AddKeyedItem(s, key, value);
}

bool EndCalendarComponent(ParserState& s, Span name) {
  // The outermost component ends only at the end of the text.
  if (s.calendarDepth == 0) return false;
  if (s.calendarDepth == s.eventDepth) {
    if (!EqualsNoCase(SpanText(s, name), "VEVENT")) return false;
    s.eventRead = true;
    s.eventDepth = -1;
  }
  --s.calendarDepth;
  return true;
}

bool FinishCalendar(ParserState& s, Span name) {
  if (s.calendarDepth != 0 || !EqualsNoCase(SpanText(s, name), SpanText(s, s.calendarName))) {
    return false;
  }
  if (s.eventDepth == 0) s.eventRead = true;
  return s.eventRead && FinishObject(s, "VCALENDAR");
}

bool FinishObject(ParserState& s, const char* name) {
  ContentItem* head = NewItem(s, PropKind::objectName);
  auto* object = static_cast<ContentObject*>(s.pool->Allocate(sizeof(ContentObject)));
  if (head == nullptr || object == nullptr) return false;
  head->value = {name, static_cast<int32_t>(std::strlen(name))};
  head->next = s.firstItem;
  *object = ContentObject{head, nullptr};
  if (s.lastObject == nullptr) {
    s.firstObject = object;
  } else {
    s.lastObject->next = object;
  }
  s.lastObject = object;
  s.firstItem = s.lastItem = nullptr;
  return true;
}

}  // namespace cordavex
