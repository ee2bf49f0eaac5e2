// Runs console control functions named on the command line, in order, so the
// tests can watch their effect on a real terminal:
//   gotoxy X Y | getxy | clrscr | clreol | setrgb N | cursor VISIBLE SIZE |
//   size WIDTH HEIGHT | fullscreen | normvideo | text STRING | lines N | where |
//   typed | key | next | keys N | poll | held | raw | kept | threads N | drawing |
//   reopen FILE | fork | exec | hold
// `getxy` and `where` print "X Y" on standard error; `typed` prints, on
// standard error, the keys waiting (keyhit, getkey); `key` waits for a key
// (getkey) and prints it; `next` does, and prints the rest of it the same way; `raw` sets the
// terminal raw as a program of its own would, and `kept` prints whether its
// settings are still those; `threads N` calls getxy N times from each of two
// threads and prints how many answers were 8 4; `drawing` draws while
// another thread waits in getkey, prints "drawn", then the key; `reopen`
// closes standard input and opens FILE there; `keys N` reads N keys with
// readkey and prints their values in hexadecimal (and the window's size after
// a resize); `poll` and `held` read keys until q, polling with keyhit and
// getkey, or with readkey(0) after keymode(1), and print "[ready]" when a
// look found none, "[got N]" for each; `fork` reads a key's first byte, then
// a child says whether a key waits for it, and the parent reads the rest;
// `exec` lists the descriptors a program it runs is left; `hold` prints
// "ready" on standard error and waits to be killed, so the screen can be read.
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#ifndef _WIN32
#include <thread>
#endif

#include "console/console.h"

#ifndef _WIN32
namespace {

// Answers of getxy that were 8 4, from `calls` calls.
int right_positions(int calls) {
  int right = 0;
  for (int n = 0; n < calls; ++n) {
    int x = -1, y = -1;
    getxy(&x, &y);
    right += x == 8 && y == 4 ? 1 : 0;
  }
  return right;
}

}  // namespace
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
    } else if (step == "normvideo") {
      normvideo();
    } else if (step == "typed") {
      std::string typed;
      while (keyhit()) typed += static_cast<char>(getkey());
      fprintf(stderr, "typed:%s\n", typed.c_str());
    } else if (step == "keys") {
      for (int n = number(); n > 0; --n) {
        const int key = readkey(-1);
        int width = 0, height = 0;
        GetScrnSize(&width, &height);
        if (key == CK_RESIZE)
          fprintf(stderr, "resize %dx%d\n", width, height);
        else
          fprintf(stderr, "%x\n", static_cast<unsigned>(key));
      }
    } else if (step == "key") {
      const int key = getkey();
      fprintf(stderr, "key:%c\n", key);
    } else if (step == "next") {
      std::string key(1, static_cast<char>(getkey()));
      while (keyhit()) key += static_cast<char>(getkey());
      fprintf(stderr, "next:%s\n", key.c_str());
#ifndef _WIN32
    } else if (step == "threads") {
      const int calls = number();
      int right[2] = {0, 0};
      std::thread other([&] { right[1] = right_positions(calls); });
      right[0] = right_positions(calls);
      other.join();
      fprintf(stderr, "threads: %d right\n", right[0] + right[1]);
    } else if (step == "drawing") {
      int key = 0;
      std::thread reader([&] { key = getkey(); });
      termios now{};
      do tcgetattr(STDIN_FILENO, &now);
      while (now.c_lflag & ICANON);  // the reader holds key mode: it waits
      gotoxy(2, 2);
      setrgb(3);
      normvideo();
      fputs("drawn\n", stderr);
      reader.join();
      fprintf(stderr, "key:%c\n", key);
    } else if (step == "reopen" && i + 1 < argc) {
      close(STDIN_FILENO);
      const int fd = open(argv[++i], O_RDONLY);  // takes descriptor 0
      if (fd != STDIN_FILENO) return 1;
    } else if (step == "poll" || step == "held") {
      if (step == "held") keymode(1);
      for (int key = 0, looked = 0; key != 'q'; looked = !key) {
        key = step == "held" ? readkey(0) : keyhit() ? getkey() : 0;
        if (key) fprintf(stderr, "[got %d]", key);
        if (!key && !looked) fputs("[ready]", stderr);
        const timespec drawing = {0, 1000000};  // as a program would between looks
        if (!key) nanosleep(&drawing, nullptr);
      }
    } else if (step == "fork") {
      const int first = getkey();
      if (fork() == 0) {
        fprintf(stderr, "child:%d\n", keyhit());
        exit(0);  // and restores nothing of its parent's
      }
      wait(nullptr);
      const int second = getkey();
      fprintf(stderr, "parent:%d %d %d\n", first, second, getkey());
    } else if (step == "exec") {
      execl("/bin/ls", "ls", "-1", "/proc/self/fd", static_cast<char*>(nullptr));
    } else if (step == "raw") {
      termios raw{};
      tcgetattr(STDIN_FILENO, &raw);
      cfmakeraw(&raw);
      tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    } else if (step == "kept") {
      termios now{}, raw{};
      tcgetattr(STDIN_FILENO, &now);
      raw = now;
      cfmakeraw(&raw);
      const bool kept = now.c_iflag == raw.c_iflag && now.c_oflag == raw.c_oflag &&
                        now.c_lflag == raw.c_lflag && now.c_cflag == raw.c_cflag;
      fprintf(stderr, kept ? "kept\r\n" : "changed\r\n");
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
