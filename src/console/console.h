// Console control: move and read the cursor, show or hide it, clear the screen
// or the rest of a line, pick one of sixteen colour presets or go back to the
// default colours, size the window, toggle full screen; and read keys. No
// function reports failure. They act on the console behind standard output;
// where that is not a console they do nothing, and getxy gives 0, 0.
//
// Installed as <marking-system/console.h>, with the static library
// marking-system-console (CMake: marking-system::console; pkg-config:
// marking-system-console), which needs only the C library: usable from C
// and C++.
//
// Threads take turns to talk to the terminal. A thread waiting for a key in
// getkey or getkeye holds up no other; a getxy meanwhile gets its reply, and
// the keys typed meanwhile go, in order, to the waiting thread. A child made
// by fork may call every function: it starts with none of its parent's
// typed keys, and leaves the terminal's settings to its parent.
//
// On a POSIX terminal, getxy asks the terminal for the position and reads its
// reply from the terminal's input, and whatever was typed before or during
// the wait is kept, in order, for getkey and getkeye. A program that reads
// standard input itself should ask keyhit first and take those keys with
// getkey; a reply that comes after getxy gave up (500 ms) is dropped on that
// path, but reaches a program's own read as typed bytes. The settings a call
// finds are put back when the last call waiting for keys returns. What a
// program changed of the cursor and the colours is put back when it ends
// (returning, exit, Ctrl-C and every signal that ends it) and while it is
// stopped, on POSIX and Windows alike.
//
// The presets of setrgb, foreground on background, the same everywhere:
//   0 bright white on black     8 dark grey on bright white
//   1 light red on black        9 light red on bright white
//   2 light green on black     10 light green on bright white
//   3 yellow on black          11 yellow on bright white
//   4 light blue on black      12 light blue on bright white
//   5 light magenta on black   13 light magenta on bright white
//   6 light cyan on black      14 light cyan on bright white
//   7 dark grey on dark grey   15 bright white on bright white
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

// Keys as one value each, the same on a terminal and on the Windows console:
// a character is its Unicode code point; Enter is 13, Tab 9, Backspace 8,
// Escape 27, Ctrl with a letter its control code (Ctrl-A is 1); the named
// keys lie above the Unicode range, and CK_SHIFT, CK_CTRL and CK_ALT are
// added to a key's value (Alt with a character too: 'x' + CK_ALT).
#define CK_UP 0x110001
#define CK_DOWN 0x110002
#define CK_LEFT 0x110003
#define CK_RIGHT 0x110004
#define CK_HOME 0x110005
#define CK_END 0x110006
#define CK_PGUP 0x110007
#define CK_PGDN 0x110008
#define CK_INSERT 0x110009
#define CK_DELETE 0x11000A
#define CK_BEGIN 0x11000B         // the keypad's centre, 5 with Num Lock off
#define CK_F(n) (0x110100 + (n))  // F1 to F63
#define CK_RESIZE 0x110200        // the window's size changed: GetScrnSize gives it
#define CK_SHIFT 0x200000
#define CK_CTRL 0x400000
#define CK_ALT 0x800000
#define CK_MODIFIERS (CK_SHIFT | CK_CTRL | CK_ALT)

// The next key, whole, as one value, waiting for it at most wait_ms
// milliseconds (a negative wait_ms waits for ever, 0 only looks): 0 when
// the time passed first; CK_RESIZE when the window's size changed; EOF when
// input has ended. A lone Escape is told from the start of a key by a wait
// of 500 ms, or of ESCDELAY milliseconds where that is set, as curses does.
int readkey(int wait_ms);
// Holds key mode from keymode(1) until keymode(0) or the program's end: keys
// typed between calls are neither shown nor held back until Enter. A call
// that finds no key (keyhit, a readkey whose wait passed) keeps key mode in
// force too, so that a program that polls shows nothing typed, until a call
// gives the last key waiting, or keymode(0): a program that reads a line
// itself after that reads it as the terminal edits and echoes it.
void keymode(int on);
void GetScrnSize(int* width, int* height);  // the window's columns and rows; 0, 0 where unknown

// Keys as conio's getch, getche and kbhit give them (those names are taken by
// the Windows C runtime and by curses): one byte a call, 0 to 255, waiting
// for it, without Enter, so a key of several bytes comes a byte a call (on a
// terminal the bytes it sends, 27 91 65 for Up; on Windows 0 or 224, then
// the scan code); EOF when input has ended.
int getkey(void);   // not echoed
int getkeye(void);  // echoed where the console echoes (a control key as ^G; an arrow not)
int keyhit(void);   // nonzero when a key is waiting

#ifdef __cplusplus
}
#endif
