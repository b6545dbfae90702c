// The result record: one caller-owned record that carries the scan options into
// the engine and comes back as the content record.
//
// On input the first word is `mode` and the fifth `symbologyMask`; after a
// successful scan the same words hold the content type and 0. Field values are
// UTF-16 strings inside the record's own text area, and every reference to one
// (display text, the 63 fields) is an offset into that area, never a pointer, so
// a record copied whole (into the history, across threads) stays valid.
//
// The record is plain data; it has no invariants beyond "every reference is
// within the text area", which the accessors check. Not thread-safe: one writer
// at a time.
#pragma once

#include <array>
#include <iterator>
#include <cstdint>
#include <string>
#include <string_view>

namespace cordavex {

// The content record's 63 field roles, in record order.
enum class Field : uint8_t {
  keyword, shortName, fullName, phones, mobiles, emails, webAddress, street, city,
  postalCode, recipient, subject, body, title, note, country, extendedAddress,
  officeLocation, namePart1, namePart2, additionalNames, namePrefix, nameSuffix, label,
  birthday, field26, nickname, longitude, latitude, field30, field31, faxes, department,
  company, length, file, crField, advertBuyBody, advertBuyNumber, type, imAddress,
  companyPhones, companyFaxes, companyCountry, companyExtendedAddress,
  companyOfficeLocation, companyPostalCode, companyCity, companyStreet, eventSubject,
  eventLocation, eventOther, eventStart, eventEnd, tagId, extraPhone1, extraPhone2,
  extraPhone3, extraEmail1, extraEmail2, extraEmail3, displayName, secondName,
};

inline constexpr int kFieldCount = 63;

// The role names used in JSON output, one row per field in record order.
struct FieldNameRow {
  Field field;
  std::string_view name;
};
inline constexpr FieldNameRow kFieldNames[] = {
    {Field::keyword, "keyword"},
    {Field::shortName, "shortName"},
    {Field::fullName, "fullName"},
    {Field::phones, "phones"},
    {Field::mobiles, "mobiles"},
    {Field::emails, "emails"},
    {Field::webAddress, "webAddress"},
    {Field::street, "street"},
    {Field::city, "city"},
    {Field::postalCode, "postalCode"},
    {Field::recipient, "recipient"},
    {Field::subject, "subject"},
    {Field::body, "body"},
    {Field::title, "title"},
    {Field::note, "note"},
    {Field::country, "country"},
    {Field::extendedAddress, "extendedAddress"},
    {Field::officeLocation, "officeLocation"},
    {Field::namePart1, "namePart1"},
    {Field::namePart2, "namePart2"},
    {Field::additionalNames, "additionalNames"},
    {Field::namePrefix, "namePrefix"},
    {Field::nameSuffix, "nameSuffix"},
    {Field::label, "label"},
    {Field::birthday, "birthday"},
    {Field::field26, "field26"},
    {Field::nickname, "nickname"},
    {Field::longitude, "longitude"},
    {Field::latitude, "latitude"},
    {Field::field30, "field30"},
    {Field::field31, "field31"},
    {Field::faxes, "faxes"},
    {Field::department, "department"},
    {Field::company, "company"},
    {Field::length, "length"},
    {Field::file, "file"},
    {Field::crField, "crField"},
    {Field::advertBuyBody, "advertBuyBody"},
    {Field::advertBuyNumber, "advertBuyNumber"},
    {Field::type, "type"},
    {Field::imAddress, "imAddress"},
    {Field::companyPhones, "companyPhones"},
    {Field::companyFaxes, "companyFaxes"},
    {Field::companyCountry, "companyCountry"},
    {Field::companyExtendedAddress, "companyExtendedAddress"},
    {Field::companyOfficeLocation, "companyOfficeLocation"},
    {Field::companyPostalCode, "companyPostalCode"},
    {Field::companyCity, "companyCity"},
    {Field::companyStreet, "companyStreet"},
    {Field::eventSubject, "eventSubject"},
    {Field::eventLocation, "eventLocation"},
    {Field::eventOther, "eventOther"},
    {Field::eventStart, "eventStart"},
    {Field::eventEnd, "eventEnd"},
    {Field::tagId, "tagId"},
    {Field::extraPhone1, "extraPhone1"},
    {Field::extraPhone2, "extraPhone2"},
    {Field::extraPhone3, "extraPhone3"},
    {Field::extraEmail1, "extraEmail1"},
    {Field::extraEmail2, "extraEmail2"},
    {Field::extraEmail3, "extraEmail3"},
    {Field::displayName, "displayName"},
    {Field::secondName, "secondName"},
};

constexpr bool FieldRowsInRecordOrder() {
  for (int i = 0; i < kFieldCount; ++i) {
    if (static_cast<int>(kFieldNames[i].field) != i) return false;
  }
  return true;
}
static_assert(std::size(kFieldNames) == kFieldCount && FieldRowsInRecordOrder(),
              "one name row per field, in record order");

constexpr std::string_view FieldName(Field f) { return kFieldNames[static_cast<int>(f)].name; }

struct ScanResult {
  static constexpr int kRawTextUnits = 800;
  static constexpr int kPoolUnits = 800;
  static constexpr int kKeyAreaUnits = 64;
  // Text area layout, in UTF-16 units: raw text, string pool (whose last 64 units
  // are the key area), then one unit that is always zero: the shared empty string.
  static constexpr uint16_t kRawTextStart = 0;
  static constexpr uint16_t kPoolStart = kRawTextUnits;
  static constexpr uint16_t kKeyAreaStart = kPoolStart + kPoolUnits - kKeyAreaUnits;
  static constexpr uint16_t kEmptyString = kPoolStart + kPoolUnits;
  static constexpr int kTextUnits = kEmptyString + 1;

  // First word: `mode` (0..11) on input, the content type code on output.
  int32_t contentType;
  uint32_t subType;
  uint32_t number;
  int32_t resultMarker;
  // Fifth word: `symbologyMask` on input, 0 on output.
  int32_t fifthWord;
  char16_t text[kTextUnits];
  uint16_t displayText;          // offset into text
  uint16_t fields[kFieldCount];  // offsets into text

  // The input words under their input names.
  int32_t& mode() { return contentType; }
  int32_t mode() const { return contentType; }
  int32_t& symbologyMask() { return fifthWord; }
  int32_t symbologyMask() const { return fifthWord; }

  char16_t* rawText() { return text + kRawTextStart; }
  const char16_t* rawText() const { return text + kRawTextStart; }
  char16_t* pool() { return text + kPoolStart; }
  const char16_t* pool() const { return text + kPoolStart; }
  char16_t* keyArea() { return text + kKeyAreaStart; }
  const char16_t* keyArea() const { return text + kKeyAreaStart; }

  // The zero-terminated string at a text offset; an offset outside the text area
  // reads as the empty string.
  std::u16string_view StringAt(uint16_t offset) const;
  std::u16string_view Get(Field f) const { return StringAt(fields[static_cast<int>(f)]); }
  std::u16string_view DisplayText() const { return StringAt(displayText); }
  std::u16string_view RawText() const { return StringAt(kRawTextStart); }

  // Clears the whole record, points every field at the shared empty string and
  // the display text at the start of the string pool.
  void Clear();
};

static_assert(sizeof(ScanResult) % 4 == 0);

// A record's UTF-16 text as UTF-8; an unpaired surrogate becomes U+FFFD, so the
// result is always valid UTF-8. Allocates the returned string.
std::string ToUtf8(std::u16string_view text);

}  // namespace cordavex
