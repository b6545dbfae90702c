// The clock that timers run on. The steady clock in the program; a manual clock
// in tests, where time moves only when the test advances it, so that a
// three-minute timer fires without three minutes of sleeping.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace cordavex::ui {

class Clock {
 public:
  virtual ~Clock() = default;
  // Microseconds from an arbitrary start; never goes back.
  virtual int64_t NowMicros() = 0;
  // True when time moves only by Advance (the loop then never sleeps for a timer).
  virtual bool manual() const = 0;
};

std::shared_ptr<Clock> SteadyClock();

class ManualClock : public Clock {
 public:
  int64_t NowMicros() override;
  bool manual() const override { return true; }
  // Moves time on and tells the window systems using this clock, which wake
  // their loops to fire what became due.
  void Advance(int64_t micros);
  // Called by a window system to be woken on Advance; one at a time (a later
  // call replaces the wake). The wake is called outside the clock's lock.
  void SetWake(std::function<void()> wake);

 private:
  std::mutex mutex_;
  int64_t now_ = 0;
  std::function<void()> wake_;
};

}  // namespace cordavex::ui
