// Keys and lines of marks on a POSIX terminal, which stays in key mode: the
// program reads every byte from the terminal's one queue and echoes it
// itself, so what a key does never depends on when it was typed. A line of
// marks is edited by the program, with the terminal's own editing keys.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "internal.h"
#include "keyboard/keyboard.h"
#include "terminal/echo.h"
#include "terminal/input.h"
#include "terminal/key_decoder.h"
#include "terminal/line_editor.h"
#include "terminal/mode.h"

namespace {

int script_error = 0;
const char* prompt_now = "";
LineEditor* line_now = nullptr;  // while a line is being typed

LineEditor& line_editor() {
  static LineEditor editor(terminal_editing_keys());
  return editor;
}

// Back from a stop, the screen shows the shell's words last: what the program
// waits at is shown again on a row of its own, the line typed so far too.
void show_again() {
  if (!isatty(STDOUT_FILENO)) return;
  Echo again(terminal_echo);
  again.add('\r');
  again.add(prompt_now);
  if (line_now) line_now->show_again(&again);
  again.flush();
}

void show_nothing(std::string_view /*bytes*/) {}

// One line of marks: each key queued is edited in, whenever it was typed,
// and what is queued after the line stays for the next read. The echo of all
// the keys that came in one read is shown in one write.
long terminal_line(char* buffer, long size) {
  TerminalTurn turn;
  LineEditor& editor = line_editor();
  // Where key mode is not in force, the terminal edits and echoes itself.
  Echo shown(terminal_in_key_mode() || terminal_hold_keys() ? terminal_echo : show_nothing);
  line_now = &editor;
  LineEditor::Result result = LineEditor::Result::kEditing;
  while (result == LineEditor::Result::kEditing) {
    const std::string_view queued = terminal_queued();
    if (key_length(queued.data(), queued.size(), false) == 0) shown.flush();  // a read comes first
    const size_t length = terminal_next_key();
    if (length == 0) {
      result = LineEditor::Result::kDone;  // a hang-up: what is typed so far, then the end
      break;
    }
    result = editor.key(terminal_queued().substr(0, length), &shown);
    terminal_take(length);
  }
  shown.flush();
  line_now = nullptr;
  if (result == LineEditor::Result::kEnd) return 0;
  const std::string_view line = editor.take();
  const size_t count =
      line.size() < static_cast<size_t>(size) ? line.size() : static_cast<size_t>(size);
  memcpy(buffer, line.data(), count);
  return static_cast<long>(count);
}

}  // namespace

// Key mode is held from now on. Where it cannot be set (started in the
// background with SIGTTIN ignored, say), the terminal's own editing serves,
// and each read tries again.
void open_keyboard() {
  if (!stdin_is_interactive()) return;
  TerminalTurn turn;
  terminal_hold_keys();
  terminal_when_continued(show_again);
}

bool stdin_is_interactive() {
  static const bool tty = isatty(STDIN_FILENO) != 0;
  return tty;
}

void prompt_shown(const char* prompt) { prompt_now = prompt; }

int read_failure() { return stdin_is_interactive() ? terminal_read_error() : script_error; }

long read_input(char* buffer, long size) {
  fflush(stdout);  // everything written so far is seen before any wait
  if (stdin_is_interactive()) return terminal_line(buffer, size);
  const long n = read_waiting(STDIN_FILENO, buffer, static_cast<size_t>(size));
  if (n < 0) script_error = errno;
  return n;
}

int read_one_key(bool echo) {
  fflush(stdout);
  TerminalTurn turn;
  if (!terminal_in_key_mode()) terminal_hold_keys();
  const size_t length = terminal_read_key(echo);
  if (length == 0) return EOF;
  const int first = static_cast<unsigned char>(terminal_queued()[0]);
  terminal_take(length);
  return first;
}

void discard_keys() {
  TerminalTurn turn;
  terminal_discard();
}

void pause_for_key() {
  fputs(kPausePrompt, stdout);
  prompt_shown(kPausePrompt);
  read_one_key(false);
  putchar('\n');
}
