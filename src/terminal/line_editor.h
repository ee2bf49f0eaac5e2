// A line of input edited the way a terminal in canonical mode edits it, with
// the terminal's own editing keys, but by the program: keys typed ahead are
// then edited exactly like keys typed late. Pure: keys in, echo and lines out,
// so it is tested without a terminal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The terminal's editing keys (its c_cc), -1 where one is disabled.
struct EditingKeys {
  int erase = 0x7f;         // VERASE: one character
  int kill = 0x15;          // VKILL: the whole line
  int word_erase = 0x17;    // VWERASE: the last word
  int literal_next = 0x16;  // VLNEXT: the next key as it is
  int end_of_file = 0x04;   // VEOF
  bool utf8 = true;         // IUTF8: an erase takes a whole UTF-8 character
};

// Typed bytes as a terminal echoes them: control bytes in caret notation (^G).
std::string caret_notation(std::string_view typed);

class LineEditor {
 public:
  static constexpr size_t kMaxLine = 4095;  // as a Linux terminal's canonical buffer

  enum class Result {
    kEditing,  // the line goes on
    kDone,     // take() it: ended by Enter, or handed over by VEOF part way
    kEnd,      // VEOF at the start of a line: the end of input
  };

  explicit LineEditor(const EditingKeys& keys) : keys_(keys) {}

  // Takes one key, whole as key_length tells it, and appends its echo.
  Result key(std::string_view key, std::string* echo);
  // The line edited so far, its line feed included after Enter; the editor
  // starts a new one.
  std::string take();

 private:
  int width(unsigned char byte, int column) const;
  int column_at(size_t end) const;
  size_t character_start(size_t end) const;
  void erase_to(size_t start, std::string* echo);
  size_t word_start() const;
  Result insert(std::string_view bytes, std::string* echo);

  EditingKeys keys_;
  std::string line_;
  // The line starts at a tab stop (the marks prompt ends at one), or this many
  // columns past it when VEOF handed over the start of the line.
  int start_column_ = 0;
  bool literal_ = false;
  bool ended_by_enter_ = false;
};
