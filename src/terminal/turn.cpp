// The terminal's one lock, and waiting without it: see turn.h.
#include "terminal/turn.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>

#include "terminal/signals.h"

namespace {

pthread_mutex_t turn = PTHREAD_MUTEX_INITIALIZER;
bool forks_noted = false;

// Readers waiting without the turn, and the pipe that wakes them.
int waiting = 0;
int wake_read = -1;
volatile sig_atomic_t wake_write = -1;
volatile sig_atomic_t continued = 0;
void (*show_again)() = nullptr;

void wake() {
  const int fd = wake_write;
  const char byte = 0;
  if (fd >= 0 && write(fd, &byte, 1) < 0) return;  // full: waking already
}

void note_continued() {
  continued = 1;
  wake();
}

void make_wake_pipe() {
  static bool noted = false;
  if (!noted) {
    noted = true;
    terminal_on_every_way_out(nullptr, note_continued);
  }
  int ends[2];
  if (wake_read >= 0 || pipe(ends) < 0) return;
  for (const int end : ends) {
    fcntl(end, F_SETFD, FD_CLOEXEC);
    fcntl(end, F_SETFL, O_NONBLOCK);
  }
  wake_read = ends[0];
  wake_write = ends[1];
}

// The turn is taken before a fork and given back on both sides; the child
// has no reader waiting, and a pipe of its own when it needs one.
void lock() { pthread_mutex_lock(&turn); }
void unlock() { pthread_mutex_unlock(&turn); }
void start_afresh_in_child() {
  unlock();
  if (wake_read >= 0) {
    close(wake_read);
    close(wake_write);
  }
  wake_read = wake_write = -1;
  waiting = 0;
  continued = 0;
}

// 1 when fd can be read, 2 when `wake` (if not -1) can, 0 when the time ran
// out, -1 on an error.
int wait_for(int fd, int wake, int timeout_ms) {
  if (fd >= FD_SETSIZE || wake >= FD_SETSIZE) return 1;  // cannot be waited on: let the read block
  const long long deadline = monotonic_ms() + timeout_ms;
  for (;;) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(fd, &readable);
    if (wake >= 0) FD_SET(wake, &readable);
    const long long left = timeout_ms == kWaitForever ? 0 : deadline - monotonic_ms();
    timeval timeout{};
    timeout.tv_sec = static_cast<time_t>(left > 0 ? left / 1000 : 0);
    timeout.tv_usec = static_cast<suseconds_t>(left > 0 ? left % 1000 * 1000 : 0);
    const int n = select((fd > wake ? fd : wake) + 1, &readable, nullptr, nullptr,
                         timeout_ms == kWaitForever ? nullptr : &timeout);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n;
    return FD_ISSET(fd, &readable) ? 1 : 2;
  }
}

}  // namespace

TerminalTurn::TerminalTurn() {
  lock();
  if (!forks_noted) {
    forks_noted = true;
    pthread_atfork(lock, unlock, start_afresh_in_child);
  }
}

TerminalTurn::~TerminalTurn() {
  if (waiting > 0 && terminal_has_queued()) wake();  // keys for a reader that waits
  unlock();
}

int wait_readable(int fd, int timeout_ms) { return wait_for(fd, -1, timeout_ms); }

int wait_letting_go(int fd, int timeout_ms) {
  make_wake_pipe();
  const int wake_fd = wake_read;
  ++waiting;
  unlock();
  const int ready = wait_for(fd, wake_fd, timeout_ms);
  const int wait_error = errno;
  lock();
  --waiting;
  char bytes[64];
  while (ready == 2 && wake_read >= 0 && read(wake_read, bytes, sizeof bytes) > 0) {
  }
  if (continued) {
    continued = 0;
    if (show_again) show_again();
  }
  errno = wait_error;
  return ready;
}

void terminal_when_continued(void (*show)()) {
  show_again = show;
  make_wake_pipe();  // from now on, not only from the first wait
}

long long monotonic_ms() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}
