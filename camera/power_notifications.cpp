#include "camera/power_notifications.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace cordavex::camera {

namespace {

// The longest the thread waits before looking at its stop flag.
constexpr auto kPollPeriod = std::chrono::milliseconds(50);
// How long a resume waits for the capture to stop.
constexpr auto kStopWait = std::chrono::milliseconds(5000);

// The signal handlers' only shared state: the pipe they write to. Plain
// atomics of int are lock-free, hence usable from a handler.
std::atomic<int> signalPipe{-1};
std::atomic<bool> signalSourceExists{false};
struct sigaction previousStop;
struct sigaction previousContinue;

constexpr char kSuspendByte = 'S';
constexpr char kResumeByte = 'R';

void WriteByte(char byte) {
  const int saved = errno;
  const int fd = signalPipe.load();
  if (fd >= 0) {
    // A full pipe drops the event: the reader is far behind anyway.
    [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
  }
  errno = saved;
}

void OnStop(int) {
  WriteByte(kSuspendByte);
  // Then really stop, as the terminal's Ctrl+Z would have.
  ::raise(SIGSTOP);
}

void OnContinue(int) { WriteByte(kResumeByte); }

}  // namespace

void QueuedPowerEvents::Push(PowerEvent event) {
  {
    std::lock_guard lock(mutex_);
    events_.push_back(event);
  }
  ready_.notify_one();
}

std::optional<PowerEvent> QueuedPowerEvents::Wait(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  if (!ready_.wait_for(lock, timeout, [&] { return !events_.empty(); })) return std::nullopt;
  const PowerEvent event = events_.front();
  events_.pop_front();
  return event;
}

platform::Status SignalPowerEvents::Create(std::unique_ptr<SignalPowerEvents>* out) {
  bool expected = false;
  if (!signalSourceExists.compare_exchange_strong(expected, true)) {
    return platform::Status::InvalidArgument("power notifications: the signal handlers are already taken");
  }
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    signalSourceExists = false;
    return platform::Status::IoError(std::string("power notifications: pipe: ") + std::strerror(errno));
  }
  std::unique_ptr<SignalPowerEvents> source(new SignalPowerEvents());
  source->readEnd_ = fds[0];
  signalPipe = fds[1];
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  action.sa_handler = OnStop;
  const bool stopTaken = ::sigaction(SIGTSTP, &action, &previousStop) == 0;
  action.sa_handler = OnContinue;
  if (!stopTaken || ::sigaction(SIGCONT, &action, &previousContinue) != 0) {
    const int error = errno;
    if (stopTaken) ::sigaction(SIGTSTP, &previousStop, nullptr);
    ::close(signalPipe.exchange(-1));
    source->readEnd_ = -1;
    ::close(fds[0]);
    signalSourceExists = false;
    return platform::Status::IoError(std::string("power notifications: sigaction: ") + std::strerror(error));
  }
  *out = std::move(source);
  return platform::Status::Ok();
}

SignalPowerEvents::~SignalPowerEvents() {
  if (readEnd_ < 0) return;
  ::sigaction(SIGTSTP, &previousStop, nullptr);
  ::sigaction(SIGCONT, &previousContinue, nullptr);
  ::close(signalPipe.exchange(-1));
  ::close(readEnd_);
  signalSourceExists = false;
}

std::optional<PowerEvent> SignalPowerEvents::Wait(std::chrono::milliseconds timeout) {
  pollfd entry{readEnd_, POLLIN, 0};
  if (::poll(&entry, 1, static_cast<int>(timeout.count())) <= 0) return std::nullopt;
  char byte = 0;
  if (::read(readEnd_, &byte, 1) != 1) return std::nullopt;
  return byte == kSuspendByte ? PowerEvent::kSuspend : PowerEvent::kResume;
}

PowerNotifications::PowerNotifications(std::unique_ptr<PowerEventSource> events, PowerHandlers handlers,
                                       int32_t deviceClass, std::string model)
    : events_(std::move(events)),
      handlers_(std::move(handlers)),
      deviceClass_(deviceClass),
      focusButtons_(model.find("Asus") != std::string::npos),
      thread_(&PowerNotifications::Run, this) {}

PowerNotifications::~PowerNotifications() {
  stop_ = true;
  thread_.join();
}

void PowerNotifications::Run() {
  while (!stop_) {
    const std::optional<PowerEvent> event = events_->Wait(kPollPeriod);
    if (!event) continue;
    Handle(*event);
    ++handled_;
  }
}

void PowerNotifications::Handle(PowerEvent event) {
  auto call = [](const std::function<void()>& handler) {
    if (handler) handler();
  };
  switch (event) {
    case PowerEvent::kSuspend:
      call(handlers_.clearStandbyPause);
      break;
    case PowerEvent::kResume:
      if (deviceClass_ == 5) {
        call(handlers_.destroyMainWindow);
        break;
      }
      call(handlers_.setRestartPending);
      if (handlers_.uiBusyOrStandbyPaused && handlers_.uiBusyOrStandbyPaused()) break;
      call(handlers_.stopCapture);
      if (handlers_.waitStopEvent) handlers_.waitStopEvent(kStopWait);
      call(handlers_.reactivateMainWindow);
      break;
    case PowerEvent::kFocusButton:
      if (focusButtons_) call(handlers_.triggerFocus);
      break;
  }
}

}  // namespace cordavex::camera
