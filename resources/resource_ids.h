// Resource, command and control ids shared by the resource tables and the
// program. The numbers are the program's own and appear in stored scripts and
// snapshots; never renumber.
#pragma once

#include <cstdint>

namespace cordavex::resources {

// Strings.
inline constexpr uint32_t kStringWindowTitle = 1;  // "Cordavex 3.6"
inline constexpr uint32_t kStringWindowClass = 2;  // "Cordavex 3.6"
inline constexpr uint32_t kStringStandby = 40131;       // the camera is on standby
inline constexpr uint32_t kStringCameraInUse = 40150;   // the camera is in use elsewhere

// Menu bars.
inline constexpr uint32_t kMenuBarMain = 102;
inline constexpr uint32_t kMenuBarSettings = 301;
inline constexpr uint32_t kMenuBarAbout = 304;

// Dialogs.
inline constexpr uint32_t kDialogAbout = 103;  // in the program's own module
inline constexpr uint32_t kDialogSettings = 332;

// Bitmaps (the program's own).
inline constexpr uint32_t kBitmapSkinLeft = 111;
inline constexpr uint32_t kBitmapSkinRight = 112;
inline constexpr uint32_t kBitmapSkinSmartphone = 113;
inline constexpr uint32_t kBitmapFocusOff = 318;
inline constexpr uint32_t kBitmapFocusOn = 317;

// Commands.
inline constexpr uint32_t kCommandOk = 1;      // IDOK
inline constexpr uint32_t kCommandCancel = 2;  // IDCANCEL
inline constexpr uint32_t kCommandExit = 1010;
inline constexpr uint32_t kCommandAbout = 40002;
inline constexpr uint32_t kCommandSettingsOk = 40005;
inline constexpr uint32_t kCommandSettingsCancel = 40006;
inline constexpr uint32_t kCommandHelp = 40009;
inline constexpr uint32_t kCommandOnlineUpdate = 40048;
inline constexpr uint32_t kCommandPersonalInfo = 40098;
inline constexpr uint32_t kCommandBrowseHistory = 40113;
inline constexpr uint32_t kCommandReopenHistory = 40115;
inline constexpr uint32_t kCommandSettings = 40133;

// Settings dialog controls.
inline constexpr uint32_t kControlDecodeSound = 1022;
inline constexpr uint32_t kControlFocusScreen = 1020;
inline constexpr uint32_t kControlAutoSave = 1021;
inline constexpr uint32_t kControlBrowserLabel = 40147;
inline constexpr uint32_t kControlInternetExplorer = 1023;
inline constexpr uint32_t kControlOpera = 1024;
inline constexpr uint32_t kControlSymbologiesLabel = 40177;
inline constexpr uint32_t kControlCordavexCode = 40178;
inline constexpr uint32_t kControlQrCode = 40174;
inline constexpr uint32_t kControlDataMatrix = 40175;
inline constexpr uint32_t kControlCordavexCodeLabel = 40148;

// About dialog controls (labels; distinct ids so that a snapshot can name them).
inline constexpr uint32_t kControlAboutTitle = 1101;      // "Cordavex 3.6"
inline constexpr uint32_t kControlAboutVersion = 1102;
inline constexpr uint32_t kControlAboutCopyright = 1103;

}  // namespace cordavex::resources
