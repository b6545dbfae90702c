#include "content/scan_result.h"

#include <cstring>

namespace cordavex {

const std::array<std::string_view, kFieldCount> kFieldNames = {
    "keyword", "shortName", "fullName", "phones", "mobiles", "emails", "webAddress",
    "street", "city", "postalCode", "recipient", "subject", "body", "title", "note",
    "country", "extendedAddress", "officeLocation", "namePart1", "namePart2",
    "additionalNames", "namePrefix", "nameSuffix", "label", "birthday", "field26",
    "nickname", "longitude", "latitude", "field30", "field31", "faxes", "department",
    "company", "length", "file", "crField", "advertBuyBody", "advertBuyNumber", "type",
    "imAddress", "companyPhones", "companyFaxes", "companyCountry",
    "companyExtendedAddress", "companyOfficeLocation", "companyPostalCode", "companyCity",
    "companyStreet", "eventSubject", "eventLocation", "eventOther", "eventStart",
    "eventEnd", "tagId", "extraPhone1", "extraPhone2", "extraPhone3", "extraEmail1",
    "extraEmail2", "extraEmail3", "displayName", "secondName",
};

std::u16string_view ScanResult::StringAt(uint16_t offset) const {
  if (offset >= kTextUnits) return {};
  // Bounded by the text area even when a record was filled carelessly and its
  // terminating zero is missing.
  size_t length = 0;
  while (offset + length < static_cast<size_t>(kTextUnits) && text[offset + length] != 0) ++length;
  return {text + offset, length};
}

void ScanResult::Clear() {
  std::memset(static_cast<void*>(this), 0, sizeof(*this));
  displayText = kPoolStart;
  for (uint16_t& f : fields) f = kEmptyString;
}

}  // namespace cordavex
