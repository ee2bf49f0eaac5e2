// Keys and lines of marks on a POSIX terminal. Key mode is the terminal's
// resting state, so nothing typed ahead is echoed into the middle of a report;
// line mode is on only while a line of marks is awaited. Both read through the
// terminal's one queue, so a key typed ahead of a line, or a line pasted with
// keys after it, reaches the read it belongs to.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "internal.h"
#include "terminal/key_decoder.h"
#include "terminal/terminal.h"

namespace {

constexpr int kKeyGapMs = 50;  // the bytes of one key arrive together
constexpr char kEscape = '\x1b';

// Shows typed bytes as the terminal's own echo would: a control byte in caret
// notation (^G), never raw, where it would ring the bell or move the cursor.
// The echo goes to the terminal, even while standard output goes to a file.
void show_typed(std::string_view typed) {
  std::string shown;
  for (const char byte : typed) {
    const auto c = static_cast<unsigned char>(byte);
    if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7f) {
      shown += '^';
      shown += c == 0x7f ? '?' : static_cast<char>(c + 0x40);
    } else {
      shown += byte;
    }
  }
  if (isatty(STDOUT_FILENO)) {
    fwrite(shown.data(), 1, shown.size(), stdout);
  } else {
    terminal_write(shown.data(), shown.size());
  }
}

// Bytes at the front of the queue that are on the screen already: typed ahead
// and shown by a line read, or echoed by the terminal in line mode.
size_t shown_ahead = 0;

void take(size_t count) {
  terminal_take(count);
  shown_ahead -= std::min(shown_ahead, count);
}

long script_read(char* buffer, long size) {
  for (;;) {
    const ssize_t n = read(STDIN_FILENO, buffer, static_cast<size_t>(size));
    if (n >= 0 || errno != EINTR) return n;
  }
}

// One line from the terminal: first what was typed ahead, shown as the line
// read takes it, then, for the rest of the line, line mode with the terminal's
// own editing. What follows the line stays queued for the next read.
long terminal_line(char* buffer, long size) {
  terminal_fill(0);  // whatever the terminal holds already
  std::string_view queued = terminal_queued();
  size_t end = queued.find('\n');
  const size_t ahead = end == std::string_view::npos ? queued.size() : end + 1;
  if (ahead > shown_ahead) {
    show_typed(queued.substr(shown_ahead, ahead - shown_ahead));
    shown_ahead = ahead;
  }
  if (end == std::string_view::npos) {
    fflush(stdout);
    const TerminalMode before = terminal_mode();
    terminal_set_mode(TerminalMode::kLines);
    const long got = terminal_fill(kWaitForever);
    terminal_set_mode(before);
    // Whatever came in line mode, this line and any typed after it, the
    // terminal echoed as it came: it is not shown again.
    while (terminal_fill(0) > 0) {
    }
    queued = terminal_queued();
    shown_ahead = queued.size();
    end = queued.find('\n', ahead);
    if (got < 0 && queued.empty()) return 0;  // Ctrl-D, a hang-up or an error ends the entry
  }
  const size_t line = end == std::string_view::npos ? queued.size() : end + 1;
  const size_t count = std::min(line, static_cast<size_t>(size));
  memcpy(buffer, queued.data(), count);
  take(count);
  return static_cast<long>(count);
}

}  // namespace

bool stdin_is_interactive() {
  static const bool tty = isatty(STDIN_FILENO) != 0;
  return tty;
}

long read_input(char* buffer, long size) {
  fflush(stdout);  // everything written so far is seen before any wait
  return stdin_is_interactive() ? terminal_line(buffer, size) : script_read(buffer, size);
}

int read_one_key(bool echo) {
  // Key mode first, then the prompt: a key pressed in answer to the prompt
  // cannot arrive while the terminal would still echo it itself. Where key
  // mode cannot be set, keys are read from lines, which the terminal echoes.
  const bool key_mode = terminal_set_mode(TerminalMode::kKeys);
  fflush(stdout);
  bool gap_passed = false;
  size_t length = 0;
  for (;;) {
    const std::string_view queued = terminal_queued();
    length = key_length(queued.data(), queued.size(), gap_passed);
    if (length > 0) break;
    const long got = terminal_fill(queued.empty() ? kWaitForever : kKeyGapMs);
    if (got < 0 && queued.empty()) return EOF;
    gap_passed = got <= 0;
  }
  const std::string_view key = terminal_queued().substr(0, length);
  const int first = static_cast<unsigned char>(key[0]);
  // An escape sequence is not echoed: it would move the cursor.
  if (echo && key_mode && shown_ahead == 0 && key[0] != kEscape) show_typed(key);
  take(length);
  return first;
}

void pause_for_key() {
  fputs(kPausePrompt, stdout);
  read_one_key(false);
  putchar('\n');
}
