// The terminal, on POSIX systems: its mode, and the one queue of the bytes
// read from it. The keyboard and the console functions both build on this.
//
// The terminal is standard input when that is one, else the controlling
// terminal. Its bytes are read only into the queue, and each reader takes
// what is its own from the front (a key, a line of marks) or where it found
// it (a reply to a query), so every byte typed is read once and in order,
// whichever read comes next.
//
// Only this file's implementation changes terminal settings. The settings are
// taken each time key mode is set, once the program holds the terminal in the
// foreground (started in the background, it waits stopped until brought to
// the front, as a job that reads would), so they are the user's and not those
// of a shell's line editor. The program sets key mode once, at start; a call
// of the console functions sets it for its own wait, so each call puts back
// what it found, whatever mode its caller keeps. The settings come back at
// exit and on every signal whose default ends the program (the signal then
// ends it as it would have); on a stop (Ctrl-Z, SIGTTIN, SIGTTOU) they come
// back while the program is stopped, and whenever it is continued in the
// foreground the mode in force is set again, whoever changed the settings
// meanwhile. From the background nothing is put back: the settings are then
// the foreground job's, and trying would stop the program. A signal the
// program was started ignoring, or that something else already handles, is
// left alone.
#pragma once

#include <cstddef>
#include <string_view>

#include "terminal/line_editor.h"

enum class TerminalMode {
  kAsFound,  // the settings found
  kKeys,     // key mode: bytes as they come, unmapped, no echo; Ctrl-C and Ctrl-Z still work
};

TerminalMode terminal_mode();
// False when there is no terminal or it did not take the whole change; the
// settings found are then back in force.
bool terminal_set_mode(TerminalMode mode);

// The editing keys and flags the terminal was set up with when it was found.
EditingKeys terminal_editing_keys();

constexpr int kWaitForever = -1;
// How long the rest of a key that has begun may take to come: as long as
// terminal multiplexers wait (tmux: 500 ms), so that a function key split
// over a slow link (ssh) stays one key. A lone Escape costs that wait.
constexpr int kKeyGapMs = 500;

// Reads what the terminal has sent onto the end of the queue, waiting at most
// timeout_ms for it. Returns the count added; 0 when the time ran out; -1 at
// the end of input (a hang-up) or on an error, which holds from then on.
long terminal_fill(int timeout_ms);
int terminal_read_error();           // the errno of the read that failed; 0 when input only ended
std::string_view terminal_queued();  // read, not yet taken
void terminal_take(size_t count);    // from the front
void terminal_remove(size_t offset, size_t count);  // bytes that were not typed input
// Throws away what is queued and what the terminal holds, not yet read.
void terminal_discard();

// Waits for the whole key at the front of the queue, reading as needed, and
// returns its length (key_length's); 0 at the end of input.
size_t terminal_next_key();
// The same for a key read on its own, as a menu reads it: in key mode a
// one-byte key is mapped in place as the terminal's settings map it (Enter
// a line feed under ICRNL; a CR dropped under IGNCR), and when asked the key
// is echoed as the terminal echoes it: a control byte in caret notation
// (^G), an escape sequence not at all, as it would move the cursor.
size_t terminal_read_key(bool echo);

// A reply the terminal still owes to a query that stopped waiting for it,
// told by its shape. A key of that shape arriving within a few seconds is the
// late reply: it is dropped, not read as typed.
using ReplyShape = bool (*)(std::string_view key);
void terminal_owe_reply(ReplyShape shape);

// Milliseconds on a clock that only goes forward.
long long monotonic_ms();

// Shows typed keys where the terminal's own echo would: on standard output
// when that is a terminal, else on the terminal itself, in one write.
void terminal_echo(std::string_view bytes);
