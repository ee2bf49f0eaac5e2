#include "terminal/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <initializer_list>
#include <string>

namespace {

constexpr int kNotLookedFor = -2;
int terminal_fd = kNotLookedFor;  // -1 when there is none

termios found_settings;
termios key_settings;
termios line_settings;
// What the signal handlers need: the terminal whose settings were changed
// (-1 while they are as found) and the mode in force.
volatile sig_atomic_t changed_fd = -1;
volatile sig_atomic_t mode_in_force = static_cast<int>(TerminalMode::kAsFound);
TerminalMode current_mode = TerminalMode::kAsFound;

std::string queue;  // bytes read, not yet taken, from `head` on
size_t head = 0;
bool ended = false;

int the_terminal() {
  if (terminal_fd != kNotLookedFor) return terminal_fd;
  terminal_fd =
      isatty(STDIN_FILENO) ? STDIN_FILENO : open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (terminal_fd >= 0 && tcgetattr(terminal_fd, &found_settings) < 0) {
    if (terminal_fd != STDIN_FILENO) close(terminal_fd);
    terminal_fd = -1;
  }
  key_settings = line_settings = found_settings;
  key_settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  key_settings.c_cc[VMIN] = 1;
  key_settings.c_cc[VTIME] = 0;
  line_settings.c_lflag |= ICANON | ECHO;
  return terminal_fd;
}

const termios& settings_for(TerminalMode mode) {
  if (mode == TerminalMode::kKeys) return key_settings;
  return mode == TerminalMode::kLines ? line_settings : found_settings;
}

void restore_found() {
  const int fd = changed_fd;
  if (fd >= 0) tcsetattr(fd, TCSANOW, &found_settings);
}

void set_handler(int sig, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(sig, &action, nullptr);
}

void on_fatal_signal(int sig) {
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
  raise(sig);  // the program stops here and goes on after SIGCONT
  // cppcheck-suppress unreachableCode ; raise returns once the program is continued
  set_handler(sig, on_stop);
  const int fd = changed_fd;
  if (fd >= 0) tcsetattr(fd, TCSANOW, &settings_for(static_cast<TerminalMode>(mode_in_force)));
  errno = saved_errno;
}

void install_handlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  atexit(restore_found);
  for (int sig : {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGTSTP}) {
    struct sigaction old {};
    sigaction(sig, nullptr, &old);
    if (old.sa_handler == SIG_IGN) continue;  // keep what the shell chose to ignore
    set_handler(sig, sig == SIGTSTP ? on_stop : on_fatal_signal);
  }
}

// tcsetattr succeeds when any part of a change was made: check the parts
// that reading depends on.
bool in_effect(int fd, const termios& wanted) {
  termios now{};
  constexpr tcflag_t kModes = ICANON | ECHO;
  return tcgetattr(fd, &now) == 0 && (now.c_lflag & kModes) == (wanted.c_lflag & kModes) &&
         ((wanted.c_lflag & ICANON) ||
          (now.c_cc[VMIN] == wanted.c_cc[VMIN] && now.c_cc[VTIME] == wanted.c_cc[VTIME]));
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
  install_handlers();
  const termios& wanted = settings_for(mode);
  mode_in_force = static_cast<int>(mode);
  changed_fd = fd;  // before the change, so a signal in between still restores
  // TCSANOW rather than TCSAFLUSH: keys typed ahead must not be lost.
  if (tcsetattr(fd, TCSANOW, &wanted) < 0 || !in_effect(fd, wanted)) {
    terminal_set_mode(TerminalMode::kAsFound);  // never a half-set terminal
    return false;
  }
  current_mode = mode;
  return true;
}

long terminal_fill(int timeout_ms) {
  const int fd = the_terminal();
  if (fd < 0 || ended) return -1;
  if (timeout_ms != kWaitForever) {
    pollfd ready{fd, POLLIN, 0};
    int n;
    do n = poll(&ready, 1, timeout_ms);
    while (n < 0 && errno == EINTR);
    if (n == 0) return 0;
    if (n < 0) {
      ended = true;
      return -1;
    }
  }
  char bytes[4096];
  ssize_t n;
  do n = read(fd, bytes, sizeof bytes);
  while (n < 0 && errno == EINTR);
  if (n <= 0) {
    // In key mode nothing reads as the end but a hang-up.
    ended = n < 0 || current_mode != TerminalMode::kLines;
    return -1;
  }
  if (head > 0) {
    queue.erase(0, head);
    head = 0;
  }
  queue.append(bytes, static_cast<size_t>(n));
  return n;
}

std::string_view terminal_queued() { return std::string_view(queue).substr(head); }

void terminal_take(size_t count) {
  head += count;
  if (head >= queue.size()) {
    queue.clear();
    head = 0;
  }
}

void terminal_remove(size_t offset, size_t count) {
  if (head + offset < queue.size()) queue.erase(head + offset, count);
}

void terminal_write(const char* bytes, size_t count) {
  const int fd = the_terminal();
  while (fd >= 0 && count > 0) {
    const ssize_t n = write(fd, bytes, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes += n;
    count -= static_cast<size_t>(n);
  }
}
