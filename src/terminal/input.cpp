// The one queue of the terminal's bytes, and the reads from it: see input.h.
#include "terminal/input.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "terminal/echo.h"
#include "terminal/key_decoder.h"
#include "terminal/lock.h"
#include "terminal/mode.h"
#include "terminal/output.h"
#include "terminal/signals.h"

namespace {

// Bytes read, not yet taken, from `head` to `tail`. A fixed buffer: the
// library then needs nothing of the C++ runtime. When it is full, nothing
// more is read until a reader takes some.
constexpr size_t kQueueSize = 1 << 16;
char queue[kQueueSize];
size_t head = 0, tail = 0;
// A key given a byte a call: its bytes not yet given stay where they were
// read, before `head`, until the last is given.
size_t given_at = 0, given_left = 0;
bool ended = false;
int read_error = 0;
long long last_read_ms = 0;
int key_gap_ms = kKeyGapMs;

LateReplies owed;
constexpr long long kReplyOwedForMs = 3000;

// Readers waiting without the lock, and the pipe that wakes them.
int waiting = 0;
int wake_read = -1;
volatile sig_atomic_t wake_write = -1;
volatile sig_atomic_t resumed = 0;  // the reader shows again what it waits at
volatile sig_atomic_t resized = 0;  // the window's size changed, not yet told
void (*redraw)() = nullptr;

void wake() {
  const int fd = wake_write;
  const char byte = 0;
  if (fd >= 0 && write(fd, &byte, 1) < 0) return;  // full: waking already
}

// Continued in the foreground, the reader shows again what it waits at.
// Continued in the background, it shows nothing: woken, it reads, and the
// read stops the job again (SIGTTIN), as any job's that reads from the
// background, so that the shell's fg continues it, and it shows it then. (A
// shell's fg sends no SIGCONT to a job that is running.)
void note_resumed() {
  if (terminal_in_foreground()) resumed = 1;
  wake();
}

void note_resized() {
  resized = 1;
  wake();
}

void make_wake_pipe() {
  static bool registered = false;
  if (!registered) {
    registered = true;
    terminal_register_restore(nullptr, note_resumed);
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

// A forked child's readers are not its parent's: no queue, no key given part
// way, no reader waiting, and a wake pipe of its own when it needs one.
void start_afresh_in_child() {
  head = tail = given_left = 0;
  waiting = 0;
  resumed = resized = 0;
  if (wake_read >= 0) {
    close(wake_read);
    close(wake_write);
  }
  wake_read = wake_write = -1;
}

void take(size_t count) { head += count; }

// Bytes that were not typed input: a query's reply.
void remove(size_t at, size_t count) {
  memmove(queue + at, queue + at + count, tail - at - count);
  tail -= count;
}

// Waits for the terminal's bytes, with the lock let go: woken when another
// thread has left keys queued, or the program resumed.
Ready wait_letting_go(int fd, int timeout_ms) {
  make_wake_pipe();
  const int wake_fd = wake_read;
  ++waiting;
  TerminalLock::unlock();
  const Ready ready = wait_ready(fd, false, wake_fd, timeout_ms);
  const int wait_error = errno;
  TerminalLock::relock();
  --waiting;
  char bytes[64];
  while (ready == Ready::kWoken && waiting == 0 && read(wake_fd, bytes, sizeof bytes) > 0) {
  }
  if (resumed) {
    resumed = 0;
    if (redraw) redraw();
  }
  errno = wait_error;
  return ready;
}

enum class Fill {
  kRead,
  kNothing,   // woken, or another reader took what there was
  kTimedOut,  // nothing came within the time
  kEnded,     // input has ended, or could not be read
};

// Reads what the terminal has onto the end of the queue, dropping late
// replies among the keys it completes, and wakes a reader that waits. The
// terminal's description is the program's own and non-blocking: a read
// finds nothing, at once, where another process took the key.
Fill read_into_queue(int fd) {
  const size_t keep = given_left > 0 ? given_at : head;
  if (keep > 0) {  // room at the end
    memmove(queue, queue + keep, tail - keep);
    tail -= keep;
    head -= keep;
    given_at -= given_left > 0 ? keep : 0;
  }
  if (tail == kQueueSize) return Fill::kNothing;
  ssize_t n;
  do n = read(fd, queue + tail, kQueueSize - tail);
  while (n < 0 && errno == EINTR);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Fill::kNothing;
  if (n <= 0) {
    // In key mode nothing reads as the end but a hang-up; in the mode found,
    // an empty read may be a Ctrl-D that the terminal's own editing took.
    if (n < 0) read_error = errno;
    ended = n < 0 || terminal_in_key_mode();
    return Fill::kEnded;
  }
  last_read_ms = monotonic_ms();
  const size_t read_from = tail;
  tail = owed.drop(queue, tail + static_cast<size_t>(n), read_from, last_read_ms);
  if (waiting > 0) wake();
  return Fill::kRead;
}

// The terminal, unless it cannot be read.
int readable_terminal() {
  const int fd = terminal_find();
  if (fd < 0 || ended) return -1;
  if (terminal_write_only()) {
    read_error = EBADF;
    ended = true;
    return -1;
  }
  return fd;
}

// Reads what the terminal sends within timeout_ms, the lock let go meanwhile
// (`letting_go`) or kept.
Fill fill(int timeout_ms, bool letting_go) {
  static bool forks_noted = false;
  if (!forks_noted) {
    forks_noted = true;
    pthread_atfork(nullptr, nullptr, start_afresh_in_child);
  }
  const int fd = readable_terminal();
  if (fd < 0) return Fill::kEnded;
  // From the background a read stops the job (SIGTTIN), or fails at once
  // where SIGTTIN is ignored or held: no wait comes first, which would take
  // a key typed for the job in front. A look that does not wait reads only
  // what is there, wherever the job is.
  Ready ready = Ready::kReady;
  if (timeout_ms == 0 || terminal_in_foreground())
    ready = letting_go ? wait_letting_go(fd, timeout_ms) : wait_ready(fd, false, -1, timeout_ms);
  if (ready == Ready::kTimedOut) return Fill::kTimedOut;
  if (ready == Ready::kWoken) return Fill::kNothing;
  if (ready == Ready::kFailed) {
    read_error = errno;
    ended = true;
    return Fill::kEnded;
  }
  return read_into_queue(fd);
}

// Waits, at most wait_ms, for the whole key at the front of the queue: its
// length; 0 when none came in time, or the window's size changed
// (`resizes_end`); -1 at the end of input. A key cut short is whole once no
// byte has followed it for kKeyGapMs.
long next_key(int wait_ms, bool resizes_end) {
  const long long deadline = monotonic_ms() + (wait_ms > 0 ? wait_ms : 0);
  for (bool looked = false;;) {
    const long long now = monotonic_ms();
    const bool gap_passed = ended || now - last_read_ms >= key_gap_ms;
    if (const size_t length = key_length(queue + head, tail - head, gap_passed))
      return static_cast<long>(length);
    if (ended) return -1;
    if (resizes_end && resized) return 0;
    int timeout = wait_ms == kWaitForever ? kWaitForever : ms_until(deadline);
    if (looked && timeout == 0) return 0;
    if (head < tail) {  // the rest of a key that has begun: at most until the gap
      const int gap_left = ms_until(last_read_ms + key_gap_ms);
      if (timeout == kWaitForever || gap_left < timeout) timeout = gap_left;
    }
    // An empty read where the terminal edits (Ctrl-D) ends this read alone.
    if (fill(timeout, true) == Fill::kEnded && head == tail) return -1;
    looked = true;
  }
}

}  // namespace

Read terminal_read_key(int wait_ms, std::string_view* key, bool resizes_end) {
  const long length = next_key(wait_ms, resizes_end);
  if (length <= 0) return length < 0 ? Read::kEnded : Read::kNone;
  *key = std::string_view(queue + head, static_cast<size_t>(length));
  take(static_cast<size_t>(length));
  return Read::kKey;
}

Read terminal_read_typed_key(std::string_view* key, bool echo) {
  for (;;) {
    const Read read = terminal_read_key(kWaitForever, key);
    if (read != Read::kKey || !terminal_in_key_mode()) return read;
    if (key->size() == 1) {
      const int mapped = mapped_input(key->front() & 0xff, terminal_editing_keys());
      if (mapped < 0) continue;
      queue[key->data() - queue] =
          static_cast<char>(mapped);  // the key is taken: its bytes are its reader's
    }
    if (echo) echo_key(*key);
    return read;
  }
}

int terminal_read_key_byte(bool echo) {
  if (given_left == 0) {
    std::string_view key;
    if (terminal_read_typed_key(&key, echo) != Read::kKey) return EOF;
    given_at = static_cast<size_t>(key.data() - queue);
    given_left = key.size();
  }
  --given_left;
  return queue[given_at++] & 0xff;
}

bool terminal_key_queued() { return key_length(queue + head, tail - head, false) > 0; }

bool terminal_input_pending() { return given_left > 0 || head < tail; }

void terminal_key_gap(int ms) { key_gap_ms = ms; }

bool terminal_key_waiting() {
  if (given_left > 0 || head < tail) return true;
  fill(0, false);
  return head < tail;
}

int terminal_read_error() { return read_error; }

void terminal_discard() {
  head = tail = given_left = 0;
  terminal_flush_input();
}

bool terminal_ask(std::string_view query, Reply* replies, size_t count, ReplyShape last,
                  int timeout_ms) {
  write_all(STDOUT_FILENO, query);
  const long long deadline = monotonic_ms() + timeout_ms;
  constexpr size_t kMostReplies = 4;
  count = std::min(count, kMostReplies);
  size_t found_at[kMostReplies];  // from `head`
  bool found[kMostReplies] = {};
  const auto is_reply = [replies, count](std::string_view key) {
    for (size_t i = 0; i < count; ++i)
      if (replies[i].shape(key)) return true;
    return false;
  };
  size_t at = tail - head;  // what was queued before is typed input
  bool gap_passed = false, answered = false;
  for (;;) {
    const size_t length = key_length(queue + head + at, tail - head - at, gap_passed);
    if (length == 0) {
      if (gap_passed) break;
      const Fill got = fill(ms_until(deadline), false);
      gap_passed = got == Fill::kTimedOut || got == Fill::kEnded;
      continue;
    }
    const std::string_view key(queue + head + at, length);
    // An Escape typed just as the replies went out: Escape, then a reply.
    const std::string_view after_escape(key.data() + 1, length - 1);
    if (length > 2 && key[0] == '\x1b' && key[1] == '\x1b' &&
        (last(after_escape) || is_reply(after_escape))) {
      ++at;
      continue;
    }
    if (last(key)) {
      remove(head + at, length);
      answered = true;
      break;
    }
    for (size_t i = 0; i < count; ++i) {
      if (!replies[i].shape(key) || length > sizeof replies[i].bytes) continue;
      memcpy(replies[i].bytes, key.data(), length);
      replies[i].size = length;
      found_at[i] = at;
      found[i] = true;
    }
    at += length;
  }
  // The replies found leave the queue, the later first, so that the earlier's
  // place holds.
  for (bool left[kMostReplies] = {found[0], found[1], found[2], found[3]};;) {
    size_t latest = count;
    for (size_t i = 0; i < count; ++i)
      if (left[i] && (latest == count || found_at[i] > found_at[latest])) latest = i;
    if (latest == count) break;
    remove(head + found_at[latest], replies[latest].size);
    left[latest] = false;
  }
  if (!answered) {
    // What is still owed is dropped if it comes late.
    for (size_t i = 0; i < count; ++i)
      if (!found[i]) owed.owe(replies[i].shape, monotonic_ms() + kReplyOwedForMs);
    owed.owe(last, monotonic_ms() + kReplyOwedForMs);
  }
  return answered;
}

void terminal_watch_resizes() {
  terminal_watch_resizes(note_resized);
  make_wake_pipe();
}

bool terminal_take_resize() {
  if (!resized) return false;
  resized = 0;
  return true;
}

void terminal_on_resume_redraw(void (*show)()) {
  redraw = show;
  make_wake_pipe();  // from now on, not only from the first wait
}
