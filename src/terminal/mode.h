// Which terminal the program reads, the settings it was found with, and key
// mode: the one place that changes the terminal's settings.
//
// The terminal is standard input when that is one, else the controlling
// terminal. The settings found are taken as key mode is first held, once the
// program has the terminal in the foreground (started in the background, it
// waits, stopped, until brought to the front, as a job that reads would), so
// they are the user's and not those of a shell's line editor. They are put
// back when the last hold ends, and on every way out (terminal/signals.h).
#pragma once

#include "terminal/line_editor.h"

// The terminal's descriptor, or -1 when there is none. Looked for again when
// the descriptor no longer names the terminal it did (a caller closed it and
// opened a file there), so that no file is ever read as typed keys.
int terminal_fd();
// Opened for writing only (`0>/dev/tty`): it would be waited on for ever,
// and then refuse the read.
bool terminal_write_only();

// Key mode: bytes as they come, unmapped, no echo, and none of the driver's
// extended keys (IEXTEN: the BSDs act on Ctrl-V and Ctrl-O even outside
// canonical mode); Ctrl-C and Ctrl-Z still work. It is in force while anyone
// holds it. False when there is no terminal, or it did not take the whole
// change: the settings found are then in force, and nothing is held.
bool terminal_hold_keys();
void terminal_release_keys();
bool terminal_in_key_mode();

// Whether the program's job has the terminal in the foreground (or it is no
// job's: not the controlling terminal).
bool terminal_in_foreground();

// Throws away what the terminal holds, not yet read, unless it is another
// job's now.
void terminal_flush_input();

// The editing keys and flags of the settings found, which typed lines follow.
EditingKeys terminal_editing_keys();

// For the signal handlers, and safe in them. Put back the settings found,
// unless the terminal is another job's now; set key mode again where it is
// held.
void terminal_put_back();
void terminal_set_again();
