// The handlers that put the terminal back on every way out: see signals.h.
#include "terminal/signals.h"

#include <pthread.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

namespace {

struct WayOut {
  void (*leave)();
  void (*come_back)();
};
constexpr int kMostWaysOut = 4;
WayOut ways_out[kMostWaysOut];
volatile sig_atomic_t ways_out_count = 0;  // counted once the entry is written

void leave_all() {
  for (int i = 0; i < ways_out_count; ++i)
    if (ways_out[i].leave) ways_out[i].leave();
}

void come_back_all() {
  for (int i = 0; i < ways_out_count; ++i)
    if (ways_out[i].come_back) ways_out[i].come_back();
}

// Set when SIGCONT has brought the program back from a stop.
volatile sig_atomic_t continued = 0;

void set_handler(int sig, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(sig, &action, nullptr);
}

void on_ending_signal(int sig) {
  leave_all();
  signal(sig, SIG_DFL);
  raise(sig);  // held until this handler returns, then ends the program as it would have
}

void on_stop(int sig) {
  const int saved_errno = errno;
  leave_all();
  signal(sig, SIG_DFL);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, sig);
  continued = 0;
  pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);
  raise(sig);  // the program stops here, until SIGCONT
  // cppcheck-suppress unreachableCode ; raise returns once the program goes on
  set_handler(sig, on_stop);
  if (!continued) come_back_all();  // the kernel dropped the stop
  errno = saved_errno;
}

// Whoever stopped the program (Ctrl-Z, kill -STOP) may have changed the
// terminal meanwhile, as an interactive shell puts back its own settings.
void on_continue(int /*sig*/) {
  const int saved_errno = errno;
  come_back_all();
  continued = 1;
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
  atexit(leave_all);
  for (const int sig : kEnding) handle_unless_taken(sig, on_ending_signal);
#ifdef SIGRTMIN
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) handle_unless_taken(sig, on_ending_signal);
#endif
  for (const int sig : kStopping) handle_unless_taken(sig, on_stop);
  handle_unless_taken(SIGCONT, on_continue);
}

}  // namespace

void terminal_on_every_way_out(void (*leave)(), void (*come_back)()) {
  if (ways_out_count == kMostWaysOut) return;
  ways_out[ways_out_count] = {leave, come_back};
  ways_out_count = ways_out_count + 1;
  if (ways_out_count == 1) install_handlers();
}
