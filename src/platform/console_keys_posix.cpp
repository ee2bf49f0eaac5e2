// Keys on a POSIX terminal: key mode for the length of one key press, and
// the bytes of an escape sequence or a UTF-8 character taken as one key.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "console_keys.h"
#include "raw_mode_posix.h"

namespace {

constexpr int kEscape = 0x1b;
constexpr int kSequenceGapMs = 50;  // the bytes of one key arrive together
constexpr int kMaxSequence = 32;

// The next byte of a key that the terminal sends as several, or EOF when none
// follows soon: a lone Escape must not wait for more.
int next_key_byte() {
  pollfd ready{STDIN_FILENO, POLLIN, 0};
  unsigned char byte = 0;
  if (poll(&ready, 1, kSequenceGapMs) <= 0 || read(STDIN_FILENO, &byte, 1) != 1) return EOF;
  return byte;
}

// Escape, then a control sequence (ESC [ ... final), an SS3 key (ESC O x), or
// one more byte for Alt with a key.
void skip_escape_sequence() {
  int byte = next_key_byte();
  if (byte == 'O') {
    next_key_byte();
  } else if (byte == '[') {
    byte = next_key_byte();
    if (byte == '[') byte = next_key_byte();  // the Linux console's F1 to F5
    for (int n = 0; byte != EOF && (byte < 0x40 || byte > 0x7e) && n < kMaxSequence; ++n)
      byte = next_key_byte();
  }
}

int utf8_continuations(unsigned char lead) {
  if (lead >= 0xf0 && lead < 0xf8) return 3;
  if (lead >= 0xe0) return lead < 0xf0 ? 2 : 0;
  if (lead >= 0xc0) return 1;
  return 0;
}

}  // namespace

bool stdin_is_console() {
  static const bool tty = isatty(STDIN_FILENO) != 0;
  return tty;
}

long read_stdin(char* buffer, long size) {
  fflush(stdout);  // everything written so far is seen before any wait
  for (;;) {
    const ssize_t n = read(STDIN_FILENO, buffer, static_cast<size_t>(size));
    if (n >= 0 || errno != EINTR) return n;
  }
}

// Key mode is on for this read only, so marks are typed with the terminal's
// own line editing.
int console_key(bool echo) {
  // Key mode first, then the prompt: a key pressed in answer to the prompt
  // cannot arrive while the terminal would still echo it itself.
  raw_mode_on(STDIN_FILENO);
  fflush(stdout);
  unsigned char first = 0;
  ssize_t n;
  do n = read(STDIN_FILENO, &first, 1);
  while (n < 0 && errno == EINTR);

  int key = EOF;
  if (n == 1) {
    key = first;
    if (first == kEscape) {
      skip_escape_sequence();  // never echoed: it would move the cursor
    } else {
      if (echo) putchar(first);
      for (int more = utf8_continuations(first); more > 0; --more) {
        const int byte = next_key_byte();
        if (byte == EOF) break;
        if (echo) putchar(byte);
      }
    }
  }
  raw_mode_off();
  return key;
}

void console_pause() {
  fputs(kPausePrompt, stdout);
  console_key(false);
  putchar('\n');
}
