#include "web/frame_image.h"

#include <png.h>

#include <vector>

namespace cordavex::web {

namespace {

bool SizeMatches(std::span<const uint32_t> pixels, int32_t width, int32_t height) {
  return width > 0 && height > 0 && width <= 8192 && height <= 8192 &&
         pixels.size() == static_cast<size_t>(width) * static_cast<size_t>(height);
}

void Append(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::string*>(png_get_io_ptr(png));
  out->append(reinterpret_cast<const char*>(data), length);
}

void Flush(png_structp) {}

// libpng reports errors by longjmp: this function holds no object with a
// destructor between setjmp and the calls that may jump.
bool WritePng(const png_bytep* rows, int32_t width, int32_t height, std::string* out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, out, Append, Flush);
  // Frames go out many times a second: fast compression beats small files on
  // loopback.
  png_set_compression_level(png, 1);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  png_write_info(png, info);
  png_write_image(png, const_cast<png_bytepp>(rows));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

void PutLittleEndian(std::string* out, size_t at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) (*out)[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
}

}  // namespace

bool EncodePng(std::span<const uint32_t> pixels, int32_t width, int32_t height, std::string* out) {
  out->clear();
  if (!SizeMatches(pixels, width, height)) return false;
  const size_t w = static_cast<size_t>(width);
  std::vector<uint8_t> rgb(w * static_cast<size_t>(height) * 3);
  std::vector<png_bytep> rows(static_cast<size_t>(height));
  for (size_t y = 0; y < rows.size(); ++y) {
    uint8_t* row = rgb.data() + y * w * 3;
    rows[y] = row;
    for (size_t x = 0; x < w; ++x) {
      const uint32_t pixel = pixels[y * w + x];
      row[3 * x] = static_cast<uint8_t>(pixel >> 16);
      row[3 * x + 1] = static_cast<uint8_t>(pixel >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(pixel);
    }
  }
  if (!WritePng(rows.data(), width, height, out)) {
    out->clear();
    return false;
  }
  return true;
}

bool EncodeBmp(std::span<const uint32_t> pixels, int32_t width, int32_t height, std::string* out) {
  out->clear();
  if (!SizeMatches(pixels, width, height)) return false;
  // 32 bits a pixel (no row padding), a negative height for rows top-down.
  constexpr size_t kHeader = 14 + 40;
  const size_t w = static_cast<size_t>(width);
  const size_t imageBytes = w * static_cast<size_t>(height) * 4;
  out->assign(kHeader + imageBytes, '\0');
  (*out)[0] = 'B';
  (*out)[1] = 'M';
  PutLittleEndian(out, 2, static_cast<uint32_t>(kHeader + imageBytes), 4);
  PutLittleEndian(out, 10, kHeader, 4);
  PutLittleEndian(out, 14, 40, 4);
  PutLittleEndian(out, 18, static_cast<uint32_t>(width), 4);
  PutLittleEndian(out, 22, static_cast<uint32_t>(-height), 4);
  PutLittleEndian(out, 26, 1, 2);   // planes
  PutLittleEndian(out, 28, 32, 2);  // bits a pixel
  PutLittleEndian(out, 34, static_cast<uint32_t>(imageBytes), 4);
  for (size_t i = 0; i < pixels.size(); ++i) {
    PutLittleEndian(out, kHeader + 4 * i, pixels[i] & 0xFFFFFFu, 4);  // B G R 0
  }
  return true;
}

}  // namespace cordavex::web
