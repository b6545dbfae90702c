// The program's settings: the values under HKEY_CURRENT_USER\Software\Cordavex
// with their defaults, the push registration written at every start, and the
// three symbology boxes derived from `cv_item`.
//
// Threads: the settings are written on the UI thread before the capture
// threads start, except `Focus_Screen` and `cv_item`, which the settings
// screen changes while the capture threads run (paused); every field is an
// atomic so that any thread may read it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string_view>

#include "platform/device.h"

namespace cordavex::app {

inline constexpr std::u16string_view kSettingsKey = u"Software\\Cordavex";
inline constexpr std::u16string_view kAppPathValue = u"CordavexAppPath";
inline constexpr std::u16string_view kDecodeSoundValue = u"Decode_Sound";
inline constexpr std::u16string_view kFocusScreenValue = u"Focus_Screen";
inline constexpr std::u16string_view kAutoSaveValue = u"Auto_Save";
inline constexpr std::u16string_view kChoiceBrowserValue = u"Choice_Browser";
inline constexpr std::u16string_view kCvItemValue = u"cv_item";

// The WAP push router's registration keys, one per application port.
struct PushRegistration {
  std::u16string_view key;
  std::u16string_view portValue;
};
inline constexpr std::array<PushRegistration, 2> kPushRegistrations{{
    {u"Software\\Microsoft\\Shell\\Event\\Network\\WDP\\16999\\Cordavex", u"16999"},
    {u"Software\\Microsoft\\Shell\\Event\\Network\\WDP\\17999\\Cordavex", u"17999"},
}};
inline constexpr uint32_t kPushPortData = 32769;  // 0x8001
inline constexpr std::u16string_view kPushCommand = u"\\Progra~1\\Cordavex\\Cordavex.exe";
inline constexpr std::u16string_view kPushClass = u"Cordavex";

struct Settings {
  std::atomic<uint32_t> decodeSound{1};
  std::atomic<uint32_t> focusScreen{1};
  std::atomic<uint32_t> autoSave{0};
  std::atomic<uint32_t> choiceBrowser{1};
  std::atomic<uint32_t> cvItem{7};
  // The settings screen's symbology boxes: QR code (bit 0), Cordavex code
  // (bit 1), Data Matrix (bit 2).
  std::array<std::atomic<bool>, 3> symbology{true, true, true};
};

// The five DWORD values in table order, with a pointer to the field each sets.
struct DwordSetting {
  std::u16string_view name;
  uint32_t defaultValue;
  std::atomic<uint32_t> Settings::*field;
};
extern const std::array<DwordSetting, 5> kDwordSettings;

// Sets the boxes from `cv_item` as the start-up rule has it: 7 or 0 all on; 6
// bits 1 and 2; 3 bits 0 and 1; 2 only bit 1; any other value leaves them.
void DeriveSymbologyBoxes(uint32_t cvItem, Settings* settings);

// Writes the defaults at start: the push registration under HKEY_LOCAL_MACHINE,
// then the settings key — created with every value, or read with every missing
// or non-DWORD value replaced by its default. `modulePath` is the running
// program's path, rewritten every time. A registry that fails leaves the
// settings as they are in memory; nothing is reported.
void WriteSettingsDefaults(platform::Device& device, std::u16string_view modulePath, Settings* settings);

// Writes the five DWORD values from the settings (the settings screen's OK).
platform::Status StoreSettings(platform::Device& device, const Settings& settings);

}  // namespace cordavex::app
