// The line editor against its reference, the kernel's own canonical mode: the
// same keys typed into a pseudo-terminal set up with the same editing keys and
// flags must hand over the same lines and leave the same screen. Where the
// editor differs on purpose, a row says why and gives the lines; its screen
// must then show exactly what typing only those lines would show.
#include "terminal/line_editor.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#if __has_include(<pty.h>)
#include <pty.h>
#elif __has_include(<libutil.h>)
#include <libutil.h>  // where FreeBSD declares openpty
#else
#include <util.h>  // where macOS, NetBSD and OpenBSD declare it
#endif
#ifndef IUTF8
#define IUTF8 0  // no such flag: an erase takes one byte, as the editor is then told
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include "terminal/key_decoder.h"

namespace {

// Display widths as a UTF-8 terminal has them, for the editor and the model.
const bool utf8_locale = setenv("LC_ALL", "C.UTF-8", 1) == 0;

using Result = LineEditor::Result;
const std::string kEnd = "<end>";  // VEOF at the start of a line

// Ends whatever is typed, even after Ctrl-V, with a key that ends a line
// under the row's mapping of CR and NL.
std::string sentinel(const EditingKeys& keys) {
  const char ender = !keys.nl_to_cr                     ? '\n'
                     : keys.cr_to_nl && !keys.ignore_cr ? '\r'
                                                        : static_cast<char>(keys.end_of_file);
  return std::string(1, ender) + "~~" + ender;
}

bool sentinel_line(const std::string& line) {
  const size_t at = line.rfind("~~");
  return at != std::string::npos && line.find_first_not_of('\n', at + 2) == std::string::npos;
}

int columns(const std::string& character) {
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  wchar_t wide = 0;
  std::mbstate_t state{};
  const locale_t before = uselocale(utf8);
  const size_t used = std::mbrtowc(&wide, character.data(), character.size(), &state);
  const int width = used == character.size() ? wcwidth(wide) : 1;
  uselocale(before);
  return width < 0 ? 1 : width;
}

// A terminal's screen, as far as echoes move on it: rows of cells, a UTF-8
// character in one cell or two, a stray byte as a replacement character,
// tab stops every 8 columns, other control bytes ignored.
std::vector<std::string> screen_of(const std::string& output) {
  std::vector<std::vector<std::string>> rows(1);
  size_t column = 0;
  for (size_t i = 0; i < output.size(); ++i) {
    const auto c = static_cast<unsigned char>(output[i]);
    std::vector<std::string>& row = rows.back();
    if (c == '\n') {
      rows.emplace_back();
      column = 0;
    } else if (c == '\r') {
      column = 0;
    } else if (c == '\b') {
      if (column > 0) --column;
    } else if (c == '\t') {
      column = (column / 8 + 1) * 8;
    } else if (c >= 0x20 && c != 0x7f) {
      const size_t length = c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : c >= 0xc0 ? 2 : 1;
      size_t size = 1;
      while (size < length && i + size < output.size() &&
             (static_cast<unsigned char>(output[i + size]) & 0xc0) == 0x80)
        ++size;
      const std::string character = output.substr(i, size);
      i += size - 1;
      const size_t width = static_cast<size_t>(size > 1 ? columns(character) : 1);
      if (row.size() < column + width) row.resize(column + width, " ");
      row[column] = character;
      if (width == 2) row[column + 1] = "";
      column += width;
    }
  }
  std::vector<std::string> shown;
  for (const auto& row : rows) {
    std::string text;
    for (const std::string& cell : row) text += cell;
    shown.push_back(text.substr(0, text.find_last_not_of(' ') + 1));
  }
  return shown;
}

struct Edited {
  std::string lines;  // each ended by |
  std::string echo;
};

std::string echoed;
void keep_echo(std::string_view bytes) { echoed += bytes; }

Edited editor_edits(const std::string& typed, const EditingKeys& keys) {
  LineEditor editor(keys);
  Echo echo(keep_echo);
  Edited edited;
  for (size_t at = 0; at < typed.size();) {
    const size_t length = key_length(typed.data() + at, typed.size() - at, true);
    const Result result = editor.key(std::string_view(typed).substr(at, length), &echo);
    at += length;
    if (result == Result::kEnd) edited.lines += kEnd + "|";
    if (result == Result::kDone) edited.lines += std::string(editor.take()) + "|";
  }
  echo.flush();
  edited.echo.swap(echoed);
  echoed.clear();
  return edited;
}

// The kernel in canonical mode, with the keys and flags given, and the signal
// and flow-control keys off (they never reach the editor).
Edited kernel_edits(const std::string& typed, const EditingKeys& keys) {
  int master = -1, slave = -1;
  EXPECT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  termios settings{};
  tcgetattr(slave, &settings);
  const auto on = [](bool flag, tcflag_t bit) { return flag ? bit : 0; };
  settings.c_iflag = on(keys.utf8, IUTF8) | on(keys.cr_to_nl, ICRNL) | on(keys.nl_to_cr, INLCR) |
                     on(keys.ignore_cr, IGNCR);
  settings.c_oflag = OPOST | ONLCR;
  settings.c_lflag = ICANON | IEXTEN | on(keys.echo, ECHO) | on(keys.echo_erase, ECHOE) |
                     on(keys.echo_kill, ECHOK) | on(keys.echo_kill_erase, ECHOKE) |
                     on(keys.echo_control, ECHOCTL) | on(keys.echo_newline, ECHONL) |
                     on(keys.echo_print, ECHOPRT);
  const auto key = [](int c) { return c < 0 ? _POSIX_VDISABLE : static_cast<cc_t>(c); };
  settings.c_cc[VERASE] = key(keys.erase);
  settings.c_cc[VKILL] = key(keys.kill);
  settings.c_cc[VWERASE] = key(keys.word_erase);
  settings.c_cc[VLNEXT] = key(keys.literal_next);
  settings.c_cc[VREPRINT] = key(keys.reprint);
  settings.c_cc[VEOF] = key(keys.end_of_file);
  settings.c_cc[VEOL] = key(keys.end_of_line);
  settings.c_cc[VEOL2] = key(keys.end_of_line2);
  EXPECT_EQ(tcsetattr(slave, TCSANOW, &settings), 0);
  EXPECT_EQ(write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));

  Edited edited;
  char buffer[8192];
  for (std::string line; !sentinel_line(line);) {
    pollfd ready{slave, POLLIN, 0};
    if (poll(&ready, 1, 5000) <= 0) break;
    const ssize_t n = read(slave, buffer, sizeof buffer);
    line.assign(buffer, static_cast<size_t>(std::max<ssize_t>(n, 0)));
    edited.lines += (n == 0 ? kEnd : line) + "|";
  }
  // Written after every echo, so once it is read the echo is whole.
  const std::string marker = "\x01marker\x01";
  EXPECT_EQ(write(slave, marker.data(), marker.size()), static_cast<ssize_t>(marker.size()));
  while (edited.echo.find(marker) == std::string::npos) {
    pollfd ready{master, POLLIN, 0};
    if (poll(&ready, 1, 5000) <= 0) break;
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) break;
    edited.echo.append(buffer, static_cast<size_t>(n));
  }
  edited.echo.erase(edited.echo.find(marker));
  close(slave);
  close(master);
  return edited;
}

EditingKeys with(void (*change)(EditingKeys&)) {
  EditingKeys keys;
  change(keys);
  return keys;
}

const std::string erase = "\x7f", kill = "\x15", word = "\x17", literal = "\x16", end = "\x04",
                  reprint = "\x12";

TEST(LineEditor, EditsAsTheKernelDoes) {
  struct Case {
    const char* name;
    std::string typed;
    EditingKeys keys = {};
  };
  const Case cases[] = {
      {"Enter ends the line", "85 90 77\n"},
      {"erase an ASCII byte", "86" + erase + "5\n"},
      {"erase a caret pair", "1\x07" + erase + "\n"},
      {"erase a 2-byte character", "1\xc3\xa9" + erase + "\n"},
      {"erase a 3-byte character", "1\xe2\x82\xac" + erase + "\n"},
      {"erase a tab", "1\t" + erase + "2\n"},
      {"erase a tab after a caret pair and a character", "\x01\xc3\xa9xyz\t" + erase + "!\n"},
      {"erase at the start of the line", erase + erase + "5\n"},
      {"kill", "9 9\t9" + kill + "85\n"},
      {"word erase with spaces before the word", "85 90  " + word + "77\n"},
      {"word erase stops at punctuation", "85,90" + word + word + "\n"},
      {"word erase takes letters beyond ASCII",
       "\xc3\xa9"
       "cole" +
           word + " \xc3\xa9" + word + "\n"},
      {"literal next", literal + erase + literal + end + literal + kill + "\n"},
      {"Ctrl-V quotes Enter, shown as ^M", "12" + literal + "\r" + erase + "5\n"},
      {"Ctrl-V quotes a line feed, shown as ^J", "12" + literal + "\n" + erase + "5\n"},
      {"Ctrl-D at the start ends the input", end + "7\n"},
      {"Ctrl-D in the middle hands over what is typed",
       "8\t5" + end + erase + erase + "6\t1" + erase + "\n"},
      {"reprint", "7" + reprint + "5 6\t7\n"},
      {"disabled erase and end of file are typed", "8" + erase + end + "\n",
       with([](EditingKeys& k) { k.erase = k.end_of_file = -1; })},
      {"stty -echo: nothing shown", "85 9" + erase + "0 77" + kill + "1\n" + reprint + "\n",
       with([](EditingKeys& k) { k.echo = false; })},
      {"stty -echo echonl: the line's end shown", "85\n",
       with([](EditingKeys& k) { k.echo = false, k.echo_newline = true; })},
      {"stty -echoe: the erase key shown", "86" + erase + "5\n",
       with([](EditingKeys& k) { k.echo_erase = false; })},
      {"stty -echoke: the kill key shown, then a new row", "85 90" + kill + "7\n",
       with([](EditingKeys& k) { k.echo_kill_erase = false; })},
      {"stty -echok -echoke: the kill key shown", "85" + kill + "7\n",
       with([](EditingKeys& k) { k.echo_kill = k.echo_kill_erase = false; })},
      {"stty -echoctl: control bytes as they are", "8\t5" + literal + "x\n",
       with([](EditingKeys& k) { k.echo_control = false; })},
      {"stty eol !: the line ends there", "85 90 77!60\n",
       with([](EditingKeys& k) { k.end_of_line = '!'; })},
      {"stty -icrnl: Enter is a character", "85\r90\n",
       with([](EditingKeys& k) { k.cr_to_nl = false; })},
      {"stty inlcr: a line feed is a carriage return", "85\n90\r",
       with([](EditingKeys& k) { k.nl_to_cr = true, k.cr_to_nl = false; })},
      {"stty igncr: Enter is dropped", "85\r90\n",
       with([](EditingKeys& k) { k.ignore_cr = true; })},
      {"stty -iutf8: an erase takes a byte", "1\xc3\xa9" + erase + erase + "\n",
       with([](EditingKeys& k) { k.utf8 = false; })},
      {"stty -iutf8: x and / end a Latin-1 word, a letter does not",
       "1\xd7"
       "2\xf7"
       "3\xd8"
       "4" +
           word + "\n",
       with([](EditingKeys& k) { k.utf8 = false; })},
      {"a NUL byte (Ctrl-Space) is a character", "8" + std::string(1, '\0') + "5\n"},
      {"stty echoprt: what is erased shown between \\ and /",
       "ab\t\xc3\xa9" + erase + erase + "c" + word + "\n" + "d" + erase + "e" + erase + erase +
           "\n",
       with([](EditingKeys& k) { k.echo_print = true; })},
      {"stty echoprt -echoe: the same", "ab" + erase + kill + "7\n",
       with([](EditingKeys& k) { k.echo_print = true, k.echo_erase = false; })},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Edited kernel = kernel_edits(c.typed + sentinel(c.keys), c.keys);
    const Edited editor = editor_edits(c.typed + sentinel(c.keys), c.keys);
    EXPECT_EQ(editor.lines, kernel.lines);
    EXPECT_EQ(screen_of(editor.echo), screen_of(kernel.echo)) << editor.echo;
  }
}

// Sequences drawn from keys whose handling the kernel and the editor share,
// under every mix of the flags.
TEST(LineEditor, EditsRandomSequencesAsTheKernelDoes) {
  const std::vector<std::string> alphabet = {
      "1",    "2",  "a",  "_",   " ",  ",",  "\t",    "\xc3\xa9", "\xe2\x82\xac",
      "\x01", "\r", "\n", erase, kill, word, literal, end,        reprint};
  std::mt19937 random(20261209);
  for (int run = 0; run < 500; ++run) {
    EditingKeys keys;
    const unsigned flags = random();
    keys.echo = flags & 1, keys.echo_erase = flags & 2, keys.echo_kill = flags & 4;
    keys.echo_kill_erase = flags & 8, keys.echo_newline = flags & 16, keys.utf8 = flags & 32;
    keys.cr_to_nl = flags & 64, keys.nl_to_cr = flags & 128, keys.ignore_cr = flags & 256;
    keys.echo_print = flags & 512;
    keys.echo_control = true;  // raw control bytes move the cursor as no model can follow
    std::string typed;
    for (int n = random() % 24; n > 0; --n) typed += alphabet[random() % alphabet.size()];
    SCOPED_TRACE(::testing::Message() << "run " << run << " flags " << (flags & 1023));
    const Edited kernel = kernel_edits(typed + sentinel(keys), keys);
    const Edited editor = editor_edits(typed + sentinel(keys), keys);
    ASSERT_EQ(editor.lines, kernel.lines) << testing::PrintToString(typed);
    ASSERT_EQ(screen_of(editor.echo), screen_of(kernel.echo)) << testing::PrintToString(typed);
  }
}

// Where the editor does better than the kernel, on purpose.
TEST(LineEditor, DiffersFromTheKernelWhereItDoesBetter) {
  struct Case {
    const char* name;  // and why
    std::string typed;
    std::string lines;
    long bells = 0;  // rung by keys dropped from a full line
  };
  const std::string sevens(5000, '7');
  const Case cases[] = {
      {"arrows and function keys mean nothing in a line (the kernel stores them)",
       "8\x1b[A\x1bOP5\n", "85\n|"},
      {"a wide character is rubbed out by its two columns (the kernel rubs out one)",
       "1\xe4\xb8\xad\xf0\x9f\x98\x80" + erase + erase + "5\xe4\xb8\xad\n", "15\xe4\xb8\xad\n|"},
      {"a stray byte is a character of its own (the kernel erases it with the one before)",
       "1\x80" + erase + "5\n", "15\n|"},
      {"a line holds 4095 bytes; a key more rings the bell", sevens + erase + "5\n",
       sevens.substr(0, 4094) + "5\n|", 5000 - 4095},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Edited editor = editor_edits(c.typed, EditingKeys{});
    EXPECT_EQ(editor.lines, c.lines);
    EXPECT_EQ(std::count(editor.echo.begin(), editor.echo.end(), '\a'), c.bells);
    std::string held = c.lines;
    held.erase(std::remove(held.begin(), held.end(), '|'), held.end());
    EXPECT_EQ(screen_of(editor.echo), screen_of(held)) << editor.echo;
  }
}

}  // namespace
