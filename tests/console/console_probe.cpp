// Runs console control functions named on the command line, in order, so the
// tests can watch their effect on a real terminal:
//   gotoxy X Y | getxy | clrscr | clreol | setrgb N | cursor VISIBLE SIZE |
//   size WIDTH HEIGHT | fullscreen | text STRING | lines N | where | typed | next | hold
// `getxy` and `where` print "X Y" on standard error; `typed` prints, on
// standard error, what a read of the terminal would get next; `next` waits for
// a key to be typed and prints it the same way; `hold` prints
// "ready" on standard error and waits to be killed, so the screen can be read.
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "console/console.h"
#ifndef _WIN32
#include "terminal/terminal.h"
#endif

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string step = argv[i];
    auto number = [&]() { return i + 1 < argc ? atoi(argv[++i]) : 0; };
    if (step == "gotoxy") {
      const int x = number();
      gotoxy(x, number());
    } else if (step == "getxy") {
      int x = -1, y = -1;
      getxy(&x, &y);
      fprintf(stderr, "%d %d\n", x, y);
    } else if (step == "where") {
      const int x = whereX();
      fprintf(stderr, "%d %d\n", x, whereY());
    } else if (step == "clrscr") {
      clrscr();
    } else if (step == "clreol") {
      clreol();
    } else if (step == "setrgb") {
      setrgb(number());
    } else if (step == "cursor") {
      const int visible = number();
      SetCursorVisible(visible, number());
    } else if (step == "size") {
      const int width = number();
      SetScrnSize(width, number());
    } else if (step == "fullscreen") {
      togglefullscreen();
    } else if (step == "text" && i + 1 < argc) {
      fputs(argv[++i], stdout);
      fflush(stdout);
    } else if (step == "lines") {
      for (int n = number(), line = 0; line < n; ++line) printf("line %d\n", line);
      fflush(stdout);
#ifndef _WIN32
    } else if (step == "typed") {  // what the program's next read of the terminal gets
      terminal_set_mode(TerminalMode::kKeys);
      terminal_fill(200);
      const std::string_view typed = terminal_queued();
      fprintf(stderr, "typed:%.*s\n", static_cast<int>(typed.size()), typed.data());
    } else if (step == "next") {
      terminal_set_mode(TerminalMode::kKeys);
      while (terminal_queued().empty() && terminal_fill(kWaitForever) >= 0) {
      }
      const std::string_view typed = terminal_queued();
      fprintf(stderr, "next:%.*s\n", static_cast<int>(typed.size()), typed.data());
#endif
    } else if (step == "hold") {
      fputs("ready\n", stderr);
      fflush(stderr);
#ifdef _WIN32
      for (;;) Sleep(INFINITE);
#else
      for (;;) pause();
#endif
    } else {
      fprintf(stderr, "unknown step %s\n", argv[i]);
      return 2;
    }
  }
  return 0;
}
