// The keyboard for the menus. On a console or terminal the platform reads
// keys; otherwise standard input is a script, and one byte is one key.
#include "keyboard/keyboard.h"

#include <cstdio>

#include "internal.h"
#include "line_input.h"

namespace {

LineInput& stdin_lines() {
  static LineInput input(read_input, stdin_is_interactive());
  return input;
}

}  // namespace

int input_error() { return read_failure(); }

int read_key(const char* prompt) {
  if (stdin_is_interactive()) {
    prompt_shown(prompt);
    return read_one_key(true);
  }
  const int key = stdin_lines().take_byte();
  if (key != EOF) putchar(key);
  return key;
}

int read_mark(int* mark, const char* prompt) {
  prompt_shown(prompt);
  return stdin_lines().convert_mark(mark);
}

unsigned long lines_taken() { return stdin_lines().lines_taken(); }

std::string_view unread_text() { return stdin_lines().unread(); }

void discard_input() { stdin_lines().drop_held_line(); }

void discard_typed_ahead() {
  if (!stdin_is_interactive()) return;
  stdin_lines().drop_read_ahead();  // a line may hold more lines (Ctrl-V Ctrl-J)
  discard_keys();
}

void wait_for_key() {
  if (stdin_is_interactive()) {
    pause_for_key();
    return;
  }
  fputs(kPausePrompt, stdout);
  stdin_lines().take_byte();  // not echoed; at the end of input there is none
  putchar('\n');
}
