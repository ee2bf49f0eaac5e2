// The one queue of the terminal's bytes, and reading a key from it: see input.h.
#include "terminal/input.h"

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "terminal/echo.h"
#include "terminal/key_decoder.h"
#include "terminal/mode.h"

namespace {

// Bytes read, not yet taken, from `head` to `tail`. A fixed buffer: the
// library then needs nothing of the C++ runtime. When it is full, nothing
// more is read until a reader takes some.
constexpr size_t kQueueSize = 1 << 16;
char queue[kQueueSize];
size_t head = 0, tail = 0;
bool ended = false;
int read_error = 0;
unsigned long reads = 0;  // of the terminal, by any thread

LateReplies owed;
constexpr long long kReplyOwedForMs = 3000;

// Reads what the terminal has onto the end of the queue, dropping late
// replies among the keys it completes.
long read_into_queue(int fd) {
  if (head > 0) {  // room at the end
    memmove(queue, queue + head, tail - head);
    tail -= head;
    head = 0;
  }
  if (tail == kQueueSize) return 0;
  ++reads;
  const long n = read_waiting(fd, queue + tail, kQueueSize - tail);
  if (n <= 0) {
    // In key mode nothing reads as the end but a hang-up; in the mode found,
    // an empty read may be a Ctrl-D that the terminal's own editing took.
    if (n < 0) read_error = errno;
    ended = n < 0 || terminal_in_key_mode();
    return -1;
  }
  const size_t read_from = tail;
  tail = owed.drop(queue, tail + static_cast<size_t>(n), read_from, monotonic_ms());
  return n;
}

// The terminal, unless it cannot be read.
int readable_terminal() {
  const int fd = terminal_fd();
  if (fd < 0 || ended) return -1;
  if (terminal_write_only()) {
    read_error = EBADF;
    ended = true;
    return -1;
  }
  return fd;
}

// A forked child's readers are not its parent's.
void empty_queue() { head = tail = 0; }

// Reads what the terminal sends within timeout_ms, waiting as `wait` does:
// wait_readable (the turn kept) or wait_letting_go (another thread's keys,
// or a continue, end the wait as bytes read do: then 1).
long fill(int timeout_ms, int (*wait)(int fd, int timeout_ms)) {
  static bool forks_noted = false;
  if (!forks_noted) {
    forks_noted = true;
    pthread_atfork(nullptr, nullptr, empty_queue);
  }
  const int fd = readable_terminal();
  if (fd < 0) return -1;
  const unsigned long reads_before = reads;
  // From the background a read stops the job (SIGTTIN), or fails at once
  // where SIGTTIN is ignored or held: no wait comes first, which would take
  // a key typed for the job in front.
  const int ready = terminal_in_foreground() ? wait(fd, timeout_ms) : 1;
  if (ready == 0) return 0;
  if (ready < 0) {
    read_error = errno;
    ended = true;
    return -1;
  }
  // Another thread may have read the terminal's bytes while the turn was let go.
  if (ready == 2 || (reads != reads_before && wait_readable(fd, 0) != 1)) return 1;
  return read_into_queue(fd);
}

}  // namespace

bool terminal_has_queued() { return head < tail; }

long terminal_fill(int timeout_ms) { return fill(timeout_ms, wait_readable); }

int terminal_read_error() { return read_error; }

std::string_view terminal_queued() { return std::string_view(queue + head, tail - head); }

void terminal_take(size_t count) {
  head += count;
  if (head >= tail) head = tail = 0;
}

void terminal_remove(size_t offset, size_t count) {
  const size_t at = head + offset;
  if (at >= tail) return;
  if (count > tail - at) count = tail - at;
  memmove(queue + at, queue + at + count, tail - at - count);
  tail -= count;
}

void terminal_discard() {
  head = tail = 0;
  terminal_flush_input();
}

size_t terminal_next_key() {
  for (bool gap_passed = false;;) {
    const std::string_view queued = terminal_queued();
    if (const size_t length = key_length(queued.data(), queued.size(), gap_passed)) return length;
    // Without end for a first byte, then for the gap that ends a key cut short.
    const long got = fill(queued.empty() ? kWaitForever : kKeyGapMs, wait_letting_go);
    if (got < 0 && terminal_queued().empty()) return 0;
    gap_passed = got <= 0;
  }
}

size_t terminal_read_key(bool echo) {
  for (;;) {
    const size_t length = terminal_next_key();
    if (length == 0 || !terminal_in_key_mode()) return length;
    if (length == 1) {
      const int mapped = mapped_input(queue[head] & 0xff, terminal_editing_keys());
      if (mapped < 0) {
        terminal_take(1);
        continue;
      }
      queue[head] = static_cast<char>(mapped);
    }
    if (echo) echo_key(std::string_view(queue + head, length));
    return length;
  }
}

void terminal_owe_reply(ReplyShape shape) { owed.owe(shape, monotonic_ms() + kReplyOwedForMs); }

long read_waiting(int fd, char* buffer, size_t size) {
  for (;;) {
    const ssize_t n = read(fd, buffer, size);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    // Left non-blocking by an earlier program: wait, as a blocking read would.
    if ((errno != EAGAIN && errno != EWOULDBLOCK) || wait_readable(fd, kWaitForever) < 0) return -1;
  }
}
