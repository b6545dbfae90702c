// The main window's frame buffer as an image file the page can show: PNG, or
// BMP for a client that asks for it (no compression, nothing that can fail).
//
// Plain functions on caller buffers; any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace cordavex::web {

// `pixels` holds width × height pixels 0xRRGGBB, rows top-down. False (and
// *out empty) only when libpng fails or the size does not match.
bool EncodePng(std::span<const uint32_t> pixels, int32_t width, int32_t height, std::string* out);
bool EncodeBmp(std::span<const uint32_t> pixels, int32_t width, int32_t height, std::string* out);

}  // namespace cordavex::web
