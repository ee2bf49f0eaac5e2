#include "keyboard/line_input.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "keyboard/mark_number.h"

// Reads more onto the end of the buffer, keeping the held line's word from
// its start (a word longer than the buffer loses its start). False at the
// end of input or on an error, which holds until the held line is dropped.
bool LineInput::fill() {
  if (ended_) return false;
  size_t keep = holding_ && word_ < pos_ ? word_ : pos_;
  if (keep == 0 && end_ == sizeof buffer_) keep = word_ = pos_;
  memmove(buffer_, buffer_ + keep, end_ - keep);
  end_ -= keep;
  pos_ -= keep;
  word_ = word_ > keep ? word_ - keep : 0;
  const long n = reader_(buffer_ + end_, static_cast<long>(sizeof buffer_ - end_));
  if (n <= 0) {
    ended_ = true;
    return false;
  }
  end_ += static_cast<size_t>(n);
  return true;
}

// Begins a line where none is held. False at the end of input.
bool LineInput::hold_line() {
  if (holding_) return true;
  if (pos_ == end_ && !fill()) return false;
  holding_ = true;
  ++lines_;
  return true;
}

// The byte `ahead` bytes past the next one, in the held line; -1 where the
// line or the input ends first. A terminal's line ends with its read.
int LineInput::peek(size_t ahead) {
  if (!holding_) return -1;
  while (pos_ + ahead >= end_)
    if (line_per_read_ || !fill()) return -1;
  return static_cast<unsigned char>(buffer_[pos_ + ahead]);
}

void LineInput::advance() {
  const char c = buffer_[pos_++];
  if (c == '\n' || (line_per_read_ && pos_ == end_)) holding_ = false;
}

void LineInput::skip_held_line() {
  while (peek(0) >= 0) advance();
  holding_ = false;
}

int LineInput::take_byte() {
  skip_held_line();
  if (pos_ == end_ && !fill()) return EOF;
  return static_cast<unsigned char>(buffer_[pos_++]);
}

void LineInput::drop_held_line() {
  skip_held_line();
  ended_ = false;
}

void LineInput::drop_read_ahead() {
  drop_held_line();
  pos_ = end_;
}

int LineInput::convert_mark(int* mark) {
  bool new_word = !holding_;
  for (;;) {  // white space, across lines
    if (!hold_line()) return EOF;
    const int c = peek(0);
    if (c >= 0 && !isspace(c)) break;
    if (c >= 0)
      advance();
    else
      holding_ = false;  // a line cut short by the end of input
    new_word = true;
  }
  if (new_word) word_ = pos_;
  const int first = peek(0);
  const bool negative = first == '-';
  const size_t sign = first == '+' || first == '-' ? 1 : 0;
  int c = peek(sign);
  if (c < 0 || !isdigit(c)) return 0;  // not a number: it stays where it is, sign included
  if (sign) advance();
  long long magnitude = 0;
  for (; c >= 0 && isdigit(c); c = peek(0)) {
    magnitude = add_digit(magnitude, c - '0', 10);
    advance();
  }
  *mark = mark_of(magnitude, negative);
  return 1;
}

std::string_view LineInput::unread() {
  if (!holding_) return {};
  size_t more = 0;
  while (more < kMostUnread) {
    const int c = peek(more);
    if (c < 0 || isspace(c)) break;
    ++more;
  }
  return std::string_view(buffer_ + pos_, more);
}
