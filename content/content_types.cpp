#include "content/content_types.h"

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

struct FunctionType {
  int number;
  int32_t type;
};

constexpr FunctionType kFunctionTypes[] = {
    {1, kTypeSimpleContact}, {2, kTypeContactCard}, {3, kTypeTextMessage},
    {4, kTypeBookmark},      {5, kTypeMms},         {6, kTypeEmail},
    {7, kTypeCalendar},      {8, kTypeDatedItem},   {9, kTypePlainText},
    {10, kTypePlainText},
};

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

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

int32_t TypeOfFunctionNumber(int number) {
  for (const FunctionType& row : kFunctionTypes) {
    if (row.number == number) return row.type;
  }
  return kTypeUnclassified;
}

int32_t TypeOfAddressBookKind(std::string_view kind) {
  return Find(kAddressBookKinds, kind, true, kTypeUnclassified);
}

}  // namespace cordavex
