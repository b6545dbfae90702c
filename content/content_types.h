// Content type codes and the tables that lead to them: object names, WTAI
// library and function words, function numbers of our numbered-function and
// address-book forms, and address-book kind words.
//
// Every part of the system that acts on a result (result screens, history,
// generators) refers to content by these codes. Read-only constant data; safe
// from any thread.
#pragma once

#include <cstdint>
#include <string_view>

#include "content/parser.h"
#include "cordavex/content.h"

namespace cordavex {


inline constexpr int32_t kNoType = -1;

// The type an object name gives ("MECARD" 14), or kNoType for a name that
// leaves the type as it is ("ORANGE", "QBCODE", ...). Exact, upper-case names
// as the parser writes them.
int32_t TypeOfObjectName(std::string_view name);

// WTAI library code: "wp" 0, "vc" 1, "nt" 2, "pb" 3, "cl" 4, "ms" 5 (any case);
// -1 for any other word.
int32_t WtaiLibraryCode(std::string_view library);
inline constexpr int32_t kWtaiPublicLibrary = 0;  // "wp"

// The type a function of the public WTAI library stands for: "mc" (make call)
// 3, "ap" (add to phonebook) 4; kTypeWtaiLink for every other function.
int32_t TypeOfWtaiFunction(std::string_view function);

// The numbered-function form "DD[N...];value", one row per function number:
// the property its value is stored as and the type the number gives. Numbers
// 51..60 stand for a tag id whose sub-type is the type of the number 50 below;
// any number without a row stores its value as the body and gives type 256.
struct NumberedFunction {
  int number;
  PropKind value;
  int32_t type;
};
inline constexpr NumberedFunction kNumberedFunctions[] = {
    {1, PropKind::tel, kTypeSimpleContact},
    {2, PropKind::name, kTypeContactCard},
    {3, PropKind::to, kTypeTextMessage},
    {4, PropKind::url, kTypeBookmark},
    {5, PropKind::to, kTypeMms},
    {6, PropKind::to, kTypeEmail},
    {7, PropKind::eventSubject, kTypeCalendar},
    {8, PropKind::eventSubject, kTypeDatedItem},
    {9, PropKind::body, kTypePlainText},
    {10, PropKind::tel, kTypePlainText},
};
inline constexpr int kFirstTagFunction = 51;
inline constexpr int kLastTagFunction = 60;
inline constexpr int kTagFunctionOffset = 50;
inline constexpr int kTagIdLength = 14;  // units a tag id needs to count as one

// The row of a function number 1..10, or nullptr.
const NumberedFunction* FindNumberedFunction(int number);
// The property a function number's value is stored as.
PropKind NumberedFunctionValue(int number);
// The type a function number gives (see above).
int32_t TypeOfFunctionNumber(int number);

// Address-book kind words (any case): "MAIL" 7, "SMS" 5, "PHONE" 3, "BM" 12,
// "AD" 26, "DTXT" 24, "MEDIA" 25; 256 for any other word.
int32_t TypeOfAddressBookKind(std::string_view kind);

}  // namespace cordavex
