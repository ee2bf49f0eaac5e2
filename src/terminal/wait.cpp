// Waiting for a descriptor: see wait.h. select, not poll: poll refuses
// terminals on some systems (macOS).
#include "terminal/wait.h"

#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

Ready wait_ready(int fd, bool for_writing, int wake, int timeout_ms) {
  if (fd >= FD_SETSIZE || wake >= FD_SETSIZE) return Ready::kReady;  // cannot be waited on
  const long long deadline = monotonic_ms() + timeout_ms;
  for (;;) {
    fd_set readable, writable;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_SET(fd, for_writing ? &writable : &readable);
    if (wake >= 0) FD_SET(wake, &readable);
    const long long left = timeout_ms == kWaitForever ? 0 : deadline - monotonic_ms();
    timeval timeout{};
    timeout.tv_sec = static_cast<time_t>(left > 0 ? left / 1000 : 0);
    timeout.tv_usec = static_cast<suseconds_t>(left > 0 ? left % 1000 * 1000 : 0);
    const int n = select((fd > wake ? fd : wake) + 1, &readable, &writable, nullptr,
                         timeout_ms == kWaitForever ? nullptr : &timeout);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Ready::kFailed;
    if (n == 0) return Ready::kTimedOut;
    return FD_ISSET(fd, for_writing ? &writable : &readable) ? Ready::kReady : Ready::kWoken;
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

long long monotonic_ms() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}
