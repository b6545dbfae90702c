#include "app/device_identity.h"

#include <array>

#include "platform/device.h"

namespace cordavex::app {
namespace {

char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

struct ClassRow {
  std::u16string_view model;
  int32_t deviceClass;
};

// Compared whole; the first row that matches wins. The rows whose class depends
// on the CE version, and the "Asus P73" part match, are handled in between.
constexpr std::array kRowsBeforeAsusMars{
    ClassRow{u"ASUS P305", 3}, ClassRow{u"ASUS ARIES", 3}, ClassRow{u"Asus P535", 1},
    ClassRow{u"Asus Corp", 1}, ClassRow{u"Asus P526", 1},  ClassRow{u"Asus P525", 1},
    ClassRow{u"ASUS P750", 4},
};
constexpr std::array kRowsAfterZinc{
    ClassRow{u"Mio Technology Limited", 5},
    ClassRow{u"Kaiser", 5},
    ClassRow{u"TITA100", 6},
};
constexpr std::array kRowsAfterGraphite{
    ClassRow{u"IAC K868", 12},
    ClassRow{u"IAC S868", 12},
    ClassRow{u"Texas Instruments Inc", 10},
    ClassRow{u"PU10", 11},
    ClassRow{u"VOGU100", 11},
    ClassRow{u"LIBR100", 1},
    ClassRow{u"QINGDAO", 13},
    ClassRow{u"BenQ P21", 10},
    ClassRow{u"HTC S310", 14},
    ClassRow{u"HP iPAQ 514 Voice Messenger", 18},
    ClassRow{u"MotoQ", 15},
    ClassRow{u"SGH-i607", 15},
    ClassRow{u"SGH-i600", 15},
    ClassRow{u"PPC Phone Device", 16},
    ClassRow{u"HISYS", 17},
    ClassRow{u"HTC_S710", 10},
    ClassRow{u"HTC_S730", 10},
};

template <size_t N>
std::optional<int32_t> MatchRows(std::u16string_view model, const std::array<ClassRow, N>& rows) {
  for (const ClassRow& row : rows) {
    if (SameModel(model, row.model)) return row.deviceClass;
  }
  return std::nullopt;
}

// "Windows CE 5.2" is the version query reporting 5.2; a failed query keeps the
// class the row names first.
bool IsCe52OrUnknown(std::optional<CeVersion> version) {
  return !version || (version->major == 5 && version->minor == 2);
}

}  // namespace

bool SameModel(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

bool ModelContains(std::u16string_view model, std::u16string_view part) {
  if (part.size() > model.size()) return false;
  for (size_t start = 0; start + part.size() <= model.size(); ++start) {
    if (SameModel(model.substr(start, part.size()), part)) return true;
  }
  return false;
}

int32_t DeviceClassOf(std::u16string_view model, std::optional<CeVersion> version) {
  if (auto found = MatchRows(model, kRowsBeforeAsusMars)) return *found;
  if (SameModel(model, u"Asus Mars") || ModelContains(model, u"Asus P73")) return 2;
  if (SameModel(model, u"O2 Xda Atom Exec") || SameModel(model, u"ELF010000")) return 6;
  if (SameModel(model, u"O2 Xda Atom Life")) return version && version->major == 5 && version->minor == 2 ? 8 : 7;
  if (SameModel(model, u"O2 Xda Zinc")) return IsCe52OrUnknown(version) ? 9 : 0;
  if (auto found = MatchRows(model, kRowsAfterZinc)) return *found;
  if (SameModel(model, u"Xda Graphite")) return version && version->major == 5 && version->minor == 2 ? 8 : 7;
  if (auto found = MatchRows(model, kRowsAfterGraphite)) return *found;
  return 0;
}

DeviceIdentity IdentifyDevice(const platform::DeviceProfile& profile) {
  DeviceIdentity device;
  device.model = platform::Utf16(profile.model);
  if (device.model.size() > kModelMaxLength) device.model.resize(kModelMaxLength);
  device.smartphone = profile.smartphone();
  device.orientation = profile.orientation;
  device.deviceClass = DeviceClassOf(device.model, CeVersion{profile.ceMajor, profile.ceMinor});
  device.screenWidth = profile.screenWidth;
  device.screenHeight = profile.screenHeight;
  return device;
}

std::vector<RotationCall> RotationCallsFor(const DeviceIdentity& device) {
  using Kind = RotationCall::Kind;
  const std::u16string_view model = device.model;
  const int32_t c = device.deviceClass;
  if (SameModel(model, u"HERM100") || SameModel(model, u"TRIN100") || SameModel(model, u"HERA10000")) {
    return {{Kind::kSetAutoDetectRotate, 0}};
  }
  if (SameModel(model, u"ASUS P305") && device.smartphone) return {{Kind::kSetRxy, 320, 240}};
  if (c == 18) return {{Kind::kSetAutoDetectRotate, 0}};
  if (c == 14) return {{Kind::kSetAutoDetectRotate, 0}, {Kind::kSetGlobalRotate, 2}};
  if (c == 1 || c == 2 || c == 4 || c == 12 || c == 17 || c == 8 || c == 9) {
    return {{Kind::kSetAutoDetectRotate, 0}};
  }
  if (c == 7 || SameModel(model, u"Xda Graphite")) {
    return {{Kind::kSetAutoDetectRotate, 0}, {Kind::kSetGlobalRotate, 1}};
  }
  return {};
}

}  // namespace cordavex::app
