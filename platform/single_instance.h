// One running program per device root, as FindWindow gives on the phone: the
// first start holds a lock in the device root and listens on a Unix socket;
// a later start finds the lock held, hands its command line (possibly empty)
// to the first over the socket and ends.
//
// The lock is flock(2) on "Cordavex.lock" in the device root: the kernel
// drops it when its holder dies, however it dies, so a crash never blocks the
// next start. The socket is in Linux's abstract namespace, named after a hash
// of the device root's real path (sun_path holds only 108 bytes, too few for
// a path inside a deep temporary root); it too vanishes with its program. Only
// programs of the same user may hand over. A message is the command line's
// length (4 bytes, little-endian) and its bytes, answered by one
// acknowledgement byte once the handler has returned.
//
// The listener runs on a thread of its own, which the destructor stops and
// joins; the handler must not destroy the instance.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace cordavex::platform {

class SingleInstance {
 public:
  // Receives each command line handed over, on the listener's own thread. It
  // should return promptly (post the line to the UI thread and go): the
  // sender waits for it five seconds at most.
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
