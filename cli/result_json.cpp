#include "cli/result_json.h"

#include <nlohmann/json.hpp>

#include "cordavex/symbology.h"
#include "decode/text_routines.h"

namespace cordavex::cli {

namespace {

// "qr", "cv2", "cv3", "dm", or null for no symbology.
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

// The same keys, all null, for an image in which nothing decoded.
void AddNoContent(nlohmann::ordered_json& out) {
  for (const char* key : {"contentType", "subType", "number", "rawText", "displayText", "fields"}) {
    out[key] = nullptr;
  }
}

}  // namespace

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

std::string ContentJson(const ScanResult& result) {
  nlohmann::ordered_json out;
  AddContent(result, out);
  return out.dump();
}

std::string ScanLineJson(const ScanLine& line) {
  nlohmann::ordered_json out;
  out["file"] = std::string(line.file);
  if (line.unreadable) {
    out["error"] = std::string(line.error);
    out["status"] = nullptr;
    out["frames"] = 0;
  } else {
    out["status"] = line.status;
    out["frames"] = line.frames;
  }
  const bool decoded = !line.unreadable && line.status == 1 && line.result != nullptr;
  out["symbology"] = decoded ? SymbologyName(line.symbol.symbology) : nlohmann::json(nullptr);
  out["bytes"] = decoded ? nlohmann::json(Hex(line.symbol.bytes)) : nlohmann::json(nullptr);
  if (decoded) {
    AddContent(*line.result, out);
  } else {
    AddNoContent(out);
  }
  return out.dump();
}

}  // namespace cordavex::cli
