// The console control functions on a terminal emulator, as ECMA-48 and xterm
// control sequences. Nothing is written unless standard output is a terminal
// that takes them (TERM set, and not "dumb"). The sequences used:
//   CUP       CSI row ; column H   move the cursor (1-based)
//   ED        CSI 2 J, CSI 3 J     erase the screen, the scroll-back (xterm)
//   EL        CSI K                erase to the end of the line
//   DECSCUSR  CSI n SP q           cursor shape
//   DECTCEM   CSI ? 25 h / l       show or hide the cursor
//   SGR       CSI fg ; bg m        colours; CSI 0 m the terminal's defaults
//   XTWINOPS  CSI 8 ; h ; w t      resize; CSI 10 ; 2 t toggles full screen
//   DSR       CSI 6 n              asks for the cursor position, answered
//                                  with CPR: CSI row ; column R
//   DA        CSI c                asks what the terminal is, answered
//                                  with CSI ? ... c
//
// Every function holds the terminal's lock while it runs, so that threads
// take turns: a position query then gets its own reply, and sequences are
// not mixed. A wait for a key lets the lock go meanwhile. The library needs
// only the C library at link time: no exceptions, and nothing of the C++
// runtime.
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "console/console.h"
#include "internal.h"
#include "terminal/echo.h"
#include "terminal/input.h"
#include "terminal/lock.h"
#include "terminal/mode.h"
#include "terminal/signals.h"

#define CSI "\x1b["

namespace {

constexpr char kEraseScreen[] = CSI "2J";
constexpr char kEraseScrollback[] = CSI "3J";
constexpr char kCursorHome[] = CSI "H";
constexpr char kEraseToEndOfLine[] = CSI "K";
constexpr char kShowCursor[] = CSI "?25h";
constexpr char kHideCursor[] = CSI "?25l";
constexpr char kToggleFullScreen[] = CSI "10;2t";
constexpr char kDefaultColours[] = CSI "0m";
constexpr char kDefaultShape[] = CSI "0 q";
// DSR, then DA: the attributes reply ends the wait for the position's.
constexpr char kAskPosition[] = CSI "6n" CSI "c";
constexpr int kBlockShape = 2, kUnderlineShape = 4;  // steady cursor shapes
constexpr int kReplyTimeoutMs = 500;

using Lock = TerminalLock;

bool starts_with(std::string_view text, std::string_view start) {
  return text.size() >= start.size() && memcmp(text.data(), start.data(), start.size()) == 0;
}

bool takes_sequences() {
  const char* term = getenv("TERM");
  return isatty(STDOUT_FILENO) && term && *term && strcmp(term, "dumb") != 0;
}

// The console takes positions and sizes as 16-bit values.
int low16(int value) { return static_cast<int16_t>(static_cast<uint16_t>(value)); }

bool on_screen(int x, int y) {
  winsize size{};
  if (x < 0 || y < 0) return false;
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) < 0 || size.ws_col == 0 || size.ws_row == 0)
    return true;  // a terminal that does not say: let it place the cursor
  return x < size.ws_col && y < size.ws_row;
}

void emit(const char* sequence) {
  fputs(sequence, stdout);
  fflush(stdout);
}

// What the program changed of the cursor and the colours: put back as the
// terminal had them on every way out, as the terminal's settings are, and
// set again when the program comes back from a stop. Read in signal handlers.
volatile sig_atomic_t shape_set = 0;  // the DECSCUSR number set, 0 if none
volatile sig_atomic_t cursor_hidden = 0;
volatile sig_atomic_t foreground_set = 0, background_set = 0;  // SGR numbers, 0 if none

// A sequence built and written in a signal handler: no stdio, no allocation.
struct HandlerText {
  char text[64];
  size_t size = 0;
  void add(const char* part) {
    while (*part && size < sizeof text) text[size++] = *part++;
  }
  void add_number(int n) {
    char digits[12];
    int count = 0;
    do digits[count++] = static_cast<char>('0' + n % 10);
    while ((n /= 10) > 0);
    while (count > 0 && size < sizeof text) text[size++] = digits[--count];
  }
  void write_out() const { write_all(STDOUT_FILENO, std::string_view(text, size)); }
};

void put_back_cursor_and_colours() {
  HandlerText back;
  if (shape_set) back.add(kDefaultShape);
  if (cursor_hidden) back.add(kShowCursor);
  if (foreground_set) back.add(kDefaultColours);
  back.write_out();
}

void set_cursor_and_colours_again() {
  HandlerText again;
  if (shape_set) {
    again.add(CSI);
    again.add_number(shape_set);
    again.add(" q");
  }
  if (cursor_hidden) again.add(kHideCursor);
  if (foreground_set) {
    again.add(CSI);
    again.add_number(foreground_set);
    again.add(";");
    again.add_number(background_set);
    again.add("m");
  }
  again.write_out();
}

// From the first change on, what was changed is put back on every way out.
void remember_to_put_back() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  terminal_register_restore(put_back_cursor_and_colours, set_cursor_and_colours_again);
}

// ANSI colour numbers run red 1, green 2, blue 4: the console's bits reversed.
int ansi_colour(int bits) { return (bits & 4 ? 1 : 0) | (bits & 2) | (bits & 1 ? 4 : 0); }

// CPR: CSI row ; column R, each at least 1.
bool position_reply(std::string_view key, int* row, int* column) {
  if (key.size() < 6 || !starts_with(key, CSI) || key.back() != 'R') return false;
  int numbers[2] = {0, 0};
  size_t pos = 2;
  for (int n = 0; n < 2; ++n) {
    const size_t digits = pos;
    for (; pos < key.size() && pos - digits < 5 && key[pos] >= '0' && key[pos] <= '9'; ++pos)
      numbers[n] = numbers[n] * 10 + (key[pos] - '0');
    if (pos == digits || numbers[n] < 1 || key[pos++] != (n == 0 ? ';' : 'R')) return false;
  }
  if (pos != key.size()) return false;
  *row = numbers[0];
  *column = numbers[1];
  return true;
}

bool position_shaped(std::string_view key) {
  int row = 0, column = 0;
  return position_reply(key, &row, &column);
}

// DA: CSI ? parameters c.
bool attributes_reply(std::string_view key) {
  return key.size() >= 4 && starts_with(key, CSI "?") && key.back() == 'c';
}

// Asks for the position, then for the attributes, whose reply ends the wait.
// The last position reply before it is the answer: a key shaped like one
// (Shift+F3 sends CSI 1 ; 2 R) comes before the real reply.
bool ask_position(int* row, int* column) {
  Reply position = {position_shaped, {}, 0};
  terminal_ask(kAskPosition, &position, 1, attributes_reply, kReplyTimeoutMs);
  return position.size > 0 &&
         position_reply(std::string_view(position.bytes, position.size), row, column);
}

// The Windows console has its new size when the call returns; a terminal
// takes the request later, if at all (xterm refuses it unless window
// operations are allowed). Wait a little for the size it reports to be the
// one asked for, so that the cursor can be placed in the new rows at once.
void await_size(int width, int height) {
  constexpr long long kResizeWaitMs = 200;
  constexpr timespec kStep = {0, 5000000};  // 5 ms
  const long long deadline = monotonic_ms() + kResizeWaitMs;
  for (;;) {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) < 0) return;
    if ((size.ws_col == width && size.ws_row == height) || monotonic_ms() >= deadline) return;
    nanosleep(&kStep, nullptr);
  }
}

// One byte of the next key, as conio's getch gives an arrow byte by byte. The
// key is read whole, in key mode (the caller's settings are restored after),
// from the queue the position query also reads, so no key typed is lost to
// it. Where key mode cannot be set, the key is read in the caller's mode.
int key_byte(bool echo) {
  Lock lock;
  const bool entered = terminal_enter_key_mode();
  const int byte = terminal_read_key_byte(echo);
  if (entered) terminal_leave_key_mode();
  return byte;
}

}  // namespace

void gotoxy(int x, int y) {
  Lock lock;
  x = low16(x);
  y = low16(y);
  // Off the screen nothing moves, as the console refuses a cell off its buffer.
  if (!takes_sequences() || !on_screen(x, y)) return;
  printf(CSI "%d;%dH", y + 1, x + 1);
  fflush(stdout);
}

// Sizes from 50 up fill half the cell or more and show as a block; smaller
// ones as an underline. A size outside 1 to 100 changes nothing, as on Windows.
void SetCursorVisible(int visible, int size) {
  Lock lock;
  if (!takes_sequences() || size < 1 || size > 100) return;
  remember_to_put_back();
  shape_set = size >= 50 ? kBlockShape : kUnderlineShape;
  cursor_hidden = !visible;
  printf(CSI "%d q%s", static_cast<int>(shape_set), visible ? kShowCursor : kHideCursor);
  fflush(stdout);
}

void getxy(int* x, int* y) {
  Lock lock;
  *x = *y = 0;
  if (!takes_sequences()) return;
  fflush(stdout);
  if (!terminal_enter_key_mode()) return;  // the replies must not be echoed
  int row = 0, column = 0;
  if (ask_position(&row, &column)) {
    *x = column - 1;
    *y = row - 1;
  }
  terminal_leave_key_mode();
}

void clrscr(void) {
  Lock lock;
  if (!takes_sequences()) return;
  fputs(kEraseScreen, stdout);
  fputs(kEraseScrollback, stdout);
  emit(kCursorHome);
}

void clreol(void) {
  Lock lock;
  if (takes_sequences()) emit(kEraseToEndOfLine);
}

void setrgb(int preset) {
  Lock lock;
  if (!takes_sequences()) return;
  const int attribute = preset_attribute(preset);
  const int foreground = attribute & 0x0F, background = attribute >> 4;
  remember_to_put_back();
  foreground_set = (foreground & 8 ? 90 : 30) + ansi_colour(foreground);
  background_set = (background & 8 ? 100 : 40) + ansi_colour(background);
  printf(CSI "%d;%dm", static_cast<int>(foreground_set), static_cast<int>(background_set));
  fflush(stdout);
}

void SetScrnSize(int width, int height) {
  Lock lock;
  width = low16(width);
  height = low16(height);
  if (!takes_sequences() || width < 1 || height < 1) return;
  printf(CSI "8;%d;%dt", height, width);
  fflush(stdout);
  await_size(width, height);
}

void togglefullscreen(void) {
  Lock lock;
  if (takes_sequences()) emit(kToggleFullScreen);
}

void normvideo(void) {
  Lock lock;
  if (!takes_sequences()) return;
  foreground_set = background_set = 0;
  emit(kDefaultColours);
}

int getkey(void) { return key_byte(false); }

int getkeye(void) { return key_byte(true); }

int keyhit(void) {
  Lock lock;
  // In the caller's mode the terminal may hold typed keys until Enter; where
  // key mode cannot be set, it is looked at in that mode.
  const bool entered = terminal_enter_key_mode();
  const bool waiting = terminal_key_waiting();
  if (entered) terminal_leave_key_mode();
  return waiting ? 1 : 0;
}
