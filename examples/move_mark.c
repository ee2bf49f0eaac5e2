/* A mark moved around the window with the arrow keys, as a program that
   reads keys with the console functions does it: keys as one value each,
   the window drawn again when its size changes, q or Escape to end.
   With CMake:
     find_package(marking-system REQUIRED COMPONENTS console)
     target_link_libraries(move_mark PRIVATE marking-system::console)
   With pkg-config:
     cc move_mark.c $(pkg-config --cflags --libs marking-system-console) */
#include <marking-system/console.h>
#include <stdio.h>

static int width, height; /* of the window */

static void put(int x, int y, const char* text) {
  gotoxy(x, y);
  fputs(text, stdout);
  fflush(stdout);
}

/* The whole window: the help on the top row, the mark where it is. */
static void draw(int x, int y) {
  char help[80];
  clrscr();
  snprintf(help, sizeof help, "Arrows move the mark; q or Escape ends. %d x %d", width, height);
  put(0, 0, help);
  put(x, y, "@");
}

static int within(int value, int low, int high) {
  return value < low ? low : value > high ? high : value;
}

int main(void) {
  GetScrnSize(&width, &height);
  if (width < 1 || height < 2) { /* not a terminal that says */
    width = 80;
    height = 24;
  }
  int x = width / 2, y = height / 2;
  keymode(1); /* keys neither shown nor held until Enter, from now on */
  SetCursorVisible(0, 25);
  draw(x, y);
  for (;;) {
    const int key = readkey(-1);
    if (key == 'q' || key == 27 || key == EOF) break;
    if (key == CK_RESIZE) {
      GetScrnSize(&width, &height);
      x = within(x, 0, width - 1);
      y = within(y, 1, height - 1);
      draw(x, y);
      continue;
    }
    const int moved_x = within(x + (key == CK_RIGHT) - (key == CK_LEFT), 0, width - 1);
    const int moved_y = within(y + (key == CK_DOWN) - (key == CK_UP), 1, height - 1);
    put(x, y, " ");
    put(x = moved_x, y = moved_y, "@");
  }
  SetCursorVisible(1, 25);
  clrscr();
  keymode(0);
  return 0;
}
