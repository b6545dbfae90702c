#include "platform/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace cordavex::platform {

namespace {

constexpr const char* kLockFile = "Cordavex.lock";
// A command line longer than this is no command line; the limit keeps a
// stray client from making the program allocate without bound.
constexpr uint32_t kLargestCommandLine = 1u << 20;
constexpr uint8_t kAcknowledge = 0x06;
// How long a hand-over waits for a first instance that is still starting
// (holding the lock but not listening yet), and for its acknowledgement.
constexpr auto kConnectPatience = std::chrono::seconds(5);
constexpr int kReplyTimeoutMs = 5000;
// How long the listener waits for the rest of a message it has begun.
constexpr int kMessageTimeoutMs = 2000;

Status Errno(const std::string& what, int error) {
  return Status::IoError(what + ": " + std::strerror(error));
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() { Reset(); }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = other.Release();
    }
    return *this;
  }
  int get() const { return fd_; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

// The canonical host path of the device root, so that two spellings of one
// folder ("dev/", "./dev", a symbolic link) meet at one socket.
Status RealPath(const std::string& deviceRoot, std::string* real) {
  char* resolved = ::realpath(deviceRoot.c_str(), nullptr);
  if (resolved == nullptr) return Errno("device root " + deviceRoot, errno);
  *real = resolved;
  std::free(resolved);
  return Status::Ok();
}

// The socket lives in Linux's abstract namespace, named after a hash of the
// device root's real path: a path in the root itself could exceed the 108
// bytes of sun_path, and an abstract socket leaves nothing behind when its
// program dies, so no stale socket file can ever block a new first instance.
// (Who may talk to it is checked by the peer's user id instead of file modes.)
sockaddr_un SocketAddress(const std::string& realRoot, socklen_t* length) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a, 64 bits
  for (const char c : realRoot) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  char name[48];
  const int written = std::snprintf(name, sizeof name, "cordavex-%016llx",
                                    static_cast<unsigned long long>(hash));
  address.sun_path[0] = '\0';
  std::memcpy(address.sun_path + 1, name, static_cast<size_t>(written));
  *length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + written);
  return address;
}

// True while some program holds the device root's lock. A shared lock taken
// for a moment tells: it is refused only while the exclusive one is held.
bool LockHeld(const std::string& realRoot) {
  FileDescriptor file(::open((realRoot + "/" + kLockFile).c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) return false;
  while (::flock(file.get(), LOCK_SH | LOCK_NB) != 0) {
    if (errno != EINTR) return errno == EWOULDBLOCK;
  }
  return false;  // closing the file drops the shared lock
}

// Waits until `fd` is ready for `events` or `wake` is signalled or the time
// is up. True when `fd` is ready.
bool WaitFor(int fd, short events, int wake, int timeoutMs) {
  pollfd fds[2] = {{fd, events, 0}, {wake, POLLIN, 0}};
  const nfds_t count = wake >= 0 ? 2 : 1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left < 0) return false;
    const int ready = ::poll(fds, count, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    if (count == 2 && fds[1].revents != 0) return false;
    return fds[0].revents != 0;
  }
}

bool ReadAll(int fd, void* data, size_t size, int wake, int timeoutMs) {
  auto* bytes = static_cast<uint8_t*>(data);
  while (size > 0) {
    if (!WaitFor(fd, POLLIN, wake, timeoutMs)) return false;
    const ssize_t got = ::recv(fd, bytes, size, 0);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) return false;
    bytes += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

bool WriteAll(int fd, const void* data, size_t size, int timeoutMs) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  while (size > 0) {
    if (!WaitFor(fd, POLLOUT, -1, timeoutMs)) return false;
    const ssize_t sent = ::send(fd, bytes, size, MSG_NOSIGNAL);
    if (sent < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (sent <= 0) return false;
    bytes += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

// A message is the command line's length (4 bytes, little-endian) and its
// bytes; the answer is one acknowledgement byte once the program has taken it.
void EncodeLength(uint32_t length, uint8_t out[4]) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(length >> (8 * i));
}
uint32_t DecodeLength(const uint8_t in[4]) {
  return uint32_t{in[0]} | uint32_t{in[1]} << 8 | uint32_t{in[2]} << 16 | uint32_t{in[3]} << 24;
}

}  // namespace

struct SingleInstance::State {
  std::string realRoot;
  FileDescriptor lock;
  FileDescriptor listener;
  FileDescriptor wake;  // an eventfd the destructor signals
  std::thread thread;
  HandOverHandler handler;

  void Serve();
  void Answer(int connection);
};

void SingleInstance::State::Serve() {
  for (;;) {
    pollfd fds[2] = {{listener.get(), POLLIN, 0}, {wake.get(), POLLIN, 0}};
    const int ready = ::poll(fds, 2, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || fds[1].revents != 0) return;
    if ((fds[0].revents & POLLIN) == 0) continue;
    FileDescriptor connection(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (connection.get() < 0) continue;
    Answer(connection.get());
  }
}

void SingleInstance::State::Answer(int connection) {
  // Only programs of the same user may hand over a command line.
  ucred peer{};
  socklen_t size = sizeof peer;
  if (::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
      peer.uid != ::geteuid()) {
    return;
  }
  uint8_t header[4];
  if (!ReadAll(connection, header, sizeof header, wake.get(), kMessageTimeoutMs)) return;
  const uint32_t length = DecodeLength(header);
  if (length > kLargestCommandLine) return;
  std::string commandLine(length, '\0');
  if (!ReadAll(connection, commandLine.data(), length, wake.get(), kMessageTimeoutMs)) return;
  handler(std::move(commandLine));
  WriteAll(connection, &kAcknowledge, 1, kMessageTimeoutMs);
}

SingleInstance::SingleInstance(std::unique_ptr<State> state) : state_(std::move(state)) {}

SingleInstance::~SingleInstance() {
  if (state_->thread.joinable()) {
    const uint64_t one = 1;
    while (::write(state_->wake.get(), &one, sizeof one) < 0 && errno == EINTR) {
    }
    state_->thread.join();
  }
  // The descriptors close with the state; the lock goes with its descriptor.
}

Status SingleInstance::Acquire(const std::string& deviceRoot,
                               std::unique_ptr<SingleInstance>* instance) {
  instance->reset();
  auto state = std::make_unique<State>();
  if (Status s = RealPath(deviceRoot, &state->realRoot); !s.ok()) return s;
  const std::string lockPath = state->realRoot + "/" + kLockFile;
  // Close-on-exec: a program this one starts must not keep the lock alive.
  state->lock = FileDescriptor(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (state->lock.get() < 0) return Errno("cannot open " + lockPath, errno);
  // flock belongs to the open file: a second Acquire in this same process
  // conflicts like one in another process, and the kernel drops it when the
  // holder dies however it dies.
  while (::flock(state->lock.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) return Status::Ok();  // another program runs here
    return Errno("cannot lock " + lockPath, errno);
  }
  instance->reset(new SingleInstance(std::move(state)));
  return Status::Ok();
}

Status SingleInstance::Listen(HandOverHandler handler) {
  State& state = *state_;
  if (state.thread.joinable()) return Status::InvalidArgument("already listening");
  state.listener = FileDescriptor(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (state.listener.get() < 0) return Errno("cannot make the hand-over socket", errno);
  socklen_t length = 0;
  const sockaddr_un address = SocketAddress(state.realRoot, &length);
  // The lock is ours, so whoever had the name before is gone; the name is free.
  if (::bind(state.listener.get(), reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    return Errno("cannot bind the hand-over socket of " + state.realRoot, errno);
  }
  if (::listen(state.listener.get(), 8) != 0) {
    return Errno("cannot listen for hand-overs", errno);
  }
  state.wake = FileDescriptor(::eventfd(0, EFD_CLOEXEC));
  if (state.wake.get() < 0) return Errno("cannot make the listener's wake-up", errno);
  state.handler = std::move(handler);
  state.thread = std::thread([&state] { state.Serve(); });
  return Status::Ok();
}

Status SingleInstance::HandOver(const std::string& deviceRoot, std::string_view commandLine) {
  if (commandLine.size() > kLargestCommandLine) {
    return Status::InvalidArgument("command line of " + std::to_string(commandLine.size()) +
                                   " bytes is too long to hand over");
  }
  std::string realRoot;
  if (Status s = RealPath(deviceRoot, &realRoot); !s.ok()) return s;
  socklen_t length = 0;
  const sockaddr_un address = SocketAddress(realRoot, &length);

  FileDescriptor connection;
  const auto deadline = std::chrono::steady_clock::now() + kConnectPatience;
  for (;;) {
    connection = FileDescriptor(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (connection.get() < 0) return Errno("cannot make a socket", errno);
    if (::connect(connection.get(), reinterpret_cast<const sockaddr*>(&address), length) == 0) {
      break;
    }
    const int error = errno;
    // Nobody listening: the first program may still be starting (it holds
    // the lock), or there is none (and waiting would be in vain).
    if ((error != ECONNREFUSED && error != ENOENT && error != EAGAIN) || !LockHeld(realRoot) ||
        std::chrono::steady_clock::now() >= deadline) {
      return Errno("the running program in " + realRoot + " does not answer", error);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }

  uint8_t header[4];
  EncodeLength(static_cast<uint32_t>(commandLine.size()), header);
  if (!WriteAll(connection.get(), header, sizeof header, kReplyTimeoutMs) ||
      !WriteAll(connection.get(), commandLine.data(), commandLine.size(), kReplyTimeoutMs)) {
    return Status::IoError("cannot hand the command line over to the running program in " +
                           realRoot);
  }
  uint8_t reply = 0;
  if (!ReadAll(connection.get(), &reply, 1, -1, kReplyTimeoutMs) || reply != kAcknowledge) {
    return Status::IoError("the running program in " + realRoot +
                           " did not take the command line");
  }
  return Status::Ok();
}

}  // namespace cordavex::platform
