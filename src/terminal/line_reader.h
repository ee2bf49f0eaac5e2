// Reading at a prompt on a terminal: a line of marks, edited by the program
// in key mode as the terminal's canonical mode would edit it, so that keys
// typed ahead are edited exactly like keys typed late; and what the row
// shows, shown again when the program resumes after a stop. The program's
// alone: the console library reads no lines.
#pragma once

#include <cstddef>

// The prompt the row shows before the next read. Back from a stop, the
// screen shows the shell's words last: the prompt is shown again on a row of
// its own, the line typed so far too.
void terminal_set_prompt(const char* prompt);

// One line of marks, its ending included, at most `size` bytes of it: the
// count; 0 at the end of input (Ctrl-D at the start of a line). What is
// queued after the line stays for the next read. Where key mode is not in
// force, the terminal's own editing serves.
long terminal_read_line(char* buffer, size_t size);
