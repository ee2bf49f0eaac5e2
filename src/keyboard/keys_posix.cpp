// Keys and lines of marks on a POSIX terminal, which stays in key mode: the
// terminal layer reads every byte from the terminal's one queue, and edits
// and echoes lines itself, so what a key does never depends on when it was
// typed.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>

#include "internal.h"
#include "keyboard/keyboard.h"
#include "terminal/input.h"
#include "terminal/line_reader.h"
#include "terminal/lock.h"
#include "terminal/mode.h"
#include "terminal/output.h"

namespace {
int script_error = 0;
}  // namespace

// Key mode is entered from now on. Where it cannot be set (started in the
// background with SIGTTIN ignored, say), the terminal's own editing serves,
// and each read tries again.
void open_console() {
  terminal_own_output();
  if (!stdin_is_interactive()) return;
  TerminalLock lock;
  terminal_enter_key_mode();
  terminal_set_prompt("");
}

bool stdin_is_interactive() {
  static const bool tty = isatty(STDIN_FILENO) != 0;
  return tty;
}

bool errors_on_the_screen() {
  struct stat out {
  }, err{};
  return isatty(STDOUT_FILENO) && isatty(STDERR_FILENO) && fstat(STDOUT_FILENO, &out) == 0 &&
         fstat(STDERR_FILENO, &err) == 0 && out.st_rdev == err.st_rdev;
}

// A script has no stop to show a prompt again after.
void prompt_shown(const char* prompt) {
  if (!stdin_is_interactive()) return;
  TerminalLock lock;
  terminal_set_prompt(prompt);
}

int read_failure() { return stdin_is_interactive() ? terminal_read_error() : script_error; }

long read_input(char* buffer, long size) {
  fflush(stdout);  // everything written so far is seen before any wait
  if (stdin_is_interactive()) return terminal_read_line(buffer, static_cast<size_t>(size));
  const long n = read_waiting(STDIN_FILENO, buffer, static_cast<size_t>(size));
  if (n < 0) script_error = errno;
  return n;
}

int read_one_key(bool echo) {
  fflush(stdout);
  TerminalLock lock;
  if (!terminal_in_key_mode()) terminal_enter_key_mode();
  std::string_view key;
  if (terminal_read_typed_key(&key, echo) != Read::kKey) return EOF;
  return static_cast<unsigned char>(key[0]);
}

void discard_keys() {
  TerminalLock lock;
  terminal_discard();
}

void pause_for_key() {
  fputs(kPausePrompt, stdout);
  prompt_shown(kPausePrompt);
  read_one_key(false);
  putchar('\n');
}
