// Writing to a terminal: every byte, waiting while the terminal takes no
// more (its output stopped with Ctrl-S, say) instead of taking that for an
// error, whatever another program made of the description it shares.
#pragma once

#include <string_view>

#include "terminal/wait.h"

// Writes all of the bytes, through signals, waiting for the descriptor to
// take more at most wait_ms at a time (kWaitForever: without end). False on
// an error (a hang-up, a closed pipe) or when the time ran out. Safe in a
// signal handler.
bool write_all(int fd, std::string_view bytes, int wait_ms = kWaitForever);

// Standard output and error, where each is a terminal, written from now on
// through a description of the program's own that blocks: a write waits
// while the terminal is stopped, whatever O_NONBLOCK another program left on
// the description they share. Where the terminal cannot be opened by its
// name, they stay as they are.
void terminal_own_output();
