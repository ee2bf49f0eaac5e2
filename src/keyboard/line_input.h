// Standard input taken the way a terminal in line mode delivers it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Marks are converted from the line taken last; a new line is taken only when
// that one is used up. Bytes read ahead but not yet taken belong to no line:
// keys are taken from them one byte at a time, and dropping the held line
// never touches them. The end of input, once met, holds until the held line
// is dropped: on a terminal, Ctrl-D ends the whole entry of marks, and the
// next menu may read again.
class LineInput {
 public:
  // Reads up to size bytes: the count, 0 at the end of input, or -1 on error.
  using Reader = long (*)(char* buffer, long size);

  // A terminal hands over one line a read, ended by Enter, by its end-of-line
  // key (stty eol) or by Ctrl-D part way: with `line_per_read`, a read ends a
  // line wherever it ends. Otherwise a line runs to its line feed.
  LineInput(Reader reader, bool line_per_read);

  int take_byte();              // the next byte not yet taken, or EOF
  int convert_mark(int* mark);  // as scanf("%d"): 1, 0 or EOF
  void drop_held_line();        // and forget an end of input met so far
  void drop_read_ahead();       // the held line and every byte read after it
  // The held line from where convert_mark stopped: the text it could not read.
  std::string_view unread() const { return std::string_view(held_).substr(held_pos_); }

 private:
  bool take_line();
  bool refill();

  Reader reader_;
  std::string held_;  // the line taken last
  size_t held_pos_ = 0;
  std::vector<char> pending_;  // read ahead, not yet taken
  size_t pending_pos_ = 0;
  size_t pending_end_ = 0;
  bool ended_ = false;
  bool line_per_read_;
};
