#include "platform/linux_device.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/codepage.h"
#include "platform/device_profile.h"
#include "platform/platform.h"

namespace cordavex::platform {

namespace {

Status Errno(const std::string& what, const std::string& path, int error) {
  const std::string message = what + " " + path + ": " + std::strerror(error);
  return error == ENOENT || error == ENOTDIR ? Status::NotFound(message) : Status::IoError(message);
}

// Writes all of `data` to `fd`, retrying short writes and interruptions.
bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = ::write(fd, data.data(), data.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

bool IsFolder(const std::string& hostPath) {
  struct stat info{};
  return ::stat(hostPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A refusal to write a file where a folder is, or into a folder that is not.
Status CheckWritable(const std::string& host, const std::string& path) {
  if (IsFolder(host)) return Status::InvalidArgument(path + " is a folder");
  const size_t slash = host.rfind('/');
  if (!IsFolder(host.substr(0, slash))) return Status::NotFound("folder of " + path);
  return Status::Ok();
}

}  // namespace

std::string DefaultDeviceRoot() {
  if (const char* root = std::getenv("CORDAVEX_DEVICE_ROOT"); root != nullptr && *root != '\0') {
    return root;
  }
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data == '/') {
    return std::string(data) + "/cordavex/device";
  }
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.local/share/cordavex/device";
}

LinuxDevice::LinuxDevice(std::string root)
    : root_(std::move(root)), registry_(root_ + "/registry.sqlite") {}

Status LinuxDevice::Open(const std::string& root, std::unique_ptr<LinuxDevice>* device) {
  if (root.empty()) return Status::InvalidArgument("empty device root");
  std::string trimmed = root;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  // Make the root and its parents.
  for (size_t slash = trimmed.find('/', 1);; slash = trimmed.find('/', slash + 1)) {
    const std::string prefix = trimmed.substr(0, slash);
    if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) {
      return Errno("cannot make the device root", prefix, errno);
    }
    if (slash == std::string::npos) break;
  }
  if (!IsFolder(trimmed)) return Status::InvalidArgument("device root is not a folder: " + trimmed);
  // Said here once, rather than by every file and registry write later.
  if (::access(trimmed.c_str(), W_OK | X_OK) != 0) {
    return Status::IoError("device root is not writable: " + trimmed + ": " + std::strerror(errno));
  }
  device->reset(new LinuxDevice(trimmed));
  return Status::Ok();
}

std::string LinuxDevice::HostPath(const std::string& path) const {
  return path.empty() ? root_ : root_ + '/' + path;
}

Status LinuxDevice::ReadFile(std::string_view path, std::string* contents) {
  std::string p;
  if (Status s = CheckFilePath(path, &p); !s.ok()) return s;
  const std::string host = HostPath(p);
  const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Errno("cannot open", p, errno);
  struct stat info{};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    return Status::InvalidArgument(p + " is a folder");
  }
  std::string data;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      ::close(fd);
      return Errno("cannot read", p, error);
    }
    if (got == 0) break;
    data.append(buffer, static_cast<size_t>(got));
  }
  ::close(fd);
  *contents = std::move(data);
  return Status::Ok();
}

Status LinuxDevice::WriteFile(std::string_view path, std::string_view contents) {
  std::string p;
  if (Status s = CheckFilePath(path, &p); !s.ok()) return s;
  if (p.empty()) return Status::InvalidArgument("the device root is a folder");
  const std::string host = HostPath(p);
  if (Status s = CheckWritable(host, p); !s.ok()) return s;
  // A new file beside the old one, flushed, then renamed over it: rename is
  // atomic, so the old contents stay whole until the new are complete.
  static std::atomic<unsigned> serial{0};
  const std::string temporary = host + ".tmp-" + std::to_string(::getpid()) + "-" +
                                std::to_string(serial.fetch_add(1));
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return Errno("cannot write", p, errno);
  const bool written = WriteAll(fd, contents) && ::fsync(fd) == 0;
  const int error = errno;
  if (::close(fd) != 0 || !written) {
    ::unlink(temporary.c_str());
    return Errno("cannot write", p, written ? EIO : error);
  }
  if (::rename(temporary.c_str(), host.c_str()) != 0) {
    const int renameError = errno;
    ::unlink(temporary.c_str());
    return Errno("cannot replace", p, renameError);
  }
  return Status::Ok();
}

Status LinuxDevice::AppendFile(std::string_view path, std::string_view contents) {
  std::string p;
  if (Status s = CheckFilePath(path, &p); !s.ok()) return s;
  if (p.empty()) return Status::InvalidArgument("the device root is a folder");
  const std::string host = HostPath(p);
  if (Status s = CheckWritable(host, p); !s.ok()) return s;
  const int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return Errno("cannot append to", p, errno);
  const bool written = WriteAll(fd, contents);
  const int error = errno;
  ::close(fd);
  return written ? Status::Ok() : Errno("cannot append to", p, error);
}

Status LinuxDevice::ListFolder(std::string_view path, std::vector<std::string>* names) {
  std::string p;
  if (Status s = CheckFilePath(path, &p); !s.ok()) return s;
  const std::string host = HostPath(p);
  DIR* folder = ::opendir(host.c_str());
  if (folder == nullptr) {
    if (errno == ENOTDIR) return Status::InvalidArgument(p + " is a file");
    return Errno("cannot list", p.empty() ? root_ : p, errno);
  }
  names->clear();
  while (const dirent* entry = ::readdir(folder)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (p.empty() && name == "registry.sqlite") continue;  // the registry is not a file of the phone
    if (p.empty() && name.rfind("registry.sqlite-", 0) == 0) continue;
    names->push_back(name);
  }
  ::closedir(folder);
  std::sort(names->begin(), names->end());
  return Status::Ok();
}

Status LinuxDevice::MakeFolders(std::string_view path) {
  std::string p;
  if (Status s = CheckFilePath(path, &p); !s.ok()) return s;
  for (size_t slash = p.empty() ? std::string::npos : p.find('/');; slash = p.find('/', slash + 1)) {
    const std::string prefix = p.substr(0, slash);
    if (prefix.empty()) break;
    const std::string host = HostPath(prefix);
    if (::mkdir(host.c_str(), 0755) != 0) {
      const int error = errno;
      if (error != EEXIST) return Errno("cannot make folder", prefix, error);
      if (!IsFolder(host)) return Status::InvalidArgument(prefix + " is a file");
    }
    if (slash == std::string::npos) break;
  }
  return Status::Ok();
}

Status LinuxDevice::Remove(std::string_view path) {
  std::string p;
  if (Status s = CheckFilePath(path, &p); !s.ok()) return s;
  if (p.empty()) return Status::InvalidArgument("the device root cannot be removed");
  const std::string host = HostPath(p);
  if (IsFolder(host)) {
    if (::rmdir(host.c_str()) != 0) return Errno("cannot remove folder", p, errno);
    return Status::Ok();
  }
  if (::unlink(host.c_str()) != 0) return Errno("cannot remove", p, errno);
  return Status::Ok();
}

bool LinuxDevice::Exists(std::string_view path) {
  std::string p;
  if (!CheckFilePath(path, &p).ok()) return false;
  struct stat info{};
  return ::stat(HostPath(p).c_str(), &info) == 0;
}

Status LinuxDevice::CreateKey(RegistryRoot root, std::u16string_view key) {
  return registry_.CreateKey(root, key);
}
Status LinuxDevice::OpenKey(RegistryRoot root, std::u16string_view key) {
  return registry_.OpenKey(root, key);
}
Status LinuxDevice::SetValue(RegistryRoot root, std::u16string_view key, std::u16string_view name,
                             const RegistryValue& value) {
  return registry_.SetValue(root, key, name, value);
}
Status LinuxDevice::GetValue(RegistryRoot root, std::u16string_view key, std::u16string_view name,
                             RegistryValue* value) {
  return registry_.GetValue(root, key, name, value);
}
Status LinuxDevice::DeleteValue(RegistryRoot root, std::u16string_view key,
                                std::u16string_view name) {
  return registry_.DeleteValue(root, key, name);
}
Status LinuxDevice::DeleteKey(RegistryRoot root, std::u16string_view key) {
  return registry_.DeleteKey(root, key);
}
Status LinuxDevice::ListSubkeys(RegistryRoot root, std::u16string_view key,
                                std::vector<std::u16string>* names) {
  return registry_.ListSubkeys(root, key, names);
}
Status LinuxDevice::ListValues(RegistryRoot root, std::u16string_view key,
                               std::vector<std::u16string>* names) {
  return registry_.ListValues(root, key, names);
}

int64_t LinuxDevice::WallMicros() {
  using namespace std::chrono;
  return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}
int64_t LinuxDevice::MonotonicMicros() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}
uint16_t LinuxDevice::UiLanguage() {
  if (uint16_t language = 0; UiLanguageFromEnvironment(&language)) return language;
  // device.json is read once; a file that cannot be read or parsed means the
  // default, as the profile itself falls back to it.
  uint32_t cached = profileLanguage_.load(std::memory_order_acquire);
  if (cached == 0) {
    DeviceProfile profile;
    std::string text;
    if (!ReadFile("device.json", &text).ok() || !ParseDeviceProfile(text, &profile).ok()) {
      profile = DeviceProfile();
    }
    cached = profile.uiLanguage;
    profileLanguage_.store(cached, std::memory_order_release);
  }
  return static_cast<uint16_t>(cached);
}
std::string LinuxDevice::ProgramFolder() { return platform::ProgramFolder(); }
int LinuxDevice::MultiByteToWideChar(uint32_t codePage, std::span<const uint8_t> bytes,
                                     std::span<char16_t> out) {
  return platform::MultiByteToWideChar(codePage, bytes, out);
}

}  // namespace cordavex::platform
