// Writers for generated symbols: PNG (8-bit grey, libpng), SVG, binary PGM and
// the 0/1 text matrix. The picture is the module matrix with a light border
// of `border` modules, each module `scale` pixels (SVG: user units) square.
//
// The writers read the caller's matrix and own nothing past the call. A file
// is written beside its destination and renamed into place, so a failure
// never leaves a half-written image behind. Safe to call from several
// threads for different paths.
#pragma once

#include <cstdint>
#include <string>

namespace cordavex::cli {

// A square module matrix: side x side, 1 (non-zero) = dark, rows `stride` apart.
struct ModuleView {
  const uint8_t* modules;
  int side;
  int stride;

  bool Dark(int row, int column) const { return modules[row * stride + column] != 0; }
};

enum class ImageKind { kPng, kSvg, kPgm, kText, kUnknown };

// The kind named by the file name's extension (case-insensitive): .png, .svg,
// .pgm, .txt.
ImageKind ImageKindOf(const std::string& path);

// Writes the symbol in the kind of `path`. The text kind has no border and no
// scale: `side` lines of `side` characters '0' and '1'. Returns true, or false
// with a one-line reason in `error`.
bool WriteSymbolImage(const std::string& path, const ModuleView& view, int scale, int border,
                      std::string& error);

}  // namespace cordavex::cli
