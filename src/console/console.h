// Console control: move and read the cursor, show or hide it, clear the screen
// or the rest of a line, pick one of sixteen colour presets, size the window,
// toggle full screen. No function reports failure. They act on the console
// behind standard output; where that is not a console they do nothing, and
// getxy gives 0, 0.
//
// Installed as <marking-system/console.h>, with the static library
// marking-system-console (CMake: marking-system::console; pkg-config:
// marking-system-console). Usable from C and C++.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

void gotoxy(int x, int y);                     // zero-based column and row
void SetCursorVisible(int visible, int size);  // size: percent of the cell, 1 to 100
void getxy(int* x, int* y);
int whereX();
int whereY();
void clrscr();            // the whole buffer, scroll-back included; cursor to 0, 0
void clreol();            // from the cursor to the end of its line; the cursor stays
void setrgb(int preset);  // 0 to 15; any other number is preset 0
void SetScrnSize(int width, int height);
void togglefullscreen();

#ifdef __cplusplus
}
#endif
