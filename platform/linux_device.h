// The device on Linux: files in a folder that stands for the phone's storage
// (the device root), the registry in registry.sqlite inside it, the system's
// clocks, the UI language (CORDAVEX_UI_LANGUAGE, else the device profile's
// uiLanguage in device.json, else 0x0404) and the program folder from
// /proc/self/exe.
//
// Thread-safe. Several processes may share one device root: file writes are
// atomic replacements and the registry is a multi-process store. Owns its
// registry connection; the files belong to the device root.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "platform/device.h"
#include "platform/sqlite_registry.h"

namespace cordavex::platform {

// $CORDAVEX_DEVICE_ROOT when set, else $XDG_DATA_HOME/cordavex/device, else
// $HOME/.local/share/cordavex/device.
std::string DefaultDeviceRoot();

class LinuxDevice : public Device {
 public:
  // Makes the root folder when it is missing. The root must be usable as a
  // folder, or the Status says why not.
  static Status Open(const std::string& root, std::unique_ptr<LinuxDevice>* device);

  const std::string& root() const { return root_; }
  // The host path of a device path (already checked).
  std::string HostPath(const std::string& path) const;

  Status ReadFile(std::string_view path, std::string* contents) override;
  Status WriteFile(std::string_view path, std::string_view contents) override;
  Status AppendFile(std::string_view path, std::string_view contents) override;
  Status ListFolder(std::string_view path, std::vector<std::string>* names) override;
  Status MakeFolders(std::string_view path) override;
  Status Remove(std::string_view path) override;
  bool Exists(std::string_view path) override;

  Status CreateKey(RegistryRoot root, std::u16string_view key) override;
  Status OpenKey(RegistryRoot root, std::u16string_view key) override;
  Status SetValue(RegistryRoot root, std::u16string_view key, std::u16string_view name,
                  const RegistryValue& value) override;
  Status GetValue(RegistryRoot root, std::u16string_view key, std::u16string_view name,
                  RegistryValue* value) override;
  Status DeleteValue(RegistryRoot root, std::u16string_view key, std::u16string_view name) override;
  Status DeleteKey(RegistryRoot root, std::u16string_view key) override;
  Status ListSubkeys(RegistryRoot root, std::u16string_view key,
                     std::vector<std::u16string>* names) override;
  Status ListValues(RegistryRoot root, std::u16string_view key,
                    std::vector<std::u16string>* names) override;

  int64_t WallMicros() override;
  int64_t MonotonicMicros() override;
  uint16_t UiLanguage() override;
  std::string ProgramFolder() override;
  int MultiByteToWideChar(uint32_t codePage, std::span<const uint8_t> bytes,
                          std::span<char16_t> out) override;

 private:
  explicit LinuxDevice(std::string root);

  std::string root_;
  SqliteRegistry registry_;
  // The uiLanguage of device.json once read; 0 before.
  std::atomic<uint32_t> profileLanguage_{0};
};

}  // namespace cordavex::platform
