// Console control: move and read the cursor, show or hide it, clear the screen
// or the rest of a line, pick one of sixteen colour presets or go back to the
// default colours, size the window, toggle full screen; and read keys. No
// function reports failure. They act on the console behind standard output;
// where that is not a console they do nothing, and getxy gives 0, 0.
//
// Installed as <marking-system/console.h>, with the static library
// marking-system-console (CMake: marking-system::console; pkg-config:
// marking-system-console), which needs only the C library: usable from C
// and C++, and safe to call from several threads (they take turns).
//
// On a POSIX terminal, getxy asks the terminal for the position and reads its
// reply from the terminal's input, and whatever was typed before or during
// the wait is kept, in order, for getkey and getkeye. A program that reads
// standard input itself should ask keyhit first and take those keys with
// getkey; a reply that comes after getxy gave up (500 ms) is dropped on that
// path, but reaches a program's own read as typed bytes. Each call leaves the
// terminal's settings as it found them.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

void gotoxy(int x, int y);                     // zero-based column and row
void SetCursorVisible(int visible, int size);  // size: percent of the cell, 1 to 100
void getxy(int* x, int* y);
int whereX(void);
int whereY(void);
void clrscr(void);        // the whole buffer, scroll-back included; cursor to 0, 0
void clreol(void);        // from the cursor to the end of its line; the cursor stays
void setrgb(int preset);  // 0 to 15; any other number is preset 0
void normvideo(void);     // the default colours (on Windows, those before the first setrgb)
void SetScrnSize(int width, int height);
void togglefullscreen(void);

// Keys, as conio's getch, getche and kbhit give them (those names are taken
// by the Windows C runtime and by curses): one byte a call, waiting for it,
// without Enter, so a key of several bytes (an arrow) comes a byte a call;
// EOF when input has ended.
int getkey(void);   // not echoed
int getkeye(void);  // echoed where the console echoes (an arrow is not)
int keyhit(void);   // nonzero when a key is waiting

#ifdef __cplusplus
}
#endif
