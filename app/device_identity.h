// Who the program runs on: the model string, the platform, the display
// orientation and the device class that steers every camera and display quirk,
// and the filter's rotation set-up that follows from them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/device_profile.h"

namespace cordavex::app {

struct CeVersion {
  uint32_t major = 0, minor = 0;
};

struct DeviceIdentity {
  std::u16string model;  // the OEM string, at most 64 characters
  bool smartphone = false;
  int32_t orientation = 0;  // 0, 1 (90), 2 (180), 4 (270)
  int32_t deviceClass = 0;
  int32_t screenWidth = 240, screenHeight = 320;
};

inline constexpr size_t kModelMaxLength = 64;

// The device class of a model (0 to 18). `version` is what the version query
// reported, or nothing when it failed; only two rows look at it.
int32_t DeviceClassOf(std::u16string_view model, std::optional<CeVersion> version);

// Reads the identity from the profile.
DeviceIdentity IdentifyDevice(const platform::DeviceProfile& profile);

// ASCII case-insensitive equality, as the model comparisons use.
bool SameModel(std::u16string_view a, std::u16string_view b);
bool ModelContains(std::u16string_view model, std::u16string_view part);

// One call the main window makes to set up the filter's rotation.
struct RotationCall {
  enum Kind : uint8_t { kSetAutoDetectRotate, kSetGlobalRotate, kSetRxy } kind;
  int32_t first = 0, second = 0;
  bool operator==(const RotationCall&) const = default;
};
std::vector<RotationCall> RotationCallsFor(const DeviceIdentity& device);

}  // namespace cordavex::app
