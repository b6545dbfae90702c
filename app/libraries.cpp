#include "app/libraries.h"

#include <cstdio>

#include "platform/device.h"

namespace cordavex::app {

std::string LanguageLibraryName(uint16_t language) {
  char name[32];
  std::snprintf(name, sizeof name, "Cordavex.%.4x.dll", static_cast<unsigned>(language));
  return name;
}

namespace {

bool IsKnownLanguageLibrary(std::string_view name) {
  return name == "Cordavex.0804.dll" || name == "Cordavex.0409.dll" || name == "Cordavex.0404.dll";
}

// A library that loads but does not hold resource tables counts as missing.
bool TryLanguageLibrary(const std::string& name, LanguageLibrary* library) {
  platform::LibraryHandle handle = platform::LoadLibrary(name);
  if (handle == nullptr) return false;
  auto* tables =
      platform::GetProcAddressAs<resources::ResourceModuleFunction>(handle, resources::kResourceModuleExport);
  const resources::ResourceModule* module = tables != nullptr ? tables() : nullptr;
  if (module == nullptr) {
    platform::FreeLibrary(handle);
    return false;
  }
  library->resources = module;
  library->handle = handle;
  library->separate = true;
  return true;
}

}  // namespace

std::u16string HelpAddress(uint16_t language, std::u16string_view windowsFolder) {
  const std::string name = LanguageLibraryName(language);
  char help[64];
  std::snprintf(help, sizeof help, "CordavexHelp_%.4x.htm",
                static_cast<unsigned>(IsKnownLanguageLibrary(name) ? language : 0x0409));
  return u"file:" + std::u16string(windowsFolder) + u"\\" + platform::Utf16(help) + u"#Main_Contents";
}

LanguageLibrary LoadLanguageLibrary(uint16_t language) {
  LanguageLibrary library;
  library.helpAddress = HelpAddress(language, kWindowsFolder);
  const std::string name = LanguageLibraryName(language);
  if (TryLanguageLibrary(name, &library)) return library;
  if (name != "Cordavex.0404.dll" && TryLanguageLibrary("Cordavex.0409.dll", &library)) return library;
  library.resources = &resources::OwnModule();
  return library;
}

void FreeLanguageLibrary(LanguageLibrary* library) {
  if (library->separate && library->handle != nullptr) platform::FreeLibrary(library->handle);
  library->handle = nullptr;
  library->separate = false;
  library->resources = &resources::OwnModule();
}

bool LoadFilterLibrary(int32_t screenWidth, int32_t screenHeight, FilterLibrary* filter) {
  *filter = FilterLibrary{};
  filter->handle = platform::LoadLibrary(kFilterLibraryName);
  if (filter->handle == nullptr) return false;
  auto* registerServer =
      platform::GetProcAddressAs<filter::DllRegisterServerFunction>(filter->handle, "DllRegisterServer");
  if (registerServer == nullptr || registerServer() < 0) return true;
  using platform::GetProcAddressAs;
  filter->setAutoDetectRotate =
      GetProcAddressAs<filter::SetAutoDetectRotateFunction>(filter->handle, "SetAutoDetectRotate");
  filter->setGlobalRotate = GetProcAddressAs<filter::SetGlobalRotateFunction>(filter->handle, "SetGlobalRotate");
  filter->getVideoFormat = GetProcAddressAs<filter::GetVideoFormatFunction>(filter->handle, "getVideoFormat");
  filter->getVideoBuffer = GetProcAddressAs<filter::GetVideoBufferFunction>(filter->handle, "getVideoBuffer");
  filter->previewStartStop =
      GetProcAddressAs<filter::PreviewStartStopFunction>(filter->handle, "previewStartStop");
  filter->setScreenXY = GetProcAddressAs<filter::SetScreenXYFunction>(filter->handle, "setScreenXY");
  filter->setRxy = GetProcAddressAs<filter::SetRxyFunction>(filter->handle, "setRxy");
  if (filter->setScreenXY != nullptr) filter->setScreenXY(screenWidth, screenHeight);
  return true;
}

void FreeFilterLibrary(FilterLibrary* filter) {
  if (filter->handle == nullptr) return;
  auto* unregisterServer =
      platform::GetProcAddressAs<filter::DllUnregisterServerFunction>(filter->handle, "DllUnregisterServer");
  if (unregisterServer != nullptr) unregisterServer();
  platform::FreeLibrary(filter->handle);
  *filter = FilterLibrary{};
}

}  // namespace cordavex::app
