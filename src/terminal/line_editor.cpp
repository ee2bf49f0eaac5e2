#include "terminal/line_editor.h"

#include <cwchar>

#include <locale.h>  // NOLINT(modernize-deprecated-headers): newlocale, uselocale

namespace {

constexpr char kEscape = '\x1b', kBell = '\a';
constexpr int kTabWidth = 8;

bool is_control(unsigned char c) { return (c < 0x20 && c != '\t') || c == 0x7f; }
bool is_continuation(unsigned char c) { return (c & 0xc0) == 0x80; }
// A word's characters, told by their first byte: letters, digits and _, and
// every character beyond ASCII, which the kernel mostly counts as letters
// too. Where the terminal is not set up for UTF-8, each byte is a Latin-1
// character, and only the letters among them count, as in the kernel.
bool is_word(unsigned char c, bool utf8) {
  if (c >= 0x80) return utf8 || (c >= 0xc0 && c != 0xd7 && c != 0xf7);
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// Columns a UTF-8 character takes, as the C library tells in the user's
// locale (a CJK character or an emoji two); one where it cannot tell. The
// locale is used only here, so the rest of the program keeps the C locale.
int display_width(std::string_view character) {
  static const locale_t user = newlocale(LC_CTYPE_MASK, "", nullptr);
  if (!user) return 1;
  const locale_t before = uselocale(user);
  wchar_t wide = 0;
  std::mbstate_t state{};
  const size_t used = std::mbrtowc(&wide, character.data(), character.size(), &state);
  const int width = used == character.size() ? wcwidth(wide) : -1;
  uselocale(before);
  return width < 0 ? 1 : width;
}

bool one_utf8_character(std::string_view bytes) {
  if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) < 0xc0) return false;
  for (size_t i = 1; i < bytes.size(); ++i)
    if (!is_continuation(static_cast<unsigned char>(bytes[i]))) return false;
  return true;
}

}  // namespace

// Echoes one character as the terminal would: a control byte in caret
// notation where ECHOCTL asks for it, else as it is.
void LineEditor::show(std::string_view character, int width, std::string* echo) {
  const auto c = static_cast<unsigned char>(character[0]);
  if (character.size() == 1 && is_control(c) && keys_.echo_control) {
    *echo += '^';
    *echo += c == 0x7f ? '?' : static_cast<char>(c + 0x40);
    column_ += 2;
    return;
  }
  *echo += character;
  if (c == '\n')
    column_ = 0;
  else
    column_ += width == kTab ? kTabWidth - column_ % kTabWidth : width;
}

// Columns a character's echo takes; kTab for a tab, whose columns depend on
// where it stands.
int LineEditor::width_of(std::string_view character) const {
  const auto c = static_cast<unsigned char>(character[0]);
  if (c == '\t') return kTab;
  if (character.size() == 1 && is_control(c)) return keys_.echo_control ? 2 : 0;
  // A printable byte, or one a terminal shows as a replacement character.
  return character.size() > 1 ? display_width(character) : 1;
}

void LineEditor::add_character(std::string_view bytes) {
  if (characters_.empty()) start_column_ = column_;
  line_ += bytes;
  characters_.push_back({bytes.size(), width_of(bytes)});
}

LineEditor::Result LineEditor::insert(std::string_view bytes, std::string* echo) {
  if (line_.size() + bytes.size() > kMaxLine) {
    *echo += kBell;  // full: the key is dropped, as the kernel drops it
    return Result::kEditing;
  }
  // A UTF-8 character is one character; anything else (an escape sequence
  // typed after Ctrl-V, bytes where the terminal is not set up for UTF-8) one
  // per byte, as the kernel counts them.
  const bool whole = keys_.utf8 && one_utf8_character(bytes);
  for (size_t at = 0; at < bytes.size(); at += whole ? bytes.size() : 1) {
    const std::string_view character = bytes.substr(at, whole ? bytes.size() : 1);
    add_character(character);
    if (keys_.echo) show(character, characters_.back().width, echo);
  }
  return Result::kEditing;
}

int LineEditor::columns_before(size_t count) const {
  int column = start_column_;
  for (size_t i = 0; i < count; ++i) {
    const int width = characters_[i].width;
    column += width == kTab ? kTabWidth - column % kTabWidth : width;
  }
  return column;
}

// Rubs out the characters from index `from` on, last first, each by the
// columns it took: a tab by moving back, as the kernel does. Nothing is shown
// when `echo` is null.
void LineEditor::rub_out(size_t from, std::string* echo) {
  size_t bytes = line_.size();
  for (size_t i = characters_.size(); i > from; --i) {
    const Character& character = characters_[i - 1];
    bytes -= character.size;
    if (!echo) continue;
    const bool tab = character.width == kTab;
    int width = tab ? columns_before(i) - columns_before(i - 1) : character.width;
    for (column_ -= width; width > 0; --width) *echo += tab ? "\b" : "\b \b";
  }
  line_.resize(bytes);
  characters_.resize(from);
}

// Trailing non-word characters, then the word before them.
size_t LineEditor::word_start() const {
  size_t start = characters_.size();
  size_t end = line_.size();
  bool seen_word = false;
  while (start > 0) {
    const size_t begins = end - characters_[start - 1].size;
    const bool word = is_word(static_cast<unsigned char>(line_[begins]), keys_.utf8);
    if (!word && seen_word) break;
    seen_word = seen_word || word;
    --start;
    end = begins;
  }
  return start;
}

// The key shown, then the line again from the start of a new row.
void LineEditor::reprint(int key, std::string* echo) {
  const std::string shown(1, static_cast<char>(key));
  show(shown, width_of(shown), echo);
  *echo += '\n';
  column_ = start_column_ = 0;
  size_t at = 0;
  for (const Character& character : characters_) {
    show(std::string_view(line_).substr(at, character.size), character.width, echo);
    at += character.size;
  }
}

LineEditor::Result LineEditor::key(std::string_view key, std::string* echo) {
  if (key.empty()) return Result::kEditing;
  if (literal_) {
    literal_ = false;  // its echo goes over the ^ shown while it waited
    return insert(key, echo);
  }
  if (key.size() > 1)  // an arrow or a function key means nothing in a line
    return key[0] == kEscape ? Result::kEditing : insert(key, echo);
  const int c = mapped_input(static_cast<unsigned char>(key[0]), keys_);
  if (c < 0) return Result::kEditing;
  const std::string mapped(1, static_cast<char>(c));
  std::string* const shown = keys_.echo ? echo : nullptr;
  if (c == keys_.erase || c == keys_.word_erase || c == keys_.kill) {
    if (characters_.empty()) return Result::kEditing;
    if (c == keys_.erase && shown && !keys_.echo_erase) {
      show(mapped, width_of(mapped), echo);  // the erase key shown instead of a rub-out
      rub_out(characters_.size() - 1, nullptr);
    } else if (c == keys_.erase) {
      rub_out(characters_.size() - 1, shown);
    } else if (c == keys_.word_erase) {
      rub_out(word_start(), shown);
    } else if (shown && !(keys_.echo_kill && keys_.echo_kill_erase && keys_.echo_erase)) {
      show(mapped, width_of(mapped), echo);  // the kill key shown, and a new row where ECHOK asks
      rub_out(0, nullptr);
      if (keys_.echo_kill) {
        *echo += '\n';
        column_ = 0;
      }
    } else {
      rub_out(0, shown);
    }
    return Result::kEditing;
  }
  if (c == keys_.literal_next) {
    literal_ = true;
    if (keys_.echo && keys_.echo_control) *echo += "^\b";
    return Result::kEditing;
  }
  if (c == keys_.reprint && keys_.echo) {
    reprint(c, echo);
    return Result::kEditing;
  }
  if (c == '\n') {
    line_ += '\n';
    if (keys_.echo || keys_.echo_newline) {
      *echo += '\n';
      column_ = 0;
    }
    return Result::kDone;
  }
  if (c == keys_.end_of_file) return characters_.empty() ? Result::kEnd : Result::kDone;
  if (c == keys_.end_of_line || c == keys_.end_of_line2) {
    line_ += mapped;
    if (keys_.echo) show(mapped, width_of(mapped), echo);
    return Result::kDone;
  }
  return insert(mapped, echo);
}

std::string LineEditor::take() {
  std::string line;
  line.swap(line_);
  characters_.clear();
  return line;
}
