// Keys on the Windows console: _getche for one key with echo, the command
// processor's pause. Standard input that is no console is a script, read in
// binary mode so the same bytes give the same session as on POSIX.
#include <conio.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "internal.h"
#include "keyboard/keyboard.h"

bool stdin_is_interactive() {
  static const bool console = [] {
    DWORD mode = 0;
    if (GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode)) return true;
    _setmode(_fileno(stdin), _O_BINARY);
    return false;
  }();
  return console;
}

namespace {
int read_error = 0;
}

// The console needs nothing: _getch reads keys as they come, and a write to
// a console waits while it is paused.
void open_console() {}

// The console keeps what was shown: there is no stop to come back from.
void prompt_shown(const char* /*prompt*/) {}

int read_failure() { return read_error; }

bool errors_on_the_screen() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) &&
         GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode);
}

long read_input(char* buffer, long size) {
  stdin_is_interactive();  // sets binary mode before the first read of a script
  fflush(stdout);
  const int n = _read(0, buffer, static_cast<unsigned>(size));
  if (n < 0) read_error = errno;
  return n;
}

// _getch and then _putch, which is _getche, except that the prefix byte of an
// arrow or function key (0 or 0xE0, then a scan code) is never echoed: such a
// key is read whole and matches no choice.
int read_one_key(bool echo) {
  fflush(stdout);
  const int key = _getch();
  if (key == 0 || key == 0xE0) {
    _getch();
    return key;
  }
  if (echo) _putch(key);
  return key & 0xFF;
}

void discard_keys() { FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE)); }

void pause_for_key() {
  fflush(stdout);
  system("pause");
}
