// What the terminal layer restores on every way out of the program, and
// resumes when the program is continued after a stop:
// - at exit;
// - on each signal whose default action ends the program: restored, and the
//   signal then ends the program as it would have. Where it does not after
//   all (its default ignores it on that system), the program goes on as it
//   was, resumed and handling it again;
// - while the program is stopped (Ctrl-Z, SIGTTIN, SIGTTOU): restored before
//   the stop, resumed when it is continued. A stop that the kernel will drop
//   changes nothing: the job is a session of its own (as under
//   `tmux new-session`, `xterm -e`), which no shell could continue.
// Each part's `resume` sets nothing where the program is continued in the
// background (`bg`): it does so when the program is brought back (`fg`).
//
// Nothing can catch SIGKILL and SIGSTOP; the C library's own signals (glibc's
// 32 and 33, FreeBSD's SIGTHR and SIGLIBRT) are its own; those end or stop
// the program with the terminal as it was. A signal the program was started
// ignoring, or that something else already handles, is left alone. Every
// handler keeps errno as it found it.
#pragma once

// Registers what to restore and what to resume; either may be null. Both run
// in signal handlers, so they may do only what is safe there. Called holding
// the terminal's lock.
void terminal_register_restore(void (*restore)(), void (*resume)());

// Tells `noted`, from a signal handler, each time the window's size changes
// (SIGWINCH), unless the program handles that signal itself.
void terminal_watch_resizes(void (*noted)());

// Whether a stop (SIGTSTP, SIGTTIN, SIGTTOU) would be dropped by the kernel,
// as far as the program can tell: its process group is orphaned, its parent
// being in another session, as a session leader's is. Safe in a handler.
bool terminal_stop_would_be_dropped();
