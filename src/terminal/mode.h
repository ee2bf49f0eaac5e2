// Which terminal the program reads, the settings it was found with, and key
// mode: the one place that changes the terminal's settings.
//
// The terminal is standard input when that is one, else the controlling
// terminal. It is read, written and set through a description of the
// program's own, opened by its name: read-write, so that echoes go to the
// terminal typed on; non-blocking, so that a read that finds nothing
// (another process took the key) returns at once, to wait again; and its
// own, so that no flag other processes share is changed.
//
// The settings found are taken as key mode is entered, once the program has
// the terminal in the foreground (started in the background, it waits,
// stopped, until brought to the front, as a job that reads would), so they
// are the user's and not those of a shell's line editor; and again when the
// program resumes in the foreground after a stop, so that what the user set
// meanwhile sticks. They are restored when the last user of key mode leaves
// it, and on every way out (terminal/signals.h).
#pragma once

// The terminal's editing keys (its c_cc), -1 where one is disabled, and the
// flags that say how typed input is mapped and echoed (its c_iflag, c_lflag):
// what typed lines follow.
struct EditingKeys {
  int erase = 0x7f;         // VERASE: one character
  int kill = 0x15;          // VKILL: the whole line
  int word_erase = 0x17;    // VWERASE: the last word
  int literal_next = 0x16;  // VLNEXT: the next key as it is
  int reprint = 0x12;       // VREPRINT: the line shown again on a row of its own
  int end_of_file = 0x04;   // VEOF
  int end_of_line = -1;     // VEOL and VEOL2: end the line, and stay in it
  int end_of_line2 = -1;
  bool utf8 = true;             // IUTF8: an erase takes a whole UTF-8 character
  bool cr_to_nl = true;         // ICRNL
  bool nl_to_cr = false;        // INLCR
  bool ignore_cr = false;       // IGNCR
  bool echo = true;             // ECHO
  bool echo_erase = true;       // ECHOE: an erase rubs the character out
  bool echo_kill = true;        // ECHOK: a kill ends the row shown
  bool echo_kill_erase = true;  // ECHOKE: a kill rubs the line out
  bool echo_control = true;     // ECHOCTL: control bytes in caret notation (^G)
  bool echo_newline = false;    // ECHONL: a line's end is shown without ECHO
  bool echo_print = false;      // ECHOPRT: erased characters shown between \ and /
};

// A typed byte as the terminal's input mapping gives it (CR and NL swapped
// as ICRNL and INLCR say), or -1 where it is dropped (IGNCR). Key mode leaves
// the mapping to the program, so that Ctrl-V can quote CR and NL.
inline int mapped_input(int byte, const EditingKeys& keys) {
  if (byte == '\r') return keys.ignore_cr ? -1 : keys.cr_to_nl ? '\n' : '\r';
  return byte == '\n' && keys.nl_to_cr ? '\r' : byte;
}

// Looks for the terminal, and again, outside key mode, when standard input
// no longer names the terminal it did (a caller closed it and opened a file
// or another terminal there). The descriptor to read, write and set it
// through, or -1 when there is none.
int terminal_find();
// Opened for writing only (`0>/dev/tty`): it would be waited on for ever,
// and then refuse the read.
bool terminal_write_only();

// Key mode: bytes as they come, unmapped, no echo, and none of the driver's
// extended keys (IEXTEN: the BSDs act on Ctrl-V and Ctrl-O even outside
// canonical mode); Ctrl-C and Ctrl-Z still work. It is in force while anyone
// has entered it and not yet left. Entering is false when there is no
// terminal, or it did not take the whole change: the settings found are then
// in force, and nothing is entered.
bool terminal_enter_key_mode();
void terminal_leave_key_mode();
bool terminal_in_key_mode();

// Whether the program's job has the terminal found in the foreground (or it
// is no job's: not the controlling terminal). Safe in a signal handler.
bool terminal_in_foreground();

// Throws away what the terminal holds, not yet read, unless it is another
// job's now.
void terminal_flush_input();

// The editing keys and flags of the settings found; the defaults where none
// were taken yet. A count that changes each time the settings are taken
// tells a reader to take the keys again.
EditingKeys terminal_editing_keys();
unsigned terminal_settings_taken();

// A descriptor that writes where `fd` does, without blocking where it can:
// the program's own description when fd is the terminal found, else fd.
int terminal_writer(int fd);
