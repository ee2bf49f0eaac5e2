#include "terminal/terminal.h"

#include <fcntl.h>
#include <sys/select.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "terminal/key_decoder.h"

namespace {

constexpr int kNotLookedFor = -2;
int terminal_fd = kNotLookedFor;  // -1 when there is none

bool taken = false;
termios found_settings;
termios key_settings;
// The terminal whose settings were changed, -1 while they are as found: what
// the signal handlers need.
volatile sig_atomic_t changed_fd = -1;
TerminalMode current_mode = TerminalMode::kAsFound;

// Bytes read, not yet taken, from `head` to `tail`. A fixed buffer: the
// console library then needs nothing of the C++ runtime. When it is full,
// nothing more is read until a reader takes some.
constexpr size_t kQueueSize = 1 << 16;
char queue[kQueueSize];
size_t head = 0, tail = 0;
bool ended = false;
int read_error = 0;

constexpr long long kReplyOwedForMs = 3000;
struct OwedReply {
  ReplyShape shape;
  long long until_ms;
};
constexpr size_t kMostOwed = 4;
OwedReply owed[kMostOwed];
size_t owed_count = 0;

void erase_queued(size_t at, size_t count) {
  memmove(queue + at, queue + at + count, tail - at - count);
  tail -= count;
}

int the_terminal() {
  if (terminal_fd != kNotLookedFor) return terminal_fd;
  terminal_fd =
      isatty(STDIN_FILENO) ? STDIN_FILENO : open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios probe{};
  if (terminal_fd >= 0 && tcgetattr(terminal_fd, &probe) < 0) {
    if (terminal_fd != STDIN_FILENO) close(terminal_fd);
    terminal_fd = -1;
  }
  return terminal_fd;
}

// True also for a terminal that is not the program's controlling one: no job
// control decides who may use it.
bool in_foreground(int fd) {
  const pid_t front = tcgetpgrp(fd);
  return front < 0 || front == getpgrp();
}

// Holds until the program's job has the terminal in the foreground, stopped
// meanwhile as the kernel stops a job that reads from the background, so that
// the job's shell brings it to the front. False where nothing would: SIGTTIN
// ignored or held, or a job that no shell can continue (the kernel drops the
// stop; after a hundred tries the program takes it as such).
bool hold_foreground(int fd) {
  constexpr int kMostStops = 100;
  for (int stops = 0; !in_foreground(fd); ++stops) {
    struct sigaction action {};
    sigset_t held;
    sigemptyset(&held);
    sigaction(SIGTTIN, nullptr, &action);
    sigprocmask(SIG_BLOCK, nullptr, &held);
    if (stops == kMostStops || action.sa_handler == SIG_IGN || sigismember(&held, SIGTTIN))
      return false;
    kill(0, SIGTTIN);
  }
  return true;
}

// The settings to put back, taken as key mode is set, in the foreground: in
// the background they may be a shell's own (bash's line editor holds the
// terminal raw). A program that keeps key mode takes them once; a call of the
// console functions takes them anew each time, and leaves the terminal as it
// found it.
bool take_settings(int fd) {
  if (!hold_foreground(fd) || tcgetattr(fd, &found_settings) < 0) return false;
  taken = true;
  key_settings = found_settings;
  // The program maps CR and NL itself, so that Ctrl-V can quote them.
  key_settings.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR);
  key_settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  key_settings.c_cc[VMIN] = 1;
  key_settings.c_cc[VTIME] = 0;
  return true;
}

// Sets the settings unless the terminal is another job's now. SIGTTOU is held
// meanwhile, so that a job sent to the background between the check and the
// change cannot be stopped by it.
void set_in_foreground(const termios& settings) {
  const int fd = changed_fd;
  if (fd < 0 || !in_foreground(fd)) return;
  sigset_t ttou, before;
  sigemptyset(&ttou);
  sigaddset(&ttou, SIGTTOU);
  sigprocmask(SIG_BLOCK, &ttou, &before);
  tcsetattr(fd, TCSANOW, &settings);
  sigprocmask(SIG_SETMASK, &before, nullptr);
}

void restore_found() { set_in_foreground(found_settings); }

void set_handler(int sig, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(sig, &action, nullptr);
}

void on_ending_signal(int sig) {
  restore_found();
  signal(sig, SIG_DFL);
  raise(sig);  // blocked until this handler returns, then ends the program as it would have
}

void on_stop(int sig) {
  const int saved_errno = errno;
  restore_found();
  signal(sig, SIG_DFL);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, sig);
  sigprocmask(SIG_UNBLOCK, &stop, nullptr);
  raise(sig);  // the program stops here; SIGCONT sets key mode again
  // cppcheck-suppress unreachableCode ; raise returns once the program is continued
  set_handler(sig, on_stop);
  errno = saved_errno;
}

// Whoever stopped the program (Ctrl-Z, kill -STOP) may have changed the
// settings meanwhile, as an interactive shell puts back its own.
void on_continue(int /*sig*/) {
  const int saved_errno = errno;
  set_in_foreground(key_settings);
  errno = saved_errno;
}

void handle_unless_taken(int sig, void (*handler)(int)) {
  struct sigaction old {};
  // Ignored by the shell, or handled already (by a sanitizer, say): keep it so.
  if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_DFL &&
      !(old.sa_flags & SA_SIGINFO))
    set_handler(sig, handler);
}

// Every signal not named here ends the program by default: the platform's
// whole range, real-time signals included, so that none is missed.
void (*handler_for(int sig))(int) {
  switch (sig) {
    case SIGKILL:
    case SIGSTOP: return nullptr;  // cannot be caught
    case SIGTSTP:
    case SIGTTIN:
    case SIGTTOU: return on_stop;
    case SIGCONT: return on_continue;
    case SIGCHLD:
    case SIGURG:
    case SIGWINCH:
#ifdef SIGINFO
    case SIGINFO:
#endif
      return nullptr;  // ignored by default
    default: return on_ending_signal;
  }
}

void install_handlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  atexit(restore_found);
  for (int sig = 1; sig < NSIG; ++sig)
    if (auto* handler = handler_for(sig)) handle_unless_taken(sig, handler);
}

// tcsetattr succeeds when any part of a change was made: check the parts
// that reading depends on.
bool in_effect(int fd, const termios& wanted) {
  termios now{};
  constexpr tcflag_t kModes = ICANON | ECHO, kMapping = ICRNL | INLCR | IGNCR;
  return tcgetattr(fd, &now) == 0 && (now.c_lflag & kModes) == (wanted.c_lflag & kModes) &&
         (now.c_iflag & kMapping) == (wanted.c_iflag & kMapping) &&
         now.c_cc[VMIN] == wanted.c_cc[VMIN] && now.c_cc[VTIME] == wanted.c_cc[VTIME];
}

// 1 when fd can be read, 0 when the time ran out, -1 on an error. select, not
// poll: poll refuses terminals on some systems (macOS).
int wait_readable(int fd, int timeout_ms) {
  if (fd >= FD_SETSIZE) return 1;  // cannot be waited on: let the read block
  int n;
  do {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(fd, &readable);
    timeval timeout{};
    timeout.tv_sec = timeout_ms / 1000;
    timeout.tv_usec = static_cast<suseconds_t>(timeout_ms % 1000) * 1000;
    n = select(fd + 1, &readable, nullptr, nullptr,
               timeout_ms == kWaitForever ? nullptr : &timeout);
  } while (n < 0 && errno == EINTR);
  return n;
}

// Echoes need a descriptor that can be written: standard input may be the
// terminal opened for reading only (`< /dev/tty`).
int echo_fd() {
  static int fd = kNotLookedFor;
  if (fd != kNotLookedFor) return fd;
  const int terminal = the_terminal();
  const int flags = terminal >= 0 ? fcntl(terminal, F_GETFL) : -1;
  if (flags >= 0 && (flags & O_ACCMODE) != O_RDONLY) return fd = terminal;
  char name[256] = "";
  const bool named = terminal >= 0 && ttyname_r(terminal, name, sizeof name) == 0;
  return fd = named ? open(name, O_WRONLY | O_NOCTTY | O_CLOEXEC) : -1;
}

// Only keys that the bytes just read complete: those read before were keys
// already, and a reader may be holding a place among them.
void drop_late_replies(size_t read_from) {
  const long long now = monotonic_ms();
  owed_count =
      static_cast<size_t>(std::remove_if(owed, owed + owed_count,
                                         [now](const OwedReply& r) { return r.until_ms < now; }) -
                          owed);
  for (size_t at = head; owed_count > 0 && at < tail;) {
    const size_t length = key_length(queue + at, tail - at, false);
    if (length == 0) break;  // the rest of a key is still to come
    const std::string_view key(queue + at, length);
    OwedReply* const reply = at + length <= read_from
                                 ? owed + owed_count
                                 : std::find_if(owed, owed + owed_count,
                                                [key](const OwedReply& r) { return r.shape(key); });
    if (reply == owed + owed_count) {
      at += length;
      continue;
    }
    erase_queued(at, length);
    *reply = owed[--owed_count];
  }
}

// One key as the terminal echoes it (terminal_read_key).
void echo_key(std::string_view key) {
  if (key.empty() || key[0] == '\x1b') return;
  char shown[8];  // a key that is no escape sequence is at most 4 bytes
  size_t size = 0;
  for (size_t i = 0; i < key.size() && size + 2 <= sizeof shown; ++i) {
    const auto c = static_cast<unsigned char>(key[i]);
    if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7f) {
      shown[size++] = '^';
      shown[size++] = c == 0x7f ? '?' : static_cast<char>(c + 0x40);
    } else {
      shown[size++] = key[i];
    }
  }
  terminal_echo(std::string_view(shown, size));
}

}  // namespace

TerminalMode terminal_mode() { return current_mode; }

bool terminal_set_mode(TerminalMode mode) {
  const int fd = the_terminal();
  if (fd < 0) return false;
  if (mode == current_mode) return true;
  if (mode == TerminalMode::kAsFound) {
    restore_found();
    changed_fd = -1;
    current_mode = mode;
    return true;
  }
  if (!take_settings(fd)) return false;
  install_handlers();
  changed_fd = fd;  // before the change, so a signal in between still restores
  // TCSANOW rather than TCSAFLUSH: keys typed ahead must not be lost.
  if (tcsetattr(fd, TCSANOW, &key_settings) < 0 || !in_effect(fd, key_settings)) {
    restore_found();  // never a half-set terminal
    changed_fd = -1;
    return false;
  }
  current_mode = mode;
  return true;
}

EditingKeys terminal_editing_keys() {
  EditingKeys keys;
  const int fd = the_terminal();
  if (fd < 0 || (!taken && !take_settings(fd))) return keys;
  const termios& found = found_settings;
  const auto key = [](cc_t c) { return c == _POSIX_VDISABLE ? -1 : static_cast<int>(c); };
  // Without IEXTEN the terminal takes none of its extended keys.
  const bool extensions = (found.c_lflag & IEXTEN) != 0;
  const auto extended = [extensions, key](cc_t c) { return extensions ? key(c) : -1; };
  keys.erase = key(found.c_cc[VERASE]);
  keys.kill = key(found.c_cc[VKILL]);
  keys.word_erase = extended(found.c_cc[VWERASE]);
  keys.literal_next = extended(found.c_cc[VLNEXT]);
  keys.reprint = extended(found.c_cc[VREPRINT]);
  keys.end_of_file = key(found.c_cc[VEOF]);
  keys.end_of_line = key(found.c_cc[VEOL]);
  keys.end_of_line2 = extended(found.c_cc[VEOL2]);
  const auto flag = [](tcflag_t flags, tcflag_t bit) { return (flags & bit) != 0; };
  keys.utf8 = flag(found.c_iflag, IUTF8);
  keys.cr_to_nl = flag(found.c_iflag, ICRNL);
  keys.nl_to_cr = flag(found.c_iflag, INLCR);
  keys.ignore_cr = flag(found.c_iflag, IGNCR);
  keys.echo = flag(found.c_lflag, ECHO);
  keys.echo_erase = flag(found.c_lflag, ECHOE);
  keys.echo_kill = flag(found.c_lflag, ECHOK);
  keys.echo_kill_erase = flag(found.c_lflag, ECHOKE);
  keys.echo_control = flag(found.c_lflag, ECHOCTL);
  keys.echo_newline = flag(found.c_lflag, ECHONL);
  return keys;
}

int terminal_read_error() { return read_error; }

long terminal_fill(int timeout_ms) {
  const int fd = the_terminal();
  if (fd < 0 || ended) return -1;
  if (timeout_ms != kWaitForever) {
    const int ready = wait_readable(fd, timeout_ms);
    if (ready == 0) return 0;
    if (ready < 0) {
      read_error = errno;
      ended = true;
      return -1;
    }
  }
  if (head > 0) {  // room at the end
    memmove(queue, queue + head, tail - head);
    tail -= head;
    head = 0;
  }
  if (tail == kQueueSize) return 0;
  ssize_t n;
  for (;;) {
    n = read(fd, queue + tail, kQueueSize - tail);
    if (n >= 0) break;
    if (errno == EINTR) continue;
    // Left non-blocking by an earlier program: wait, as a blocking read would.
    if (errno != EAGAIN && errno != EWOULDBLOCK) break;
    if (timeout_ms != kWaitForever) return 0;
    if (wait_readable(fd, kWaitForever) < 0) break;
  }
  if (n <= 0) {
    // In key mode nothing reads as the end but a hang-up; in the mode found,
    // an empty read may be a Ctrl-D that the terminal's own editing took.
    if (n < 0) read_error = errno;
    ended = n < 0 || current_mode == TerminalMode::kKeys;
    return -1;
  }
  tail += static_cast<size_t>(n);
  drop_late_replies(tail - static_cast<size_t>(n));
  return n;
}

std::string_view terminal_queued() { return std::string_view(queue + head, tail - head); }

void terminal_take(size_t count) {
  head += count;
  if (head >= tail) head = tail = 0;
}

void terminal_remove(size_t offset, size_t count) {
  if (head + offset < tail) erase_queued(head + offset, std::min(count, tail - head - offset));
}

void terminal_discard() {
  head = tail = 0;
  const int fd = the_terminal();
  if (fd >= 0 && in_foreground(fd)) tcflush(fd, TCIFLUSH);
}

size_t terminal_next_key() {
  for (bool gap_passed = false;;) {
    const std::string_view queued = terminal_queued();
    if (const size_t length = key_length(queued.data(), queued.size(), gap_passed)) return length;
    // Without end for a first byte, then for the gap that ends a key cut short.
    const long got = terminal_fill(queued.empty() ? kWaitForever : kKeyGapMs);
    if (got < 0 && queued.empty()) return 0;
    gap_passed = got <= 0;
  }
}

size_t terminal_read_key(bool echo) {
  for (;;) {
    const size_t length = terminal_next_key();
    if (length == 0 || current_mode != TerminalMode::kKeys) return length;
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

void terminal_owe_reply(ReplyShape shape) {
  const long long until = monotonic_ms() + kReplyOwedForMs;
  for (size_t i = 0; i < owed_count; ++i)
    if (owed[i].shape == shape) {
      owed[i].until_ms = until;
      return;
    }
  if (owed_count < kMostOwed) owed[owed_count++] = {shape, until};
}

long long monotonic_ms() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

void terminal_echo(std::string_view bytes) {
  const int fd = isatty(STDOUT_FILENO) ? STDOUT_FILENO : echo_fd();
  while (fd >= 0 && !bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}
