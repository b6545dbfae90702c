// The kernel calls the V4L2 source makes, behind a small seam: open, ioctl,
// mmap and poll on one video device. LinuxVideoDevice makes the real calls;
// tests give a recorded stand-in that answers the same requests as a camera
// would.
//
// Errors come back as the calls' own: -1 with the errno value in *error.
//
// Threads: one device is used by one thread at a time (the V4L2 source's
// control calls and its streaming thread never overlap).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace cordavex::camera {

class VideoDevice {
 public:
  virtual ~VideoDevice() = default;
  // 0, or -1 with *error.
  virtual int Open(const std::string& path, int* error) = 0;
  virtual void Close() = 0;
  // The request's result (>= 0), or -1 with *error; EINTR is retried inside.
  virtual int Ioctl(unsigned long request, void* argument, int* error) = 0;
  // The mapped buffer, or null with *error.
  virtual void* Map(size_t length, int64_t offset, int* error) = 0;
  virtual void Unmap(void* address, size_t length) = 0;
  // 1 when a frame can be dequeued, 0 after `timeoutMs`, -1 with *error.
  virtual int WaitReadable(int timeoutMs, int* error) = 0;
};

// The host's video devices through open(2), ioctl(2), mmap(2) and poll(2).
std::unique_ptr<VideoDevice> MakeLinuxVideoDevice();

}  // namespace cordavex::camera
