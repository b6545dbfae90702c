// How the command line shows a content record: the JSON keys shared by `scan`
// and `classify`, and UTF-16 to UTF-8 for printing.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "cordavex/scan_result.h"

namespace cordavex::cli {

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD so the output is always
// valid UTF-8.
std::string Utf16ToUtf8(std::u16string_view text);

// Lower-case hexadecimal, two digits a byte.
std::string Hex(std::span<const uint8_t> bytes);

// "qr", "cv2", "cv3", "dm", or null for no symbology.
nlohmann::json SymbologyName(int32_t symbology);

// contentType, subType, number, rawText, displayText and fields (role name to
// value, non-empty fields only, in record order).
void AddContent(const ScanResult& result, nlohmann::ordered_json& out);
// The same keys, all null, for an image in which nothing decoded.
void AddNoContent(nlohmann::ordered_json& out);

}  // namespace cordavex::cli
