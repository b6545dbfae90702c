#include "ui/clock.h"

#include <chrono>
#include <utility>

namespace cordavex::ui {

namespace {

class Steady final : public Clock {
 public:
  int64_t NowMicros() override {
    auto since = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::microseconds>(since).count();
  }
  bool manual() const override { return false; }
};

}  // namespace

std::shared_ptr<Clock> SteadyClock() { return std::make_shared<Steady>(); }

int64_t ManualClock::NowMicros() {
  std::lock_guard lock(mutex_);
  return now_;
}

void ManualClock::Advance(int64_t micros) {
  std::function<void()> wake;
  {
    std::lock_guard lock(mutex_);
    if (micros > 0) now_ += micros;
    wake = wake_;
  }
  // Called outside the clock's lock: the window system reads the clock while
  // holding its own lock, and the wake takes that lock.
  if (wake) wake();
}

void ManualClock::SetWake(std::function<void()> wake) {
  std::lock_guard lock(mutex_);
  wake_ = std::move(wake);
}

}  // namespace cordavex::ui
