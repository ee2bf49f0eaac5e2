// What each platform supplies to keyboard.cpp: standard input's bytes, and
// keys from the console or terminal when standard input is one. Each
// platform defines open_console (keyboard.h) too.
#pragma once

// The prompt of the pause, worded as the Windows command processor words it.
constexpr char kPausePrompt[] = "Press any key to continue . . . ";

bool stdin_is_interactive();  // a console or terminal, not a script

// The prompt the row shows now, before the next read from the console.
void prompt_shown(const char* prompt);

// Why the last read of standard input failed (an errno value); 0 when it
// only ended.
int read_failure();

// Reads up to size bytes of standard input, after flushing standard output:
// the count, 0 at the end of input, or -1 on error. From a console or
// terminal, at most one line: what follows it is left for the next key.
long read_input(char* buffer, long size);

// One key press from the console or terminal, echoed where the console would
// echo it when asked. Returns its first byte, or EOF when input has ended.
int read_one_key(bool echo);

// The console's own pause: "Press any key to continue . . . ", a key, a line feed.
void pause_for_key();

// Throws away the keys the console or terminal holds that were not yet read.
void discard_keys();
