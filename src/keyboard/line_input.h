// Standard input taken the way scanf takes it from a terminal in line mode.
#pragma once

#include <cstddef>
#include <string_view>

// Marks are converted as scanf("%d") converts them: white space, line ends
// included, then a number. The line a conversion stops in is held: a key
// taken meanwhile comes after it, and dropping it throws away the rest of
// it. The end of input, once met, holds until the held line is dropped: on a
// terminal, Ctrl-D ends the whole entry of marks, and the next menu may read
// again. Lines of any length are read through a fixed buffer.
class LineInput {
 public:
  // Reads up to size bytes: the count, 0 at the end of input, or -1 on error.
  using Reader = long (*)(char* buffer, long size);

  // A terminal hands over one line a read, ended by Enter, by its end-of-line
  // key (stty eol) or by Ctrl-D part way: with `line_per_read`, a read ends a
  // line wherever it ends. Otherwise a line runs to its line feed.
  LineInput(Reader reader, bool line_per_read) : reader_(reader), line_per_read_(line_per_read) {}

  int take_byte();              // the next byte after the held line, or EOF
  int convert_mark(int* mark);  // as scanf("%d"): 1, 0 or EOF
  void drop_held_line();        // and forget an end of input met so far
  void drop_read_ahead();       // the held line and every byte read after it
  // The word that convert_mark stopped in, as it was typed: from its start
  // (a mark read from its first digits, say) up to white space, at most
  // kMostUnread bytes.
  std::string_view unread();
  static constexpr size_t kMostUnread = 32;
  // Lines taken so far: a change tells that a conversion began a new line.
  unsigned long lines_taken() const { return lines_; }

 private:
  bool fill();
  bool hold_line();
  // The byte `ahead` bytes past the next one, in the held line; -1 where the
  // line or the input ends first. A terminal's line ends with its read.
  int peek(size_t ahead) {
    if (holding_ && pos_ + ahead < end_) return static_cast<unsigned char>(buffer_[pos_ + ahead]);
    return peek_further(ahead);
  }
  int peek_further(size_t ahead);
  void advance() {
    const char c = buffer_[pos_++];
    if (c == '\n' || (line_per_read_ && pos_ == end_)) holding_ = false;
  }
  void skip_held_line();

  Reader reader_;
  bool line_per_read_;
  char buffer_[4096] = {};
  size_t pos_ = 0, end_ = 0;  // read, not yet taken
  size_t word_ = 0;           // where the word being converted begins
  bool holding_ = false;      // the bytes from pos_ on are of a held line
  bool ended_ = false;
  unsigned long lines_ = 0;
};
