// Any bytes as an image file for the command-line tool's reader (PNG, JPEG,
// PGM, PPM, chosen by the first bytes): it must give a picture whose pixel
// buffer matches its size and format, or a one-line reason.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "cli/image_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = memfd_create("fuzz.image", 0);
  if (fd < 0) return 0;
  for (size_t written = 0; written < size;) {
    const ssize_t n = write(fd, data + written, size - written);
    if (n <= 0) {
      close(fd);
      return 0;
    }
    written += static_cast<size_t>(n);
  }
  cordavex::cli::Image image;
  std::string error;
  const bool read = cordavex::cli::ReadImage("/proc/self/fd/" + std::to_string(fd), image, error);
  close(fd);
  if (read) {
    const size_t expected = static_cast<size_t>(image.width) * static_cast<size_t>(image.height) *
                            static_cast<size_t>(image.bitsPerPixel / 8);
    if (image.width <= 0 || image.height <= 0 || image.pixels.size() != expected) __builtin_trap();
  } else if (error.empty() || error.find('\n') != std::string::npos) {
    __builtin_trap();  // a refusal says why, on one line
  }
  return 0;
}
