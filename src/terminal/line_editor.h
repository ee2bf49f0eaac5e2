// A line of input edited the way a terminal in canonical mode edits it, with
// the terminal's own editing keys and flags, but by the program: keys typed
// ahead are then edited exactly like keys typed late. Pure: keys in, echo and
// lines out, so it is tested without a terminal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

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

  // Takes one key, whole as key_length tells it, unmapped, and appends its echo.
  Result key(std::string_view key, std::string* echo);
  // The line edited so far, its ending included; the editor starts a new one.
  std::string take();

 private:
  struct Character {
    size_t size;  // bytes
    int width;    // columns on the screen; kTab for a tab
  };
  static constexpr int kTab = -1;

  Result end_line(std::string_view ending, std::string* echo);
  Result insert(std::string_view bytes, std::string* echo);
  int width_of(std::string_view character) const;
  void add_character(std::string_view bytes);
  void show(std::string_view character, int width, std::string* echo);
  int columns_before(size_t count) const;
  void rub_out(size_t from, std::string* echo);
  size_t word_start() const;
  void reprint(int key, std::string* echo);

  EditingKeys keys_;
  std::string line_;
  std::vector<Character> characters_;
  int start_column_ = 0;  // where the line's first character was shown
  // Where the echo left the cursor. A line starts at a tab stop (the marks
  // prompt ends at one) or where the echo of the line before ended.
  int column_ = 0;
  bool literal_ = false;
};
