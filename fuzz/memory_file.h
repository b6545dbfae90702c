// A fuzz input as a file, for readers that take a path: an anonymous memory
// file, named through /proc/self/fd so nothing touches the disk and parallel
// runs never share a name.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace cordavex::fuzz {

class MemoryFile {
 public:
  MemoryFile(const uint8_t* data, size_t size) : fd_(memfd_create("fuzz-input", 0)) {
    for (size_t written = 0; fd_ >= 0 && written < size;) {
      const ssize_t n = write(fd_, data + written, size - written);
      if (n <= 0) {
        close(fd_);
        fd_ = -1;
        break;
      }
      written += static_cast<size_t>(n);
    }
  }
  ~MemoryFile() {
    if (fd_ >= 0) close(fd_);
  }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  bool ok() const { return fd_ >= 0; }
  std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

 private:
  int fd_;
};

}  // namespace cordavex::fuzz
