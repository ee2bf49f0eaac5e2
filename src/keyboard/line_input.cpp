// Standard input taken the way scanf takes it: see line_input.h.
#include "keyboard/line_input.h"

#include <cstdio>
#include <cstring>

#include "keyboard/mark_number.h"

namespace {

// White space and digits as the C locale has them, where the program reads.
bool is_white(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool is_digit(int c) { return c >= '0' && c <= '9'; }

}  // namespace

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

int LineInput::peek_further(size_t ahead) {
  if (!holding_) return -1;
  while (pos_ + ahead >= end_)
    if (line_per_read_ || !fill()) return -1;
  return static_cast<unsigned char>(buffer_[pos_ + ahead]);
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
    while (holding_ && pos_ < end_ && is_white(buffer_[pos_])) {
      advance();
      new_word = true;
    }
    if (holding_ && pos_ < end_) break;
    // The buffer ran out within the line: a terminal's line ends with its
    // read, a script's goes on in the next, unless input has ended.
    if (holding_ && (line_per_read_ || !fill())) holding_ = false;
  }
  if (new_word) word_ = pos_;
  const char first = buffer_[pos_];
  const bool negative = first == '-';
  const size_t sign = first == '+' || first == '-' ? 1 : 0;
  const int c = peek(sign);
  if (c < 0 || !is_digit(c)) return 0;  // not a number: it stays where it is, sign included
  pos_ += sign;
  long long magnitude = 0;
  for (;;) {
    while (pos_ < end_ && is_digit(buffer_[pos_]))
      magnitude = add_digit(magnitude, buffer_[pos_++] - '0', 10);
    if (pos_ < end_ || line_per_read_ || !fill()) break;
  }
  if (line_per_read_ && pos_ == end_) holding_ = false;
  *mark = mark_of(magnitude, negative);
  return 1;
}

std::string_view LineInput::unread() {
  if (!holding_) return {};
  size_t more = 0;
  while (pos_ - word_ + more < kMostUnread) {
    const int c = peek(more);
    if (c < 0 || is_white(c)) break;
    ++more;
  }
  return std::string_view(buffer_ + word_, pos_ - word_ + more);
}
