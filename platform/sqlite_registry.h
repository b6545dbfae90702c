// The registry kept in an SQLite file (registry.sqlite in the device root):
// keys with case-insensitive paths under the three roots, typed values held as
// the phone holds them (registry_value.h).
//
// Every change is one transaction; the file is in write-ahead-log mode and a
// writer waits up to five seconds for another, so the program, the setup host
// and the Contacts host may share one registry at once. Text is stored as
// UTF-8 beside its case-folded form, so a person can read the file with the
// sqlite3 tool.
//
// Thread-safe: one connection per object, used under the object's lock. The
// file is opened on first use; a file that cannot be opened makes every call
// fail with kIoError naming it.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/device.h"

struct sqlite3;

namespace cordavex::platform {

class SqliteRegistry {
 public:
  explicit SqliteRegistry(std::string file);
  ~SqliteRegistry();
  SqliteRegistry(const SqliteRegistry&) = delete;
  SqliteRegistry& operator=(const SqliteRegistry&) = delete;

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
  Status Open();  // under mutex_
  Status KeyExists(RegistryRoot root, const std::string& folded, bool* exists);
  Status Error(const char* what);

  std::mutex mutex_;
  std::string file_;
  sqlite3* db_ = nullptr;
};

}  // namespace cordavex::platform
