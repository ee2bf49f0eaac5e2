// Keys and lines of marks on a POSIX terminal, which stays in key mode: the
// program reads every byte from the terminal's one queue and echoes it
// itself, so what a key does never depends on when it was typed. A line of
// marks is edited by the program, with the terminal's own editing keys.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <string_view>

#include "internal.h"
#include "terminal/key_decoder.h"
#include "terminal/line_editor.h"
#include "terminal/terminal.h"

namespace {

constexpr int kKeyGapMs = 50;  // the bytes of one key arrive together
constexpr char kEscape = '\x1b';

// Key mode first, then the prompt: a key pressed in answer to the prompt
// cannot arrive while the terminal would still echo it itself. Where key mode
// cannot be set, the terminal edits and echoes, and the program does not.
bool ready_to_read() {
  const bool key_mode = terminal_set_mode(TerminalMode::kKeys);
  fflush(stdout);
  return key_mode;
}

// The length of the whole key at the front of the queue, or 0 while it is
// still to come; `gap_passed` as key_length takes it.
size_t front_key(bool gap_passed) {
  const std::string_view queued = terminal_queued();
  return key_length(queued.data(), queued.size(), gap_passed);
}

// Reads more: without end when nothing is queued, else for the gap that ends
// a key cut short. False at the end of input.
bool read_more(bool* gap_passed) {
  const bool empty = terminal_queued().empty();
  const long got = terminal_fill(empty ? kWaitForever : kKeyGapMs);
  if (got < 0 && empty) return false;
  *gap_passed = got <= 0;
  return true;
}

long script_read(char* buffer, long size) {
  for (;;) {
    const ssize_t n = read(STDIN_FILENO, buffer, static_cast<size_t>(size));
    if (n >= 0 || errno != EINTR) return n;
  }
}

// One line of marks: each key queued is edited in, whenever it was typed,
// and what is queued after the line stays for the next read. The echo of all
// the keys that came in one read is shown in one write.
long terminal_line(char* buffer, long size) {
  static LineEditor editor(terminal_editing_keys());
  const bool echo = ready_to_read();
  std::string shown;
  bool gap_passed = false;
  LineEditor::Result result = LineEditor::Result::kEditing;
  while (result == LineEditor::Result::kEditing) {
    const size_t length = front_key(gap_passed);
    if (length == 0) {
      if (echo) terminal_echo(shown);
      shown.clear();
      if (read_more(&gap_passed)) continue;
      result = LineEditor::Result::kDone;  // a hang-up: what is typed so far, then the end
      break;
    }
    result = editor.key(terminal_queued().substr(0, length), &shown);
    terminal_take(length);
    gap_passed = false;
  }
  if (echo) terminal_echo(shown);
  if (result == LineEditor::Result::kEnd) return 0;
  const std::string line = editor.take();
  const size_t count = std::min(line.size(), static_cast<size_t>(size));
  std::copy_n(line.data(), count, buffer);
  return static_cast<long>(count);
}

}  // namespace

bool stdin_is_interactive() {
  static const bool tty = isatty(STDIN_FILENO) != 0;
  return tty;
}

long read_input(char* buffer, long size) {
  fflush(stdout);  // everything written so far is seen before any wait
  return stdin_is_interactive() ? terminal_line(buffer, size) : script_read(buffer, size);
}

int read_one_key(bool echo) {
  const bool key_mode = ready_to_read();
  bool gap_passed = false;
  size_t length = 0;
  while ((length = front_key(gap_passed)) == 0)
    if (!read_more(&gap_passed)) return EOF;
  const std::string_view key = terminal_queued().substr(0, length);
  const int first = static_cast<unsigned char>(key[0]);
  // An escape sequence is not echoed: it would move the cursor.
  if (echo && key_mode && key[0] != kEscape) terminal_echo(caret_notation(key));
  terminal_take(length);
  return first;
}

void pause_for_key() {
  fputs(kPausePrompt, stdout);
  read_one_key(false);
  putchar('\n');
}
