#include "platform/registry_value.h"

namespace cordavex::platform {

namespace {

void AppendUtf16(std::vector<uint8_t>& data, std::u16string_view text) {
  for (char16_t unit : text) {
    data.push_back(static_cast<uint8_t>(unit & 0xFF));
    data.push_back(static_cast<uint8_t>(unit >> 8));
  }
  data.push_back(0);
  data.push_back(0);
}

// The UTF-16 units of the data; an odd last byte is dropped.
std::u16string Units(const std::vector<uint8_t>& data) {
  std::u16string units;
  units.reserve(data.size() / 2);
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    units.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
  }
  return units;
}

}  // namespace

bool IsRegistryType(uint32_t code) {
  return code == 1 || code == 3 || code == 4 || code == 7;
}

const char* RegistryTypeName(RegistryType type) {
  switch (type) {
    case RegistryType::kString: return "REG_SZ";
    case RegistryType::kBinary: return "REG_BINARY";
    case RegistryType::kDword: return "REG_DWORD";
    case RegistryType::kMultiString: return "REG_MULTI_SZ";
  }
  return "REG_?";
}

RegistryValue RegistryValue::Dword(uint32_t value) {
  return {RegistryType::kDword,
          {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
           static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)}};
}

RegistryValue RegistryValue::String(std::u16string_view text) {
  RegistryValue value{RegistryType::kString, {}};
  AppendUtf16(value.data, text);
  return value;
}

RegistryValue RegistryValue::Binary(std::vector<uint8_t> bytes) {
  return {RegistryType::kBinary, std::move(bytes)};
}

RegistryValue RegistryValue::MultiString(const std::vector<std::u16string>& strings) {
  RegistryValue value{RegistryType::kMultiString, {}};
  for (const std::u16string& text : strings) AppendUtf16(value.data, text);
  value.data.push_back(0);
  value.data.push_back(0);
  return value;
}

bool RegistryValue::AsDword(uint32_t* out) const {
  if (type != RegistryType::kDword || data.size() != 4) return false;
  *out = uint32_t{data[0]} | uint32_t{data[1]} << 8 | uint32_t{data[2]} << 16 |
         uint32_t{data[3]} << 24;
  return true;
}

bool RegistryValue::AsString(std::u16string* out) const {
  if (type != RegistryType::kString) return false;
  std::u16string units = Units(data);
  const size_t end = units.find(u'\0');
  if (end != std::u16string::npos) units.resize(end);
  *out = std::move(units);
  return true;
}

bool RegistryValue::AsMultiString(std::vector<std::u16string>* out) const {
  if (type != RegistryType::kMultiString) return false;
  const std::u16string units = Units(data);
  std::vector<std::u16string> strings;
  size_t start = 0;
  while (start < units.size()) {
    size_t end = units.find(u'\0', start);
    if (end == std::u16string::npos) end = units.size();
    if (end == start) break;  // the empty string that closes the list
    strings.emplace_back(units.substr(start, end - start));
    start = end + 1;
  }
  *out = std::move(strings);
  return true;
}

}  // namespace cordavex::platform
