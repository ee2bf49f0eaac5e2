// What the terminal layer restores on every way out of the program, and
// resumes when the program is continued after a stop: at exit; on each
// signal whose default action ends the program (the signal then ends it as
// it would have); and while it is stopped (Ctrl-Z, SIGTTIN, SIGTTOU),
// resumed when it is continued, or at once when the stop did not happen (a
// job that is a session of its own, as under `tmux new-session` or
// `xterm -e`: the kernel drops a stop that no shell could undo).
//
// Nothing can catch SIGKILL and SIGSTOP, nor, with glibc, signals 32 and 33,
// which the C library keeps for itself: those end or stop the program with
// the terminal as it was. A signal the program was started ignoring, or that
// something else already handles, is left alone.
#pragma once

// Registers what to restore and what to resume; either may be null. Both run
// in signal handlers, so they may do only what is safe there. Called holding
// the terminal's lock.
void terminal_register_restore(void (*restore)(), void (*resume)());
