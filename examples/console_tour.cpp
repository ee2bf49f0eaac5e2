// A tour of the console control functions, built against the installed
// library. With CMake:
//   find_package(marking-system REQUIRED COMPONENTS console)
//   target_link_libraries(console_tour PRIVATE marking-system::console)
// With pkg-config:
//   c++ console_tour.cpp $(pkg-config --cflags --libs marking-system-console)
#include <marking-system/console.h>

#include <cstdio>

namespace {

const char* const kPresetNames[16] = {
    "bright white on black",       "light red on black",
    "light green on black",        "yellow on black",
    "light blue on black",         "light magenta on black",
    "light cyan on black",         "dark grey on dark grey",
    "dark grey on bright white",   "light red on bright white",
    "light green on bright white", "yellow on bright white",
    "light blue on bright white",  "light magenta on bright white",
    "light cyan on bright white",  "bright white on bright white",
};

// Text at a cell, in the default colours.
void say(int x, int y, const char* text) {
  gotoxy(x, y);
  setrgb(0);
  fputs(text, stdout);
  fflush(stdout);
}

}  // namespace

int main() {
  clrscr();
  SetCursorVisible(0, 25);  // hidden while the tour is drawn
  say(0, 0, "setrgb: the sixteen colour presets");
  for (int preset = 0; preset < 16; ++preset) {
    gotoxy(preset < 8 ? 0 : 40, 1 + preset % 8);
    setrgb(preset);
    printf(" %2d %-33s", preset, kPresetNames[preset]);
    fflush(stdout);
  }

  gotoxy(52, 11);
  const int x = whereX(), y = whereY();
  char line[80];
  snprintf(line, sizeof line, "gotoxy(52, 11), then whereX() and whereY(): %d, %d", x, y);
  say(0, 10, line);

  const char kKept[] = "clreol: this line ends here.";
  say(0, 12, "clreol: this line ends here. And what was written after it is gone.");
  gotoxy(sizeof kKept - 1, 12);
  clreol();

  say(0, 14, "The cursor was hidden while this was drawn; it is shown again now.");
  SetCursorVisible(1, 25);
  say(0, 16, "Press a key to clear the screen: ");
  getkey();     // through the library: nothing typed during a getxy is lost
  normvideo();  // the shell gets its own colours back
  clrscr();
  return 0;
}
