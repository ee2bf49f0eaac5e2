// The handlers that restore the terminal on every way out: see signals.h.
#include "terminal/signals.h"

#include <pthread.h>

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

void on_ending_signal(int sig) {
  restore_all();
  signal(sig, SIG_DFL);
  raise(sig);  // held until this handler returns, then ends the program as it would have
}

void on_stop(int sig) {
  const int saved_errno = errno;
  restore_all();
  signal(sig, SIG_DFL);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, sig);
  continued_after_stop = 0;
  pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);
  raise(sig);  // the program stops here, until SIGCONT
  // cppcheck-suppress unreachableCode ; raise returns once the program goes on
  set_handler(sig, on_stop);
  if (!continued_after_stop) resume_all();  // the kernel dropped the stop
  errno = saved_errno;
}

// Whoever stopped the program (Ctrl-Z, kill -STOP) may have changed the
// terminal meanwhile, as an interactive shell puts back its own settings.
void on_continue(int /*sig*/) {
  const int saved_errno = errno;
  resume_all();
  continued_after_stop = 1;
  errno = saved_errno;
}

void handle_unless_taken(int sig, void (*handler)(int)) {
  struct sigaction old {};
  if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_DFL &&
      !(old.sa_flags & SA_SIGINFO))
    set_handler(sig, handler);
}

// The signals whose default action ends the program, where the system has
// them; the real-time signals are added to them. Those ignored by default
// (SIGCHLD, SIGURG, SIGWINCH, SIGINFO, and SIGIO outside Linux) are not.
constexpr int kEnding[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT,   SIGBUS,  SIGFPE,  SIGUSR1, SIGSEGV,
    SIGUSR2,   SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGVTALRM, SIGPROF, SIGXFSZ, SIGSYS,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGEMT
    SIGEMT,
#endif
#ifdef __linux__
    SIGIO,  // on macOS and the BSDs it is ignored by default
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
