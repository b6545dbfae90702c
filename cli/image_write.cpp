#include "cli/image_write.h"

#include <png.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

namespace cordavex::cli {

namespace {

constexpr uint8_t kBlack = 0;
constexpr uint8_t kWhite = 255;

// One pixel row of the picture: `y` is the pixel row, counted from the top
// of the border.
void RenderRow(const ModuleView& view, int scale, int border, int y, std::vector<uint8_t>& row) {
  const int width = (view.side + 2 * border) * scale;
  row.assign(static_cast<size_t>(width), kWhite);
  const int moduleRow = y / scale - border;
  if (moduleRow < 0 || moduleRow >= view.side) return;
  for (int column = 0; column < view.side; ++column) {
    if (!view.Dark(moduleRow, column)) continue;
    std::fill_n(row.begin() + (column + border) * scale, scale, kBlack);
  }
}

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " '" + path + "': " + std::strerror(errno);
}

bool WritePgm(std::FILE* file, const ModuleView& view, int scale, int border) {
  const int width = (view.side + 2 * border) * scale;
  if (std::fprintf(file, "P5\n%d %d\n255\n", width, width) < 0) return false;
  std::vector<uint8_t> row;
  for (int y = 0; y < width; ++y) {
    RenderRow(view, scale, border, y, row);
    if (std::fwrite(row.data(), 1, row.size(), file) != row.size()) return false;
  }
  return true;
}

bool WriteText(std::FILE* file, const ModuleView& view) {
  std::string line(static_cast<size_t>(view.side) + 1, '\n');
  for (int row = 0; row < view.side; ++row) {
    for (int column = 0; column < view.side; ++column) line[column] = view.Dark(row, column) ? '1' : '0';
    if (std::fwrite(line.data(), 1, line.size(), file) != line.size()) return false;
  }
  return true;
}

// One path of unit squares, a run of dark modules in a row as one rectangle.
bool WriteSvg(std::FILE* file, const ModuleView& view, int scale, int border) {
  const int width = view.side + 2 * border;
  std::string svg;
  svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" +
         std::to_string(width * scale) + "\" height=\"" + std::to_string(width * scale) +
         "\" viewBox=\"0 0 " + std::to_string(width) + " " + std::to_string(width) +
         "\" shape-rendering=\"crispEdges\">\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"#FFFFFF\"/>\n<path fill=\"#000000\" d=\"";
  for (int row = 0; row < view.side; ++row) {
    for (int column = 0; column < view.side;) {
      if (!view.Dark(row, column)) {
        ++column;
        continue;
      }
      int end = column;
      while (end < view.side && view.Dark(row, end)) ++end;
      svg += "M" + std::to_string(column + border) + "," + std::to_string(row + border) + "h" +
             std::to_string(end - column) + "v1h-" + std::to_string(end - column) + "z";
      column = end;
    }
  }
  svg += "\"/>\n</svg>\n";
  return std::fwrite(svg.data(), 1, svg.size(), file) == svg.size();
}

struct PngWriteState {
  std::jmp_buf jump;
  std::string message;
};

void PngError(png_structp png, png_const_charp message) {
  auto* state = static_cast<PngWriteState*>(png_get_error_ptr(png));
  state->message = message;
  std::longjmp(state->jump, 1);
}

void PngWarning(png_structp, png_const_charp) {}

// libpng reports errors by longjmp; nothing with a destructor may live between
// the setjmp and the calls that can fail, hence the row buffer from the caller.
bool WritePngRows(std::FILE* file, const ModuleView& view, int scale, int border,
                  std::vector<uint8_t>& row, std::string& message) {
  PngWriteState state;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, PngError, PngWarning);
  if (png == nullptr) {
    message = "out of memory";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    message = "out of memory";
    return false;
  }
  if (setjmp(state.jump)) {
    png_destroy_write_struct(&png, &info);
    message = state.message;
    return false;
  }
  const int width = (view.side + 2 * border) * scale;
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(width), 8,
               PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < width; ++y) {
    RenderRow(view, scale, border, y, row);
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

ImageKind ImageKindOf(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return ImageKind::kUnknown;
  }
  std::string extension = path.substr(dot + 1);
  for (char& ch : extension) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (extension == "png") return ImageKind::kPng;
  if (extension == "svg") return ImageKind::kSvg;
  if (extension == "pgm") return ImageKind::kPgm;
  if (extension == "txt") return ImageKind::kText;
  return ImageKind::kUnknown;
}

bool WriteSymbolImage(const std::string& path, const ModuleView& view, int scale, int border,
                      std::string& error) {
  const ImageKind kind = ImageKindOf(path);
  if (kind == ImageKind::kUnknown) {
    error = "cannot tell the image format of '" + path + "' (use .png, .svg, .pgm or .txt)";
    return false;
  }
  const std::string temporary = path + ".part";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) {
    error = SystemError("cannot write", path);
    return false;
  }
  bool written = false;
  std::string reason;
  switch (kind) {
    case ImageKind::kPng: {
      std::vector<uint8_t> row;
      written = WritePngRows(file, view, scale, border, row, reason);
      break;
    }
    case ImageKind::kSvg: written = WriteSvg(file, view, scale, border); break;
    case ImageKind::kPgm: written = WritePgm(file, view, scale, border); break;
    default: written = WriteText(file, view); break;
  }
  if (std::fflush(file) != 0) written = false;
  const int savedErrno = errno;
  if (std::fclose(file) != 0) written = false;
  if (written && std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = SystemError("cannot write", path);
    std::remove(temporary.c_str());
    return false;
  }
  if (!written) {
    errno = savedErrno;
    error = reason.empty() ? SystemError("cannot write", path) : "cannot write '" + path + "': " + reason;
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace cordavex::cli
