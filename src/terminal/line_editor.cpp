#include "terminal/line_editor.h"

namespace {

constexpr char kEscape = '\x1b', kBell = '\a';
constexpr int kTabWidth = 8;
constexpr char kEraseOneColumn[] = "\b \b";

bool is_control(unsigned char c) { return (c < 0x20 && c != '\t') || c == 0x7f; }
bool is_continuation(unsigned char c) { return (c & 0xc0) == 0x80; }
// What the kernel counts as a word's character.
bool is_word(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

}  // namespace

std::string caret_notation(std::string_view typed) {
  std::string shown;
  for (const char byte : typed) {
    const auto c = static_cast<unsigned char>(byte);
    if (is_control(c) && c != '\n') {
      shown += '^';
      shown += c == 0x7f ? '?' : static_cast<char>(c + 0x40);
    } else {
      shown += byte;
    }
  }
  return shown;
}

// Columns a byte takes on the screen at `column`: a caret pair two, a UTF-8
// character one (its lead byte), a tab up to the next tab stop.
int LineEditor::width(unsigned char byte, int column) const {
  if (byte == '\t') return kTabWidth - column % kTabWidth;
  if (is_control(byte)) return 2;
  return keys_.utf8 && is_continuation(byte) ? 0 : 1;
}

int LineEditor::column_at(size_t end) const {
  int column = start_column_;
  for (size_t i = 0; i < end; ++i) column += width(static_cast<unsigned char>(line_[i]), column);
  return column;
}

size_t LineEditor::character_start(size_t end) const {
  size_t start = end - 1;
  if (keys_.utf8)
    while (start > 0 && is_continuation(static_cast<unsigned char>(line_[start]))) --start;
  return start;
}

// Rubs out the line from `start` on, column by column, as the terminal's ECHOE does.
void LineEditor::erase_to(size_t start, std::string* echo) {
  for (int n = column_at(line_.size()) - column_at(start); n > 0; --n) *echo += kEraseOneColumn;
  line_.erase(start);
}

// Trailing non-word characters, then the word before them.
size_t LineEditor::word_start() const {
  size_t start = line_.size();
  bool seen_word = false;
  while (start > 0) {
    const size_t before = character_start(start);
    const bool word = is_word(static_cast<unsigned char>(line_[before]));
    if (!word && seen_word) break;
    seen_word = seen_word || word;
    start = before;
  }
  return start;
}

LineEditor::Result LineEditor::insert(std::string_view bytes, std::string* echo) {
  if (line_.size() + bytes.size() > kMaxLine) {
    *echo += kBell;  // full: the key is dropped, as the kernel drops it
    return Result::kEditing;
  }
  line_ += bytes;
  *echo += caret_notation(bytes);
  return Result::kEditing;
}

LineEditor::Result LineEditor::key(std::string_view key, std::string* echo) {
  if (key.empty()) return Result::kEditing;
  if (literal_) {
    literal_ = false;  // its echo goes over the ^ shown while it waited
    return insert(key, echo);
  }
  const int c = static_cast<unsigned char>(key[0]);
  if (key.size() == 1) {
    if (c == '\n') {
      line_ += '\n';
      *echo += '\n';
      ended_by_enter_ = true;
      return Result::kDone;
    }
    if (c == keys_.end_of_file) return line_.empty() ? Result::kEnd : Result::kDone;
    if (c == keys_.erase) {
      if (!line_.empty()) erase_to(character_start(line_.size()), echo);
      return Result::kEditing;
    }
    if (c == keys_.kill) {
      erase_to(0, echo);
      return Result::kEditing;
    }
    if (c == keys_.word_erase) {
      erase_to(word_start(), echo);
      return Result::kEditing;
    }
    if (c == keys_.literal_next) {
      literal_ = true;
      *echo += "^\b";
      return Result::kEditing;
    }
  }
  if (key[0] == kEscape && key.size() > 1) return Result::kEditing;  // an arrow, a function key
  return insert(key, echo);
}

std::string LineEditor::take() {
  start_column_ = ended_by_enter_ ? 0 : column_at(line_.size()) % kTabWidth;
  ended_by_enter_ = false;
  std::string line;
  line.swap(line_);
  return line;
}
