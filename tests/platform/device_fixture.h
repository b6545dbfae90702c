// Devices for the platform tests: a Linux device on a fresh temporary folder
// (removed afterwards) and an in-memory device, behind one factory so the same
// behaviour tests run against both.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/device.h"
#include "platform/linux_device.h"
#include "platform/memory_device.h"

namespace cordavex::test {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                          "/cordavex-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) != nullptr) path_ = buffer.data();
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct LinuxDeviceMaker {
  static constexpr const char* kName = "Linux";
  TemporaryFolder folder;
  std::unique_ptr<platform::Device> Make() {
    std::unique_ptr<platform::LinuxDevice> device;
    if (!platform::LinuxDevice::Open(folder.path() + "/device", &device).ok()) return nullptr;
    return device;
  }
};

struct MemoryDeviceMaker {
  static constexpr const char* kName = "Memory";
  std::unique_ptr<platform::Device> Make() { return std::make_unique<platform::MemoryDevice>(); }
};

}  // namespace cordavex::test
