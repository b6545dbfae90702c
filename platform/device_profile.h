// The device profile: what the phone says about itself — OEM model string,
// platform type, Windows CE version, screen size, display orientation and UI
// language — kept in "device.json" in the device root, so that a person can
// make the program believe it runs on any phone of the device tables.
//
//   {"model": "Linux", "platform": "PocketPC", "ceVersion": "5.2",
//    "screen": {"width": 240, "height": 320}, "orientation": 0, "uiLanguage": "0404"}
//
// Every key is optional; a missing key keeps its default. An unknown key or a
// value out of range is an error naming the key: screen sides 1..2048,
// orientation 0, 1, 2 or 4, uiLanguage 1 to 4 hex digits, ceVersion a string
// "MAJOR.MINOR" (not a number, which would read 5.10 as 5.1). A model longer
// than 64 UTF-16 characters is cut to 64, as the phone's OEM buffer holds no
// more. CORDAVEX_UI_LANGUAGE (hex, "0804") overrides the file's language.
//
// Plain functions over a Device; safe from any thread as the Device is.
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

// 1 to 4 hexadecimal digits ("0404", "804"), with or without "0x"; not 0.
bool ParseUiLanguage(std::string_view text, uint16_t* language);
// CORDAVEX_UI_LANGUAGE when it is set and readable.
bool UiLanguageFromEnvironment(uint16_t* language);

// Parses the profile over the values *profile holds (the defaults, usually);
// on failure the status names the key and what is wrong, and *profile is
// left as it was.
Status ParseDeviceProfile(std::string_view json, DeviceProfile* profile);
std::string FormatDeviceProfile(const DeviceProfile& profile);

// Reads "device.json", writing the defaults there first when it is missing,
// then applies CORDAVEX_UI_LANGUAGE. A malformed file is left untouched and
// reported (the status names the file); the profile then holds the defaults.
// The language override applies in every case.
Status LoadDeviceProfile(Device& device, DeviceProfile* profile);

// Makes the device root's standard folders: "Windows", "Program Files/Cordavex",
// "Temp", "Storage Card", "My Documents". A root where they cannot be made
// (a file in the way, no permission) gives one status saying so.
Status PrepareDeviceRoot(Device& device);

}  // namespace cordavex::platform
