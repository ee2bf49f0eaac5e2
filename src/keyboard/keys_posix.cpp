// Keys and lines of marks on a POSIX terminal, which stays in key mode: the
// program reads every byte from the terminal's one queue and echoes it
// itself, so what a key does never depends on when it was typed. A line of
// marks is edited by the program, with the terminal's own editing keys.
#include <sys/select.h>
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

// Key mode first, then the prompt: a key pressed in answer to the prompt
// cannot arrive while the terminal would still echo it itself. Where key mode
// cannot be set, the terminal edits and echoes, and the program does not.
bool ready_to_read() {
  const bool key_mode = terminal_set_mode(TerminalMode::kKeys);
  fflush(stdout);
  return key_mode;
}

int script_error = 0;

// Waits for standard input left non-blocking by an earlier program, as a
// blocking read would.
bool wait_for_script() {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(STDIN_FILENO, &readable);
  return select(STDIN_FILENO + 1, &readable, nullptr, nullptr, nullptr) >= 0 || errno == EINTR;
}

long script_read(char* buffer, long size) {
  for (;;) {
    const ssize_t n = read(STDIN_FILENO, buffer, static_cast<size_t>(size));
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    if ((errno == EAGAIN || errno == EWOULDBLOCK) && wait_for_script()) continue;
    script_error = errno;
    return n;
  }
}

// One line of marks: each key queued is edited in, whenever it was typed,
// and what is queued after the line stays for the next read. The echo of all
// the keys that came in one read is shown in one write.
long terminal_line(char* buffer, long size) {
  static LineEditor editor(terminal_editing_keys());
  const bool echo = ready_to_read();
  std::string shown;
  LineEditor::Result result = LineEditor::Result::kEditing;
  while (result == LineEditor::Result::kEditing) {
    const std::string_view queued = terminal_queued();
    if (key_length(queued.data(), queued.size(), false) == 0) {  // a read comes first
      if (echo) terminal_echo(shown);
      shown.clear();
    }
    const size_t length = terminal_next_key();
    if (length == 0) {
      result = LineEditor::Result::kDone;  // a hang-up: what is typed so far, then the end
      break;
    }
    result = editor.key(terminal_queued().substr(0, length), &shown);
    terminal_take(length);
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

void prepare_keys() { terminal_set_mode(TerminalMode::kKeys); }

int read_failure() { return stdin_is_interactive() ? terminal_read_error() : script_error; }

long read_input(char* buffer, long size) {
  fflush(stdout);  // everything written so far is seen before any wait
  return stdin_is_interactive() ? terminal_line(buffer, size) : script_read(buffer, size);
}

int read_one_key(bool echo) {
  ready_to_read();
  const size_t length = terminal_read_key(echo);
  if (length == 0) return EOF;
  const int first = static_cast<unsigned char>(terminal_queued()[0]);
  terminal_take(length);
  return first;
}

void discard_keys() { terminal_discard(); }

void pause_for_key() {
  fputs(kPausePrompt, stdout);
  read_one_key(false);
  putchar('\n');
}
