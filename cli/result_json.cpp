#include "cli/result_json.h"

#include "cordavex/symbology.h"
#include "decode/text_routines.h"

namespace cordavex::cli {

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out(text.size() * 3, '\0');
  out.resize(WideToUtf8(text, out));
  return out;
}

std::string Hex(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
  }
  return out;
}

nlohmann::json SymbologyName(int32_t symbology) {
  const SymbologyRow* row = FindSymbology(symbology);
  if (row == nullptr) return nullptr;
  return std::string(row->jsonName);
}

void AddContent(const ScanResult& result, nlohmann::ordered_json& out) {
  out["contentType"] = result.contentType;
  out["subType"] = result.subType;
  out["number"] = result.number;
  out["rawText"] = Utf16ToUtf8(result.RawText());
  out["displayText"] = Utf16ToUtf8(result.DisplayText());
  nlohmann::ordered_json fields = nlohmann::ordered_json::object();
  for (int i = 0; i < kFieldCount; ++i) {
    const std::u16string_view value = result.Get(static_cast<Field>(i));
    if (!value.empty()) fields[std::string(FieldName(static_cast<Field>(i)))] = Utf16ToUtf8(value);
  }
  out["fields"] = std::move(fields);
}

void AddNoContent(nlohmann::ordered_json& out) {
  for (const char* key : {"contentType", "subType", "number", "rawText", "displayText", "fields"}) {
    out[key] = nullptr;
  }
}

}  // namespace cordavex::cli
