#include "platform/platform.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace cordavex::platform {

namespace {
constexpr uint16_t kDefaultUiLanguage = 0x0404;
}

uint16_t GetUserDefaultUILanguage() {
  const char* value = std::getenv("CORDAVEX_UI_LANGUAGE");
  if (value == nullptr || *value == '\0') return kDefaultUiLanguage;
  char* end = nullptr;
  errno = 0;
  const unsigned long id = std::strtoul(value, &end, 16);
  if (errno != 0 || *end != '\0' || id == 0 || id > 0xFFFF) return kDefaultUiLanguage;
  return static_cast<uint16_t>(id);
}

std::string ProgramFolder() {
  std::string path(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<size_t>(length) >= path.size()) return {};
  path.resize(static_cast<size_t>(length));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace cordavex::platform
