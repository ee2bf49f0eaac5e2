// How typed keys are shown: control bytes in caret notation, the echo of a
// menu key, and where echoes go: the terminal typed on, even when standard
// output is a file or another terminal.
#pragma once

#include <cstddef>
#include <string_view>

// A control byte as `stty echoctl` shows it: ^G for 0x07, ^? for 0x7f. A tab
// is shown as it is.
inline bool is_control(unsigned char c) { return (c < 0x20 && c != '\t') || c == 0x7f; }
inline char caret_letter(unsigned char c) { return c == 0x7f ? '?' : static_cast<char>(c + 0x40); }

// Echo gathered in a buffer and shown in one go, so that the echo of keys
// that came in one read is one write.
class Echo {
 public:
  using Show = void (*)(std::string_view bytes);
  // The buffer is written before it is read: not cleared for each key.
  // cppcheck-suppress uninitMemberVar
  explicit Echo(Show show) : show_(show) {}
  void add(std::string_view bytes);
  void add(char c) { add(std::string_view(&c, 1)); }
  void add_caret(unsigned char c);  // ^ and the letter
  void flush();

 private:
  Show show_;
  char bytes_[4096];
  size_t size_ = 0;
};

// Shows bytes where the terminal's own echo would: on the terminal read.
void terminal_echo(std::string_view bytes);

// A key read at a menu, shown as the terminal would echo it: a control byte
// in caret notation, Enter as a line feed, an escape sequence not at all, as
// it would move the cursor.
void echo_key(std::string_view key);
