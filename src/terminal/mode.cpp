// Which terminal, the settings found, key mode: see mode.h.
#include "terminal/mode.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "terminal/signals.h"

namespace {

constexpr int kNotLookedFor = -2;
int found_fd_ = kNotLookedFor;  // standard input, or the controlling terminal; -1 when none
int own_fd_ = -1;               // the program's own description of it, when it could be opened
bool opened_ = false;           // found_fd_ was opened here (the controlling terminal)
dev_t device_ = 0;              // the terminal they name
bool write_only_ = false;       // opened for writing only (`0>/dev/tty`): no keys to read

// The settings found, and key mode made from them. The handlers take them
// again on resuming, with the other signals held; the rest reads them with
// every signal held.
termios found_;
termios keys_;
volatile sig_atomic_t taken_ = 0;  // times the settings were taken
int users_ = 0;                    // of key mode
// The terminal in key mode, -1 while the settings are as found: all that the
// signal handlers read.
volatile sig_atomic_t changed_fd_ = -1;

// Every catchable signal held for as long as it lives, so that no handler
// runs on this thread while it reads or changes what they change.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &before_);
  }
  ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t before_;
};

int io_fd() { return own_fd_ >= 0 ? own_fd_ : found_fd_; }

bool same_terminal(int fd, dev_t device) {
  struct stat now {};
  return fstat(fd, &now) == 0 && S_ISCHR(now.st_mode) && now.st_rdev == device;
}

void look_for_terminal() {
  if (own_fd_ >= 0 && own_fd_ != found_fd_) close(own_fd_);
  if (opened_) close(found_fd_);
  own_fd_ = -1;
  opened_ = false;
  if (isatty(STDIN_FILENO)) {
    found_fd_ = STDIN_FILENO;
  } else {
    found_fd_ = open("/dev/tty", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    opened_ = found_fd_ >= 0;
  }
  struct stat found {};
  termios probe{};
  if (found_fd_ >= 0 && (tcgetattr(found_fd_, &probe) < 0 || fstat(found_fd_, &found) < 0)) {
    if (opened_) close(found_fd_);
    found_fd_ = -1;
    opened_ = false;
  }
  device_ = found.st_rdev;
  write_only_ = found_fd_ >= 0 && (fcntl(found_fd_, F_GETFL) & O_ACCMODE) == O_WRONLY;
  if (opened_) {
    own_fd_ = found_fd_;  // opened here, as its own description is opened
    return;
  }
  char name[256] = "";
  if (found_fd_ < 0 || ttyname_r(found_fd_, name, sizeof name) != 0) return;
  own_fd_ = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (own_fd_ >= 0 && !same_terminal(own_fd_, device_)) {  // the name is another's here
    close(own_fd_);
    own_fd_ = -1;
  }
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
    if (stops == kMostStops || action.sa_handler == SIG_IGN || sigismember(&held, SIGTTIN) ||
        terminal_stop_would_be_dropped())
      return false;
    kill(0, SIGTTIN);
  }
  return true;
}

// The whole settings, control characters included: a shell's own mode may
// match key mode in every flag that reading depends on.
bool same_settings(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
         cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
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
// restore may only take back the program's own key mode, exactly as it set
// it, never the settings of the job in front now (a shell's): the program
// may be a job its shell has left behind. SIGTTOU is held meanwhile (all
// signals, with `hold_all`), so that the change cannot stop it.
void set_settings(int fd, const termios& settings, bool restore, bool hold_all = false) {
  sigset_t held, before;
  sigemptyset(&held);
  if (hold_all)
    sigfillset(&held);
  else
    sigaddset(&held, SIGTTOU);
  pthread_sigmask(SIG_BLOCK, &held, &before);
  termios now{};
  if (in_foreground(fd) || (restore && tcgetattr(fd, &now) == 0 && same_settings(now, keys_)))
    tcsetattr(fd, TCSANOW, &settings);
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

// Key mode made from the settings found. The program maps CR and NL itself,
// so that Ctrl-V can quote them.
void make_key_mode() {
  keys_ = found_;
  keys_.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR);
  keys_.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
  keys_.c_cc[VMIN] = 1;
  keys_.c_cc[VTIME] = 0;
}

// The settings to restore, taken in the foreground: in the background they
// may be a shell's own (bash's line editor holds the terminal raw).
bool take_settings(int fd) {
  if (tcgetattr(fd, &found_) < 0) return false;
  make_key_mode();
  taken_ = taken_ + 1;
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

// Back in the foreground: the settings the terminal has now are the user's,
// whatever they set while the program was stopped (`stty erase ^H`), unless
// they are still key mode (a stop that could not be caught, under a shell
// that leaves the terminal alone). Continued in the background, nothing is
// set until the program is brought to the front.
void resume_key_mode() {
  const int fd = changed_fd_;
  if (fd < 0 || !in_foreground(fd)) return;
  termios now{};
  if (tcgetattr(fd, &now) == 0 && !same_settings(now, keys_)) {
    found_ = now;
    make_key_mode();
    taken_ = taken_ + 1;
  }
  set_settings(fd, keys_, false);
}

}  // namespace

int terminal_find() {
  // Between uses of key mode a caller may have closed standard input and
  // opened something else there: the terminal is looked for again. In key
  // mode it stays the one key mode was set on, reached through the program's
  // own description, so that its settings are restored whatever became of
  // standard input.
  if (found_fd_ == STDIN_FILENO && users_ == 0 && !same_terminal(STDIN_FILENO, device_))
    look_for_terminal();
  if (found_fd_ == kNotLookedFor) look_for_terminal();
  return io_fd();
}

bool terminal_enter_key_mode() {
  const int fd = terminal_find();
  if (fd < 0) return false;
  if (users_ > 0) {
    ++users_;
    return true;
  }
  if (!wait_for_foreground(fd)) return false;
  SignalsHeld held;  // the handlers take the settings again, and set key mode
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
  if (users_ > 1) {
    --users_;
  } else if (users_ == 1) {
    SignalsHeld held;
    restore_and_forget();
  }
}

bool terminal_in_key_mode() { return users_ > 0; }

bool terminal_write_only() { return write_only_; }

bool terminal_in_foreground() {
  const int fd = changed_fd_ >= 0 ? static_cast<int>(changed_fd_) : io_fd();
  return fd < 0 || in_foreground(fd);
}

void terminal_flush_input() {
  const int fd = terminal_find();
  if (fd >= 0 && in_foreground(fd)) tcflush(fd, TCIFLUSH);
}

unsigned terminal_settings_taken() { return static_cast<unsigned>(taken_); }

int terminal_writer(int fd) {
  const int own = terminal_find() >= 0 ? own_fd_ : -1;
  return own >= 0 && same_terminal(fd, device_) ? own : fd;
}

EditingKeys terminal_editing_keys() {
  EditingKeys keys;
  if (!taken_) return keys;
  termios found{};
  {
    SignalsHeld held;
    found = found_;
  }
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
