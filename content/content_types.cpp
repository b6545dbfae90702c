#include "content/content_types.h"

#include "decode/text_routines.h"

namespace cordavex {
namespace {

struct NamedType {
  std::string_view name;
  int32_t type;
};

// Object names as the parser writes them. "CV3ADDRESSBOOK" is decided later,
// from the fields present.
constexpr NamedType kObjectTypes[] = {
    {"TEL", kTypePhone},
    {"HTTP", kTypeWebAddress},
    {"WTAI", kTypeWtaiLink},
    {"VFMAILTO", kTypeVendorEmail},
    {"VCARD", kTypeVcard},
    {"MECARD", kTypeMecard},
    {"MATMSG", kTypeMatmsg},
    {"SMTP", kTypeEmail},
    {"SMS", kTypeTextMessage},
    {"MMS", kTypeMms},
    {"WEBKM", kTypeBookmark},
    {"VFBOOKMARK", kTypeBookmark},
    {"MEMORY", kTypeMemory},
    {"CALLTO", kTypeSkypeCall},
    {"BIZCARD", kTypeBusinessCard},
    {"CV3ADDRESSBOOK", kTypeUnclassified},
    {"VCALENDAR", kTypeCalendar},
};

constexpr NamedType kWtaiLibraries[] = {
    {"wp", 0}, {"vc", 1}, {"nt", 2}, {"pb", 3}, {"cl", 4}, {"ms", 5},
};

constexpr NamedType kWtaiPublicFunctions[] = {
    {"mc", kTypePhone},          // make call
    {"ap", kTypeSimpleContact},  // add to phonebook
};

constexpr NamedType kAddressBookKinds[] = {
    {"MAIL", kTypeEmail},        {"SMS", kTypeTextMessage},       {"PHONE", kTypePhone},
    {"BM", kTypeBookmark},       {"AD", kTypeAdvert},             {"DTXT", kTypeTextWithSubject},
    {"MEDIA", kTypeMedia},
};

template <size_t N>
int32_t Find(const NamedType (&table)[N], std::string_view word, bool ignoreCase, int32_t absent) {
  for (const NamedType& row : table) {
    if (ignoreCase ? EqualsNoCase(row.name, word) : row.name == word) return row.type;
  }
  return absent;
}

}  // namespace

int32_t TypeOfObjectName(std::string_view name) {
  return Find(kObjectTypes, name, false, kNoType);
}

int32_t WtaiLibraryCode(std::string_view library) {
  return Find(kWtaiLibraries, library, true, -1);
}

int32_t TypeOfWtaiFunction(std::string_view function) {
  return Find(kWtaiPublicFunctions, function, true, kTypeWtaiLink);
}

const NumberedFunction* FindNumberedFunction(int number) {
  for (const NumberedFunction& row : kNumberedFunctions) {
    if (row.number == number) return &row;
  }
  return nullptr;
}

PropKind NumberedFunctionValue(int number) {
  if (number >= kFirstTagFunction && number <= kLastTagFunction) return PropKind::tagId;
  const NumberedFunction* row = FindNumberedFunction(number);
  return row != nullptr ? row->value : PropKind::body;
}

int32_t TypeOfFunctionNumber(int number) {
  const NumberedFunction* row = FindNumberedFunction(number);
  return row != nullptr ? row->type : kTypeUnclassified;
}

int32_t TypeOfAddressBookKind(std::string_view kind) {
  return Find(kAddressBookKinds, kind, true, kTypeUnclassified);
}

}  // namespace cordavex
