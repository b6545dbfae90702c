#include "app/entry.h"

#include <signal.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <thread>

#include "app/program.h"
#include "camera/browser_source.h"
#include "camera/frame_source.h"
#include "camera/yuv_convert.h"
#include "platform/device_profile.h"
#include "platform/launcher.h"
#include "platform/linux_device.h"
#include "platform/single_instance.h"
#include "ui/scripted_driver.h"
#include "web/host_browser.h"
#include "web/web_front_end.h"

namespace cordavex::app {

namespace {

constexpr const char* kUsage =
    "usage: Cordavex [--device-root DIR] [--ui web|script] [--port N] [--no-browser] "
    "[--camera SOURCE] [COMMAND-LINE]";

bool ReadValue(int argc, char** argv, int* index, std::string* value, std::string* error) {
  const std::string name = argv[*index];
  if (*index + 1 >= argc) {
    *error = name + " needs a value";
    return false;
  }
  *value = argv[++*index];
  return true;
}

std::string ModulePath() {
  std::string path(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (length <= 0) return "Cordavex";
  path.resize(static_cast<size_t>(length));
  return path;
}

// The web front end around the program's loop on this thread: the server on
// 127.0.0.1, its address on standard output, the host's browser opened on it.
// Ctrl+C or SIGTERM closes the program as the system's close would; a second
// one ends it at once.
int RunWeb(const EntryOptions& options, ui::WindowSystem& windows, Program& program, const sigset_t& stopSignals,
           const std::shared_ptr<camera::FrameMailbox>& mailbox, std::ostream& output, std::ostream& errors) {
  web::WebFrontEnd front(web::PhoneOf(windows));
  if (mailbox != nullptr) {
    // --camera browser: the page's webcam pictures become camera frames.
    front.SetFrameSink([mailbox](const web::PostedFrame& frame) {
      const bool rgba = frame.format == web::PostedFormat::kRgba;
      camera::Picture picture;
      picture.pixels = frame.bytes.data();
      picture.width = frame.width;
      picture.height = frame.height;
      picture.stride = frame.width * (rgba ? 4 : 1);
      picture.layout = rgba ? camera::PictureLayout::kRgba : camera::PictureLayout::kGrey;
      mailbox->Post(picture);
    });
  }
  std::string error;
  if (!front.Start(options.port, &error)) {
    errors << "Cordavex: " << error << '\n';
    return 2;
  }
  output << "Cordavex: " << front.address() << std::endl;
  if (!options.noBrowser && !web::OpenInHostBrowser(front.address())) {
    errors << "Cordavex: could not open a browser; open " << front.address() << " yourself\n";
  }

  std::atomic<bool> ended{false};
  std::thread watcher([&] {
    int received = 0;
    const timespec wait{0, 200'000'000};
    while (!ended) {
      if (::sigtimedwait(&stopSignals, nullptr, &wait) <= 0) continue;
      if (++received > 1) std::_Exit(130);
      windows.RequestClose();
    }
  });
  const int code = program.Run(options.commandLine);
  ended = true;
  watcher.join();
  front.Stop();
  return code;
}

}  // namespace

bool ParseEntryOptions(int argc, char** argv, EntryOptions* options, std::string* error) {
  bool words = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (!words && argument == "--") {
      words = true;
      continue;
    }
    if (!words && argument.size() > 2 && argument.compare(0, 2, "--") == 0) {
      std::string value;
      if (argument == "--no-browser") {
        options->noBrowser = true;
      } else if (argument == "--device-root") {
        if (!ReadValue(argc, argv, &i, &options->deviceRoot, error)) return false;
      } else if (argument == "--ui") {
        if (!ReadValue(argc, argv, &i, &options->ui, error)) return false;
        if (options->ui != "web" && options->ui != "script") {
          *error = "--ui must be web or script, not " + options->ui;
          return false;
        }
      } else if (argument == "--port") {
        if (!ReadValue(argc, argv, &i, &value, error)) return false;
        char* end = nullptr;
        const long port = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || port < 0 || port > 65535) {
          *error = "--port must be a number from 0 to 65535, not " + value;
          return false;
        }
        options->port = static_cast<int>(port);
      } else if (argument == "--camera") {
        if (!ReadValue(argc, argv, &i, &options->camera, error)) return false;
      } else if (argument == "--help") {
        *error = kUsage;
        return false;
      } else {
        *error = "unknown option " + argument;
        return false;
      }
      continue;
    }
    // The rest is the command line another program gave (the Contacts
    // extension's enciphered card), blanks between its words.
    if (!options->commandLine.empty()) options->commandLine += ' ';
    options->commandLine += argument;
    words = true;
  }
  return true;
}

int RunEntry(const EntryOptions& options, std::istream& input, std::ostream& output, std::ostream& errors) {
  camera::SourceChoice camera;
  if (platform::Status s = camera::ParseCameraSource(options.camera, &camera); !s.ok()) {
    errors << "Cordavex: --camera " << options.camera << ": " << s.message() << '\n';
    return 2;
  }
  const std::string root = options.deviceRoot.empty() ? platform::DefaultDeviceRoot() : options.deviceRoot;
  std::unique_ptr<platform::LinuxDevice> device;
  if (platform::Status s = platform::LinuxDevice::Open(root, &device); !s.ok()) {
    errors << "Cordavex: cannot use the device root " << root << ": " << s.message() << '\n';
    return 2;
  }
  if (platform::Status s = platform::PrepareDeviceRoot(*device); !s.ok()) {
    errors << "Cordavex: cannot prepare the device root " << root << ": " << s.message() << '\n';
    return 2;
  }

  // One program per device root: a later start hands its command line over.
  std::unique_ptr<platform::SingleInstance> instance;
  if (platform::Status s = platform::SingleInstance::Acquire(device->root(), &instance); !s.ok()) {
    errors << "Cordavex: " << s.message() << '\n';
    return 2;
  }
  if (instance == nullptr) {
    if (platform::Status s = platform::SingleInstance::HandOver(device->root(), options.commandLine); !s.ok()) {
      errors << "Cordavex: another Cordavex runs on " << root << " but did not answer: " << s.message() << '\n';
      return 1;
    }
    return 0;
  }

  platform::DeviceProfile profile;
  if (platform::Status s = platform::LoadDeviceProfile(*device, &profile); !s.ok()) {
    // A damaged profile stays as it is for the person to mend; the program runs
    // on the defaults meanwhile.
    const bool file = s.message().rfind("device.json", 0) == 0;
    errors << "Cordavex: " << s.message() << (file ? "; running with the default device profile" : "") << '\n';
  }
  // A registry that cannot be read leaves the settings at their defaults; the
  // file stays as it is for a person to look at.
  if (platform::Status s = device->OpenKey(platform::RegistryRoot::kCurrentUser, u""); !s.ok()) {
    errors << "Cordavex: " << s.message() << "; running with the default settings\n";
  }
  // The filter library registers itself in the registry of the device root
  // named here, and the character sets ask the environment for the UI
  // language: both learn the device's before any thread starts.
  ::setenv("CORDAVEX_DEVICE_ROOT", device->root().c_str(), 1);
  char language[8];
  std::snprintf(language, sizeof language, "%04x", static_cast<unsigned>(profile.uiLanguage));
  ::setenv("CORDAVEX_UI_LANGUAGE", language, 1);

  // The web front end waits for the stop signals on a thread of its own: they
  // are blocked here, before any thread starts, so that every thread inherits
  // the block. A page that went away must not end the program either.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  if (options.ui == "web") {
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
  }

  ui::WindowSystem windows(profile.screenWidth, profile.screenHeight, ui::SteadyClock());
  platform::Launcher launcher(*device, !options.noBrowser);
  Program::Services services;
  services.device = device.get();
  services.windows = &windows;
  services.launcher = &launcher;
  services.profile = profile;
  services.modulePath = platform::Utf16(ModulePath());
  if (camera.kind != camera::SourceKind::kNone) services.camera = camera;
  std::shared_ptr<camera::FrameMailbox> mailbox;
  if (camera.kind == camera::SourceKind::kBrowser && options.ui == "web") {
    mailbox = std::make_shared<camera::FrameMailbox>();
    services.mailbox = mailbox;
  }
  Program program(std::move(services));
  (void)instance->Listen([&program](std::string commandLine) { program.HandOver(std::move(commandLine)); });

  if (options.ui == "web") return RunWeb(options, windows, program, stopSignals, mailbox, output, errors);

  std::atomic<bool> driverDone{false};
  std::thread driver([&] {
    ui::RunScript(windows, input, output);
    driverDone = true;
  });
  const int code = program.Run(options.commandLine);
  windows.PostQuitMessage(code);
  // The program ended by itself (its Exit command) while the driver may still
  // wait for a line on a terminal: give it a moment to print what is left, then
  // end without it rather than wait for input nobody will type.
  for (int i = 0; i < 30 && !driverDone; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (!driverDone) {
    output.flush();
    errors.flush();
    std::_Exit(code);
  }
  driver.join();
  return code;
}

int Main(int argc, char** argv) {
  EntryOptions options;
  std::string error;
  if (!ParseEntryOptions(argc, argv, &options, &error)) {
    std::cerr << "Cordavex: " << error << '\n';
    return 2;
  }
  return RunEntry(options, std::cin, std::cout, std::cerr);
}

}  // namespace cordavex::app
