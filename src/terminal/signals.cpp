// The handlers that restore the terminal on every way out: see signals.h.
#include "terminal/signals.h"

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace {

struct Hooks {
  void (*restore)();
  void (*resume)();
};
constexpr int kMostHooks = 4;
Hooks hooks[kMostHooks];
volatile sig_atomic_t hook_count = 0;  // counted once the entry is written
void (*resize_noted)() = nullptr;

void restore_all() {
  for (int i = 0; i < hook_count; ++i)
    if (hooks[i].restore) hooks[i].restore();
}

void resume_all() {
  for (int i = 0; i < hook_count; ++i)
    if (hooks[i].resume) hooks[i].resume();
}

// Set by SIGCONT: the stop that a stop's handler raised did happen.
volatile sig_atomic_t continued_after_stop = 0;

void set_handler(int sig, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(sig, &action, nullptr);
}

// The signal's default action, here and now: returns only where that does
// not end or stop the program (its default ignores it, or the kernel dropped
// the stop), or once the program is continued.
void act_by_default(int sig) {
  signal(sig, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, sig);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  raise(sig);
}

void on_ending_signal(int sig) {
  const int saved_errno = errno;
  restore_all();
  act_by_default(sig);
  // cppcheck-suppress unreachableCode ; raise returns where the default ignores the signal
  set_handler(sig, on_ending_signal);
  resume_all();
  errno = saved_errno;
}

void on_stop(int sig) {
  const int saved_errno = errno;
  if (!terminal_stop_would_be_dropped()) {
    restore_all();
    continued_after_stop = 0;
    act_by_default(sig);  // the program stops here, until SIGCONT
    // cppcheck-suppress unreachableCode ; raise returns once the program goes on
    set_handler(sig, on_stop);
    if (!continued_after_stop) resume_all();  // the kernel dropped the stop after all
  }
  errno = saved_errno;
}

// Whoever stopped the program (Ctrl-Z, kill -STOP) may have changed the
// terminal meanwhile, as an interactive shell puts back its own settings.
void on_continue(int /*sig*/) {
  const int saved_errno = errno;
  continued_after_stop = 1;
  resume_all();
  errno = saved_errno;
}

void on_resize(int /*sig*/) {
  const int saved_errno = errno;
  if (resize_noted) resize_noted();
  errno = saved_errno;
}

bool handle_unless_taken(int sig, void (*handler)(int)) {
  struct sigaction old {};
  if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL ||
      (old.sa_flags & SA_SIGINFO))
    return false;
  set_handler(sig, handler);
  return true;
}

// The signals whose default action ends the program, by what each system
// says of its own; the real-time signals are added to them. Those whose
// default ignores them are not: SIGCHLD, SIGURG, SIGWINCH and SIGCONT
// everywhere; SIGINFO on the BSDs, macOS and illumos; SIGIO on the BSDs and
// macOS; SIGPWR on NetBSD and illumos; illumos's SIGWAITING, SIGLWP,
// SIGFREEZE, SIGTHAW, SIGCANCEL, SIGXRES and SIGJVM1/2. FreeBSD's SIGTHR and
// SIGLIBRT end a program by default but are its thread and real-time
// libraries' own, as glibc's 32 and 33 are.
constexpr int kEnding[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT,   SIGBUS,  SIGFPE,  SIGUSR1, SIGSEGV,
    SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGVTALRM, SIGPROF, SIGXFSZ, SIGSYS,
#ifdef SIGEMT
    SIGEMT,  // the BSDs, macOS, illumos
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,  // Linux
#endif
#ifdef SIGLOST
    SIGLOST,  // illumos
#endif
#if defined(__linux__) || defined(__sun)
    SIGIO,  // SIGPOLL on illumos
#endif
#if defined(__linux__) && defined(SIGPWR)
    SIGPWR,
#endif
};
constexpr int kStopping[] = {SIGTSTP, SIGTTIN, SIGTTOU};

void install_handlers() {
  atexit(restore_all);
  for (const int sig : kEnding) handle_unless_taken(sig, on_ending_signal);
#ifdef SIGRTMIN
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) handle_unless_taken(sig, on_ending_signal);
#endif
  for (const int sig : kStopping) handle_unless_taken(sig, on_stop);
  handle_unless_taken(SIGCONT, on_continue);
}

}  // namespace

void terminal_register_restore(void (*restore)(), void (*resume)()) {
  if (hook_count == kMostHooks) return;
  hooks[hook_count] = {restore, resume};
  hook_count = hook_count + 1;
  if (hook_count == 1) install_handlers();
}

void terminal_watch_resizes(void (*noted)()) {
  resize_noted = noted;
  static bool installed = false;
  if (!installed) installed = handle_unless_taken(SIGWINCH, on_resize);
}

bool terminal_stop_would_be_dropped() { return getsid(getppid()) != getsid(0); }
