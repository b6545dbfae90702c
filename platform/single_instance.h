// One running program per device root, as FindWindow gives on the phone: the
// first start holds a lock in the device root and listens on a Unix socket;
// a later start finds the lock held, hands its command line (possibly empty)
// to the first over the socket and ends.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace cordavex::platform {

class SingleInstance {
 public:
  // Receives each command line handed over, on the listener's own thread.
  using HandOverHandler = std::function<void(std::string commandLine)>;

  ~SingleInstance();  // stops listening and releases the lock

  // `deviceRoot` is the host path of the device root. On success *instance is
  // set when this process is the first (and then holds the lock), and left
  // null when another program already runs there.
  static Status Acquire(const std::string& deviceRoot, std::unique_ptr<SingleInstance>* instance);
  // Sends the command line to the running program and waits until it has
  // taken it (a few seconds at most).
  static Status HandOver(const std::string& deviceRoot, std::string_view commandLine);

  // Starts listening; call once, after the program can take hand-overs.
  Status Listen(HandOverHandler handler);

 private:
  struct State;
  explicit SingleInstance(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace cordavex::platform
