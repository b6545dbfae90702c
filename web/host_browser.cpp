#include "web/host_browser.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

#include <vector>

extern char** environ;

namespace cordavex::web {

bool OpenInHostBrowser(const std::string& address) {
  // A shell that starts xdg-open in the background and ends: it is reaped at
  // once, and xdg-open (which may wait for the browser) is nobody's child.
  std::string script = "xdg-open \"$1\" >/dev/null 2>&1 &";
  std::string shell = "/bin/sh", flag = "-c", name = "sh", argument = address;
  std::vector<char*> argv{shell.data(), flag.data(), script.data(), name.data(), argument.data(), nullptr};
  // The program may block signals for its own use; the opener gets none blocked.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  pid_t pid = 0;
  const int failed = posix_spawn(&pid, shell.c_str(), nullptr, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  if (failed != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace cordavex::web
