#include "platform/launcher.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>

#include "platform/linux_device.h"

extern char** environ;

namespace cordavex::platform {

namespace {

constexpr const char* kLaunchLog = "launches.log";

// "2026-12-10T06:50:00Z" from microseconds since 1970 (UTC).
std::string IsoTime(int64_t micros) {
  const time_t seconds = static_cast<time_t>(micros / 1000000);
  tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

// UTF-8 with every control character (tab, line breaks, NUL...) as a space,
// so that one start stays one line of three tab-separated fields.
std::string OneLine(std::u16string_view text) {
  std::string line = Utf8(text);
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return line;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (c != prefix[i]) return false;
  }
  return true;
}

// A host path as the path of a file: URL ("Storage Card" -> "Storage%20Card").
std::string PercentEncoded(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '/' || c == '-' || c == '.' || c == '_' || c == '~';
    if (plain) {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    }
  }
  return out;
}

// The address the host's browser should open, or "" when the command line is
// not a web address. A "file:" address names a file of the phone
// ("file:\Windows\CordavexHelp_0404.htm#Main_Contents"); on a Linux device it
// becomes the host file inside the device root.
std::string HostAddress(Device& device, std::string address) {
  while (!address.empty() && address.front() == ' ') address.erase(0, 1);
  while (!address.empty() && address.back() == ' ') address.pop_back();
  if (address.size() >= 2 && address.front() == '"' && address.back() == '"') {
    address = address.substr(1, address.size() - 2);
  }
  if (StartsWithIgnoringCase(address, "http:") || StartsWithIgnoringCase(address, "https:")) {
    return address;
  }
  if (!StartsWithIgnoringCase(address, "file:")) return {};
  std::string path = address.substr(5);
  auto* linuxDevice = dynamic_cast<LinuxDevice*>(&device);
  if (linuxDevice == nullptr || path.empty() || (path[0] != '\\' && path[0] != '/') ||
      path.rfind("//", 0) == 0) {
    return address;  // already a host address, or no device root to put it in
  }
  const size_t fragment = std::min(path.find('#'), path.size());
  std::string file = linuxDevice->root() + path.substr(0, fragment);
  for (char& c : file) {
    if (c == '\\') c = '/';
  }
  return "file://" + PercentEncoded(file) + path.substr(fragment);
}

// Starts xdg-open on the address without waiting for it: a thread of its own
// collects the child when it ends. Its output goes nowhere; whether it finds a
// browser is the host's business.
void OpenInHostBrowser(const std::string& address) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return;
  for (int fd = 0; fd <= 2; ++fd) {
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  }
  std::string program = "xdg-open";
  char* argv[] = {program.data(), const_cast<char*>(address.c_str()), nullptr};
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, "xdg-open", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return;
  std::thread([child] {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

}  // namespace

Launcher::Launcher(Device& device, bool openHostBrowser)
    : device_(device), openHostBrowser_(openHostBrowser) {}

Status Launcher::Launch(std::u16string_view program, std::u16string_view commandLine) {
  const std::string line =
      IsoTime(device_.WallMicros()) + "\t" + OneLine(program) + "\t" + OneLine(commandLine) + "\n";
  const Status logged = device_.AppendFile(kLaunchLog, line);
  if (openHostBrowser_) {
    if (const std::string address = HostAddress(device_, OneLine(commandLine)); !address.empty()) {
      OpenInHostBrowser(address);
    }
  }
  return logged;
}

}  // namespace cordavex::platform
