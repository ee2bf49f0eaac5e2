// What the menus need from the keyboard: keys, lines of marks, the pause. The
// platform's half sits behind internal.h; nothing else in the program knows
// which platform it runs on.
#pragma once

#include <string_view>

// Takes the console before anything is shown. Standard output and error,
// where they are a terminal, wait while it is stopped (Ctrl-S) rather than
// fail, whatever another program left of the description they share. On a
// terminal, key mode is set now (in the foreground: a program started in the
// background waits, stopped, until it is brought to the front), so that
// every key typed from here on is the program's to edit, once.
void open_console();

// Each read is told the prompt that the row shows before it, to show it again
// when the program is continued after a stop (Ctrl-Z, then fg).

// Reads one key without waiting for Enter and echoes it. Returns the key's
// byte, or EOF when input has ended. A key that a terminal sends as several
// bytes (an arrow, a function key, a non-ASCII character) is read whole and
// returns a byte that no menu choice uses.
int read_key(const char* prompt);

// Converts the next mark from line input as scanf("%d") does: 1 when a mark
// was stored, 0 when the text there does not begin a number (the text stays
// unread, so the next call fails too), EOF when input has ended.
int read_mark(int* mark, const char* prompt);

// Lines of marks taken so far: a change tells that read_mark began a new one,
// typed at the prompt it was given.
unsigned long lines_taken();

// The word where read_mark found no number, as it was typed (from the start
// of a number read from the same word), up to white space.
std::string_view unread_text();

// Throws away what is held of a line typed earlier and not yet converted.
void discard_input();

// After a mistake at the keyboard: on a console or terminal, throws away
// every key typed ahead and not yet read, so that the next key read is one
// pressed after the mistake was shown. A script is left as it is.
void discard_typed_ahead();

// Prompts "Press any key to continue . . . ", waits for one key, ends the line.
void wait_for_key();

// Whether standard error shows on the screen that standard output writes to
// (the same terminal or console): a message there, at a prompt, begins on a
// row of its own.
bool errors_on_the_screen();

// Why reading standard input failed (an errno value), or 0 when it did not:
// input that could not be read ends as the end of input does, but is no
// success.
int input_error();
