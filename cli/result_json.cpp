#include "cli/result_json.h"

namespace cordavex::cli {

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
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
  switch (symbology) {
    case 1:
      return "qr";
    case 2:
      return "cv2";
    case 3:
      return "cv3";
    case 4:
      return "dm";
    default:
      return nullptr;
  }
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
    if (!value.empty()) fields[std::string(kFieldNames[static_cast<size_t>(i)])] = Utf16ToUtf8(value);
  }
  out["fields"] = std::move(fields);
}

void AddNoContent(nlohmann::ordered_json& out) {
  for (const char* key : {"contentType", "subType", "number", "rawText", "displayText", "fields"}) {
    out[key] = nullptr;
  }
}

}  // namespace cordavex::cli
