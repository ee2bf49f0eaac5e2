// The console control functions on the Windows console; keys come from the
// C runtime's conio. The console's calls are safe from several threads as
// they are; what the functions remember of the console takes turns.
#include <conio.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "console/console.h"
#include "internal.h"

namespace {

HANDLE output() {
  fflush(stdout);  // text written before a console call lands where it was meant to
  return GetStdHandle(STD_OUTPUT_HANDLE);
}

// Positions and sizes go to the console as their low 16 bits.
COORD cell(int x, int y) {
  COORD c;
  c.X = static_cast<SHORT>(x);
  c.Y = static_cast<SHORT>(y);
  return c;
}

SRWLOCK lock = SRWLOCK_INIT;

// Holds the lock for as long as it lives.
struct Turn {
  Turn() { AcquireSRWLockExclusive(&lock); }
  ~Turn() { ReleaseSRWLockExclusive(&lock); }
  Turn(const Turn&) = delete;
  Turn& operator=(const Turn&) = delete;
};

// The cursor and the attributes found before the first change: normvideo
// goes back to the attributes, and both are put back when the program ends,
// as the console keeps them after it.
bool found_cursor = false;
CONSOLE_CURSOR_INFO cursor_found;
bool found_attributes = false;
WORD default_attributes = 0;

void put_back() {
  const HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
  if (found_cursor) SetConsoleCursorInfo(console, &cursor_found);
  if (found_attributes) SetConsoleTextAttribute(console, default_attributes);
}

// Ctrl-C, Ctrl-Break, the window closed: put back, then end as the console would.
BOOL WINAPI on_console_event(DWORD /*event*/) {
  put_back();
  return FALSE;
}

// From the first change on, put back at exit and on the console's events.
void remember_to_put_back() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  atexit(put_back);
  SetConsoleCtrlHandler(on_console_event, TRUE);
}

}  // namespace

void gotoxy(int x, int y) { SetConsoleCursorPosition(output(), cell(x, y)); }

void SetCursorVisible(int visible, int size) {
  Turn turn;
  const HANDLE console = output();
  if (!found_cursor && GetConsoleCursorInfo(console, &cursor_found)) {
    found_cursor = true;
    remember_to_put_back();
  }
  CONSOLE_CURSOR_INFO info;
  info.dwSize = static_cast<DWORD>(size);
  info.bVisible = visible != 0;
  SetConsoleCursorInfo(console, &info);
}

void getxy(int* x, int* y) {
  CONSOLE_SCREEN_BUFFER_INFO info{};  // stays zero where standard output is no console
  GetConsoleScreenBufferInfo(output(), &info);
  *x = info.dwCursorPosition.X;
  *y = info.dwCursorPosition.Y;
}

void clrscr(void) {
  const HANDLE console = output();
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(console, &info);
  const DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
  DWORD written;
  FillConsoleOutputCharacterA(console, ' ', cells, cell(0, 0), &written);
  GetConsoleScreenBufferInfo(console, &info);
  FillConsoleOutputAttribute(console, info.wAttributes, cells, cell(0, 0), &written);
  SetConsoleCursorPosition(console, cell(0, 0));
}

void clreol(void) {
  const int x = whereX();
  const int y = whereY();
  const HANDLE console = output();
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(console, &info);
  const DWORD count = static_cast<DWORD>(info.dwSize.X - whereX());
  DWORD written;
  FillConsoleOutputCharacterA(console, ' ', count, cell(x, y), &written);
  GetConsoleScreenBufferInfo(console, &info);
  FillConsoleOutputAttribute(console, info.wAttributes, count, cell(x, y), &written);
  SetConsoleCursorPosition(console, cell(x, y));
}

void setrgb(int preset) {
  Turn turn;
  const HANDLE console = output();
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!found_attributes && GetConsoleScreenBufferInfo(console, &info)) {
    found_attributes = true;
    default_attributes = info.wAttributes;
    remember_to_put_back();
  }
  SetConsoleTextAttribute(console, preset_attribute(preset));
}

void normvideo(void) {
  Turn turn;
  if (found_attributes) SetConsoleTextAttribute(output(), default_attributes);
}

int getkey(void) {
  fflush(stdout);
  return _getch();
}

int getkeye(void) {
  fflush(stdout);
  return _getche();
}

int keyhit(void) { return _kbhit() ? 1 : 0; }

void SetScrnSize(int width, int height) {
  const HANDLE console = output();
  SMALL_RECT window;
  window.Left = 0;
  window.Top = 0;
  window.Right = static_cast<SHORT>(width - 1);
  window.Bottom = static_cast<SHORT>(height - 1);
  // The window first, then the buffer, whether or not the window could be set.
  SetConsoleWindowInfo(console, TRUE, &window);
  SetConsoleScreenBufferSize(console, cell(width, height));
}

void togglefullscreen(void) {
  constexpr BYTE kAlt = 0x12, kAltScan = 0x38, kEnter = 0x0D, kEnterScan = 0x1C;
  keybd_event(kAlt, kAltScan, 0, 0);
  keybd_event(kEnter, kEnterScan, 0, 0);
  keybd_event(kEnter, kEnterScan, KEYEVENTF_KEYUP, 0);
  keybd_event(kAlt, kAltScan, KEYEVENTF_KEYUP, 0);
}
