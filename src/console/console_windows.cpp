// The console control functions on the Windows console. Keys a byte a call
// come from the C runtime's conio; keys as one value each from the
// console's input records. The console's calls are safe from several
// threads as they are; what the functions remember of the console takes
// turns.
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

SRWLOCK srw_lock = SRWLOCK_INIT;

// Holds the lock for as long as it lives.
struct Lock {
  Lock() { AcquireSRWLockExclusive(&srw_lock); }
  ~Lock() { ReleaseSRWLockExclusive(&srw_lock); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
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
  Lock held;
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
  Lock held;
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
  Lock held;
  if (found_attributes) SetConsoleTextAttribute(output(), default_attributes);
}

// The C runtime's _getch gives a byte above 127 sign-extended in some
// builds (Wine's): a byte is 0 to 255, as on a terminal.
int getkey(void) {
  fflush(stdout);
  return _getch() & 0xFF;
}

int getkeye(void) {
  fflush(stdout);
  return _getche() & 0xFF;
}

namespace {

// The named keys by their virtual-key codes.
int named_key(WORD virtual_key) {
  if (virtual_key >= VK_F1 && virtual_key <= VK_F24) return CK_F(virtual_key - VK_F1 + 1);
  switch (virtual_key) {
    case VK_UP: return CK_UP;
    case VK_DOWN: return CK_DOWN;
    case VK_LEFT: return CK_LEFT;
    case VK_RIGHT: return CK_RIGHT;
    case VK_HOME: return CK_HOME;
    case VK_END: return CK_END;
    case VK_PRIOR: return CK_PGUP;
    case VK_NEXT: return CK_PGDN;
    case VK_INSERT: return CK_INSERT;
    case VK_DELETE: return CK_DELETE;
    case VK_CLEAR: return CK_BEGIN;
    default: return 0;
  }
}

// A key record as readkey gives it, the same value a terminal's bytes give
// (key_names.h): a character with Alt added, not Shift (it is in the
// character) nor Ctrl where it made a control code; Tab with Shift as back
// tab; nothing where Ctrl and Alt together are AltGr making a character.
// Half a surrogate pair waits for the other half in `high`.
int key_of(const KEY_EVENT_RECORD& key, wchar_t* high) {
  const DWORD state = key.dwControlKeyState;
  int modifiers = 0;
  if (state & SHIFT_PRESSED) modifiers |= CK_SHIFT;
  if (state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) modifiers |= CK_CTRL;
  if (state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) modifiers |= CK_ALT;
  if (const int named = named_key(key.wVirtualKeyCode)) return named | modifiers;
  const wchar_t c = key.uChar.UnicodeChar;
  if (c >= 0xD800 && c < 0xDC00) {
    *high = c;
    return 0;
  }
  int value = c;
  if (c >= 0xDC00 && c < 0xE000) {
    if (!*high) return 0;
    value = 0x10000 + ((*high - 0xD800) << 10) + (c - 0xDC00);
    *high = 0;
  }
  if (value == 0) return 0;  // Shift, Ctrl or Alt alone; a dead key
  if (value == '\t' && (modifiers & CK_SHIFT)) return '\t' | CK_SHIFT;
  if (value < 0x20 || value == 0x7F) return (value == 0x7F ? 8 : value) | (modifiers & CK_ALT);
  if ((modifiers & (CK_CTRL | CK_ALT)) == (CK_CTRL | CK_ALT)) return value;  // AltGr
  return value | (modifiers & (CK_CTRL | CK_ALT));
}

}  // namespace

int readkey(int wait_ms) {
  fflush(stdout);
  static int repeated = 0, repeats = 0;  // a key held down comes as one record with a count
  static wchar_t high = 0;
  if (repeats > 0) {
    --repeats;
    return repeated;
  }
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  const DWORD start = GetTickCount();
  for (;;) {
    DWORD count = 0;
    if (!GetNumberOfConsoleInputEvents(input, &count)) return EOF;  // no console to read
    if (count == 0) {
      const DWORD passed = GetTickCount() - start;
      if (wait_ms >= 0 && passed >= static_cast<DWORD>(wait_ms)) return 0;
      const DWORD left = wait_ms < 0 ? INFINITE : static_cast<DWORD>(wait_ms) - passed;
      if (WaitForSingleObject(input, left) == WAIT_TIMEOUT) return 0;
      continue;
    }
    INPUT_RECORD record;
    DWORD read = 0;
    if (!ReadConsoleInputW(input, &record, 1, &read) || read == 0) return EOF;
    if (record.EventType == WINDOW_BUFFER_SIZE_EVENT) return CK_RESIZE;
    if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) continue;
    if (const int value = key_of(record.Event.KeyEvent, &high)) {
      repeated = value;
      repeats = record.Event.KeyEvent.wRepeatCount > 1 ? record.Event.KeyEvent.wRepeatCount - 1 : 0;
      return value;
    }
  }
}

// The console echoes nothing but what a read of a line echoes, and holds no
// key back: there is no mode to hold.
void keymode(int /*on*/) {}

void GetScrnSize(int* width, int* height) {
  CONSOLE_SCREEN_BUFFER_INFO info{};  // stays zero where standard output is no console
  GetConsoleScreenBufferInfo(output(), &info);
  const SMALL_RECT& window = info.srWindow;
  *width = info.dwSize.X ? window.Right - window.Left + 1 : 0;
  *height = info.dwSize.X ? window.Bottom - window.Top + 1 : 0;
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
