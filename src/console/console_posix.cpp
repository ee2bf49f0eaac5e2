// The console control functions on a terminal emulator, as ECMA-48 and xterm
// control sequences. Nothing is written unless standard output is a terminal.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "colour_presets.h"
#include "console.h"
#include "raw_mode_posix.h"

#define CSI "\x1b["

namespace {

constexpr char kEraseScreen[] = CSI "2J";
constexpr char kEraseScrollback[] = CSI "3J";
constexpr char kCursorHome[] = CSI "H";
constexpr char kEraseToEndOfLine[] = CSI "K";
constexpr char kShowCursor[] = CSI "?25h";
constexpr char kHideCursor[] = CSI "?25l";
constexpr char kToggleFullScreen[] = CSI "10;2t";
constexpr char kReportPosition[] = CSI "6n";         // answered with CSI row ; column R
constexpr int kBlockShape = 2, kUnderlineShape = 4;  // steady cursor shapes
constexpr int kReplyTimeoutMs = 500;

bool to_terminal() { return isatty(STDOUT_FILENO) != 0; }

// The console takes positions and sizes as 16-bit values.
int low16(int value) { return static_cast<int16_t>(static_cast<uint16_t>(value)); }

void emit(const char* sequence) {
  fputs(sequence, stdout);
  fflush(stdout);
}

// ANSI colour numbers run red 1, green 2, blue 4: the console's bits reversed.
int ansi_colour(int bits) { return (bits & 4 ? 1 : 0) | (bits & 2) | (bits & 1 ? 4 : 0); }

// Finds CSI row ; column R in what the terminal sent. Returns its offset and
// length through begin/length, or false when no whole reply is there.
bool find_position_reply(const char* text, size_t size, size_t* begin, size_t* length, int* row,
                         int* column) {
  for (size_t start = 0; start + 1 < size; ++start) {
    if (text[start] != '\x1b' || text[start + 1] != '[') continue;
    size_t pos = start + 2;
    int numbers[2] = {0, 0};
    bool ok = true;
    for (int n = 0; n < 2 && ok; ++n) {
      const size_t digits = pos;
      for (; pos < size && pos - digits < 5 && text[pos] >= '0' && text[pos] <= '9'; ++pos)
        numbers[n] = numbers[n] * 10 + (text[pos] - '0');
      const char expected = n == 0 ? ';' : 'R';
      ok = pos > digits && pos < size && text[pos] == expected;
      ++pos;
    }
    if (!ok || numbers[0] < 1 || numbers[1] < 1) continue;
    *begin = start;
    *length = pos - start;
    *row = numbers[0];
    *column = numbers[1];
    return true;
  }
  return false;
}

// Bytes typed while we waited for the reply go back to the terminal's input,
// as if typed again, so the program still reads them.
void give_back(int fd, const char* bytes, size_t size) {
  for (size_t i = 0; i < size; ++i) ioctl(fd, TIOCSTI, bytes + i);
}

}  // namespace

void gotoxy(int x, int y) {
  x = low16(x);
  y = low16(y);
  if (!to_terminal() || x < 0 || y < 0) return;
  printf(CSI "%d;%dH", y + 1, x + 1);
  fflush(stdout);
}

// Sizes from 50 up fill half the cell or more and show as a block; smaller
// ones as an underline. A size outside 1 to 100 changes nothing, as on Windows.
void SetCursorVisible(int visible, int size) {
  if (!to_terminal() || size < 1 || size > 100) return;
  printf(CSI "%d q%s", size >= 50 ? kBlockShape : kUnderlineShape,
         visible ? kShowCursor : kHideCursor);
  fflush(stdout);
}

void getxy(int* x, int* y) {
  *x = *y = 0;
  if (!to_terminal()) return;
  fflush(stdout);
  const int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;
  if (raw_mode_on(fd)) {
    char got[256];
    size_t size = 0;
    size_t begin = 0, length = 0;
    int row = 0, column = 0;
    bool answered = false;
    if (write(fd, kReportPosition, sizeof kReportPosition - 1) > 0) {
      const auto deadline =
          std::chrono::steady_clock::now() + std::chrono::milliseconds(kReplyTimeoutMs);
      while (!answered && size < sizeof got) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd ready{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) break;
        const ssize_t n = read(fd, got + size, sizeof got - size);
        if (n <= 0) break;
        size += static_cast<size_t>(n);
        answered = find_position_reply(got, size, &begin, &length, &row, &column);
      }
    }
    if (answered) {
      *x = column - 1;
      *y = row - 1;
      memmove(got + begin, got + begin + length, size - begin - length);
      size -= length;
    }
    give_back(fd, got, size);
    raw_mode_off();
  }
  close(fd);
}

void clrscr() {
  if (!to_terminal()) return;
  fputs(kEraseScreen, stdout);
  fputs(kEraseScrollback, stdout);
  emit(kCursorHome);
}

void clreol() {
  if (to_terminal()) emit(kEraseToEndOfLine);
}

void setrgb(int preset) {
  if (!to_terminal()) return;
  const int attribute = preset_attribute(preset);
  const int foreground = attribute & 0x0F, background = attribute >> 4;
  printf(CSI "%d;%dm", (foreground & 8 ? 90 : 30) + ansi_colour(foreground),
         (background & 8 ? 100 : 40) + ansi_colour(background));
  fflush(stdout);
}

void SetScrnSize(int width, int height) {
  width = low16(width);
  height = low16(height);
  if (!to_terminal() || width < 1 || height < 1) return;
  printf(CSI "8;%d;%dt", height, width);
  fflush(stdout);
}

void togglefullscreen() {
  if (to_terminal()) emit(kToggleFullScreen);
}
