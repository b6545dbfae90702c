// Reads arbitrary text as device.json, the profile a person edits by hand.
// Whatever it holds, the parse ends with a status; a profile that parses
// formats back to a text that parses to the same profile, and the values it
// holds are within the ranges the program relies on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/device_profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace cordavex::platform;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  DeviceProfile profile;
  if (!ParseDeviceProfile(text, &profile).ok()) return 0;
  if (profile.screenWidth < 1 || profile.screenWidth > 2048 || profile.screenHeight < 1 ||
      profile.screenHeight > 2048 || profile.uiLanguage == 0) {
    std::abort();
  }
  if (profile.orientation != 0 && profile.orientation != 1 && profile.orientation != 2 &&
      profile.orientation != 4) {
    std::abort();
  }
  DeviceProfile again;
  if (!ParseDeviceProfile(FormatDeviceProfile(profile), &again).ok()) std::abort();
  if (FormatDeviceProfile(again) != FormatDeviceProfile(profile)) std::abort();
  return 0;
}
