#include "keyboard/line_input.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>

namespace {
constexpr long kChunk = 4096;  // what stdio reads at a time
}

LineInput::LineInput(Reader reader, bool line_per_read)
    : reader_(reader), pending_(kChunk), line_per_read_(line_per_read) {}

bool LineInput::refill() {
  pending_pos_ = pending_end_ = 0;
  const long n = ended_ ? 0 : reader_(pending_.data(), kChunk);
  if (n <= 0) {
    ended_ = true;  // an error ends input as the end does
    return false;
  }
  pending_end_ = static_cast<size_t>(n);
  return true;
}

int LineInput::take_byte() {
  if (pending_pos_ == pending_end_ && !refill()) return EOF;
  return static_cast<unsigned char>(pending_[pending_pos_++]);
}

// Takes the next line, of any length, up to and including its line feed (or
// the end of its read) or the last bytes before the end of input.
bool LineInput::take_line() {
  held_.clear();
  held_pos_ = 0;
  for (;;) {
    if (pending_pos_ == pending_end_ && !refill()) return !held_.empty();
    const auto begin = pending_.begin() + static_cast<long>(pending_pos_);
    const auto end = pending_.begin() + static_cast<long>(pending_end_);
    auto stop = std::find(begin, end, '\n');
    const bool whole = stop != end;
    if (whole) ++stop;
    held_.append(begin, stop);
    pending_pos_ = static_cast<size_t>(stop - pending_.begin());
    if (whole || line_per_read_) return true;
  }
}

void LineInput::drop_held_line() {
  held_pos_ = held_.size();
  ended_ = false;
}

void LineInput::drop_read_ahead() {
  drop_held_line();
  pending_pos_ = pending_end_ = 0;
}

int LineInput::convert_mark(int* mark) {
  for (;;) {
    while (held_pos_ < held_.size() && isspace(static_cast<unsigned char>(held_[held_pos_])))
      ++held_pos_;
    if (held_pos_ < held_.size()) break;
    if (!take_line()) return EOF;
  }
  size_t pos = held_pos_;
  const bool negative = held_[pos] == '-';
  if (held_[pos] == '+' || held_[pos] == '-') ++pos;

  const size_t digits = pos;
  constexpr long long kLimit = INT_MAX + 1LL;  // enough to saturate either sign
  long long value = 0;
  for (; pos < held_.size() && isdigit(static_cast<unsigned char>(held_[pos])); ++pos)
    value = std::min(value * 10 + (held_[pos] - '0'), kLimit);
  if (pos == digits) return 0;  // not a number: it stays where it is, sign included

  held_pos_ = pos;
  if (negative) value = -value;
  *mark = static_cast<int>(std::min<long long>(value, INT_MAX));
  return 1;
}
