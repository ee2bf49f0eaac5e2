// Which terminal, the settings found, key mode: see mode.h.
#include "terminal/mode.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>

#include "terminal/signals.h"

namespace {

constexpr int kNotLookedFor = -2;
int fd_ = kNotLookedFor;   // -1 when there is none
dev_t device_ = 0;         // the terminal it names
bool write_only_ = false;  // opened for writing only (`0>/dev/tty`): no keys to read

termios found_;
termios keys_;
bool taken_ = false;  // found_ holds the settings found
int users_ = 0;       // of key mode
// The terminal in key mode, -1 while the settings are as found: all that the
// signal handlers read.
volatile sig_atomic_t changed_fd_ = -1;

bool same_terminal(int fd, dev_t device) {
  struct stat now {};
  return fstat(fd, &now) == 0 && S_ISCHR(now.st_mode) && now.st_rdev == device;
}

void look_for_terminal() {
  fd_ = isatty(STDIN_FILENO) ? STDIN_FILENO : open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  struct stat found {};
  termios probe{};
  if (fd_ >= 0 && (tcgetattr(fd_, &probe) < 0 || fstat(fd_, &found) < 0)) {
    if (fd_ != STDIN_FILENO) close(fd_);
    fd_ = -1;
  }
  device_ = found.st_rdev;
  write_only_ = fd_ >= 0 && (fcntl(fd_, F_GETFL) & O_ACCMODE) == O_WRONLY;
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
bool wait_for_foreground(int fd) {
  constexpr int kMostStops = 100;
  for (int stops = 0; !in_foreground(fd); ++stops) {
    struct sigaction action {};
    sigset_t held;
    sigaction(SIGTTIN, nullptr, &action);
    pthread_sigmask(SIG_BLOCK, nullptr, &held);
    if (stops == kMostStops || action.sa_handler == SIG_IGN || sigismember(&held, SIGTTIN))
      return false;
    kill(0, SIGTTIN);
  }
  return true;
}

// tcsetattr succeeds when any part of a change was made: these are the parts
// that reading depends on.
bool in_force(const termios& now, const termios& wanted) {
  constexpr tcflag_t kModes = ICANON | ECHO | IEXTEN, kMapping = ICRNL | INLCR | IGNCR;
  return (now.c_lflag & kModes) == (wanted.c_lflag & kModes) &&
         (now.c_iflag & kMapping) == (wanted.c_iflag & kMapping) &&
         now.c_cc[VMIN] == wanted.c_cc[VMIN] && now.c_cc[VTIME] == wanted.c_cc[VTIME];
}

// Sets `settings` on the terminal in the foreground. From the background, a
// restore may only take back the program's own key mode, never the settings
// of the job in front now (a shell's): the program may be a job its shell has
// left behind. SIGTTOU is held meanwhile (all signals, with `hold_all`), so
// that the change cannot stop it.
void set_settings(int fd, const termios& settings, bool restore, bool hold_all = false) {
  sigset_t held, before;
  sigemptyset(&held);
  if (hold_all)
    sigfillset(&held);
  else
    sigaddset(&held, SIGTTOU);
  pthread_sigmask(SIG_BLOCK, &held, &before);
  termios now{};
  if (in_foreground(fd) || (restore && tcgetattr(fd, &now) == 0 && in_force(now, keys_)))
    tcsetattr(fd, TCSANOW, &settings);
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

// The settings to restore, taken in the foreground: in the background they
// may be a shell's own (bash's line editor holds the terminal raw).
bool take_settings(int fd) {
  if (!wait_for_foreground(fd) || tcgetattr(fd, &found_) < 0) return false;
  taken_ = true;
  keys_ = found_;
  // The program maps CR and NL itself, so that Ctrl-V can quote them.
  keys_.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR);
  keys_.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
  keys_.c_cc[VMIN] = 1;
  keys_.c_cc[VTIME] = 0;
  return true;
}

void forget_changes() {
  changed_fd_ = -1;
  users_ = 0;
}

// Restores the settings found, having forgotten that they were changed, so
// that a stop and continue in between cannot set key mode again after it.
// Signals wait meanwhile: one that came between the two would find nothing
// to restore, with the settings not yet restored.
void restore_and_forget() {
  const int fd = changed_fd_;
  forget_changes();
  if (fd >= 0) set_settings(fd, found_, true, true);
}

// The signal handlers' part (terminal/signals.h), safe in them.
void restore_settings() {
  const int fd = changed_fd_;
  if (fd >= 0) set_settings(fd, found_, true);
}

void resume_key_mode() {
  const int fd = changed_fd_;
  if (fd >= 0) set_settings(fd, keys_, false);
}

}  // namespace

// While key mode is in force the terminal is the one it was set on; between
// times, a caller may have closed its descriptor.
int terminal_find() {
  if (fd_ >= 0 && users_ == 0 && !same_terminal(fd_, device_)) {
    // Not ours to close: the number is someone else's now.
    const dev_t before = device_;
    const bool changed = changed_fd_ >= 0;
    look_for_terminal();
    if (changed && fd_ >= 0 && device_ == before)
      changed_fd_ = fd_;  // the same terminal, reached another way
    else if (changed)
      forget_changes();  // nothing left to restore the settings through
  }
  if (fd_ == kNotLookedFor) look_for_terminal();
  return fd_;
}

bool terminal_enter_key_mode() {
  const int fd = terminal_find();
  if (fd < 0) return false;
  if (users_ > 0) {
    ++users_;
    return true;
  }
  if (!take_settings(fd)) return false;
  static bool registered = false;
  if (!registered) {
    registered = true;
    terminal_register_restore(restore_settings, resume_key_mode);
    // A child forked while its parent is in key mode leaves the terminal to
    // the parent: it uses nothing, and restores nothing at exit.
    pthread_atfork(nullptr, nullptr, forget_changes);
  }
  changed_fd_ = fd;  // before the change, so that a signal in between still restores
  // TCSANOW rather than TCSAFLUSH: keys typed ahead must not be lost.
  if (tcsetattr(fd, TCSANOW, &keys_) < 0) {
    restore_and_forget();
    return false;
  }
  termios now{};
  if (tcgetattr(fd, &now) < 0 || !in_force(now, keys_)) {
    restore_and_forget();  // never a half-set terminal
    return false;
  }
  users_ = 1;
  return true;
}

void terminal_leave_key_mode() {
  if (users_ > 1)
    --users_;
  else if (users_ == 1)
    restore_and_forget();
}

bool terminal_in_key_mode() { return users_ > 0; }

bool terminal_write_only() { return write_only_; }

bool terminal_in_foreground() {
  const int fd = terminal_find();
  return fd < 0 || in_foreground(fd);
}

void terminal_flush_input() {
  const int fd = terminal_find();
  if (fd >= 0 && in_foreground(fd)) tcflush(fd, TCIFLUSH);
}

EditingKeys terminal_editing_keys() {
  EditingKeys keys;
  if (!taken_) return keys;
  const termios& found = found_;
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
#ifdef IUTF8
  keys.utf8 = flag(found.c_iflag, IUTF8);
#else
  keys.utf8 = false;  // no such flag: an erase takes one byte, as there
#endif
  keys.cr_to_nl = flag(found.c_iflag, ICRNL);
  keys.nl_to_cr = flag(found.c_iflag, INLCR);
  keys.ignore_cr = flag(found.c_iflag, IGNCR);
  keys.echo = flag(found.c_lflag, ECHO);
  keys.echo_erase = flag(found.c_lflag, ECHOE);
  keys.echo_kill = flag(found.c_lflag, ECHOK);
  keys.echo_kill_erase = flag(found.c_lflag, ECHOKE);
  keys.echo_control = flag(found.c_lflag, ECHOCTL);
  keys.echo_newline = flag(found.c_lflag, ECHONL);
  keys.echo_print = flag(found.c_lflag, ECHOPRT);
  return keys;
}
