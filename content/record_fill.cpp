#include "content/record_fill.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <span>

#include "decode/charset.h"
#include "decode/text_routines.h"

namespace cordavex {
namespace {

using F = Field;

bool NameIs(const ContentObject& object, std::string_view name) { return object.Name() == name; }

struct Walk {
  const ContentObject& object;
  ContentFill& fill;
  ParsePool& pool;
  const ContentItem* item = nullptr;
  int transferMode = -1;  // of the current item: 0 Base64, 1 quoted-printable
  uint32_t itemCharset = 0;  // of the current item's CHARSET parameter; 0 none
  // The set every piece of the current item is read in: chosen once, on the
  // whole value, when the item first stores a string, since one component
  // alone ("=A4=FD", one Big5 character) may fit a set that the whole value
  // refutes. The decoded whole value is kept for Value().
  uint32_t valueCharset = 32;
  bool charsetChosen = false;
  bool wholeDecoded = false;
  std::string_view whole{};

  ScanResult& Record() { return *fill.record; }

  void Set(F field, uint16_t offset) {
    if (offset != ScanResult::kEmptyString) Record().fields[static_cast<int>(field)] = offset;
  }
  void SetFirst(F field, uint16_t offset) {
    if (Record().fields[static_cast<int>(field)] == ScanResult::kEmptyString) Set(field, offset);
  }
  bool IsEmpty(F field) const {
    return fill.record->fields[static_cast<int>(field)] == ScanResult::kEmptyString;
  }

  // Undoes the item's transfer encoding into the parse pool; a value that is
  // malformed or finds no room is taken as written.
  std::string_view Decode(std::string_view bytes) {
    if (transferMode < 0 || bytes.empty()) return bytes;
    char* out = static_cast<char*>(pool.Allocate(bytes.size() + 1, 1));
    if (out == nullptr) return bytes;
    int n = DecodeTransferEncoding(bytes, {out, bytes.size() + 1}, transferMode);
    return n < 0 ? bytes : std::string_view(out, static_cast<size_t>(n));
  }

  // Converts the bytes into the record's pool; the offset of the string, or the
  // shared empty string when it is empty or does not fit whole.
  uint16_t Store(std::string_view raw) { return StoreBytes(Decode(raw)); }

  // The item's value with its transfer encoding undone, decoded once.
  std::string_view WholeValue() {
    if (!wholeDecoded) {
      whole = Decode(item->value.View());
      wholeDecoded = true;
    }
    return whole;
  }

  uint32_t ItemValueCharset() {
    if (!charsetChosen) {
      charsetChosen = true;
      valueCharset = fill.charset;
      if (itemCharset != 0) {
        valueCharset = itemCharset;
      } else if (fill.guessed && fill.charset != kCharsetGuess) {
        const std::string_view bytes = WholeValue();
        valueCharset = ValueCharset({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
      }
    }
    return valueCharset;
  }

  uint16_t StoreBytes(std::string_view bytes) {
    int room = kFieldPoolUnits - fill.poolFill - 1;  // one unit for the terminator
    if (bytes.empty() || room <= 0) return ScanResult::kEmptyString;
    char16_t* at = Record().pool() + fill.poolFill;
    std::span<char16_t> out(at, static_cast<size_t>(room));
    auto in = std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    int n = DecodeToUnicode(ItemValueCharset(), in, out);
    // The output never has more units than the input has bytes, so only a
    // completely filled window can mean a cut value.
    if (n <= 0 || (n == room && bytes.size() > static_cast<size_t>(room))) {
      std::memset(static_cast<void*>(at), 0, sizeof(char16_t) * static_cast<size_t>(room));
      return ScanResult::kEmptyString;
    }
    at[n] = 0;
    auto offset = static_cast<uint16_t>(ScanResult::kPoolStart + fill.poolFill);
    fill.poolFill = static_cast<uint16_t>(fill.poolFill + n + 1);
    return offset;
  }

  // The set of a value read under a guessed set (see ContentFill).
  uint32_t ValueCharset(std::span<const uint8_t> bytes) const {
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b < 0x80; });
    if (ascii || CharsetAccepts(fill.charset, bytes)) return fill.charset;
    return GuessCharset(bytes);
  }

  uint16_t Value() { return StoreBytes(WholeValue()); }
  uint16_t Component(int i) {
    return i < item->componentCount ? Store(item->components[i].View()) : ScanResult::kEmptyString;
  }

  // The given name run together with the family name ("Doe" "John" -> "DoeJohn").
  uint16_t ShortName() {
    std::string_view family = item->componentCount > 0 ? Decode(item->components[0].View()) : "";
    std::string_view given = item->componentCount > 1 ? Decode(item->components[1].View()) : "";
    char* joined = static_cast<char*>(pool.Allocate(family.size() + given.size() + 1, 1));
    if (joined == nullptr) return ScanResult::kEmptyString;
    std::memcpy(joined, family.data(), family.size());
    std::memcpy(joined + family.size(), given.data(), given.size());
    return StoreBytes({joined, family.size() + given.size()});  // the parts are decoded already
  }

  void Tel() {
    constexpr int kHome = 1, kWork = 2, kFax = 4, kCell = 8, kOther = 16;
    int bits = 0;
    uint16_t value = Value();
    for (const ContentParam* p = item->params; p != nullptr; p = p->next) {
      if (p->kind != ParamKind::type) continue;
      std::string_view word = p->text.View();
      if (EqualsNoCase(word, "HOME")) {
        bits |= kHome;
      } else if (EqualsNoCase(word, "WORK")) {
        bits |= kWork;
      } else if (EqualsNoCase(word, "FAX")) {
        bits |= kFax;
      } else if (EqualsNoCase(word, "CELL")) {
        if (IsEmpty(F::mobiles)) Set(F::mobiles, value);
        bits |= kCell;
      } else {
        // A number of another type (VOICE, PREF, ...) is a phone when there is
        // none yet and no type has placed it.
        if (IsEmpty(F::phones) && bits == 0) Set(F::phones, value);
        bits |= kOther;
      }
    }
    if (bits & kCell) return;
    // The home, work and fax bits decide, whatever other types came with them
    // ("TEL;HOME;PREF" is still a home phone).
    switch (bits & 7) {
      case 0:
        if (!(bits & kOther)) Set(F::phones, value);
        break;
      case kHome: Set(F::phones, value); break;
      case kWork: Set(F::companyPhones, value); break;
      case kHome | kWork:
        Set(F::phones, value);
        Set(F::companyPhones, value);
        break;
      case kFax:  // a fax of no stated place is taken as a home fax
      case kHome | kFax: Set(F::faxes, value); break;
      case kWork | kFax: Set(F::companyFaxes, value); break;
      case kHome | kWork | kFax:
        Set(F::faxes, value);
        Set(F::companyFaxes, value);
        break;
    }
  }

  // An address written as one piece of text: a vCard or MECARD ADR without
  // separators, and a MECARD ADR whose commas are not the positional form
  // (seven parts, or a first part -- the post-office box -- left empty):
  // "123 Main St, Springfield, IL 62701" is one street address.
  bool FreeFormAddress() const {
    if (item->componentCount <= 1) return true;
    if (!NameIs(object, "MECARD")) return false;
    return item->componentCount < kMaxComponents && !item->components[0].View().empty();
  }

  void Adr() {
    if (FreeFormAddress() && (item->params != nullptr || NameIs(object, "VCARD") ||
                              NameIs(object, "MECARD"))) {
      Set(item->FindParam("WORK") != nullptr ? F::companyStreet : F::street, Value());
      return;
    }
    if (item->FindParam("WORK") != nullptr) {
      Set(F::companyOfficeLocation, Component(1));
      Set(F::companyStreet, Component(2));
      Set(F::companyExtendedAddress, Component(3));
      Set(F::companyCity, Component(4));
      Set(F::companyPostalCode, Component(5));
      Set(F::companyCountry, Component(6));
    } else if (item->params != nullptr || NameIs(object, "VCARD") || NameIs(object, "MECARD")) {
      Set(F::officeLocation, Component(1));
      Set(F::street, Component(2));
      Set(F::extendedAddress, Component(3));
      Set(F::city, Component(4));
      Set(F::postalCode, Component(5));
      Set(F::country, Component(6));
    } else {
      Set(F::street, Value());
    }
  }

  void N() {
    if (NameIs(object, "VCARD") || NameIs(object, "MECARD") || NameIs(object, "CV3ADDRESSBOOK")) {
      static constexpr F kParts[] = {F::namePart1, F::namePart2, F::additionalNames,
                                     F::namePrefix, F::nameSuffix};
      for (int i = 0; i < 5; ++i) Set(kParts[i], Component(i));
      Set(F::shortName, ShortName());
    } else if (NameIs(object, "BIZCARD")) {
      Set(F::namePart2, Value());
    } else {
      Set(F::shortName, Value());
    }
  }

  void Geo() {
    std::string_view v = item->value.View();
    // MECARD ends its fields at ";", so its two numbers stand apart by ",".
    size_t cut = v.find(NameIs(object, "MECARD") ? ',' : ';');
    Set(F::longitude, Store(v.substr(0, cut)));
    if (cut != std::string_view::npos) Set(F::latitude, Store(v.substr(cut + 1)));
  }

  void Item() {
    transferMode = -1;
    itemCharset = 0;
    for (const ContentParam* p = item->params; p != nullptr; p = p->next) {
      if (p->kind == ParamKind::charset) itemCharset = CharsetOfName(p->text.View());
      if (p->kind != ParamKind::encoding) continue;
      if (EqualsNoCase(p->text.View(), "BASE64") || EqualsNoCase(p->text.View(), "B")) transferMode = 0;
      if (EqualsNoCase(p->text.View(), "QUOTED-PRINTABLE")) transferMode = 1;
    }
    charsetChosen = wholeDecoded = false;
    using K = PropKind;
    switch (item->kind) {
      case K::objectName: Set(F::keyword, Value()); break;
      case K::n: N(); break;
      case K::fn: Set(F::fullName, Value()); break;
      case K::tel: Tel(); break;
      case K::email: {
        uint16_t v = Value();
        if (item->FindParam("IM") != nullptr && IsEmpty(F::imAddress)) {
          Set(F::imAddress, v);
        } else {
          Set(F::emails, v);
        }
        break;
      }
      case K::url:
        if (Record().contentType == 1) {
          Set(F::webAddress, ScanResult::kRawTextStart);
        } else {
          Set(F::webAddress, Value());
        }
        break;
      case K::adr: Adr(); break;
      case K::add: Set(F::street, Value()); break;
      case K::note:
      case K::memory: Set(F::note, Value()); break;
      case K::title:
      case K::til: Set(F::title, Value()); break;
      case K::org:
        if (NameIs(object, "VCARD")) {
          Set(F::company, Component(0));
          Set(F::department, Component(1));
        } else {
          Set(F::company, Value());
        }
        break;
      case K::geo: Geo(); break;
      case K::bday: Set(F::birthday, Value()); break;
      case K::nickname: Set(F::nickname, Value()); break;
      case K::label: SetFirst(F::label, Value()); break;
      case K::fax: Set(F::faxes, Value()); break;
      case K::telAv:
      case K::tel2: Set(F::extraPhone2, Value()); break;
      case K::tel1: {
        uint16_t v = Value();
        Set(F::phones, v);
        Set(F::extraPhone1, v);
        break;
      }
      case K::tel3: Set(F::extraPhone3, Value()); break;
      case K::to:
      case K::sm: Set(F::recipient, Value()); break;
      case K::sub: Set(F::subject, Value()); break;
      case K::body:
      case K::txt:
      case K::intr: Set(F::body, Value()); break;
      case K::name: Set(F::shortName, Value()); break;
      case K::name1: {
        uint16_t v = Value();
        Set(F::shortName, v);
        Set(F::displayName, v);
        break;
      }
      case K::name2: Set(F::secondName, Value()); break;
      case K::mail1: {
        uint16_t v = Value();
        Set(F::emails, v);
        Set(F::extraEmail1, v);
        break;
      }
      case K::mail2: Set(F::extraEmail2, Value()); break;
      case K::mail3: Set(F::extraEmail3, Value()); break;
      case K::city: Set(F::city, Value()); break;
      case K::zip: Set(F::postalCode, Value()); break;
      case K::ct: Set(F::phones, Value()); break;
      case K::em: Set(F::emails, Value()); break;
      case K::div: Set(F::department, Value()); break;
      case K::cor: Set(F::company, Value()); break;
      case K::len:
      case K::lng: Set(F::length, Value()); break;
      case K::file: Set(F::file, Value()); break;
      case K::cr: Set(F::crField, Value()); break;
      case K::dg: Set(F::advertBuyBody, Value()); break;
      case K::cvsid: Set(F::advertBuyNumber, Value()); break;
      case K::type: Set(F::type, Value()); break;
      case K::im: SetFirst(F::imAddress, Value()); break;
      case K::bizFamilyName: Set(F::namePart1, Value()); break;
      case K::bizCompanyStreet: Set(F::companyStreet, Value()); break;
      case K::bizCompanyPhone: Set(F::companyPhones, Value()); break;
      case K::bizMobile: Set(F::mobiles, Value()); break;
      case K::bizCompanyFax: Set(F::companyFaxes, Value()); break;
      case K::number:
        Record().number = static_cast<uint32_t>(std::strtoul(item->value.text, nullptr, 10));
        break;
      case K::tagId: Set(F::tagId, Value()); break;
      case K::eventSubject: Set(F::eventSubject, Value()); break;
      case K::eventLocation: Set(F::eventLocation, Value()); break;
      case K::eventOther: Set(F::eventOther, Value()); break;
      case K::eventStart: Set(F::eventStart, Value()); break;
      case K::eventEnd: Set(F::eventEnd, Value()); break;
      // Read by classification, or fill no field.
      case K::functionNumber:
      case K::addressBookKind:
      case K::wtaiLibrary:
      case K::wtaiFunction:
      case K::forceUnclassified:
      case K::other:
      case K::sound:
      case K::role:
      case K::photo:
      case K::logo:
        break;
    }
  }
};

}  // namespace

uint16_t PoolAppend(ScanResult& record, uint16_t& poolFill, std::u16string_view text) {
  if (text.empty() || poolFill + text.size() + 1 > static_cast<size_t>(kFieldPoolUnits)) {
    return ScanResult::kEmptyString;
  }
  char16_t* at = record.pool() + poolFill;
  std::memcpy(static_cast<void*>(at), text.data(), sizeof(char16_t) * text.size());
  at[text.size()] = 0;
  auto offset = static_cast<uint16_t>(ScanResult::kPoolStart + poolFill);
  poolFill = static_cast<uint16_t>(poolFill + text.size() + 1);
  return offset;
}

void FillObjectFields(const ContentObject& object, ContentFill& fill, ParsePool& pool) {
  Walk walk{object, fill, pool};
  for (const ContentItem* item = object.items; item != nullptr; item = item->next) {
    walk.item = item;
    walk.Item();
  }
}

void FillContentRecord(const ContentObject* objects, ContentFill& fill, ParsePool& pool) {
  for (const ContentObject* o = objects; o != nullptr; o = o->next) FillObjectFields(*o, fill, pool);
}

}  // namespace cordavex
