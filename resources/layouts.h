// The layouts every language shares: which controls each dialog holds, in
// which order, where and with which flags, and which commands each menu bar
// gives. A language table supplies only its texts, so the three languages can
// never drift apart in anything but words.
//
// Internal to cordavex_resources: everything here is constant-evaluated into
// the tables of each language's .cpp file.
#pragma once

#include <array>
#include <cstdint>
#include <iterator>

#include "resources/resource_ids.h"
#include "resources/resource_module.h"

namespace cordavex::resources::layout {

// The program's title and window class read the same in every language.
inline constexpr const char16_t* kProgramName = u"Cordavex 3.6";

// --- main menu bar (102) ---

struct MainMenuTexts {
  const char16_t* exit;
  const char16_t* menu;
  const char16_t* about;
  const char16_t* help;
  const char16_t* onlineUpdate;
  const char16_t* browseHistory;
  const char16_t* settings;
  const char16_t* personalInfo;
};

constexpr std::array<MenuItemTemplate, 7> MainMenuItems(const MainMenuTexts& t) {
  return {{
      {kCommandAbout, t.about},
      {kCommandHelp, t.help},
      {kCommandOnlineUpdate, t.onlineUpdate},
      {0, u""},  // separator
      {kCommandBrowseHistory, t.browseHistory},
      {kCommandSettings, t.settings},
      {kCommandPersonalInfo, t.personalInfo},
  }};
}

// --- settings dialog (332) ---

struct SettingsTexts {
  const char16_t* caption;
  const char16_t* decodeSound;
  const char16_t* focusScreen;
  const char16_t* autoSave;  // two lines
  const char16_t* browserLabel;
  const char16_t* symbologiesLabel;
  const char16_t* ok;
  const char16_t* cancel;
};

// Laid out for a 240-pixel-wide screen. The controls reach down to about 380,
// past the 320 lines of the usual screen, which is why the dialog scrolls over
// a range of 400. The initial states are the settings' defaults (sound and aim
// frame on, auto record off, Internet Explorer, all three symbologies): a value
// missing from the registry leaves its control as the template has it.
constexpr std::array<ControlTemplate, 11> SettingsControls(const SettingsTexts& t) {
  return {{
      {kControlDecodeSound, ControlKind::kCheckBox, t.decodeSound, 8, 8, 224, 28, kControlChecked},
      {kControlFocusScreen, ControlKind::kCheckBox, t.focusScreen, 8, 44, 224, 28, kControlChecked},
      {kControlAutoSave, ControlKind::kCheckBox, t.autoSave, 8, 80, 224, 48, kControlMultiline},
      {kControlBrowserLabel, ControlKind::kLabel, t.browserLabel, 8, 140, 224, 24, 0},
      {kControlInternetExplorer, ControlKind::kRadioButton, u"Internet Explorer", 16, 168, 216, 28,
       kControlGroup | kControlChecked},
      {kControlOpera, ControlKind::kRadioButton, u"Opera", 16, 204, 216, 28, 0},
      {kControlSymbologiesLabel, ControlKind::kLabel, t.symbologiesLabel, 8, 248, 224, 24, 0},
      // The Cordavex code cannot be switched off: its box stays checked and
      // disabled, with its name in the label 40148 beside it.
      {kControlCordavexCode, ControlKind::kCheckBox, u"", 16, 276, 28, 28,
       kControlDisabled | kControlChecked},
      {kControlQrCode, ControlKind::kCheckBox, u" QR Code", 16, 316, 216, 28, kControlChecked},
      {kControlDataMatrix, ControlKind::kCheckBox, u" Data Matrix", 16, 352, 216, 28,
       kControlChecked},
      {kControlCordavexCodeLabel, ControlKind::kLabel, u" Cordavex Code (default)", 44, 276, 188, 28,
       0},
  }};
}

// --- About dialog (103) ---

struct AboutTexts {
  const char16_t* caption;
  const char16_t* version;
  const char16_t* copyright;
  const char16_t* ok;
};

constexpr std::array<ControlTemplate, 3> AboutControls(const AboutTexts& t) {
  return {{
      {kControlAboutTitle, ControlKind::kLabel, kProgramName, 8, 96, 224, 28, 0},
      {kControlAboutVersion, ControlKind::kLabel, t.version, 8, 128, 224, 24, 0},
      {kControlAboutCopyright, ControlKind::kLabel, t.copyright, 8, 168, 224, 48,
       kControlMultiline},
  }};
}

// --- messages of live scanning ---

struct CaptureTexts {
  const char16_t* standby;      // the camera was put on standby
  const char16_t* cameraInUse;  // the camera could not be started (two lines)
};

// --- a whole language ---

struct LanguageTexts {
  uint16_t language;
  MainMenuTexts main;
  SettingsTexts settings;
  AboutTexts about;
  CaptureTexts capture;
};

// The tables of one language, built from its texts at compile time.
template <const LanguageTexts& kTexts>
struct Tables {
  static constexpr auto kMainItems = MainMenuItems(kTexts.main);
  static constexpr auto kSettingsControls = SettingsControls(kTexts.settings);
  static constexpr auto kAboutControls = AboutControls(kTexts.about);

  static constexpr StringEntry kStrings[] = {
      {kStringWindowTitle, kProgramName},
      {kStringWindowClass, kProgramName},
      {kStringStandby, kTexts.capture.standby},
      {kStringCameraInUse, kTexts.capture.cameraInUse},
  };
  static constexpr MenuBarTemplate kMenuBars[] = {
      {kMenuBarMain, kTexts.main.exit, kCommandExit, kTexts.main.menu, 0, kMainItems.data(),
       static_cast<uint32_t>(kMainItems.size())},
      {kMenuBarSettings, kTexts.settings.ok, kCommandSettingsOk, kTexts.settings.cancel,
       kCommandSettingsCancel, nullptr, 0},
      // One softkey only: the right key has neither text nor command.
      {kMenuBarAbout, kTexts.about.ok, kCommandOk, u"", 0, nullptr, 0},
  };
  static constexpr DialogTemplate kDialogs[] = {
      {kDialogAbout, kTexts.about.caption, kAboutControls.data(),
       static_cast<uint32_t>(kAboutControls.size()), kMenuBarAbout},
      {kDialogSettings, kTexts.settings.caption, kSettingsControls.data(),
       static_cast<uint32_t>(kSettingsControls.size()), kMenuBarSettings},
  };
  static constexpr ResourceModule kModule = {
      kTexts.language, kStrings, std::size(kStrings), kMenuBars, std::size(kMenuBars),
      kDialogs,        std::size(kDialogs),
  };
};

}  // namespace cordavex::resources::layout
