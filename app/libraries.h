// The libraries the program loads at start: the language resource library
// (with its fallbacks and the help address that goes with it) and the camera
// filter library with its entry points.
#pragma once

#include <cstdint>
#include <string>

#include "filter/exports.h"
#include "platform/library_loader.h"
#include "resources/resource_module.h"

namespace cordavex::app {

struct FilterLibrary {
  platform::LibraryHandle handle = nullptr;
  // Each is null when the library is missing, its registration failed, or it
  // lacks the export.
  filter::SetAutoDetectRotateFunction* setAutoDetectRotate = nullptr;
  filter::SetGlobalRotateFunction* setGlobalRotate = nullptr;
  filter::GetVideoFormatFunction* getVideoFormat = nullptr;
  filter::GetVideoBufferFunction* getVideoBuffer = nullptr;
  filter::PreviewStartStopFunction* previewStartStop = nullptr;
  filter::SetScreenXYFunction* setScreenXY = nullptr;
  filter::SetRxyFunction* setRxy = nullptr;
};

struct LanguageLibrary {
  const resources::ResourceModule* resources = nullptr;  // never null once loaded
  platform::LibraryHandle handle = nullptr;               // null: the program's own module
  bool separate = false;
  std::u16string helpAddress;
};

// "Cordavex.0404.dll" for 0x0404: four lower-case hexadecimal digits.
std::string LanguageLibraryName(uint16_t language);
// "file:\Windows\CordavexHelp_0404.htm#Main_Contents"; the English help file
// when the language has no library of its own.
std::u16string HelpAddress(uint16_t language, std::u16string_view windowsFolder);
inline constexpr std::u16string_view kWindowsFolder = u"\\Windows";

// The language library for the UI language, else the English one, else the
// program's own resources. Never fails.
LanguageLibrary LoadLanguageLibrary(uint16_t language);
void FreeLanguageLibrary(LanguageLibrary* library);

inline constexpr std::string_view kFilterLibraryName = "CordavexDSFilter.dll";

// Loads the filter library, registers it and binds its seven entry points,
// then tells it the screen size. False when the library cannot be loaded (the
// caller shows the message); a failed registration leaves the entry points
// null and still answers true.
bool LoadFilterLibrary(int32_t screenWidth, int32_t screenHeight, FilterLibrary* filter);
// Unregisters (when the library has the export) and frees it.
void FreeFilterLibrary(FilterLibrary* filter);

}  // namespace cordavex::app
