#include "platform/sqlite_registry.h"

#include <sqlite3.h>

#include <algorithm>

namespace cordavex::platform {

namespace {

constexpr int kBusyTimeoutMs = 5000;

constexpr const char* kSchema =
    "PRAGMA journal_mode=WAL;"
    "CREATE TABLE IF NOT EXISTS keys("
    "  root INTEGER NOT NULL, folded TEXT NOT NULL, path TEXT NOT NULL, parent TEXT NOT NULL,"
    "  PRIMARY KEY(root, folded));"
    "CREATE INDEX IF NOT EXISTS keys_by_parent ON keys(root, parent);"
    "CREATE TABLE IF NOT EXISTS vals("
    "  root INTEGER NOT NULL, key TEXT NOT NULL, folded TEXT NOT NULL, name TEXT NOT NULL,"
    "  type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(root, key, folded));";

// One prepared statement, finalised on every path out.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return stmt_ != nullptr; }
  Statement& Bind(int index, int value) {
    sqlite3_bind_int(stmt_, index, value);
    return *this;
  }
  Statement& Bind(int index, const std::string& text) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& BindBlob(int index, const std::vector<uint8_t>& bytes) {
    // A zero-length blob still binds as a blob, not as NULL.
    static const uint8_t kEmpty = 0;
    sqlite3_bind_blob(stmt_, index, bytes.empty() ? &kEmpty : bytes.data(),
                      static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    return *this;
  }
  int Step() { return sqlite3_step(stmt_); }
  std::string Text(int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return text == nullptr ? std::string() : std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
  }
  int Int(int column) { return sqlite3_column_int(stmt_, column); }
  std::vector<uint8_t> Blob(int column) {
    const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
    const int size = sqlite3_column_bytes(stmt_, column);
    return data == nullptr ? std::vector<uint8_t>() : std::vector<uint8_t>(data, data + size);
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

std::string Folded(const std::u16string& path) { return Utf8(FoldCase(path)); }

std::u16string ParentKey(const std::u16string& path) {
  const size_t slash = path.rfind(u'\\');
  return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash);
}

Status KeyNotFound(RegistryRoot root, const std::u16string& key) {
  return Status::NotFound(std::string(RootName(root)) + "\\" + Utf8(key));
}

Status ValueNotFound(RegistryRoot root, const std::u16string& key, std::u16string_view name) {
  return Status::NotFound(std::string(RootName(root)) + "\\" + Utf8(key) + " value \"" +
                          Utf8(name) + "\"");
}

int RootCode(RegistryRoot root) { return static_cast<int>(root); }

}  // namespace

SqliteRegistry::SqliteRegistry(std::string file) : file_(std::move(file)) {}

SqliteRegistry::~SqliteRegistry() { sqlite3_close(db_); }

Status SqliteRegistry::Error(const char* what) {
  return Status::IoError(std::string(what) + " in " + file_ + ": " +
                         (db_ != nullptr ? sqlite3_errmsg(db_) : "not open"));
}

Status SqliteRegistry::Open() {
  if (db_ != nullptr) return Status::Ok();
  sqlite3* db = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(file_.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    const std::string reason = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    return Status::IoError("cannot open the registry " + file_ + ": " + reason);
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  char* message = nullptr;
  if (sqlite3_exec(db, kSchema, nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string reason = message != nullptr ? message : "unknown error";
    sqlite3_free(message);
    sqlite3_close(db);
    return Status::IoError("cannot prepare the registry " + file_ + ": " + reason);
  }
  db_ = db;
  return Status::Ok();
}

Status SqliteRegistry::KeyExists(RegistryRoot root, const std::string& folded, bool* exists) {
  if (folded.empty()) {
    *exists = true;  // a root always exists
    return Status::Ok();
  }
  Statement find(db_, "SELECT 1 FROM keys WHERE root = ? AND folded = ?");
  if (!find.ok()) return Error("reading a key");
  find.Bind(1, RootCode(root)).Bind(2, folded);
  const int step = find.Step();
  if (step != SQLITE_ROW && step != SQLITE_DONE) return Error("reading a key");
  *exists = step == SQLITE_ROW;
  return Status::Ok();
}

Status SqliteRegistry::CreateKey(RegistryRoot root, std::u16string_view key) {
  std::u16string path;
  if (Status s = CheckKeyPath(key, &path); !s.ok()) return s;
  std::lock_guard lock(mutex_);
  if (Status s = Open(); !s.ok()) return s;
  if (path.empty()) return Status::Ok();
  if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
    return Error("starting a transaction");
  }
  bool failed = false;
  // The key and each missing parent; an existing one keeps its spelling.
  for (std::u16string prefix = path; !prefix.empty() && !failed; prefix = ParentKey(prefix)) {
    Statement insert(db_, "INSERT OR IGNORE INTO keys(root, folded, path, parent) VALUES(?, ?, ?, ?)");
    failed = !insert.ok() ||
             insert.Bind(1, RootCode(root)).Bind(2, Folded(prefix)).Bind(3, Utf8(prefix))
                     .Bind(4, Folded(ParentKey(prefix))).Step() != SQLITE_DONE;
  }
  if (failed || sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    Status error = Error("creating a key");
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return error;
  }
  return Status::Ok();
}

Status SqliteRegistry::OpenKey(RegistryRoot root, std::u16string_view key) {
  std::u16string path;
  if (Status s = CheckKeyPath(key, &path); !s.ok()) return s;
  std::lock_guard lock(mutex_);
  if (Status s = Open(); !s.ok()) return s;
  bool exists = false;
  if (Status s = KeyExists(root, Folded(path), &exists); !s.ok()) return s;
  return exists ? Status::Ok() : KeyNotFound(root, path);
}

Status SqliteRegistry::SetValue(RegistryRoot root, std::u16string_view key,
                                std::u16string_view name, const RegistryValue& value) {
  std::u16string path;
  if (Status s = CheckKeyPath(key, &path); !s.ok()) return s;
  if (!IsRegistryType(static_cast<uint32_t>(value.type))) {
    return Status::InvalidArgument("registry value of unknown type");
  }
  std::lock_guard lock(mutex_);
  if (Status s = Open(); !s.ok()) return s;
  // The key check and the write are one statement, so a key deleted by another
  // process in between cannot be given an orphan value.
  const std::string folded = Folded(path);
  Statement upsert(db_,
                   "INSERT INTO vals(root, key, folded, name, type, data)"
                   " SELECT ?1, ?2, ?3, ?4, ?5, ?6"
                   " WHERE ?2 = '' OR EXISTS(SELECT 1 FROM keys WHERE root = ?1 AND folded = ?2)"
                   " ON CONFLICT(root, key, folded) DO UPDATE SET type = excluded.type,"
                   " data = excluded.data");
  if (!upsert.ok()) return Error("writing a value");
  upsert.Bind(1, RootCode(root)).Bind(2, folded).Bind(3, Utf8(FoldCase(name))).Bind(4, Utf8(name))
      .Bind(5, static_cast<int>(value.type)).BindBlob(6, value.data);
  if (upsert.Step() != SQLITE_DONE) return Error("writing a value");
  if (sqlite3_changes(db_) == 0) return KeyNotFound(root, path);
  return Status::Ok();
}

Status SqliteRegistry::GetValue(RegistryRoot root, std::u16string_view key,
                                std::u16string_view name, RegistryValue* value) {
  std::u16string path;
  if (Status s = CheckKeyPath(key, &path); !s.ok()) return s;
  std::lock_guard lock(mutex_);
  if (Status s = Open(); !s.ok()) return s;
  const std::string folded = Folded(path);
  Statement find(db_, "SELECT type, data FROM vals WHERE root = ? AND key = ? AND folded = ?");
  if (!find.ok()) return Error("reading a value");
  find.Bind(1, RootCode(root)).Bind(2, folded).Bind(3, Utf8(FoldCase(name)));
  const int step = find.Step();
  if (step == SQLITE_ROW) {
    const int type = find.Int(0);
    if (!IsRegistryType(static_cast<uint32_t>(type))) {
      return Status::IoError("value of unknown type " + std::to_string(type) + " in " + file_);
    }
    value->type = static_cast<RegistryType>(type);
    value->data = find.Blob(1);
    return Status::Ok();
  }
  if (step != SQLITE_DONE) return Error("reading a value");
  bool exists = false;
  if (Status s = KeyExists(root, folded, &exists); !s.ok()) return s;
  return exists ? ValueNotFound(root, path, name) : KeyNotFound(root, path);
}

Status SqliteRegistry::DeleteValue(RegistryRoot root, std::u16string_view key,
                                   std::u16string_view name) {
  std::u16string path;
  if (Status s = CheckKeyPath(key, &path); !s.ok()) return s;
  std::lock_guard lock(mutex_);
  if (Status s = Open(); !s.ok()) return s;
  const std::string folded = Folded(path);
  Statement erase(db_, "DELETE FROM vals WHERE root = ? AND key = ? AND folded = ?");
  if (!erase.ok()) return Error("deleting a value");
  erase.Bind(1, RootCode(root)).Bind(2, folded).Bind(3, Utf8(FoldCase(name)));
  if (erase.Step() != SQLITE_DONE) return Error("deleting a value");
  if (sqlite3_changes(db_) != 0) return Status::Ok();
  bool exists = false;
  if (Status s = KeyExists(root, folded, &exists); !s.ok()) return s;
  return exists ? ValueNotFound(root, path, name) : KeyNotFound(root, path);
}

Status SqliteRegistry::DeleteKey(RegistryRoot root, std::u16string_view key) {
  std::u16string path;
  if (Status s = CheckKeyPath(key, &path); !s.ok()) return s;
  if (path.empty()) return Status::InvalidArgument("a registry root cannot be deleted");
  std::lock_guard lock(mutex_);
  if (Status s = Open(); !s.ok()) return s;
  const std::string folded = Folded(path);
  // The subkeys' folded paths sort from "PATH\" up to "PATH]" (']' follows '\').
  const std::string low = folded + '\\', high = folded + ']';
  if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
    return Error("starting a transaction");
  }
  Statement keys(db_, "DELETE FROM keys WHERE root = ?1 AND (folded = ?2 OR (folded >= ?3 AND folded < ?4))");
  Statement vals(db_, "DELETE FROM vals WHERE root = ?1 AND (key = ?2 OR (key >= ?3 AND key < ?4))");
  bool failed = !keys.ok() || !vals.ok();
  int removed = 0;
  if (!failed) {
    failed = keys.Bind(1, RootCode(root)).Bind(2, folded).Bind(3, low).Bind(4, high).Step() != SQLITE_DONE;
    removed = sqlite3_changes(db_);
  }
  if (!failed) {
    failed = vals.Bind(1, RootCode(root)).Bind(2, folded).Bind(3, low).Bind(4, high).Step() != SQLITE_DONE;
  }
  if (failed) {
    Status error = Error("deleting a key");
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return error;
  }
  if (removed == 0) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return KeyNotFound(root, path);
  }
  if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    Status error = Error("deleting a key");
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return error;
  }
  return Status::Ok();
}

Status SqliteRegistry::ListSubkeys(RegistryRoot root, std::u16string_view key,
                                   std::vector<std::u16string>* names) {
  std::u16string path;
  if (Status s = CheckKeyPath(key, &path); !s.ok()) return s;
  std::lock_guard lock(mutex_);
  if (Status s = Open(); !s.ok()) return s;
  const std::string folded = Folded(path);
  bool exists = false;
  if (Status s = KeyExists(root, folded, &exists); !s.ok()) return s;
  if (!exists) return KeyNotFound(root, path);
  Statement list(db_, "SELECT path FROM keys WHERE root = ? AND parent = ?");
  if (!list.ok()) return Error("listing keys");
  list.Bind(1, RootCode(root)).Bind(2, folded);
  names->clear();
  int step;
  while ((step = list.Step()) == SQLITE_ROW) {
    const std::u16string child = Utf16(list.Text(0));
    const size_t slash = child.rfind(u'\\');
    names->push_back(slash == std::u16string::npos ? child : child.substr(slash + 1));
  }
  if (step != SQLITE_DONE) return Error("listing keys");
  std::sort(names->begin(), names->end(), LessFolded);
  return Status::Ok();
}

Status SqliteRegistry::ListValues(RegistryRoot root, std::u16string_view key,
                                  std::vector<std::u16string>* names) {
  std::u16string path;
  if (Status s = CheckKeyPath(key, &path); !s.ok()) return s;
  std::lock_guard lock(mutex_);
  if (Status s = Open(); !s.ok()) return s;
  const std::string folded = Folded(path);
  bool exists = false;
  if (Status s = KeyExists(root, folded, &exists); !s.ok()) return s;
  if (!exists) return KeyNotFound(root, path);
  Statement list(db_, "SELECT name FROM vals WHERE root = ? AND key = ?");
  if (!list.ok()) return Error("listing values");
  list.Bind(1, RootCode(root)).Bind(2, folded);
  names->clear();
  int step;
  while ((step = list.Step()) == SQLITE_ROW) names->push_back(Utf16(list.Text(0)));
  if (step != SQLITE_DONE) return Error("listing values");
  std::sort(names->begin(), names->end(), LessFolded);
  return Status::Ok();
}

}  // namespace cordavex::platform
