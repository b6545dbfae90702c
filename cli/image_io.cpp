#include "cli/image_io.h"

#include <png.h>
#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

namespace cordavex::cli {
namespace {

bool CheckSize(int64_t width, int64_t height, std::string& error) {
  if (width <= 0 || height <= 0) {
    error = "image has no pixels";
    return false;
  }
  if (width > kMaxImageSide || height > kMaxImageSide || width * height > kMaxImagePixels) {
    error = "image too large (" + std::to_string(width) + " x " + std::to_string(height) + ")";
    return false;
  }
  return true;
}

// RGB to the engine's blue-green-red byte order.
void SwapRedBlue(std::vector<uint8_t>& pixels) {
  for (size_t i = 0; i + 2 < pixels.size(); i += 3) std::swap(pixels[i], pixels[i + 2]);
}

// libpng reports running out of data as a bare "Read Error".
std::string PngProblem(const char* what, const png_image& png) {
  if (std::strcmp(png.message, "Read Error") == 0) return "truncated PNG";
  return std::string(what) + ": " + png.message;
}

bool ReadPng(const std::string& path, Image& image, std::string& error) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) {
    error = PngProblem("unreadable PNG", png);
    return false;
  }
  if (!CheckSize(png.width, png.height, error)) {
    png_image_free(&png);
    return false;
  }
  const bool colour = (png.format & PNG_FORMAT_FLAG_COLOR) != 0;
  // Transparent pixels are composed onto white, as a symbol printed on paper.
  png.format = colour ? PNG_FORMAT_BGR : PNG_FORMAT_GRAY;
  png_color white = {255, 255, 255};
  image.width = static_cast<int32_t>(png.width);
  image.height = static_cast<int32_t>(png.height);
  image.bitsPerPixel = colour ? 24 : 8;
  image.pixels.resize(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, &white, image.pixels.data(), 0, nullptr)) {
    error = PngProblem("corrupt PNG", png);
    png_image_free(&png);
    return false;
  }
  return true;
}

struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  bool truncated;
};

void JpegFail(j_common_ptr info) {
  auto* e = reinterpret_cast<JpegError*>(info->err);
  (*info->err->format_message)(info, e->message);
  std::longjmp(e->jump, 1);
}

// Warnings are not printed; running out of data is one we must not pass over,
// since libjpeg then pads the picture with grey and reports success.
void JpegWarning(j_common_ptr info, int level) {
  if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) {
    reinterpret_cast<JpegError*>(info->err)->truncated = true;
  }
}

// Kept free of objects with destructors between setjmp and longjmp: the buffer
// is the caller's and the decompressor is destroyed on both paths.
bool DecodeJpeg(std::FILE* file, Image& image, std::string& error) {
  jpeg_decompress_struct info;
  JpegError jerr;
  info.err = jpeg_std_error(&jerr.manager);
  jerr.manager.error_exit = JpegFail;
  jerr.manager.emit_message = JpegWarning;
  jerr.message[0] = '\0';
  jerr.truncated = false;
  if (setjmp(jerr.jump)) {
    jpeg_destroy_decompress(&info);
    error = std::string("corrupt JPEG: ") + jerr.message;
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  if (!CheckSize(info.image_width, info.image_height, error)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  const bool colour = info.num_components != 1;
  info.out_color_space = colour ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_start_decompress(&info);
  image.width = static_cast<int32_t>(info.output_width);
  image.height = static_cast<int32_t>(info.output_height);
  image.bitsPerPixel = colour ? 24 : 8;
  const size_t stride = static_cast<size_t>(image.width) * (colour ? 3 : 1);
  image.pixels.resize(stride * static_cast<size_t>(image.height));
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = image.pixels.data() + stride * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  if (jerr.truncated) {
    error = "truncated JPEG";
    return false;
  }
  if (colour) SwapRedBlue(image.pixels);
  return true;
}

bool ReadJpeg(const std::string& path, Image& image, std::string& error) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) {
    error = "cannot open file";
    return false;
  }
  return DecodeJpeg(file.get(), image, error);
}

// Binary PGM (P5) and PPM (P6), with comments and maxval up to 65535.
class PnmReader {
 public:
  explicit PnmReader(const std::vector<uint8_t>& data) : data_(data) {}

  bool Read(Image& image, std::string& error) {
    const bool colour = data_[1] == '6';
    int64_t width = 0, height = 0, maxval = 0;
    if (!Number(width) || !Number(height) || !Number(maxval)) {
      error = "malformed PNM header";
      return false;
    }
    if (maxval < 1 || maxval > 65535) {
      error = "PNM maximum value out of range";
      return false;
    }
    if (!CheckSize(width, height, error)) return false;
    ++pos_;  // the single white-space byte after maxval
    const size_t channels = colour ? 3 : 1;
    const size_t sampleBytes = maxval > 255 ? 2 : 1;
    const size_t count = static_cast<size_t>(width * height) * channels;
    if (pos_ > data_.size() || data_.size() - pos_ < count * sampleBytes) {
      error = "truncated PNM pixel data";
      return false;
    }
    image.width = static_cast<int32_t>(width);
    image.height = static_cast<int32_t>(height);
    image.bitsPerPixel = colour ? 24 : 8;
    image.pixels.resize(count);
    for (size_t i = 0; i < count; ++i) {
      const uint8_t* s = data_.data() + pos_ + i * sampleBytes;
      const int64_t v = sampleBytes == 2 ? (s[0] << 8) | s[1] : s[0];
      image.pixels[i] = static_cast<uint8_t>(std::min<int64_t>(v, maxval) * 255 / maxval);
    }
    if (colour) SwapRedBlue(image.pixels);
    return true;
  }

 private:
  void SkipSpaceAndComments() {
    while (pos_ < data_.size()) {
      const uint8_t c = data_[pos_];
      if (c == '#') {
        while (pos_ < data_.size() && data_[pos_] != '\n') ++pos_;
      } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        ++pos_;
      } else {
        return;
      }
    }
  }
  bool Number(int64_t& value) {
    SkipSpaceAndComments();
    size_t digits = 0;
    value = 0;
    while (pos_ < data_.size() && data_[pos_] >= '0' && data_[pos_] <= '9' && digits < 9) {
      value = value * 10 + (data_[pos_] - '0');
      ++pos_;
      ++digits;
    }
    return digits > 0 && (pos_ >= data_.size() || !(data_[pos_] >= '0' && data_[pos_] <= '9'));
  }

  const std::vector<uint8_t>& data_;
  size_t pos_ = 2;  // after the magic number
};

bool ReadPnm(const std::string& path, Image& image, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open file";
    return false;
  }
  // Bounded by the largest legal image plus a generous header.
  constexpr int64_t kMaxBytes = kMaxImagePixels * 3 * 2 + 4096;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || size > kMaxBytes) {
    error = "file too large";
    return false;
  }
  in.seekg(0);
  std::vector<uint8_t> data(static_cast<size_t>(size));
  if (!in.read(reinterpret_cast<char*>(data.data()), size)) {
    error = "cannot read file";
    return false;
  }
  return PnmReader(data).Read(image, error);
}

}  // namespace

bool ReadImage(const std::string& path, Image& image, std::string& error) {
  image = Image{};
  uint8_t magic[8] = {};
  {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      error = "cannot open file";
      return false;
    }
    in.read(reinterpret_cast<char*>(magic), sizeof magic);
    if (in.gcount() < 3) {
      error = "file too short to be an image";
      return false;
    }
  }
  static constexpr uint8_t kPngMagic[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (std::memcmp(magic, kPngMagic, sizeof kPngMagic) == 0) return ReadPng(path, image, error);
  if (magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF) return ReadJpeg(path, image, error);
  if (magic[0] == 'P' && (magic[1] == '5' || magic[1] == '6')) return ReadPnm(path, image, error);
  error = "not a PNG, JPEG, PGM or PPM file";
  return false;
}

}  // namespace cordavex::cli
