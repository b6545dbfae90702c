// The device: everything the system asks of the phone it runs on, behind one
// small abstract interface, so that every component can run against the real
// Linux stand-in, an in-memory device in tests, or a fault-injecting wrapper.
//
//   files       the phone's storage, as '/'-separated paths relative to the
//               device root ("Temp/Cordavex/split.dat"); "" is the root itself
//   registry    keys under three roots with case-insensitive '\'-separated
//               paths ("Software\\Cordavex"), typed values (registry_value.h)
//   clock       wall time and a monotonic clock, both in microseconds
//   UI language the device's language id (0x0404, 0x0409, 0x0804)
//   program     the folder of the running program
//   code pages  MultiByteToWideChar for 932, 936 and 950
//
// Errors come back as Status values; no operation throws. A path that leaves
// the device (absolute, "..", empty segment) or a key path with an empty
// segment is refused with kInvalidArgument before anything is touched.
//
// Ownership: the caller owns every buffer it passes and receives; a device
// keeps no pointer to them. Whoever creates a device owns it; wrappers
// (FaultInjectingDevice) borrow the device they forward to.
//
// Threads: every implementation here is safe to call from several threads at
// once; each operation is atomic with respect to the others on the same device.
// The Linux registry is also safe for several processes sharing a device root.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry_value.h"
#include "platform/status.h"

namespace cordavex::platform {

enum class RegistryRoot : uint8_t {
  kCurrentUser,   // HKEY_CURRENT_USER
  kLocalMachine,  // HKEY_LOCAL_MACHINE
  kClassesRoot,   // HKEY_CLASSES_ROOT
};

class Device {
 public:
  virtual ~Device() = default;

  // --- files under the device root ---

  // The whole file. kNotFound when it does not exist.
  virtual Status ReadFile(std::string_view path, std::string* contents) = 0;
  // Replaces the file with `contents` atomically: a reader (or a crash) sees
  // the old contents or the new, never a mixture. The folder must exist.
  virtual Status WriteFile(std::string_view path, std::string_view contents) = 0;
  // Appends to the file, creating it when missing. The folder must exist.
  virtual Status AppendFile(std::string_view path, std::string_view contents) = 0;
  // Names of the entries of a folder (files and folders), sorted bytewise.
  virtual Status ListFolder(std::string_view path, std::vector<std::string>* names) = 0;
  // Makes the folder and any missing parents; an existing folder is fine.
  virtual Status MakeFolders(std::string_view path) = 0;
  // Removes a file or an empty folder. kNotFound when it does not exist.
  virtual Status Remove(std::string_view path) = 0;
  // A file or a folder at the path.
  virtual bool Exists(std::string_view path) = 0;

  // --- registry ---
  // Key paths are case-insensitive (ASCII, Latin-1, Greek and Cyrillic letters)
  // and keep the spelling they were created with. Value names are
  // case-insensitive too; the empty name is the key's default value.

  // Creates the key and any missing parents; an existing key is fine.
  virtual Status CreateKey(RegistryRoot root, std::u16string_view key) = 0;
  // Ok when the key exists, kNotFound when not.
  virtual Status OpenKey(RegistryRoot root, std::u16string_view key) = 0;
  // The key must exist (kNotFound otherwise). Replaces a value of the same name.
  virtual Status SetValue(RegistryRoot root, std::u16string_view key, std::u16string_view name,
                          const RegistryValue& value) = 0;
  virtual Status GetValue(RegistryRoot root, std::u16string_view key, std::u16string_view name,
                          RegistryValue* value) = 0;
  virtual Status DeleteValue(RegistryRoot root, std::u16string_view key,
                             std::u16string_view name) = 0;
  // Deletes the key with all its subkeys and values, as Windows CE does.
  // The root itself ("") cannot be deleted.
  virtual Status DeleteKey(RegistryRoot root, std::u16string_view key) = 0;
  // Names of the direct subkeys / of the values, sorted case-insensitively.
  virtual Status ListSubkeys(RegistryRoot root, std::u16string_view key,
                             std::vector<std::u16string>* names) = 0;
  virtual Status ListValues(RegistryRoot root, std::u16string_view key,
                            std::vector<std::u16string>* names) = 0;

  // --- clock ---
  // Microseconds since 1970-01-01 UTC.
  virtual int64_t WallMicros() = 0;
  // Microseconds from an arbitrary start; never goes back.
  virtual int64_t MonotonicMicros() = 0;

  // --- device settings and services ---
  virtual uint16_t UiLanguage() = 0;
  // Without a trailing slash; "" when unknown.
  virtual std::string ProgramFolder() = 0;
  // As platform::MultiByteToWideChar (codepage.h).
  virtual int MultiByteToWideChar(uint32_t codePage, std::span<const uint8_t> bytes,
                                  std::span<char16_t> out) = 0;
};

// Checks and normalises a device-relative file path: '/'-separated, no leading
// '/', no "." or ".." segment, no empty segment, no NUL. A trailing '/' is
// dropped. "" (the root) is allowed.
Status CheckFilePath(std::string_view path, std::string* normalised);

// Checks a registry key path: '\'-separated, no empty segment, no NUL; a
// leading or trailing '\' is dropped. "" (the root) is allowed.
Status CheckKeyPath(std::u16string_view key, std::u16string* normalised);

// The case fold used for key paths and value names.
char16_t FoldCase(char16_t c);
std::u16string FoldCase(std::u16string_view text);
// Ordering of names for enumeration: by folded text, then by the text itself.
bool LessFolded(std::u16string_view a, std::u16string_view b);

// "HKEY_CURRENT_USER" and so on; UTF-8 of a UTF-16 path, for messages.
const char* RootName(RegistryRoot root);
std::string Utf8(std::u16string_view text);
std::u16string Utf16(std::string_view utf8);

}  // namespace cordavex::platform
