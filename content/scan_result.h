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
#include <cstdint>
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

// The role names used by the command line's JSON output, in record order.
extern const std::array<std::string_view, kFieldCount> kFieldNames;

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

  // First word: `mode` (0..5) on input, the content type code on output.
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

}  // namespace cordavex
