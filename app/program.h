// The program: its start, its main window and its exit, over the device, the
// window model and the libraries it loads. One Program per run; the tests make
// one per case on a temporary device root.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/capture_control.h"
#include "app/device_identity.h"
#include "app/libraries.h"
#include "app/settings.h"
#include "app/skin.h"
#include "platform/device.h"
#include "platform/device_profile.h"
#include "camera/frame_source.h"
#include "camera/power_notifications.h"
#include "cordavex/scan_result.h"
#include "platform/launcher.h"
#include "ui/window_system.h"

#include <condition_variable>
#include <deque>
#include <optional>

namespace cordavex::app {

// Posted to the main window when another start handed over its command line.
inline constexpr uint32_t kMsgHandOver = ui::kMsgApp + 1;
// Posted by the decode thread with a result for the stand-in result screen.
inline constexpr uint32_t kMsgShowResult = ui::kMsgApp + 3;
// Sent by the power thread: stop the capture on the window thread.
inline constexpr uint32_t kMsgPowerStop = ui::kMsgApp + 4;

// Window timers.
inline constexpr uint32_t kTimerRestart = 1;   // 500 ms after activation
inline constexpr uint32_t kTimerStandbyPause = 2;
inline constexpr uint32_t kTimerStandby = 3;   // three minutes without a decode
inline constexpr uint32_t kTimerPushAccept = 50;


class Program {
 public:
  struct Services {
    platform::Device* device = nullptr;
    ui::WindowSystem* windows = nullptr;
    platform::Launcher* launcher = nullptr;
    platform::DeviceProfile profile;
    std::u16string modulePath;  // the running program's path
    // The camera the capture loop reads; none: the stand-in that reads nothing.
    std::optional<camera::SourceChoice> camera;
    std::shared_ptr<camera::FrameMailbox> mailbox;  // frames posted by the web page
  };
  explicit Program(Services services);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // The entry up to the message loop: libraries, the filter's rotation
  // detection, the instance start. False when the main window could not be
  // made. `commandLine` goes to the payload handler.
  bool Start(const std::string& commandLine);
  // Start, then the message loop; the quit code.
  int Run(const std::string& commandLine);

  // Another start handed over its command line (any thread).
  void HandOver(std::string commandLine);

  // Uses another capture (the capture loop, or a recording one in tests)
  // instead of the stand-in. Before Start.
  void SetCapture(std::unique_ptr<CaptureControl> capture);

  // State for the tests and for the capture loop.
  const DeviceIdentity& device() const { return device_; }
  Settings& settings() { return settings_; }
  const LanguageLibrary& language() const { return language_; }
  const FilterLibrary& filter() const { return filter_; }
  ui::Window mainWindow() const { return mainWindow_; }
  std::atomic<bool>& uiBusy() { return uiBusy_; }
  bool alive() const { return alive_; }

 private:
  void LoadLibraries();
  intptr_t MainWindowProc(ui::Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);
  bool PreHandle(ui::Window window, uint32_t message, uintptr_t wParam, intptr_t lParam);
  void OnCreate(ui::Window window);
  void OnPaint(ui::Window window);
  void OnActivate(ui::Window window, uint32_t state);
  void OnTimer(ui::Window window, uint32_t id);
  void OnKey(ui::Window window, uint32_t key);
  bool OnCommand(ui::Window window, uint32_t command);
  void Standby(ui::Window window);
  void ShowAbout(ui::Window window);
  void ShowHelp();
  void ShowSettings(ui::Window window);
  void Pending(ui::Window owner, std::string_view name, std::u16string_view what);
  void Exit(ui::Window window);
  void MakeCaptureLoop();
  void ResultStandIn(const ScanResult& result);
  void ShowResultStandIn(ui::Window window);
  void ShowCameraMessage(ui::Window window);
  void StartPowerNotifications();
  void RunHandOvers();
  std::u16string String(uint32_t id) const;

  platform::Device& deviceServices_;
  ui::WindowSystem& windows_;
  platform::Launcher& launcher_;
  platform::DeviceProfile profile_;
  std::u16string modulePath_;

  DeviceIdentity device_;
  Settings settings_;
  LanguageLibrary language_;
  FilterLibrary filter_;
  Skin skin_;
  std::unique_ptr<CaptureControl> capture_;
  std::atomic<ui::Window> mainWindow_{ui::kNoWindow};  // read by the worker threads
  bool cameraInUseShown_ = false;

  std::atomic<bool> uiBusy_{false};
  std::atomic<bool> active_{false};
  std::atomic<bool> restartPending_{false};
  std::atomic<bool> standbyPause_{false};
  std::atomic<bool> alive_{true};
  bool exited_ = false;

  std::mutex handOverMutex_;
  std::vector<std::string> handOvers_;

  // Ends after the message loop, when a send from its thread can no longer wait.
  std::unique_ptr<camera::PowerNotifications> power_;
  std::optional<camera::SourceChoice> cameraSource_;
  std::shared_ptr<camera::FrameMailbox> mailbox_;
  bool captureGiven_ = false;

  // The stand-in result screen: the decode thread waits until it is closed.
  std::mutex resultMutex_;
  std::condition_variable resultClosed_;
  std::deque<std::u16string> results_;
  bool resultOpen_ = false;
  std::deque<std::u16string> cameraMessages_;
};

}  // namespace cordavex::app
