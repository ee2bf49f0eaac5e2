// What each platform supplies to keyboard.cpp: standard input's bytes, and
// keys from a console or terminal when standard input is one.
#pragma once

// The prompt of the pause, worded as the Windows command processor words it.
constexpr char kPausePrompt[] = "Press any key to continue . . . ";

bool stdin_is_console();

// Reads up to size bytes of standard input, after flushing standard output:
// the count, 0 at the end of input, or -1 on error.
long read_stdin(char* buffer, long size);

// One key press from the console, echoed when asked. Returns its first byte,
// or EOF when the console has gone.
int console_key(bool echo);

// The console's own pause: "Press any key to continue . . . ", a key, a line feed.
void console_pause();
