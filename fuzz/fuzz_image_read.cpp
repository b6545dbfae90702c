// Any bytes as an image file for the command-line tool's reader (PNG, JPEG,
// PGM, PPM, chosen by the first bytes): it must give a picture whose pixel
// buffer matches its size and format, or a one-line reason.
#include <cstdint>
#include <string>

#include "cli/image_io.h"
#include "fuzz/memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const cordavex::fuzz::MemoryFile file(data, size);
  if (!file.ok()) return 0;
  cordavex::cli::Image image;
  std::string error;
  const bool read = cordavex::cli::ReadImage(file.path(), image, error);
  if (read) {
    const size_t expected = static_cast<size_t>(image.width) * static_cast<size_t>(image.height) *
                            static_cast<size_t>(image.bitsPerPixel / 8);
    if (image.width <= 0 || image.height <= 0 || image.pixels.size() != expected) __builtin_trap();
  } else if (error.empty() || error.find('\n') != std::string::npos) {
    __builtin_trap();  // a refusal says why, on one line
  }
  return 0;
}
