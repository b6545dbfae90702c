#include "platform/memory_device.h"

#include <algorithm>

#include "platform/codepage.h"

namespace cordavex::platform {

namespace {

std::string ParentOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

Status KeyNotFound(RegistryRoot root, std::u16string_view key) {
  return Status::NotFound(std::string(RootName(root)) + "\\" + Utf8(key));
}

}  // namespace

// --- registry ---

MemoryRegistry::Key* MemoryRegistry::Find(RegistryRoot root, const std::u16string& path) {
  const auto found = keys_.find({root, FoldCase(path)});
  if (found != keys_.end()) return &found->second;
  if (path.empty()) return &keys_[{root, std::u16string()}];
  return nullptr;
}

Status MemoryRegistry::CreateKey(RegistryRoot root, std::u16string_view key) {
  std::u16string path;
  if (Status s = CheckKeyPath(key, &path); !s.ok()) return s;
  // Parents first, so every stored key has its parent.
  size_t end = 0;
  while (end != std::u16string::npos) {
    end = path.find(u'\\', end == 0 ? 0 : end + 1);
    const std::u16string prefix = path.substr(0, end);
    auto [it, inserted] = keys_.try_emplace({root, FoldCase(prefix)});
    if (inserted) it->second.path = prefix;
  }
  return Status::Ok();
}

Status MemoryRegistry::OpenKey(RegistryRoot root, std::u16string_view key) {
  std::u16string path;
  if (Status s = CheckKeyPath(key, &path); !s.ok()) return s;
  return Find(root, path) != nullptr ? Status::Ok() : KeyNotFound(root, path);
}

Status MemoryRegistry::SetValue(RegistryRoot root, std::u16string_view key,
                                std::u16string_view name, const RegistryValue& value) {
  std::u16string path;
  if (Status s = CheckKeyPath(key, &path); !s.ok()) return s;
  if (!IsRegistryType(static_cast<uint32_t>(value.type))) {
    return Status::InvalidArgument("registry value of unknown type");
  }
  Key* node = Find(root, path);
  if (node == nullptr) return KeyNotFound(root, path);
  auto [it, inserted] = node->values.try_emplace(FoldCase(name));
  if (inserted) it->second.name = std::u16string(name);
  it->second.value = value;
  return Status::Ok();
}

Status MemoryRegistry::GetValue(RegistryRoot root, std::u16string_view key,
                                std::u16string_view name, RegistryValue* value) {
  std::u16string path;
  if (Status s = CheckKeyPath(key, &path); !s.ok()) return s;
  Key* node = Find(root, path);
  if (node == nullptr) return KeyNotFound(root, path);
  const auto found = node->values.find(FoldCase(name));
  if (found == node->values.end()) {
    return Status::NotFound(std::string(RootName(root)) + "\\" + Utf8(path) + " value \"" +
                            Utf8(name) + "\"");
  }
  *value = found->second.value;
  return Status::Ok();
}

Status MemoryRegistry::DeleteValue(RegistryRoot root, std::u16string_view key,
                                   std::u16string_view name) {
  std::u16string path;
  if (Status s = CheckKeyPath(key, &path); !s.ok()) return s;
  Key* node = Find(root, path);
  if (node == nullptr) return KeyNotFound(root, path);
  if (node->values.erase(FoldCase(name)) == 0) {
    return Status::NotFound(std::string(RootName(root)) + "\\" + Utf8(path) + " value \"" +
                            Utf8(name) + "\"");
  }
  return Status::Ok();
}

Status MemoryRegistry::DeleteKey(RegistryRoot root, std::u16string_view key) {
  std::u16string path;
  if (Status s = CheckKeyPath(key, &path); !s.ok()) return s;
  if (path.empty()) return Status::InvalidArgument("a registry root cannot be deleted");
  const std::u16string folded = FoldCase(path);
  const auto self = keys_.find({root, folded});
  if (self == keys_.end()) return KeyNotFound(root, path);
  keys_.erase(self);
  // Subkeys sort between "PATH\" and "PATH]" (']' follows '\').
  const auto first = keys_.lower_bound({root, folded + u'\\'});
  const auto last = keys_.lower_bound({root, folded + u']'});
  keys_.erase(first, last);
  return Status::Ok();
}

Status MemoryRegistry::ListSubkeys(RegistryRoot root, std::u16string_view key,
                                   std::vector<std::u16string>* names) {
  std::u16string path;
  if (Status s = CheckKeyPath(key, &path); !s.ok()) return s;
  if (Find(root, path) == nullptr) return KeyNotFound(root, path);
  const std::u16string prefix = path.empty() ? std::u16string() : FoldCase(path) + u'\\';
  names->clear();
  for (auto it = keys_.lower_bound({root, prefix}); it != keys_.end() && it->first.first == root;
       ++it) {
    const std::u16string& folded = it->first.second;
    if (folded.compare(0, prefix.size(), prefix) != 0) break;
    if (folded.size() == prefix.size()) continue;  // the key itself (the root)
    if (folded.find(u'\\', prefix.size()) != std::u16string::npos) continue;  // deeper
    names->push_back(it->second.path.substr(prefix.size()));
  }
  std::sort(names->begin(), names->end(), LessFolded);
  return Status::Ok();
}

Status MemoryRegistry::ListValues(RegistryRoot root, std::u16string_view key,
                                  std::vector<std::u16string>* names) {
  std::u16string path;
  if (Status s = CheckKeyPath(key, &path); !s.ok()) return s;
  Key* node = Find(root, path);
  if (node == nullptr) return KeyNotFound(root, path);
  names->clear();
  for (const auto& [folded, named] : node->values) names->push_back(named.name);
  std::sort(names->begin(), names->end(), LessFolded);
  return Status::Ok();
}

// --- files ---

MemoryDevice::MemoryDevice() = default;

Status MemoryDevice::CheckParent(const std::string& path) const {
  const std::string parent = ParentOf(path);
  if (parent.empty() || folders_.count(parent) != 0) return Status::Ok();
  return Status::NotFound("folder " + parent);
}

Status MemoryDevice::ReadFile(std::string_view path, std::string* contents) {
  std::string p;
  if (Status s = CheckFilePath(path, &p); !s.ok()) return s;
  std::lock_guard lock(mutex_);
  const auto found = files_.find(p);
  if (found == files_.end()) return Status::NotFound(p);
  *contents = found->second;
  return Status::Ok();
}

Status MemoryDevice::WriteFile(std::string_view path, std::string_view contents) {
  std::string p;
  if (Status s = CheckFilePath(path, &p); !s.ok()) return s;
  if (p.empty()) return Status::InvalidArgument("the device root is a folder");
  std::lock_guard lock(mutex_);
  if (folders_.count(p) != 0) return Status::InvalidArgument(p + " is a folder");
  if (Status s = CheckParent(p); !s.ok()) return s;
  files_[p] = std::string(contents);
  return Status::Ok();
}

Status MemoryDevice::AppendFile(std::string_view path, std::string_view contents) {
  std::string p;
  if (Status s = CheckFilePath(path, &p); !s.ok()) return s;
  if (p.empty()) return Status::InvalidArgument("the device root is a folder");
  std::lock_guard lock(mutex_);
  if (folders_.count(p) != 0) return Status::InvalidArgument(p + " is a folder");
  if (Status s = CheckParent(p); !s.ok()) return s;
  files_[p].append(contents);
  return Status::Ok();
}

Status MemoryDevice::ListFolder(std::string_view path, std::vector<std::string>* names) {
  std::string p;
  if (Status s = CheckFilePath(path, &p); !s.ok()) return s;
  std::lock_guard lock(mutex_);
  if (!p.empty() && folders_.count(p) == 0) {
    return files_.count(p) != 0 ? Status::InvalidArgument(p + " is a file")
                                : Status::NotFound("folder " + p);
  }
  const std::string prefix = p.empty() ? std::string() : p + '/';
  names->clear();
  auto collect = [&](const std::string& entry) {
    if (entry.compare(0, prefix.size(), prefix) != 0) return;
    if (entry.find('/', prefix.size()) != std::string::npos) return;
    names->push_back(entry.substr(prefix.size()));
  };
  for (const auto& [name, data] : files_) collect(name);
  for (const std::string& folder : folders_) collect(folder);
  std::sort(names->begin(), names->end());
  return Status::Ok();
}

Status MemoryDevice::MakeFolders(std::string_view path) {
  std::string p;
  if (Status s = CheckFilePath(path, &p); !s.ok()) return s;
  std::lock_guard lock(mutex_);
  for (std::string prefix = p; !prefix.empty(); prefix = ParentOf(prefix)) {
    if (files_.count(prefix) != 0) return Status::InvalidArgument(prefix + " is a file");
  }
  for (std::string prefix = p; !prefix.empty(); prefix = ParentOf(prefix)) folders_.insert(prefix);
  return Status::Ok();
}

Status MemoryDevice::Remove(std::string_view path) {
  std::string p;
  if (Status s = CheckFilePath(path, &p); !s.ok()) return s;
  if (p.empty()) return Status::InvalidArgument("the device root cannot be removed");
  std::lock_guard lock(mutex_);
  if (files_.erase(p) != 0) return Status::Ok();
  if (folders_.count(p) == 0) return Status::NotFound(p);
  const std::string prefix = p + '/';
  const auto child = [&](const std::string& entry) { return entry.compare(0, prefix.size(), prefix) == 0; };
  if (std::any_of(files_.begin(), files_.end(), [&](const auto& f) { return child(f.first); }) ||
      std::any_of(folders_.begin(), folders_.end(), child)) {
    return Status::IoError("folder " + p + " is not empty");
  }
  folders_.erase(p);
  return Status::Ok();
}

bool MemoryDevice::Exists(std::string_view path) {
  std::string p;
  if (!CheckFilePath(path, &p).ok()) return false;
  std::lock_guard lock(mutex_);
  return p.empty() || files_.count(p) != 0 || folders_.count(p) != 0;
}

// --- registry, under the device's lock ---

Status MemoryDevice::CreateKey(RegistryRoot root, std::u16string_view key) {
  std::lock_guard lock(mutex_);
  return registry_.CreateKey(root, key);
}
Status MemoryDevice::OpenKey(RegistryRoot root, std::u16string_view key) {
  std::lock_guard lock(mutex_);
  return registry_.OpenKey(root, key);
}
Status MemoryDevice::SetValue(RegistryRoot root, std::u16string_view key, std::u16string_view name,
                              const RegistryValue& value) {
  std::lock_guard lock(mutex_);
  return registry_.SetValue(root, key, name, value);
}
Status MemoryDevice::GetValue(RegistryRoot root, std::u16string_view key, std::u16string_view name,
                              RegistryValue* value) {
  std::lock_guard lock(mutex_);
  return registry_.GetValue(root, key, name, value);
}
Status MemoryDevice::DeleteValue(RegistryRoot root, std::u16string_view key,
                                 std::u16string_view name) {
  std::lock_guard lock(mutex_);
  return registry_.DeleteValue(root, key, name);
}
Status MemoryDevice::DeleteKey(RegistryRoot root, std::u16string_view key) {
  std::lock_guard lock(mutex_);
  return registry_.DeleteKey(root, key);
}
Status MemoryDevice::ListSubkeys(RegistryRoot root, std::u16string_view key,
                                 std::vector<std::u16string>* names) {
  std::lock_guard lock(mutex_);
  return registry_.ListSubkeys(root, key, names);
}
Status MemoryDevice::ListValues(RegistryRoot root, std::u16string_view key,
                                std::vector<std::u16string>* names) {
  std::lock_guard lock(mutex_);
  return registry_.ListValues(root, key, names);
}

// --- clock and settings ---

int64_t MemoryDevice::WallMicros() {
  std::lock_guard lock(mutex_);
  return wallMicros_;
}
int64_t MemoryDevice::MonotonicMicros() {
  std::lock_guard lock(mutex_);
  return monotonicMicros_;
}
void MemoryDevice::AdvanceClock(int64_t micros) {
  std::lock_guard lock(mutex_);
  if (micros < 0) micros = 0;  // the monotonic clock never goes back
  wallMicros_ += micros;
  monotonicMicros_ += micros;
}
void MemoryDevice::SetWallMicros(int64_t micros) {
  std::lock_guard lock(mutex_);
  wallMicros_ = micros;
}
uint16_t MemoryDevice::UiLanguage() {
  std::lock_guard lock(mutex_);
  return uiLanguage_;
}
void MemoryDevice::SetUiLanguage(uint16_t language) {
  std::lock_guard lock(mutex_);
  uiLanguage_ = language;
}
std::string MemoryDevice::ProgramFolder() {
  std::lock_guard lock(mutex_);
  return programFolder_;
}
void MemoryDevice::SetProgramFolder(std::string folder) {
  std::lock_guard lock(mutex_);
  programFolder_ = std::move(folder);
}
int MemoryDevice::MultiByteToWideChar(uint32_t codePage, std::span<const uint8_t> bytes,
                                      std::span<char16_t> out) {
  return platform::MultiByteToWideChar(codePage, bytes, out);
}

}  // namespace cordavex::platform
