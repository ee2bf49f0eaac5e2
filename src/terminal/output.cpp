// Writing to a terminal: see output.h.
#include "terminal/output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

bool write_all(int fd, std::string_view bytes, int wait_ms) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return false;
    if (wait_ready(fd, true, -1, wait_ms) != Ready::kReady) return false;
  }
  return true;
}

void terminal_own_output() {
  for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
    char name[256] = "";
    struct stat was {
    }, now{};
    if (!isatty(fd) || ttyname_r(fd, name, sizeof name) != 0 || fstat(fd, &was) != 0) continue;
    const int own = open(name, O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (own < 0) continue;
    if (fstat(own, &now) == 0 && now.st_rdev == was.st_rdev)
      dup2(own, fd);  // fd stays open on exec
    close(own);
  }
}
