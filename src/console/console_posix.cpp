// The console control functions on a terminal emulator, as ECMA-48 and xterm
// control sequences. Nothing is written unless standard output is a terminal
// that takes them (TERM set, and not "dumb"). The sequences used:
//   CUP       CSI row ; column H   move the cursor (1-based)
//   ED        CSI 2 J, CSI 3 J     erase the screen, the scroll-back (xterm)
//   EL        CSI K                erase to the end of the line
//   DECSCUSR  CSI n SP q           cursor shape (0: the terminal's default)
//   DECRQSS   DCS $ q SP q ST      asks for the cursor shape, answered with
//                                  DCS 1 $ r n SP q ST
//   DECTCEM   CSI ? 25 h / l       show or hide the cursor
//   SGR       CSI fg ; bg m        colours; CSI 0 m the terminal's defaults
//   XTWINOPS  CSI 8 ; h ; w t      resize; CSI 10 ; 2 t toggles full screen
//   DSR       CSI 6 n              asks for the cursor position, answered
//                                  with CPR: CSI row ; column R
//   DA        CSI c                asks what the terminal is, answered
//                                  with CSI ? ... c; sent after another
//                                  query, its answer ends the wait for that
//                                  one's, which a terminal may not give
//
// Every function holds the terminal's lock while it runs, so that threads
// take turns: a query then gets its own reply, and sequences are not mixed.
// A wait for a key lets the lock go meanwhile. The library needs only the C
// library at link time: no exceptions, and nothing of the C++ runtime.
#include <pthread.h>
#include <sys/ioctl.h>
#include <termios.h>  // winsize and TIOCGWINSZ, on illumos
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "console/console.h"
#include "console/key_names.h"
#include "internal.h"
#include "terminal/input.h"
#include "terminal/lock.h"
#include "terminal/mode.h"
#include "terminal/output.h"
#include "terminal/signals.h"

#define CSI "\x1b["
#define DCS "\x1bP"
#define ST "\x1b\\"

namespace {

constexpr char kEraseScreen[] = CSI "2J" CSI "3J" CSI "H";  // and the scroll-back; home
constexpr char kEraseToEndOfLine[] = CSI "K";
constexpr char kShowCursor[] = CSI "?25h";
constexpr char kHideCursor[] = CSI "?25l";
constexpr char kToggleFullScreen[] = CSI "10;2t";
constexpr char kDefaultColours[] = CSI "0m";
constexpr char kAskPosition[] = CSI "6n" CSI "c";
constexpr char kAskCursorShape[] = DCS "$q q" ST CSI "c";
constexpr int kBlockShape = 2, kUnderlineShape = 4;  // steady cursor shapes
constexpr int kReplyTimeoutMs = 500;
// How long a handler waits for a stopped terminal to take what it restores.
constexpr int kHandlerWaitMs = 100;

using Lock = TerminalLock;

bool starts_with(std::string_view text, std::string_view start) {
  return text.size() >= start.size() && memcmp(text.data(), start.data(), start.size()) == 0;
}

const char* term() {
  const char* name = getenv("TERM");
  return name ? name : "";
}

bool takes_sequences() { return isatty(STDOUT_FILENO) && *term() && strcmp(term(), "dumb") != 0; }

// The console takes positions and sizes as 16-bit values.
int low16(int value) { return static_cast<int16_t>(static_cast<uint16_t>(value)); }

bool window_size(int* columns, int* rows) {
  winsize size{};
  const int terminal = terminal_find();
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) < 0 &&
      (terminal < 0 || ioctl(terminal, TIOCGWINSZ, &size) < 0))
    return false;
  *columns = size.ws_col;
  *rows = size.ws_row;
  return size.ws_col > 0 && size.ws_row > 0;
}

bool on_screen(int x, int y) {
  winsize size{};
  if (x < 0 || y < 0) return false;
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) < 0 || size.ws_col == 0 || size.ws_row == 0)
    return true;  // a terminal that does not say: let it place the cursor
  return x < size.ws_col && y < size.ws_row;
}

// A sequence, after what the program has written, through every byte: a
// terminal that is stopped (Ctrl-S) is waited for.
void emit(std::string_view sequence) {
  fflush(stdout);
  write_all(STDOUT_FILENO, sequence);
}

// What the program changed of the cursor and the colours: restored on every
// way out as the terminal had them, as the terminal's settings are, and set
// again when the program resumes after a stop. Read in signal handlers.
volatile sig_atomic_t shape_set = 0;    // the DECSCUSR number set, 0 if none
volatile sig_atomic_t shape_found = 0;  // the user's, as the terminal told it; 0: its default
volatile sig_atomic_t cursor_hidden = 0;
volatile sig_atomic_t foreground_set = 0, background_set = 0;  // SGR numbers, 0 if none
// Where the handlers write: the program's own non-blocking description of
// the terminal where standard output is that terminal, so that a stopped
// terminal holds up an ending program for kHandlerWaitMs at most.
volatile sig_atomic_t handler_fd = STDOUT_FILENO;

// A sequence built in a buffer: in a signal handler, no stdio, no allocation.
struct Text {
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
  void add_shape(int shape) {
    add(CSI);
    add_number(shape);
    add(" q");
  }
  void add_colours(int foreground, int background) {
    add(CSI);
    add_number(foreground);
    add(";");
    add_number(background);
    add("m");
  }
  std::string_view view() const { return std::string_view(text, size); }
};

void restore_cursor_and_colours() {
  Text back;
  if (shape_set) back.add_shape(shape_found);
  if (cursor_hidden) back.add(kShowCursor);
  if (foreground_set) back.add(kDefaultColours);
  write_all(handler_fd, back.view(), kHandlerWaitMs);
}

// Continued in the background, the shell's line is not the program's to
// draw on: it is set again when the program is brought back.
void resume_cursor_and_colours() {
  const pid_t front = tcgetpgrp(STDOUT_FILENO);
  if (front >= 0 && front != getpgrp()) return;
  Text again;
  if (shape_set) again.add_shape(shape_set);
  if (cursor_hidden) again.add(kHideCursor);
  if (foreground_set) again.add_colours(foreground_set, background_set);
  write_all(handler_fd, again.view(), kHandlerWaitMs);
}

// A child made by fork restores nothing of what its parent changed, which
// the parent still runs with.
void forget_cursor_and_colours() { shape_set = cursor_hidden = foreground_set = 0; }

// From the first change on, what was changed is restored on every way out.
void remember_to_restore() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  handler_fd = terminal_writer(STDOUT_FILENO);
  terminal_register_restore(restore_cursor_and_colours, resume_cursor_and_colours);
  pthread_atfork(nullptr, nullptr, forget_cursor_and_colours);
}

// ANSI colour numbers run red 1, green 2, blue 4: the console's bits reversed.
int ansi_colour(int bits) { return (bits & 4 ? 1 : 0) | (bits & 2) | (bits & 1 ? 4 : 0); }

// Up to five digits from `at`, the number at least 1; the place after them.
size_t number_at(std::string_view text, size_t at, int* number) {
  *number = 0;
  const size_t start = at;
  for (; at < text.size() && at - start < 5 && text[at] >= '0' && text[at] <= '9'; ++at)
    *number = *number * 10 + (text[at] - '0');
  return at > start && *number >= 1 ? at : 0;
}

// CPR: CSI row ; column R.
bool position_reply(std::string_view key, int* row, int* column) {
  if (!starts_with(key, CSI)) return false;
  size_t at = number_at(key, 2, row);
  if (at == 0 || at == key.size() || key[at] != ';') return false;
  at = number_at(key, at + 1, column);
  return at != 0 && at + 1 == key.size() && key[at] == 'R';
}

bool position_shaped(std::string_view key) {
  int row = 0, column = 0;
  return position_reply(key, &row, &column);
}

// DA: CSI ? parameters c.
bool attributes_reply(std::string_view key) {
  return key.size() >= 4 && starts_with(key, CSI "?") && key.back() == 'c';
}

// DECRQSS's answer for DECSCUSR: DCS 1 $ r n SP q ST (DCS 0 $ r ST: none).
bool shape_reply(std::string_view key) {
  return starts_with(key, DCS "1$r") || starts_with(key, DCS "0$r");
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

// The cursor shape the user had, asked once, before the first change, so
// that it is the one restored. A terminal that does not answer leaves it
// the terminal's default. The Linux console takes no control strings: it
// would show the question.
void ask_cursor_shape() {
  static bool asked = false;
  if (asked || strncmp(term(), "linux", 5) == 0) return;
  asked = true;
  if (!terminal_enter_key_mode()) return;  // the reply must not be echoed
  Reply shape = {shape_reply, {}, 0};
  fflush(stdout);
  terminal_ask(kAskCursorShape, &shape, 1, attributes_reply, kReplyTimeoutMs);
  terminal_leave_key_mode();
  const std::string_view reply(shape.bytes, shape.size);
  int number = 0;
  const size_t at = starts_with(reply, DCS "1$r") ? number_at(reply, 5, &number) : 0;
  if (at != 0 && number <= 6 && std::string_view(reply.data() + at, reply.size() - at) == " q" ST)
    shape_found = number;
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

// Key mode while keys are read: entered for each call, and kept between
// calls while the program polls (a call that found no key: it will look
// again, and keys typed meanwhile must be neither shown nor held until
// Enter) until a call gives the last key waiting, so that a program may then
// read a line itself; kept too from keymode(1) to keymode(0).
bool polling = false;
bool held = false;

void after_key_call(bool gave_key) {
  if (!gave_key && !polling) {
    polling = terminal_enter_key_mode();
  } else if (gave_key && polling && !terminal_input_pending()) {
    polling = false;
    terminal_leave_key_mode();
  }
}

void forget_key_calls() { polling = held = false; }

// Before the first key is read: a lone Escape's wait, 500 ms as terminal
// multiplexers wait, or ESCDELAY's, as curses reads it; and a forked child
// holds no key mode of its parent's.
void prepare_for_keys() {
  static bool prepared = false;
  if (prepared) return;
  prepared = true;
  const char* delay = getenv("ESCDELAY");
  if (delay && *delay >= '0' && *delay <= '9') terminal_key_gap(atoi(delay));
  pthread_atfork(nullptr, nullptr, forget_key_calls);
}

// One byte of the next key, as conio's getch gives an arrow byte by byte. The
// key is read whole, in key mode, from the queue the queries also read, so
// no key typed is lost to them. Where key mode cannot be set, the key is
// read in the caller's mode.
int key_byte(bool echo) {
  Lock lock;
  prepare_for_keys();
  const bool entered = terminal_enter_key_mode();
  const int byte = terminal_read_key_byte(echo);
  if (entered) terminal_leave_key_mode();
  after_key_call(byte != EOF);
  return byte;
}

}  // namespace

void gotoxy(int x, int y) {
  Lock lock;
  x = low16(x);
  y = low16(y);
  // Off the screen nothing moves, as the console refuses a cell off its buffer.
  if (!takes_sequences() || !on_screen(x, y)) return;
  Text move;
  move.add(CSI);
  move.add_number(y + 1);
  move.add(";");
  move.add_number(x + 1);
  move.add("H");
  emit(move.view());
}

// Sizes from 50 up fill half the cell or more and show as a block; smaller
// ones as an underline. A size outside 1 to 100 changes nothing, as on Windows.
void SetCursorVisible(int visible, int size) {
  Lock lock;
  if (!takes_sequences() || size < 1 || size > 100) return;
  ask_cursor_shape();
  remember_to_restore();
  shape_set = size >= 50 ? kBlockShape : kUnderlineShape;
  cursor_hidden = !visible;
  Text cursor;
  cursor.add_shape(shape_set);
  cursor.add(visible ? kShowCursor : kHideCursor);
  emit(cursor.view());
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
  if (takes_sequences()) emit(kEraseScreen);
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
  remember_to_restore();
  foreground_set = (foreground & 8 ? 90 : 30) + ansi_colour(foreground);
  background_set = (background & 8 ? 100 : 40) + ansi_colour(background);
  Text colours;
  colours.add_colours(foreground_set, background_set);
  emit(colours.view());
}

void SetScrnSize(int width, int height) {
  Lock lock;
  width = low16(width);
  height = low16(height);
  if (!takes_sequences() || width < 1 || height < 1) return;
  Text resize;
  resize.add(CSI "8;");
  resize.add_number(height);
  resize.add(";");
  resize.add_number(width);
  resize.add("t");
  emit(resize.view());
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

void GetScrnSize(int* width, int* height) {
  Lock lock;
  *width = *height = 0;
  int columns = 0, rows = 0;
  if (!window_size(&columns, &rows)) return;
  *width = columns;
  *height = rows;
}

int getkey(void) { return key_byte(false); }

int getkeye(void) { return key_byte(true); }

int keyhit(void) {
  Lock lock;
  prepare_for_keys();
  // In the caller's mode the terminal may hold typed keys until Enter; where
  // key mode cannot be set, it is looked at in that mode.
  const bool entered = terminal_enter_key_mode();
  const bool waiting = terminal_key_waiting();
  if (entered) terminal_leave_key_mode();
  if (!waiting) after_key_call(false);
  return waiting ? 1 : 0;
}

int readkey(int wait_ms) {
  fflush(stdout);
  Lock lock;
  prepare_for_keys();
  static bool watching = false;
  if (!watching) {
    watching = true;
    terminal_watch_resizes();
  }
  if (terminal_take_resize()) return CK_RESIZE;
  const bool entered = terminal_enter_key_mode();
  const long long deadline = monotonic_ms() + (wait_ms > 0 ? wait_ms : 0);
  int value = 0;
  for (;;) {
    std::string_view key;
    const Read read =
        terminal_read_key(wait_ms < 0 ? kWaitForever : ms_until(deadline), &key, true);
    if (read == Read::kEnded) {
      value = EOF;
    } else if (read == Read::kNone) {
      value = terminal_take_resize() ? CK_RESIZE : 0;
    } else if ((value = key_value(key)) == 0) {
      continue;  // bytes that name no key: the next key is read
    }
    break;
  }
  if (entered) terminal_leave_key_mode();
  after_key_call(value != 0 && value != CK_RESIZE);
  return value;
}

void keymode(int on) {
  Lock lock;
  if (on && !held) {
    held = terminal_enter_key_mode();
    return;
  }
  if (on) return;
  for (bool* hold : {&held, &polling}) {
    if (*hold) terminal_leave_key_mode();
    *hold = false;
  }
}
