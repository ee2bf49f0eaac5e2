// A line of input edited the way a terminal in canonical mode edits it, with
// the terminal's own editing keys and flags, but by the program: keys typed
// ahead are then edited exactly like keys typed late. Pure: keys in, echo and
// lines out, so it is tested without a terminal.
#pragma once

#include <cstddef>
#include <string_view>

#include "terminal/echo.h"

// The terminal's editing keys (its c_cc), -1 where one is disabled, and the
// flags that say how typed input is mapped and echoed (its c_iflag, c_lflag).
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
// as ICRNL and INLCR say), or -1 where it is dropped (IGNCR).
inline int mapped_input(int byte, const EditingKeys& keys) {
  if (byte == '\r') return keys.ignore_cr ? -1 : keys.cr_to_nl ? '\n' : '\r';
  return byte == '\n' && keys.nl_to_cr ? '\r' : byte;
}

class LineEditor {
 public:
  static constexpr size_t kMaxLine = 4095;  // as a Linux terminal's canonical buffer

  enum class Result {
    kEditing,  // the line goes on
    kDone,     // take() it: ended by Enter or VEOL, or handed over by VEOF part way
    kEnd,      // VEOF at the start of a line: the end of input
  };

  explicit LineEditor(const EditingKeys& keys) : keys_(keys) {}

  // Takes one key, whole as key_length tells it, unmapped, and adds its echo.
  Result key(std::string_view key, Echo* echo);
  // The line edited so far, its ending included, valid until the next key;
  // the editor starts a new one.
  std::string_view take();
  // The line so far shown again, as from a tab stop: after its prompt, when
  // the program is continued after a stop.
  void show_again(Echo* echo);

 private:
  struct Character {
    unsigned char size;  // bytes: one, or a whole UTF-8 character
    short width;         // columns on the screen; kTab for a tab
  };
  static constexpr short kTab = -1;

  Result insert(std::string_view bytes, Echo* echo);
  int width_of(std::string_view character) const;
  void show(std::string_view character, int width, Echo* echo);
  int columns_before(size_t count) const;
  void rub_out(size_t from, Echo* echo);
  void print_erased(size_t from, Echo* echo);
  void finish_erasing(Echo* echo);
  size_t word_start() const;

  EditingKeys keys_;
  char line_[kMaxLine + 1] = {};  // and its ending
  size_t size_ = 0;
  Character characters_[kMaxLine] = {};
  size_t count_ = 0;
  int start_column_ = 0;  // where the line's first character was shown
  // Where the echo left the cursor. A line starts at a tab stop (the marks
  // prompt ends at one) or where the echo of the line before ended.
  int column_ = 0;
  bool literal_ = false;
  bool erasing_ = false;  // within \ and /, under ECHOPRT
};
