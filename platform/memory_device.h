// A device held entirely in memory, for tests: files and folders in maps, the
// registry in a map of keys, and a clock that moves only when the test moves it
// (it starts at 2009-06-01 00:00 UTC wall time and 0 monotonic).
//
// Thread-safe: one lock guards everything. Owns all its data; destroying it
// forgets everything.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "platform/device.h"

namespace cordavex::platform {

// The registry part of the in-memory device, usable on its own. Not locked:
// its owner serialises calls.
class MemoryRegistry {
 public:
  Status CreateKey(RegistryRoot root, std::u16string_view key);
  Status OpenKey(RegistryRoot root, std::u16string_view key);
  Status SetValue(RegistryRoot root, std::u16string_view key, std::u16string_view name,
                  const RegistryValue& value);
  Status GetValue(RegistryRoot root, std::u16string_view key, std::u16string_view name,
                  RegistryValue* value);
  Status DeleteValue(RegistryRoot root, std::u16string_view key, std::u16string_view name);
  Status DeleteKey(RegistryRoot root, std::u16string_view key);
  Status ListSubkeys(RegistryRoot root, std::u16string_view key, std::vector<std::u16string>* names);
  Status ListValues(RegistryRoot root, std::u16string_view key, std::vector<std::u16string>* names);

 private:
  struct NamedValue {
    std::u16string name;  // as first written
    RegistryValue value;
  };
  struct Key {
    std::u16string path;                         // as created
    std::map<std::u16string, NamedValue> values;  // by folded name
  };
  using KeyId = std::pair<RegistryRoot, std::u16string>;  // root and folded path

  // The key's node, or null; the root key always exists.
  Key* Find(RegistryRoot root, const std::u16string& path);

  std::map<KeyId, Key> keys_;
};

class MemoryDevice : public Device {
 public:
  static constexpr int64_t kStartWallMicros = 1243814400LL * 1000000;  // 2009-06-01

  MemoryDevice();

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

  // Test controls.
  void AdvanceClock(int64_t micros);  // both clocks move on
  void SetWallMicros(int64_t micros);  // the wall clock alone (a user setting the time)
  void SetUiLanguage(uint16_t language);
  void SetProgramFolder(std::string folder);

 private:
  // Ok when the parent folder of `path` (normalised) exists.
  Status CheckParent(const std::string& path) const;

  std::mutex mutex_;
  std::map<std::string, std::string> files_;
  std::set<std::string> folders_;  // every folder but the root
  MemoryRegistry registry_;
  int64_t wallMicros_ = kStartWallMicros;
  int64_t monotonicMicros_ = 0;
  uint16_t uiLanguage_ = 0x0404;
  std::string programFolder_ = "/device/Program Files/Cordavex";
};

}  // namespace cordavex::platform
