// Helpers for the window-model tests: a message log, a loop on its own UI
// thread, waiting for the screen to reach a state, and a settings-like dialog
// template built by hand.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "resources/resource_module.h"
#include "ui/window_system.h"

namespace cordavex::ui::testing {

struct Logged {
  Window window;
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
  bool operator==(const Logged&) const = default;
};

// Messages as procedures saw them, from any thread.
class MessageLog {
 public:
  void Add(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    std::lock_guard lock(mutex_);
    entries_.push_back({window, message, wParam, lParam});
    added_.notify_all();
  }
  // Until `window` has had `count` messages of that number; false after 5 s.
  bool WaitForCount(Window window, uint32_t message, size_t count) {
    std::unique_lock lock(mutex_);
    return added_.wait_for(lock, std::chrono::seconds(5), [&] {
      size_t seen = 0;
      for (const Logged& entry : entries_) seen += entry.window == window && entry.message == message;
      return seen >= count;
    });
  }
  std::vector<Logged> Of(Window window, std::vector<uint32_t> messages) const {
    std::lock_guard lock(mutex_);
    std::vector<Logged> out;
    for (const Logged& entry : entries_) {
      if (entry.window != window) continue;
      for (uint32_t message : messages) {
        if (entry.message == message) out.push_back(entry);
      }
    }
    return out;
  }
  std::vector<uint32_t> MessagesOf(Window window) const {
    std::lock_guard lock(mutex_);
    std::vector<uint32_t> out;
    for (const Logged& entry : entries_) {
      if (entry.window == window) out.push_back(entry.message);
    }
    return out;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable added_;
  std::vector<Logged> entries_;
};

// Waits, without polling, until `done` holds after some change or event of the
// system; false after `milliseconds`.
inline bool WaitFor(WindowSystem& system, const std::function<bool()>& done, int milliseconds = 5000) {
  struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    uint64_t changes = 0;
  };
  auto shared = std::make_shared<Shared>();
  auto poke = [shared] {
    std::lock_guard lock(shared->mutex);
    ++shared->changes;
    shared->changed.notify_all();
  };
  int change = system.AddChangeListener(poke);
  int event = system.AddEventListener([poke](const Event&) { poke(); });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  bool reached = false;
  std::unique_lock lock(shared->mutex);
  while (!(reached = done())) {
    if (shared->changed.wait_until(lock, deadline) == std::cv_status::timeout) {
      reached = done();
      break;
    }
  }
  lock.unlock();
  system.RemoveListener(change);
  system.RemoveListener(event);
  return reached;
}

// Runs the system's loop on a thread of its own, which becomes the UI thread
// before the constructor returns; the destructor quits the loop and joins.
class LoopThread {
 public:
  explicit LoopThread(WindowSystem& system) : system_(system) {
    std::promise<void> started;
    auto ready = started.get_future();
    thread_ = std::thread([this, started = std::move(started)]() mutable {
      system_.PumpPending();  // makes this thread the UI thread
      started.set_value();
      exitCode_ = system_.RunMessageLoop();
    });
    ready.wait();
  }
  ~LoopThread() {
    system_.PostQuitMessage(0);
    thread_.join();
  }
  // Joins after the program has quit by itself; the exit code.
  int Join() {
    thread_.join();
    thread_ = std::thread([] {});
    return exitCode_;
  }

 private:
  WindowSystem& system_;
  std::thread thread_;
  int exitCode_ = -1;
};

// Ids of the settings-like dialog below.
inline constexpr uint32_t kTestDialog = 332;
inline constexpr uint32_t kTestMenuBar = 301;
inline constexpr uint32_t kOkCommand = 40005;
inline constexpr uint32_t kCancelCommand = 40006;
inline constexpr uint32_t kSound = 1022, kAim = 1020, kAutoSave = 1021, kBrowserLabel = 40147,
                          kExplorer = 1023, kOpera = 1024, kFixedCode = 40178, kQr = 40174, kMatrix = 40175;

inline constexpr resources::ControlTemplate kTestControls[] = {
    {kSound, resources::ControlKind::kCheckBox, u"解碼聲音", 4, 4, 200, 16, 0},
    {kAim, resources::ControlKind::kCheckBox, u"瞄準框", 4, 24, 200, 16, 0},
    {kAutoSave, resources::ControlKind::kCheckBox, u"自動紀錄\n(最多30筆)", 4, 44, 200, 30,
     resources::kControlChecked | resources::kControlMultiline},
    {kBrowserLabel, resources::ControlKind::kLabel, u"網頁瀏覽器", 4, 80, 200, 16, 0},
    {kExplorer, resources::ControlKind::kRadioButton, u"Internet Explorer", 4, 100, 200, 16,
     resources::kControlGroup | resources::kControlChecked},
    {kOpera, resources::ControlKind::kRadioButton, u"Opera", 4, 120, 200, 16, 0},
    {kFixedCode, resources::ControlKind::kCheckBox, u"", 4, 160, 16, 16,
     resources::kControlDisabled | resources::kControlChecked | resources::kControlGroup},
    {kQr, resources::ControlKind::kCheckBox, u" QR Code", 4, 180, 200, 16, 0},
    {kMatrix, resources::ControlKind::kCheckBox, u" Data Matrix", 4, 200, 200, 16, 0},
};
inline constexpr resources::MenuBarTemplate kTestMenuBars[] = {
    {kTestMenuBar, u"確認", kOkCommand, u"取消", kCancelCommand, nullptr, 0},
};
inline constexpr resources::DialogTemplate kTestDialogs[] = {
    {kTestDialog, u"設定", kTestControls, std::size(kTestControls), kTestMenuBar},
};
inline constexpr resources::ResourceModule kTestModule = {
    0x0409, nullptr, 0, kTestMenuBars, std::size(kTestMenuBars), kTestDialogs, std::size(kTestDialogs)};

// A main menu bar of the program's shape: Exit on the left, a menu on the right.
inline MenuBar TestMainMenuBar() {
  MenuBar bar;
  bar.leftText = u"Exit";
  bar.leftCommand = 1010;
  bar.rightText = u"Menu";
  bar.items = {{40002, u"About", true}, {40009, u"Help", true}, {0, u"", true},
               {40113, u"History", false}, {40133, u"Settings", true}};
  return bar;
}

}  // namespace cordavex::ui::testing
