// The device profile: what the phone says about itself — OEM model string,
// platform type, Windows CE version, screen size, display orientation and UI
// language — kept in "device.json" in the device root, so that a person can
// make the program believe it runs on any phone of the device tables.
//
//   {"model": "Linux", "platform": "PocketPC", "ceVersion": "5.2",
//    "screen": {"width": 240, "height": 320}, "orientation": 0, "uiLanguage": "0404"}
//
// Every key is optional; a missing key keeps its default. CORDAVEX_UI_LANGUAGE
// (hex, "0804") overrides the file's language.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/device.h"
#include "platform/status.h"

namespace cordavex::platform {

struct DeviceProfile {
  std::string model = "Linux";        // SPI_GETOEMINFO, at most 64 characters
  std::string platform = "PocketPC";  // SPI_GETPLATFORMTYPE: "PocketPC" or "Smartphone"
  uint32_t ceMajor = 5, ceMinor = 2;
  int32_t screenWidth = 240, screenHeight = 320;  // 240x320, 320x240, 480x640, 640x480
  int32_t orientation = 0;                        // 0, 1 (90), 2 (180), 4 (270)
  uint16_t uiLanguage = 0x0404;

  bool smartphone() const;  // platform equals "Smartphone", case-insensitively
};

// Parses the profile; on failure `error` names the key and what is wrong.
Status ParseDeviceProfile(std::string_view json, DeviceProfile* profile);
std::string FormatDeviceProfile(const DeviceProfile& profile);

// Reads "device.json", writing the defaults there first when it is missing,
// then applies CORDAVEX_UI_LANGUAGE. A malformed file is left untouched and
// reported (the status names the file); the profile then holds the defaults.
Status LoadDeviceProfile(Device& device, DeviceProfile* profile);

// Makes the device root's standard folders: "Windows", "Program Files/Cordavex",
// "Temp", "Storage Card", "My Documents".
Status PrepareDeviceRoot(Device& device);

}  // namespace cordavex::platform
