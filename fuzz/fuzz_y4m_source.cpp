// Any bytes as a YUV4MPEG2 file for the y4m frame source: it must open or
// refuse the file with a message, and read frames (looping, as the bundled
// clip does) or say why it cannot, without reading past its buffers and
// without spinning on a file that holds no whole frame.
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "camera/y4m_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = memfd_create("fuzz.y4m", 0);
  if (fd < 0) return 0;
  for (size_t written = 0; written < size;) {
    const ssize_t n = write(fd, data + written, size - written);
    if (n <= 0) {
      close(fd);
      return 0;
    }
    written += static_cast<size_t>(n);
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  for (const bool loop : {false, true}) {
    cordavex::camera::Y4mSource source(path, loop, "y4m:fuzz");
    if (!source.Open().ok()) break;
    const auto formats = source.Formats();
    if (formats.empty() || !source.SetFormat(formats.front()).ok() || !source.Start().ok()) continue;
    cordavex::camera::CameraFrame frame;
    for (int i = 0; i < 5; ++i) {
      const auto result = source.Read(frame, std::chrono::milliseconds(0));
      if (result.outcome != cordavex::camera::ReadOutcome::kFrame) break;
      if (frame.yuy2.size() != static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height) * 2) {
        __builtin_trap();  // a frame must be exactly what its size says
      }
    }
  }
  close(fd);
  return 0;
}
