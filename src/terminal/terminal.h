// The terminal, on POSIX systems: its modes, and the one queue of the bytes
// read from it. The keyboard and the console functions both build on this.
//
// The terminal is standard input when that is one, else the controlling
// terminal. Its bytes are read only into the queue, and each reader takes
// what is its own from the front (a key, a line of marks) or where it found
// it (a reply to a query), so every byte typed is read once and in order,
// whichever read comes next.
//
// Only this file's implementation changes terminal settings. The settings
// found at the first change come back at exit and on SIGINT, SIGQUIT, SIGTERM
// and SIGHUP (the signal then ends the program as it would have); on Ctrl-Z
// they come back while the program is stopped, and the mode in force is set
// again when it goes on. A signal the program was started ignoring stays
// ignored.
#pragma once

#include <cstddef>
#include <string_view>

enum class TerminalMode {
  kAsFound,  // the settings found at start-up
  kKeys,     // key mode: bytes as they come, no echo; Ctrl-C and Ctrl-Z still work
  kLines,    // line mode: canonical input with the terminal's echo and line editing
};

TerminalMode terminal_mode();
// False when there is no terminal or it did not take the whole change; the
// settings found at start-up are then back in force.
bool terminal_set_mode(TerminalMode mode);

constexpr int kWaitForever = -1;

// Reads what the terminal has sent onto the end of the queue, waiting at most
// timeout_ms for it. Returns the count added; 0 when the time ran out; -1 at
// the end of input (in line mode: Ctrl-D at the start of a line, for this
// read only) or on an error, which holds from then on.
long terminal_fill(int timeout_ms);
std::string_view terminal_queued();                 // read, not yet taken
void terminal_take(size_t count);                   // from the front
void terminal_remove(size_t offset, size_t count);  // bytes that were no typed input

void terminal_write(const char* bytes, size_t count);
