#include "camera/video_device.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

namespace cordavex::camera {

namespace {

class LinuxVideoDevice final : public VideoDevice {
 public:
  ~LinuxVideoDevice() override { Close(); }

  int Open(const std::string& path, int* error) override {
    Close();
    // Non-blocking: a dequeue with no frame ready says so instead of waiting,
    // and WaitReadable does the waiting with a timeout.
    fd_ = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
      *error = errno;
      return -1;
    }
    return 0;
  }

  void Close() override {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  int Ioctl(unsigned long request, void* argument, int* error) override {
    int result;
    do {
      result = ::ioctl(fd_, request, argument);
    } while (result < 0 && errno == EINTR);
    if (result < 0) *error = errno;
    return result;
  }

  void* Map(size_t length, int64_t offset, int* error) override {
    void* address = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, static_cast<off_t>(offset));
    if (address == MAP_FAILED) {
      *error = errno;
      return nullptr;
    }
    return address;
  }

  void Unmap(void* address, size_t length) override { ::munmap(address, length); }

  int WaitReadable(int timeoutMs, int* error) override {
    pollfd entry{fd_, POLLIN, 0};
    int result;
    do {
      result = ::poll(&entry, 1, timeoutMs);
    } while (result < 0 && errno == EINTR);
    if (result < 0) {
      *error = errno;
      return -1;
    }
    if (result > 0 && (entry.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 && (entry.revents & POLLIN) == 0) {
      *error = (entry.revents & POLLNVAL) != 0 ? EBADF : ENODEV;
      return -1;
    }
    return result > 0 ? 1 : 0;
  }

 private:
  int fd_ = -1;
};

}  // namespace

std::unique_ptr<VideoDevice> MakeLinuxVideoDevice() { return std::make_unique<LinuxVideoDevice>(); }

}  // namespace cordavex::camera
