// How the command line shows a content record: UTF-16 to UTF-8 and hex for
// printing, and the JSON lines of `scan --json` and `classify --json`. The JSON
// library stays inside result_json.cpp; callers get finished lines.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "cordavex/recognizer.h"
#include "cordavex/scan_result.h"

namespace cordavex::cli {

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD so the output is always
// valid UTF-8.
std::string Utf16ToUtf8(std::u16string_view text);

// Lower-case hexadecimal, two digits a byte.
std::string Hex(std::span<const uint8_t> bytes);

// One object: contentType, subType, number, rawText, displayText and fields
// (role name to value, non-empty fields only, in record order).
std::string ContentJson(const ScanResult& result);

// What `scan --json` prints for one image.
struct ScanLine {
  std::string_view file;
  bool unreadable = false;  // the file could not be read; `error` says why
  std::string_view error;
  int32_t status = 0;       // the engine's last return value
  int frames = 0;           // calls made
  DecodedSymbol symbol;     // what decoded, when status is 1
  const ScanResult* result = nullptr;
};

// One object: file, (error,) status, frames, symbology ("qr", "cv2", "cv3",
// "dm"), bytes in hex, then the content keys, all null where nothing decoded.
std::string ScanLineJson(const ScanLine& line);

}  // namespace cordavex::cli
