// `cordavex reg`: shows and edits the registry of a device root
// (registry.sqlite), the way a person would use regedit on the phone.
//
//   dump                      every key and value, sorted, in regedit's style
//   get KEY VALUE             the value alone: a DWORD in decimal, a string as
//                             it is, binary as hex, a multi-string one per line
//   set KEY VALUE TYPE DATA   writes the value, making the key when missing
//
// Exit status: 0 done, 1 the key or value does not exist, 2 an argument or the
// device root is unusable (one line on stderr).
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "platform/linux_device.h"

namespace cordavex::cli {
namespace {

using platform::RegistryRoot;
using platform::RegistryType;
using platform::RegistryValue;
using platform::Status;

constexpr int kOk = 0;
constexpr int kNotFound = 1;
constexpr int kUnusable = 2;

int Fail(int status, const std::string& message) {
  std::fprintf(stderr, "cordavex reg: %s\n", message.c_str());
  return status;
}

int FailWith(const Status& status) {
  return Fail(status.IsNotFound() ? kNotFound : kUnusable, status.message());
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

struct RootName {
  const char* full;
  const char* abbreviation;
  RegistryRoot root;
};
// In the order dump prints them.
constexpr RootName kRoots[] = {
    {"HKEY_CLASSES_ROOT", "HKCR", RegistryRoot::kClassesRoot},
    {"HKEY_CURRENT_USER", "HKCU", RegistryRoot::kCurrentUser},
    {"HKEY_LOCAL_MACHINE", "HKLM", RegistryRoot::kLocalMachine},
};

// "HKCU\Software\Cordavex" -> the root and the key path within it.
bool SplitKey(const std::string& key, RegistryRoot* root, std::u16string* path,
              std::string* error) {
  const size_t slash = key.find('\\');
  const std::string name = key.substr(0, slash);
  bool known = false;
  for (const RootName& r : kRoots) {
    if (EqualsIgnoringCase(name, r.full) || EqualsIgnoringCase(name, r.abbreviation)) {
      *root = r.root;
      known = true;
    }
  }
  if (!known) {
    *error = "unknown root '" + name +
             "' in " + key + " (HKEY_CURRENT_USER or HKCU, HKEY_LOCAL_MACHINE or HKLM, "
             "HKEY_CLASSES_ROOT or HKCR)";
    return false;
  }
  const std::string rest = slash == std::string::npos ? "" : key.substr(slash + 1);
  const Status checked = platform::CheckKeyPath(platform::Utf16(rest), path);
  if (!checked.ok()) {
    *error = checked.message();
    return false;
  }
  return true;
}

std::string Hex(const std::vector<uint8_t>& bytes, const char* separator) {
  std::string text;
  char digits[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) text += separator;
    std::snprintf(digits, sizeof digits, "%02x", bytes[i]);
    text += digits;
  }
  return text;
}

// A string between double quotes, with what would break the line or the
// quoting escaped as regedit escapes it.
std::string Quoted(std::u16string_view text) {
  std::string out = "\"";
  for (const char c : platform::Utf8(text)) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\0': out += "\\0"; break;
      default: out += c;
    }
  }
  return out + "\"";
}

// The value as `get` prints it, with its line break(s).
std::string Plain(const RegistryValue& value) {
  uint32_t dword = 0;
  std::u16string text;
  std::vector<std::u16string> strings;
  if (value.AsDword(&dword)) return std::to_string(dword) + "\n";
  if (value.AsString(&text)) return platform::Utf8(text) + "\n";
  if (value.AsMultiString(&strings)) {
    std::string lines;
    for (const std::u16string& s : strings) lines += platform::Utf8(s) + "\n";
    return lines;
  }
  return Hex(value.data, "") + "\n";  // binary, or bytes no reader of their type takes
}

// The data part of a dump line: dword:0000001e, "text", hex:01,02,
// multi_sz:"a","b"; hex(N): for bytes that do not hold their type.
std::string Dumped(const RegistryValue& value) {
  uint32_t dword = 0;
  std::u16string text;
  std::vector<std::u16string> strings;
  char number[16];
  if (value.AsDword(&dword)) {
    std::snprintf(number, sizeof number, "%08x", dword);
    return std::string("dword:") + number;
  }
  if (value.AsString(&text)) return Quoted(text);
  if (value.AsMultiString(&strings)) {
    std::string out = "multi_sz:";
    for (size_t i = 0; i < strings.size(); ++i) out += (i > 0 ? "," : "") + Quoted(strings[i]);
    return out;
  }
  if (value.type == RegistryType::kBinary) return "hex:" + Hex(value.data, ",");
  return "hex(" + std::to_string(static_cast<uint32_t>(value.type)) + "):" + Hex(value.data, ",");
}

Status DumpKey(platform::Device& device, const RootName& root, const std::u16string& key,
               std::string* out) {
  std::vector<std::u16string> values;
  if (Status s = device.ListValues(root.root, key, &values); !s.ok()) return s;
  if (!key.empty() || !values.empty()) {
    *out += "[" + std::string(root.full) + (key.empty() ? "" : "\\" + platform::Utf8(key)) + "]\n";
    for (const std::u16string& name : values) {
      RegistryValue value;
      if (Status s = device.GetValue(root.root, key, name, &value); !s.ok()) return s;
      *out += (name.empty() ? std::string("@") : Quoted(name)) + "=" + Dumped(value) + "\n";
    }
    *out += "\n";
  }
  std::vector<std::u16string> subkeys;
  if (Status s = device.ListSubkeys(root.root, key, &subkeys); !s.ok()) return s;
  for (const std::u16string& subkey : subkeys) {
    if (Status s = DumpKey(device, root, key.empty() ? subkey : key + u"\\" + subkey, out); !s.ok()) {
      return s;
    }
  }
  return Status::Ok();
}

int Dump(platform::Device& device) {
  std::string out;
  for (const RootName& root : kRoots) {
    if (Status s = DumpKey(device, root, u"", &out); !s.ok()) return FailWith(s);
  }
  std::fputs(out.c_str(), stdout);
  return kOk;
}

int Get(platform::Device& device, RegistryRoot root, const std::u16string& key,
        const RegOptions& options) {
  if (Status s = device.OpenKey(root, key); !s.ok()) {
    return s.IsNotFound() ? Fail(kNotFound, "not found: key " + options.key) : FailWith(s);
  }
  RegistryValue value;
  if (Status s = device.GetValue(root, key, platform::Utf16(options.value), &value); !s.ok()) {
    return s.IsNotFound()
               ? Fail(kNotFound, "not found: value \"" + options.value + "\" in " + options.key)
               : FailWith(s);
  }
  const std::string text = Plain(value);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return kOk;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The value the TYPE and DATA arguments of `set` describe.
bool MakeValue(const RegOptions& options, RegistryValue* value, std::string* error) {
  std::string type = options.type;
  if (type.size() > 4 && EqualsIgnoringCase(type.substr(0, 4), "reg_")) type.erase(0, 4);
  const bool multi = EqualsIgnoringCase(type, "multi_sz");
  if (!multi && options.data.size() != 1) {
    *error = "set " + options.type + " takes one DATA argument, not " +
             std::to_string(options.data.size());
    return false;
  }
  if (EqualsIgnoringCase(type, "dword")) {
    const std::string& text = options.data[0];
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    uint64_t number = 0;
    bool valid = !text.empty() && text.size() <= 10;
    for (size_t i = hex ? 2 : 0; valid && i < text.size(); ++i) {
      const int digit = hex ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
      valid = digit >= 0;
      number = number * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    }
    if (!valid || number > 0xFFFFFFFFull) {
      *error = "not a DWORD (0 to 4294967295, or 0x hex): '" + text + "'";
      return false;
    }
    *value = RegistryValue::Dword(static_cast<uint32_t>(number));
    return true;
  }
  if (EqualsIgnoringCase(type, "sz") || EqualsIgnoringCase(type, "string")) {
    *value = RegistryValue::String(platform::Utf16(options.data[0]));
    return true;
  }
  if (EqualsIgnoringCase(type, "binary")) {
    std::string digits;
    for (const char c : options.data[0]) {
      if (c != ',' && c != ' ' && c != ':') digits += c;
    }
    std::vector<uint8_t> bytes;
    bool valid = digits.size() % 2 == 0;
    for (size_t i = 0; valid && i < digits.size(); i += 2) {
      const int high = HexDigit(digits[i]);
      const int low = HexDigit(digits[i + 1]);
      valid = high >= 0 && low >= 0;
      bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    if (!valid) {
      *error = "not hex bytes (\"01ff\" or \"01,ff\"): '" + options.data[0] + "'";
      return false;
    }
    *value = RegistryValue::Binary(std::move(bytes));
    return true;
  }
  if (multi) {
    std::vector<std::u16string> strings;
    for (const std::string& text : options.data) {
      // An empty string would end the list early for every reader.
      if (text.empty()) {
        *error = "a multi_sz cannot hold an empty string";
        return false;
      }
      strings.push_back(platform::Utf16(text));
    }
    *value = RegistryValue::MultiString(strings);
    return true;
  }
  *error = "unknown type '" + options.type + "' (dword, sz, binary or multi_sz)";
  return false;
}

int Set(platform::Device& device, RegistryRoot root, const std::u16string& key,
        const RegOptions& options) {
  RegistryValue value;
  std::string error;
  if (!MakeValue(options, &value, &error)) return Fail(kUnusable, error);
  if (Status s = device.CreateKey(root, key); !s.ok()) return FailWith(s);
  if (Status s = device.SetValue(root, key, platform::Utf16(options.value), value); !s.ok()) {
    return FailWith(s);
  }
  return kOk;
}

}  // namespace

int RegCommand(int argc, char** argv) {
  RegOptions options;
  if (const int status = ParseRegArguments(argc, argv, options); status != kParsed) return status;

  RegistryRoot root = RegistryRoot::kCurrentUser;
  std::u16string key;
  if (options.action != "dump") {
    std::string error;
    if (!SplitKey(options.key, &root, &key, &error)) return Fail(kUnusable, error);
  }

  const std::string deviceRoot =
      options.deviceRoot.empty() ? platform::DefaultDeviceRoot() : options.deviceRoot;
  std::unique_ptr<platform::LinuxDevice> device;
  if (Status s = platform::LinuxDevice::Open(deviceRoot, &device); !s.ok()) {
    return Fail(kUnusable, s.message());
  }
  if (options.action == "dump") return Dump(*device);
  if (options.action == "get") return Get(*device, root, key, options);
  return Set(*device, root, key, options);
}

}  // namespace cordavex::cli
