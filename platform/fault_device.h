// A device that forwards every call to another and refuses the ones a test has
// chosen: the Nth write, every write under a folder, registry writes, reads.
// A refused call returns Status::kInjectedFault naming the operation and its
// object, and does not reach the target, so a test can show what the caller
// does with a failure and that nothing already stored is lost.
//
// Borrows the target, which must outlive it. Thread-safe as its target is;
// the rules and counters have their own lock.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/device.h"

namespace cordavex::platform {

// The kinds of operation a rule can match, as bits.
enum FaultOperation : uint32_t {
  kFaultRead = 1u << 0,           // ReadFile
  kFaultWrite = 1u << 1,          // WriteFile
  kFaultAppend = 1u << 2,         // AppendFile
  kFaultList = 1u << 3,           // ListFolder
  kFaultMakeFolders = 1u << 4,    // MakeFolders
  kFaultRemove = 1u << 5,         // Remove
  kFaultRegistryRead = 1u << 6,   // OpenKey, GetValue, ListSubkeys, ListValues
  kFaultRegistryWrite = 1u << 7,  // CreateKey, SetValue, DeleteValue, DeleteKey
  kFaultFileChanges = kFaultWrite | kFaultAppend | kFaultMakeFolders | kFaultRemove,
};

struct FaultRule {
  uint32_t operations = 0;  // FaultOperation bits
  // Only paths (files) or key paths (registry, case-insensitive) equal to or
  // under this prefix; "" matches all.
  std::string prefix;
  int skip = 0;    // matching calls let through before the first refusal
  int times = -1;  // refusals before the rule retires; -1 = forever
};

class FaultInjectingDevice : public Device {
 public:
  explicit FaultInjectingDevice(Device* target) : target_(target) {}

  void AddRule(const FaultRule& rule);
  void ClearRules();
  // Shorthands: the `n`th (1-based) call of the kinds fails, once.
  void FailNth(uint32_t operations, int n) { AddRule({operations, "", n - 1, 1}); }
  // Every call of the kinds under the prefix fails.
  void FailUnder(uint32_t operations, std::string prefix) {
    AddRule({operations, std::move(prefix), 0, -1});
  }
  // Calls refused so far.
  int refusals() const;

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

  int64_t WallMicros() override { return target_->WallMicros(); }
  int64_t MonotonicMicros() override { return target_->MonotonicMicros(); }
  uint16_t UiLanguage() override { return target_->UiLanguage(); }
  std::string ProgramFolder() override { return target_->ProgramFolder(); }
  int MultiByteToWideChar(uint32_t codePage, std::span<const uint8_t> bytes,
                          std::span<char16_t> out) override {
    return target_->MultiByteToWideChar(codePage, bytes, out);
  }

 private:
  // Ok, or the injected fault when a rule refuses this call. `what` names the
  // operation for the message; registry paths are matched case-insensitively.
  Status Check(FaultOperation operation, const char* what, std::string_view path,
               bool registry);
  Status CheckKey(FaultOperation operation, const char* what, RegistryRoot root,
                  std::u16string_view key);

  Device* target_;
  mutable std::mutex mutex_;
  std::vector<FaultRule> rules_;
  int refusals_ = 0;
};

}  // namespace cordavex::platform
