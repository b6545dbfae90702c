// Program starts: one line each in launches.log, and web addresses handed to
// the host's xdg-open (here a stand-in script on PATH that records its
// argument).
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/device_fixture.h"
#include "platform/launcher.h"
#include "platform/linux_device.h"
#include "platform/memory_device.h"

namespace cordavex::platform {
namespace {

// Puts `folder` first on PATH for one test.
class ScopedPath {
 public:
  explicit ScopedPath(const std::string& folder) {
    const char* old = std::getenv("PATH");
    saved_ = old != nullptr ? old : "";
    ::setenv("PATH", (folder + ":" + saved_).c_str(), 1);
  }
  ~ScopedPath() { ::setenv("PATH", saved_.c_str(), 1); }

 private:
  std::string saved_;
};

// An xdg-open that appends its argument to `record` and exits with `status`.
void WriteFakeXdgOpen(const std::string& folder, const std::string& record, int status) {
  const std::string path = folder + "/xdg-open";
  std::ofstream(path) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << record << "'\nexit " << status
                      << "\n";
  ::chmod(path.c_str(), 0755);
}

std::string ReadWhenPresent(const std::string& path, size_t lines) {
  // xdg-open runs on its own; give it a generous while to write.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::string text;
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream in(path);
    std::stringstream contents;
    contents << in.rdbuf();
    text = contents.str();
    if (static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) >= lines) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return text;
}

TEST(Launcher, WritesOneLinePerStart) {
  MemoryDevice device;
  device.SetWallMicros(1796885400'000000);  // 2026-12-10 06:50:00 UTC
  Launcher launcher(device, false);
  ASSERT_TRUE(launcher.Launch(u"\\Windows\\tmail.exe", u"-service \"SMS\" -to \"0912\"").ok());
  ASSERT_TRUE(launcher.Launch(u"iexplore.exe", u"http://a.example/\tx\r\ny 中").ok());
  ASSERT_TRUE(launcher.Launch(u"peghelp.exe", u"").ok());
  std::string log;
  ASSERT_TRUE(device.ReadFile("launches.log", &log).ok());
  EXPECT_EQ(log,
            "2026-12-10T06:50:00Z\t\\Windows\\tmail.exe\t-service \"SMS\" -to \"0912\"\n"
            "2026-12-10T06:50:00Z\tiexplore.exe\thttp://a.example/ x  y 中\n"
            "2026-12-10T06:50:00Z\tpeghelp.exe\t\n");
}

TEST(Launcher, LogFailureIsReported) {
  test::TemporaryFolder folder;
  std::unique_ptr<LinuxDevice> device;
  ASSERT_TRUE(LinuxDevice::Open(folder.path() + "/device", &device).ok());
  std::filesystem::create_directory(folder.path() + "/device/launches.log");  // in the way
  Launcher launcher(*device, false);
  EXPECT_FALSE(launcher.Launch(u"tmail.exe", u"").ok());
}

TEST(Launcher, OpensWebAddressesInTheHostBrowser) {
  test::TemporaryFolder folder;
  const std::string bin = folder.path() + "/bin";
  const std::string record = folder.path() + "/opened.txt";
  std::filesystem::create_directory(bin);
  WriteFakeXdgOpen(bin, record, 0);
  ScopedPath path(bin);
  std::unique_ptr<LinuxDevice> device;
  ASSERT_TRUE(LinuxDevice::Open(folder.path() + "/device", &device).ok());

  Launcher quiet(*device, false);
  ASSERT_TRUE(quiet.Launch(u"iexplore.exe", u"http://quiet.example/").ok());
  Launcher launcher(*device, true);
  // Not web addresses: logged only.
  ASSERT_TRUE(launcher.Launch(u"tmail.exe", u"-to 0912").ok());
  ASSERT_TRUE(launcher.Launch(u"iexplore.exe", u"javascript:alert(1)").ok());
  // Web addresses, in order.
  ASSERT_TRUE(launcher.Launch(u"iexplore.exe", u"HTTP://a.example/?q=1&r=2").ok());
  ASSERT_TRUE(launcher.Launch(u"iexplore.exe", u"\"https://b.example/\"").ok());
  ASSERT_TRUE(
      launcher.Launch(u"peghelp.exe", u"file:\\Windows\\CordavexHelp_0404.htm#Main_Contents").ok());
  const std::string opened = ReadWhenPresent(record, 3);
  // One stand-in runs at a time here only by chance; compare as a set of lines.
  for (const std::string& line :
       {std::string("HTTP://a.example/?q=1&r=2\n"), std::string("https://b.example/\n"),
        "file://" + device->root() + "/Windows/CordavexHelp_0404.htm#Main_Contents\n"}) {
    EXPECT_NE(opened.find(line), std::string::npos) << line << " in:\n" << opened;
  }
  EXPECT_EQ(std::count(opened.begin(), opened.end(), '\n'), 3) << opened;
}

TEST(Launcher, BrowserFailureIsNotALaunchFailure) {
  test::TemporaryFolder folder;
  const std::string bin = folder.path() + "/bin";
  std::filesystem::create_directory(bin);
  WriteFakeXdgOpen(bin, folder.path() + "/opened.txt", 3);
  std::unique_ptr<LinuxDevice> device;
  ASSERT_TRUE(LinuxDevice::Open(folder.path() + "/device", &device).ok());
  Launcher launcher(*device, true);
  {
    ScopedPath path(bin);  // an xdg-open that fails
    EXPECT_TRUE(launcher.Launch(u"iexplore.exe", u"http://a.example/").ok());
    ReadWhenPresent(folder.path() + "/opened.txt", 1);
  }
  const char* old = std::getenv("PATH");
  const std::string saved = old != nullptr ? old : "";
  ::setenv("PATH", (folder.path() + "/empty").c_str(), 1);  // no xdg-open at all
  const Status s = launcher.Launch(u"iexplore.exe", u"http://b.example/");
  ::setenv("PATH", saved.c_str(), 1);
  EXPECT_TRUE(s.ok()) << s.ToString();
  std::string log;
  ASSERT_TRUE(device->ReadFile("launches.log", &log).ok());
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
}

}  // namespace
}  // namespace cordavex::platform
