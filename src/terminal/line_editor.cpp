// A line of marks edited as the terminal's canonical mode edits it: see line_editor.h.
#include "terminal/line_editor.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

#include <locale.h>  // NOLINT(modernize-deprecated-headers): newlocale, uselocale
#if __has_include(<xlocale.h>)
#include <xlocale.h>  // where macOS declares them
#endif

namespace {

constexpr char kEscape = '\x1b', kBell = '\a';
constexpr int kTabWidth = 8;

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
int columns_in_locale(std::string_view character) {
  wchar_t wide = 0;
  std::mbstate_t state{};
  const size_t used = std::mbrtowc(&wide, character.data(), character.size(), &state);
  return used == character.size() ? wcwidth(wide) : -1;
}

#ifdef __NetBSD__
// No uselocale: the user's locale is set for the call, and set back. Lines
// are read on one thread only.
int display_width(std::string_view character) {
  char before[64] = "C";
  const char* now = setlocale(LC_CTYPE, nullptr);
  if (now) snprintf(before, sizeof before, "%s", now);
  if (!setlocale(LC_CTYPE, "")) return 1;
  const int width = columns_in_locale(character);
  setlocale(LC_CTYPE, before);
  return width < 0 ? 1 : width;
}
#else
int display_width(std::string_view character) {
  static const locale_t user = newlocale(LC_CTYPE_MASK, "", nullptr);
  if (!user) return 1;
  const locale_t before = uselocale(user);
  const int width = columns_in_locale(character);
  uselocale(before);
  return width < 0 ? 1 : width;
}
#endif

bool one_utf8_character(std::string_view bytes) {
  if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) < 0xc0) return false;
  for (size_t i = 1; i < bytes.size(); ++i)
    if (!is_continuation(static_cast<unsigned char>(bytes[i]))) return false;
  return true;
}

}  // namespace

// Echoes one character as the terminal would: a control byte in caret
// notation where ECHOCTL asks for it, else as it is.
void LineEditor::show(std::string_view character, int width, Echo* echo) {
  const auto c = static_cast<unsigned char>(character[0]);
  if (character.size() == 1 && is_control(c) && keys_.echo_control) {
    echo->add_caret(c);
    column_ += 2;
    return;
  }
  echo->add(character);
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

LineEditor::Result LineEditor::insert(std::string_view bytes, Echo* echo) {
  if (size_ + bytes.size() > kMaxLine) {
    echo->add(kBell);  // full: the key is dropped, as the kernel drops it
    return Result::kEditing;
  }
  if (keys_.echo) finish_erasing(echo);
  // A UTF-8 character is one character; anything else (an escape sequence
  // typed after Ctrl-V, bytes where the terminal is not set up for UTF-8) one
  // per byte, as the kernel counts them.
  const bool whole = keys_.utf8 && one_utf8_character(bytes);
  for (size_t at = 0; at < bytes.size(); at += whole ? bytes.size() : 1) {
    const std::string_view character(bytes.data() + at, whole ? bytes.size() : 1);
    if (count_ == 0) start_column_ = column_;
    memcpy(line_ + size_, character.data(), character.size());
    size_ += character.size();
    const int width = width_of(character);
    characters_[count_++] = {static_cast<unsigned char>(character.size()),
                             static_cast<short>(width)};
    if (keys_.echo) show(character, width, echo);
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
void LineEditor::rub_out(size_t from, Echo* echo) {
  for (size_t i = count_; i > from; --i) {
    const Character& character = characters_[i - 1];
    size_ -= character.size;
    if (!echo) continue;
    const bool tab = character.width == kTab;
    int width = tab ? columns_before(i) - columns_before(i - 1) : character.width;
    for (column_ -= width; width > 0; --width) echo->add(tab ? "\b" : "\b \b");
  }
  count_ = from;
}

// Under ECHOPRT: the characters from index `from` on, last first, shown
// after a \ that begins the erasing; a / ends it.
void LineEditor::print_erased(size_t from, Echo* echo) {
  if (!erasing_) {
    echo->add('\\');
    ++column_;
    erasing_ = true;
  }
  for (size_t i = count_; i > from; --i) {
    const Character& character = characters_[i - 1];
    size_ -= character.size;
    show(std::string_view(line_ + size_, character.size), character.width, echo);
  }
  count_ = from;
}

void LineEditor::finish_erasing(Echo* echo) {
  if (!erasing_) return;
  echo->add('/');
  ++column_;
  erasing_ = false;
}

// Trailing non-word characters, then the word before them.
size_t LineEditor::word_start() const {
  size_t start = count_;
  size_t end = size_;
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

void LineEditor::show_again(Echo* echo) {
  column_ = start_column_ = 0;
  if (!keys_.echo) return;
  size_t at = 0;
  for (size_t i = 0; i < count_; ++i) {
    show(std::string_view(line_ + at, characters_[i].size), characters_[i].width, echo);
    at += characters_[i].size;
  }
}

LineEditor::Result LineEditor::key(std::string_view key, Echo* echo) {
  if (key.empty()) return Result::kEditing;
  if (literal_) {
    literal_ = false;  // its echo goes over the ^ shown while it waited
    return insert(key, echo);
  }
  if (key.size() > 1)  // an arrow or a function key means nothing in a line
    return key[0] == kEscape ? Result::kEditing : insert(key, echo);
  const int c = mapped_input(static_cast<unsigned char>(key[0]), keys_);
  if (c < 0) return Result::kEditing;
  const char byte = static_cast<char>(c);
  const std::string_view mapped(&byte, 1);
  Echo* const shown = keys_.echo ? echo : nullptr;
  if (c == keys_.erase || c == keys_.word_erase || c == keys_.kill) {
    if (count_ == 0) return Result::kEditing;
    const bool whole_kill = keys_.echo_kill && keys_.echo_kill_erase && keys_.echo_erase;
    const size_t from = c == keys_.erase ? count_ - 1 : c == keys_.word_erase ? word_start() : 0;
    if (c == keys_.kill && shown && !whole_kill) {
      finish_erasing(echo);
      show(mapped, width_of(mapped), echo);  // the kill key shown, and a new row where ECHOK asks
      rub_out(0, nullptr);
      if (keys_.echo_kill) {
        echo->add('\n');
        column_ = 0;
      }
    } else if (shown && keys_.echo_print) {
      print_erased(from, echo);
    } else if (c == keys_.erase && shown && !keys_.echo_erase) {
      show(mapped, width_of(mapped), echo);  // the erase key shown instead of a rub-out
      rub_out(from, nullptr);
    } else {
      rub_out(from, shown);
    }
    if (count_ == 0 && shown) finish_erasing(echo);
    return Result::kEditing;
  }
  if (c == keys_.literal_next) {
    literal_ = true;
    if (keys_.echo) {
      finish_erasing(echo);
      if (keys_.echo_control) echo->add("^\b");
    }
    return Result::kEditing;
  }
  if (c == keys_.reprint && keys_.echo) {
    finish_erasing(echo);
    show(mapped, width_of(mapped), echo);
    echo->add('\n');
    show_again(echo);
    return Result::kEditing;
  }
  if (c == '\n') {
    line_[size_++] = '\n';
    if (keys_.echo || keys_.echo_newline) {
      echo->add('\n');
      column_ = 0;
    }
    return Result::kDone;
  }
  if (c == keys_.end_of_file) return count_ == 0 ? Result::kEnd : Result::kDone;
  if (c == keys_.end_of_line || c == keys_.end_of_line2) {
    line_[size_++] = byte;
    if (keys_.echo) show(mapped, width_of(mapped), echo);
    return Result::kDone;
  }
  return insert(mapped, echo);
}

std::string_view LineEditor::take() {
  const std::string_view line(line_, size_);
  size_ = count_ = 0;
  return line;
}
