#include "raw_mode_posix.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <initializer_list>

namespace {

termios saved_settings;
termios key_settings;
volatile sig_atomic_t raw_fd = -1;  // the terminal now in key mode, or -1

void restore_settings() {
  const int fd = raw_fd;
  if (fd >= 0) tcsetattr(fd, TCSANOW, &saved_settings);
}

void set_handler(int sig, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(sig, &action, nullptr);
}

void on_fatal_signal(int sig) {
  restore_settings();
  signal(sig, SIG_DFL);
  raise(sig);  // blocked until this handler returns, then ends the program as it would have
}

void on_stop(int sig) {
  const int saved_errno = errno;
  restore_settings();
  signal(sig, SIG_DFL);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, sig);
  sigprocmask(SIG_UNBLOCK, &stop, nullptr);
  raise(sig);  // the program stops here and goes on after SIGCONT
  // cppcheck-suppress unreachableCode ; raise returns once the program is continued
  set_handler(sig, on_stop);
  const int fd = raw_fd;
  if (fd >= 0) tcsetattr(fd, TCSANOW, &key_settings);
  errno = saved_errno;
}

void install_handlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  atexit(restore_settings);
  for (int sig : {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGTSTP}) {
    struct sigaction old {};
    sigaction(sig, nullptr, &old);
    if (old.sa_handler == SIG_IGN) continue;  // keep what the shell chose to ignore
    set_handler(sig, sig == SIGTSTP ? on_stop : on_fatal_signal);
  }
}

}  // namespace

bool raw_mode_on(int fd) {
  if (raw_fd >= 0 || tcgetattr(fd, &saved_settings) < 0) return false;
  install_handlers();
  key_settings = saved_settings;
  key_settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  key_settings.c_cc[VMIN] = 1;
  key_settings.c_cc[VTIME] = 0;
  raw_fd = fd;  // before the change, so a signal in between still restores
  // TCSANOW rather than TCSAFLUSH: keys typed ahead must not be lost.
  tcsetattr(fd, TCSANOW, &key_settings);
  return true;
}

void raw_mode_off() {
  restore_settings();
  raw_fd = -1;
}
