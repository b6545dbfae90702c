// The power-notification thread: when the host suspends and resumes, the
// camera is stopped and restarted through the main window; on Asus models a
// focus-button event triggers the focus.
//
// Notifications come from a PowerEventSource. On Linux, SignalPowerEvents
// stands for the device's power manager: SIGTSTP (Ctrl+Z in the terminal, or
// `kill -TSTP`) is a suspend, after which the program really stops, and
// SIGCONT (`fg`, `kill -CONT`) the resume. Tests give a QueuedPowerEvents.
//
// What the notifications do to the program goes through PowerHandlers,
// callbacks the caller gives (the real program sends messages to its main
// window). The program starts the thread when its main window is created,
// except on the Smartphone platform; the thread ends when the object is
// destroyed.
//
// Threads: PowerNotifications is made and destroyed on one thread; the
// handlers run on its own thread. QueuedPowerEvents::Push is safe from any
// thread; SignalPowerEvents is one per process.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/status.h"

namespace cordavex::camera {

enum class PowerEvent {
  kSuspend,
  kResume,
  kFocusButton,  // "CameraAPFocusButtonTrigger", "...Released" or "CameraAPFocusDone"
};

class PowerEventSource {
 public:
  virtual ~PowerEventSource() = default;
  // The next event, or nullopt after `timeout`.
  virtual std::optional<PowerEvent> Wait(std::chrono::milliseconds timeout) = 0;
};

class QueuedPowerEvents final : public PowerEventSource {
 public:
  void Push(PowerEvent event);
  std::optional<PowerEvent> Wait(std::chrono::milliseconds timeout) override;

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<PowerEvent> events_;
};

// Installs handlers for SIGTSTP and SIGCONT for its lifetime (the previous
// ones come back when it is destroyed). Only one may exist at a time.
class SignalPowerEvents final : public PowerEventSource {
 public:
  // Fails when another exists or the host refuses the handlers.
  static platform::Status Create(std::unique_ptr<SignalPowerEvents>* out);
  ~SignalPowerEvents() override;
  std::optional<PowerEvent> Wait(std::chrono::milliseconds timeout) override;

 private:
  SignalPowerEvents() = default;
  int readEnd_ = -1;
};

struct PowerHandlers {
  // Suspend: clear the standby-pause flag.
  std::function<void()> clearStandbyPause;
  // Resume on device class 5: the program exits (WM_DESTROY to the main window).
  std::function<void()> destroyMainWindow;
  // Resume elsewhere: mark a restart as pending...
  std::function<void()> setRestartPending;
  // ...and unless this says the UI is busy or standby is paused...
  std::function<bool()> uiBusyOrStandbyPaused;
  // ...stop the capture (StopCapture)...
  std::function<void()> stopCapture;
  // ...wait up to the given time for stopEvent (true when it came)...
  std::function<bool(std::chrono::milliseconds)> waitStopEvent;
  // ...and invalidate the main window and send it WM_ACTIVATE (active), which
  // restarts the capture.
  std::function<void()> reactivateMainWindow;
  // A focus-button event on an Asus model (CameraGraph::Focus(1)).
  std::function<void()> triggerFocus;
};

class PowerNotifications {
 public:
  // Starts the thread. `model` decides whether focus-button events count
  // (models containing "Asus"); `deviceClass` 5 exits on resume.
  PowerNotifications(std::unique_ptr<PowerEventSource> events, PowerHandlers handlers, int32_t deviceClass,
                     std::string model);
  // Ends the thread (within one wait of the source).
  ~PowerNotifications();
  PowerNotifications(const PowerNotifications&) = delete;
  PowerNotifications& operator=(const PowerNotifications&) = delete;

  // Events handled so far.
  int64_t handled() const { return handled_; }

 private:
  void Run();
  void Handle(PowerEvent event);

  std::unique_ptr<PowerEventSource> events_;
  PowerHandlers handlers_;
  int32_t deviceClass_;
  bool focusButtons_;
  std::atomic<bool> stop_{false};
  std::atomic<int64_t> handled_{0};
  std::thread thread_;
};

}  // namespace cordavex::camera
