// Any bytes as a YUV4MPEG2 file for the y4m frame source: it must open or
// refuse the file with a message, and read frames (looping, as the bundled
// clip does) or say why it cannot, without reading past its buffers and
// without spinning on a file that holds no whole frame.
#include <chrono>
#include <cstdint>
#include <string>

#include "camera/y4m_source.h"
#include "fuzz/memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const cordavex::fuzz::MemoryFile file(data, size);
  if (!file.ok()) return 0;
  const std::string path = file.path();
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
  return 0;
}
