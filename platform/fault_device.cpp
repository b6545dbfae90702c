#include "platform/fault_device.h"

namespace cordavex::platform {

namespace {

// `path` equals `prefix` or lies under it (a separator follows the prefix).
bool Under(std::string_view path, std::string_view prefix, char separator) {
  if (prefix.empty()) return true;
  if (path.size() < prefix.size() || path.compare(0, prefix.size(), prefix) != 0) return false;
  return path.size() == prefix.size() || path[prefix.size()] == separator;
}

}  // namespace

void FaultInjectingDevice::AddRule(const FaultRule& rule) {
  std::lock_guard lock(mutex_);
  rules_.push_back(rule);
}

void FaultInjectingDevice::ClearRules() {
  std::lock_guard lock(mutex_);
  rules_.clear();
}

int FaultInjectingDevice::refusals() const {
  std::lock_guard lock(mutex_);
  return refusals_;
}

Status FaultInjectingDevice::Check(FaultOperation operation, const char* what,
                                   std::string_view path, bool registry) {
  std::string normalised(path);
  if (!registry && !CheckFilePath(path, &normalised).ok()) normalised = path;
  std::lock_guard lock(mutex_);
  for (FaultRule& rule : rules_) {
    if ((rule.operations & operation) == 0 || rule.times == 0) continue;
    const bool matches = registry ? Under(Utf8(FoldCase(Utf16(path))),
                                          Utf8(FoldCase(Utf16(rule.prefix))), '\\')
                                  : Under(normalised, rule.prefix, '/');
    if (!matches) continue;
    if (rule.skip > 0) {
      --rule.skip;
      continue;
    }
    if (rule.times > 0) --rule.times;
    ++refusals_;
    return Status::InjectedFault(std::string(what) + " " + std::string(path) + " refused");
  }
  return Status::Ok();
}

Status FaultInjectingDevice::CheckKey(FaultOperation operation, const char* what,
                                      RegistryRoot root, std::u16string_view key) {
  // Rules name key paths without the root; the message names both.
  std::u16string path;
  if (!CheckKeyPath(key, &path).ok()) path = key;
  Status status = Check(operation, what, Utf8(path), true);
  if (status.ok()) return status;
  return Status::InjectedFault(std::string(what) + " " + RootName(root) + "\\" + Utf8(path) +
                               " refused");
}

Status FaultInjectingDevice::ReadFile(std::string_view path, std::string* contents) {
  if (Status s = Check(kFaultRead, "read of", path, false); !s.ok()) return s;
  return target_->ReadFile(path, contents);
}
Status FaultInjectingDevice::WriteFile(std::string_view path, std::string_view contents) {
  if (Status s = Check(kFaultWrite, "write of", path, false); !s.ok()) return s;
  return target_->WriteFile(path, contents);
}
Status FaultInjectingDevice::AppendFile(std::string_view path, std::string_view contents) {
  if (Status s = Check(kFaultAppend, "append to", path, false); !s.ok()) return s;
  return target_->AppendFile(path, contents);
}
Status FaultInjectingDevice::ListFolder(std::string_view path, std::vector<std::string>* names) {
  if (Status s = Check(kFaultList, "listing of", path, false); !s.ok()) return s;
  return target_->ListFolder(path, names);
}
Status FaultInjectingDevice::MakeFolders(std::string_view path) {
  if (Status s = Check(kFaultMakeFolders, "making of folder", path, false); !s.ok()) return s;
  return target_->MakeFolders(path);
}
Status FaultInjectingDevice::Remove(std::string_view path) {
  if (Status s = Check(kFaultRemove, "removal of", path, false); !s.ok()) return s;
  return target_->Remove(path);
}
bool FaultInjectingDevice::Exists(std::string_view path) { return target_->Exists(path); }

Status FaultInjectingDevice::CreateKey(RegistryRoot root, std::u16string_view key) {
  if (Status s = CheckKey(kFaultRegistryWrite, "creation of key", root, key); !s.ok()) return s;
  return target_->CreateKey(root, key);
}
Status FaultInjectingDevice::OpenKey(RegistryRoot root, std::u16string_view key) {
  if (Status s = CheckKey(kFaultRegistryRead, "opening of key", root, key); !s.ok()) return s;
  return target_->OpenKey(root, key);
}
Status FaultInjectingDevice::SetValue(RegistryRoot root, std::u16string_view key,
                                      std::u16string_view name, const RegistryValue& value) {
  if (Status s = CheckKey(kFaultRegistryWrite, "write of a value in", root, key); !s.ok()) return s;
  return target_->SetValue(root, key, name, value);
}
Status FaultInjectingDevice::GetValue(RegistryRoot root, std::u16string_view key,
                                      std::u16string_view name, RegistryValue* value) {
  if (Status s = CheckKey(kFaultRegistryRead, "read of a value in", root, key); !s.ok()) return s;
  return target_->GetValue(root, key, name, value);
}
Status FaultInjectingDevice::DeleteValue(RegistryRoot root, std::u16string_view key,
                                         std::u16string_view name) {
  if (Status s = CheckKey(kFaultRegistryWrite, "deletion of a value in", root, key); !s.ok()) {
    return s;
  }
  return target_->DeleteValue(root, key, name);
}
Status FaultInjectingDevice::DeleteKey(RegistryRoot root, std::u16string_view key) {
  if (Status s = CheckKey(kFaultRegistryWrite, "deletion of key", root, key); !s.ok()) return s;
  return target_->DeleteKey(root, key);
}
Status FaultInjectingDevice::ListSubkeys(RegistryRoot root, std::u16string_view key,
                                         std::vector<std::u16string>* names) {
  if (Status s = CheckKey(kFaultRegistryRead, "listing of key", root, key); !s.ok()) return s;
  return target_->ListSubkeys(root, key, names);
}
Status FaultInjectingDevice::ListValues(RegistryRoot root, std::u16string_view key,
                                        std::vector<std::u16string>* names) {
  if (Status s = CheckKey(kFaultRegistryRead, "listing of values in", root, key); !s.ok()) return s;
  return target_->ListValues(root, key, names);
}

}  // namespace cordavex::platform
