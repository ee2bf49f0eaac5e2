// Waiting for a descriptor: see wait.h.
#include "terminal/wait.h"

#include <poll.h>
#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace {

// One wait: 1 when fd is ready, 2 when `wake` is, 0 when the time ran out,
// -1 on an error.
#ifdef __APPLE__
// macOS's poll refuses terminals: select there. It cannot watch a descriptor
// past FD_SETSIZE; such a one is looked at again every 10 ms (its reads and
// writes do not block, so a look that finds nothing waits again).
int wait_once(int fd, bool for_writing, int wake, int timeout_ms) {
  if (fd >= FD_SETSIZE || wake >= FD_SETSIZE) {
    const timespec step = {0, 10000000};
    nanosleep(&step, nullptr);
    return 1;
  }
  fd_set readable, writable;
  FD_ZERO(&readable);
  FD_ZERO(&writable);
  FD_SET(fd, for_writing ? &writable : &readable);
  if (wake >= 0) FD_SET(wake, &readable);
  timeval timeout{};
  timeout.tv_sec = timeout_ms / 1000;
  timeout.tv_usec = timeout_ms % 1000 * 1000;
  const int n = select((fd > wake ? fd : wake) + 1, &readable, &writable, nullptr,
                       timeout_ms == kWaitForever ? nullptr : &timeout);
  if (n <= 0) return n;
  return FD_ISSET(fd, for_writing ? &writable : &readable) ? 1 : 2;
}
#else
int wait_once(int fd, bool for_writing, int wake, int timeout_ms) {
  pollfd fds[2] = {{fd, static_cast<short>(for_writing ? POLLOUT : POLLIN), 0}, {wake, POLLIN, 0}};
  const int n = poll(fds, wake >= 0 ? 2 : 1, timeout_ms);
  if (n <= 0) return n;
  if (fds[0].revents & POLLNVAL) {
    errno = EBADF;
    return -1;
  }
  return fds[0].revents ? 1 : 2;  // a hang-up or an error: the read or write says which
}
#endif

}  // namespace

Ready wait_ready(int fd, bool for_writing, int wake, int timeout_ms) {
  const long long deadline = monotonic_ms() + timeout_ms;
  for (;;) {
    const int n = wait_once(fd, for_writing, wake,
                            timeout_ms == kWaitForever ? kWaitForever : ms_until(deadline));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Ready::kFailed;
    if (n == 0) return Ready::kTimedOut;
    return n == 1 ? Ready::kReady : Ready::kWoken;
  }
}

long read_waiting(int fd, char* buffer, size_t size) {
  for (;;) {
    const ssize_t n = read(fd, buffer, size);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    // Left non-blocking by an earlier program: wait, as a blocking read would.
    if ((errno != EAGAIN && errno != EWOULDBLOCK) ||
        wait_ready(fd, false, -1, kWaitForever) == Ready::kFailed)
      return -1;
  }
}

int ms_until(long long deadline_ms) {
  const long long left = deadline_ms - monotonic_ms();
  return left > 0 ? static_cast<int>(left) : 0;
}

long long monotonic_ms() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}
