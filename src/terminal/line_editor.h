// A line of input edited the way a terminal in canonical mode edits it, with
// the terminal's own editing keys and flags, but by the program: keys typed
// ahead are then edited exactly like keys typed late. Pure: keys in, echo and
// lines out, so it is tested without a terminal.
#pragma once

#include <cstddef>
#include <string_view>

#include "terminal/echo.h"
#include "terminal/mode.h"

class LineEditor {
 public:
  static constexpr size_t kMaxLine = 4095;  // as a Linux terminal's canonical buffer

  enum class Result {
    kEditing,  // the line goes on
    kDone,     // take() it: ended by Enter or VEOL, or handed over by VEOF part way
    kEnd,      // VEOF at the start of a line: the end of input
  };

  explicit LineEditor(const EditingKeys& keys) : keys_(keys) {}
  // The terminal's keys and flags from now on: the settings may be taken again.
  void use_keys(const EditingKeys& keys) { keys_ = keys; }

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
