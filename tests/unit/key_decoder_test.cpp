// key_length, fed byte by byte as a terminal might deliver the bytes, with a
// gap after each burst of bytes that arrive together; and key_value, which
// names each key.
#include "terminal/key_decoder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "console/console.h"
#include "console/key_names.h"

namespace {

using Keys = std::vector<std::string>;

// Byte by byte, the way a slow terminal delivers them, and a burst at a time,
// the way a read gets them: both must give the same keys.
Keys split_into_keys(const std::vector<std::string>& bursts, bool byte_by_byte) {
  Keys keys;
  std::string queued;
  auto take_keys = [&](bool gap_passed) {
    while (size_t length = key_length(queued.data(), queued.size(), gap_passed)) {
      keys.push_back(queued.substr(0, length));
      queued.erase(0, length);
    }
  };
  for (const std::string& burst : bursts) {
    for (size_t at = 0; at < burst.size(); at += byte_by_byte ? 1 : burst.size()) {
      queued += burst.substr(at, byte_by_byte ? 1 : std::string::npos);
      take_keys(false);
    }
    take_keys(true);
  }
  EXPECT_EQ(queued, "") << "bytes left over after the gap";
  return keys;
}

TEST(KeyDecoder, SplitsBytesIntoKeyPresses) {
  struct Case {
    const char* name;
    std::vector<std::string> bursts;
    Keys keys;
    std::vector<int> values = {};  // of the keys, where given
  };
  const std::string long_sequence = "\x1b[" + std::string(40, '1') + ";2m";
  const Case cases[] = {
      {"plain keys", {"12q\r\t"}, {"1", "2", "q", "\r", "\t"}, {'1', '2', 'q', 13, 9}},
      {"control bytes: ^G, both erase keys, Ctrl-Space",
       {std::string("\x07\x7f\x08\0", 4)},
       {"\x07", "\x7f", "\x08", std::string(1, '\0')},
       {7, 8, 8, ' ' | CK_CTRL}},
      {"arrow", {"\x1b[A"}, {"\x1b[A"}, {CK_UP}},
      {"arrow, then a key at once", {"\x1b[A1"}, {"\x1b[A", "1"}, {CK_UP, '1'}},
      {"key right after a control sequence", {"\x1b[23@2"}, {"\x1b[23@", "2"}},
      {"F5 with Ctrl, then Delete with Shift and Alt",
       {"\x1b[15;5~\x1b[3;4~q"},
       {"\x1b[15;5~", "\x1b[3;4~", "q"},
       {CK_F(5) | CK_CTRL, CK_DELETE | CK_SHIFT | CK_ALT, 'q'}},
      {"SS3 F1, then a key in the same read", {"\x1bOPx"}, {"\x1bOP", "x"}, {CK_F(1), 'x'}},
      {"Linux console F1, then a key in the same read",
       {"\x1b[[A1"},
       {"\x1b[[A", "1"},
       {CK_F(1), '1'}},
      {"longer than 32 bytes", {long_sequence + "q"}, {long_sequence, "q"}},
      {"OSC ended by BEL",
       {"\x1b]11;rgb:0/0/0\x07"
        "2"},
       {"\x1b]11;rgb:0/0/0\x07", "2"}},
      {"DCS ended by ST", {"\x1bP1$r0m\x1b\\2"}, {"\x1bP1$r0m\x1b\\", "2"}},
      {"unended OSC, then the gap", {"\x1b]0;title", "q"}, {"\x1b]0;title", "q"}, {0, 'q'}},
      {"Alt+] then marks, ended by Enter", {"\x1b]85 90 77\r"}, {"\x1b]85 90 77", "\r"}, {0, 13}},
      {"X10 mouse report, then a key", {"\x1b[M !!2"}, {"\x1b[M !!", "2"}, {0, '2'}},
      {"Escape alone, then the gap", {"\x1b", "2"}, {"\x1b", "2"}, {27, '2'}},
      {"urxvt's Alt+Up", {"\x1b\x1b[A2"}, {"\x1b\x1b[A", "2"}, {CK_UP | CK_ALT, '2'}},
      {"Escape, then Alt with a key", {"\x1b\x1bx"}, {"\x1b", "\x1bx"}, {27, 'x' | CK_ALT}},
      {"SS3 with a modifier", {"\x1bO2P2"}, {"\x1bO2P", "2"}},
      {"Alt with a key", {"\x1bx2"}, {"\x1bx", "2"}},
      {"Alt with a UTF-8 character", {"\x1b\xc3\xa9"}, {"\x1b\xc3\xa9"}, {0xe9 | CK_ALT}},
      {"sequence cut by a control byte", {"\x1b[1\x03"}, {"\x1b[1", "\x03"}},
      {"sequence cut short by the gap", {"\x1b[1;", "5"}, {"\x1b[1;", "5"}},
      {"UTF-8 characters",
       {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"},
       {"\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80"},
       {0xe9, 0x20ac, 0x1f600}},
      {"lone lead byte: Latin-1",
       {"\xc3"
        "2"},
       {"\xc3", "2"},
       {0xc3, '2'}},
      {"lead byte cut short by the gap", {"\xe2\x82", "2"}, {"\xe2\x82", "2"}},
      {"stray continuation byte",
       {"\x80"
        "2"},
       {"\x80", "2"}},
      {"rxvt's Shift+Delete, then a key", {"\x1b[3$1"}, {"\x1b[3$", "1"}},
      {"rxvt's Shift+F11, then a key", {"\x1b[23$1"}, {"\x1b[23$", "1"}},
      {"rxvt's Ctrl+Shift+Insert", {"\x1b[2@1"}, {"\x1b[2@", "1"}},
      {"parameter byte 0x3f goes on", {"\x1b[?1A2"}, {"\x1b[?1A", "2"}},
      {"byte 0x40 is final", {"\x1b[1@2"}, {"\x1b[1@", "2"}},
      {"Linux console F1 cut after ESC [ [", {"\x1b[[", "2"}, {"\x1b[[", "2"}},
      {"Linux console F1 cut after ESC [", {"\x1b[", "2"}, {"\x1b[", "2"}},
      {"urxvt's Alt+F1", {"\x1b\x1bOP2"}, {"\x1b\x1bOP", "2"}},
      // A UTF-8 lead byte at each edge of its band, then continuation bytes.
      {"0xbf is no lead byte", {"\xbf\x80"}, {"\xbf", "\x80"}},
      {"0xc0 leads 2 bytes, overlong", {"\xc0\x80\x80"}, {"\xc0\x80", "\x80"}, {0xfffd, 0x80}},
      {"0xdf leads 2 bytes", {"\xdf\x80\x80"}, {"\xdf\x80", "\x80"}},
      {"0xe0 leads 3 bytes", {"\xe0\x80\x80\x80"}, {"\xe0\x80\x80", "\x80"}},
      {"0xef leads 3 bytes", {"\xef\xbf\xbd\x80"}, {"\xef\xbf\xbd", "\x80"}, {0xfffd, 0x80}},
      {"0xf0 leads 4 bytes", {"\xf0\x80\x80\x80\x80"}, {"\xf0\x80\x80\x80", "\x80"}},
      {"0xf7 leads 4 bytes", {"\xf7\x80\x80\x80\x80"}, {"\xf7\x80\x80\x80", "\x80"}},
      {"0xf8 leads none", {"\xf8\x80"}, {"\xf8", "\x80"}},
      {"Escape, then Alt+1",
       {"\x1b\x1b"
        "12"},
       {"\x1b",
        "\x1b"
        "1",
        "2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(split_into_keys(c.bursts, true), c.keys);
    EXPECT_EQ(split_into_keys(c.bursts, false), c.keys);
    for (size_t i = 0; i < c.values.size(); ++i) EXPECT_EQ(key_value(c.keys[i]), c.values[i]) << i;
  }
}

// The terminfo database is the reference for what keys terminals send: every
// key string of the terminal types in use decodes whole, also with a key
// right after it. Its notation (infocmp(1)): \E escape, ^X control, \nnn octal.
std::string terminfo_string(const std::string& text) {
  std::string bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '^' && i + 1 < text.size()) {
      const char next = text[++i];
      bytes += next == '?' ? '\x7f' : static_cast<char>(next & 0x1f);
    } else if (c != '\\' || i + 1 == text.size()) {
      bytes += c;
    } else if (const char next = text[++i]; next == 'E' || next == 'e') {
      bytes += '\x1b';
    } else if (next >= '0' && next <= '7') {
      int value = 0;
      for (int n = 0; n < 3 && i < text.size() && text[i] >= '0' && text[i] <= '7'; ++n, ++i)
        value = value * 8 + (text[i] - '0');
      --i;
      bytes += static_cast<char>(value == 0 ? 0x80 : value);
    } else {
      const std::string from = "nrtbfs", to = "\n\r\t\b\f ";
      const size_t named = from.find(next);
      bytes += named == std::string::npos ? next : to[named];
    }
  }
  return bytes;
}

// The key strings (capabilities named k...) of one terminal type, by name;
// none where the database does not have the type.
std::vector<std::pair<std::string, std::string>> terminfo_keys(const std::string& type) {
  std::vector<std::pair<std::string, std::string>> keys;
  FILE* listing = popen(("infocmp -1 -x " + type + " 2>/dev/null").c_str(), "r");
  if (!listing) return keys;
  char line[1024];
  while (fgets(line, sizeof line, listing)) {
    std::string entry(line);
    const size_t equals = entry.find('=');
    const size_t start = entry.find_first_not_of('\t');
    if (equals == std::string::npos || start == std::string::npos || entry[start] != 'k') continue;
    const std::string name = entry.substr(start, equals - start);
    const size_t end = entry.rfind(',');
    keys.emplace_back(name, terminfo_string(entry.substr(equals + 1, end - equals - 1)));
  }
  pclose(listing);
  return keys;
}

// What a key capability names, as readkey gives it: the values it may be
// (the keypad's keys as the key's character or its arrow, Home ...); none
// for a key that has no value here (kund, khlp ...), whose string then gives
// nothing, or what another capability that lists it names. kf13 and above
// are function keys with modifiers, numbered differently by each terminal
// (xterm's kf13 is Shift+F1, rxvt's Shift+F3): kAnyFunctionKey.
constexpr int kAnyFunctionKey = -1;
std::vector<int> names_of(const std::string& cap) {
  static const std::map<std::string, std::vector<int>> kNames = {
      {"kcuu1", {CK_UP}},
      {"kcud1", {CK_DOWN}},
      {"kcub1", {CK_LEFT}},
      {"kcuf1", {CK_RIGHT}},
      {"khome", {CK_HOME}},
      {"kend", {CK_END}},
      {"kich1", {CK_INSERT}},
      {"kdch1", {CK_DELETE}},
      {"kpp", {CK_PGUP}},
      {"knp", {CK_PGDN}},
      {"kfnd", {CK_HOME}},
      {"kslt", {CK_END}},
      {"kbeg", {CK_BEGIN}},
      {"kbs", {8}},
      {"kent", {13}},
      {"kcbt", {'\t' | CK_SHIFT}},
      {"kcbt2", {'\t' | CK_SHIFT}},
      {"kprv", {'\t' | CK_SHIFT}},
      {"kri", {CK_UP | CK_SHIFT}},
      {"kind", {CK_DOWN | CK_SHIFT}},
      {"kf0", {CK_F(10)}},
      {"ka1", {CK_HOME, '7'}},
      {"ka2", {CK_UP, '8'}},
      {"ka3", {CK_PGUP, '9'}},
      {"kb1", {CK_LEFT, '4'}},
      {"kb2", {CK_BEGIN, '5'}},
      {"kb3", {CK_RIGHT, '6'}},
      {"kc1", {CK_END, '1'}},
      {"kc2", {CK_DOWN, '2'}},
      {"kc3", {CK_PGDN, '3'}},
      {"kpZRO", {'0'}},
      {"kpADD", {'+'}},
      {"kpSUB", {'-'}},
      {"kpMUL", {'*'}},
      {"kpDIV", {'/'}},
      {"kpDOT", {'.'}},
      {"kpCMA", {','}},
      {"kUP", {CK_UP}},
      {"kDN", {CK_DOWN}},
      {"kLFT", {CK_LEFT}},
      {"kRIT", {CK_RIGHT}},
      {"kHOM", {CK_HOME}},
      {"kEND", {CK_END}},
      {"kIC", {CK_INSERT}},
      {"kDC", {CK_DELETE}},
      {"kNXT", {CK_PGDN}},
      {"kPRV", {CK_PGUP}},
      {"kFND", {CK_HOME}},
      {"kBEG", {CK_BEGIN}},
  };
  if (cap.size() == 3 && cap.compare(0, 2, "kp") == 0 && isdigit(cap[2])) return {cap[2]};
  if (cap.compare(0, 2, "kf") == 0 && isdigit(cap.back())) {
    const int n = std::stoi(cap.substr(2));
    return {n == 0 ? CK_F(10) : n <= 12 ? CK_F(n) : kAnyFunctionKey};
  }
  // kUP5 is Ctrl+Up: xterm's modifier parameter; without a digit, Shift.
  const bool modified = isupper(cap[1]) != 0;
  const std::string base = modified ? cap.substr(0, cap.find_first_of("0123456789")) : cap;
  const auto known = kNames.find(base);
  if (known == kNames.end()) return {};
  const int parameter = base.size() < cap.size() ? std::stoi(cap.substr(base.size())) : 2;
  const int bits = parameter - 1;
  const int modifiers =
      !modified ? 0
                : (bits & 1 ? CK_SHIFT : 0) | (bits & 2 ? CK_ALT : 0) | (bits & 4 ? CK_CTRL : 0);
  std::vector<int> values;
  for (const int value : known->second) values.push_back(value | modifiers);
  return values;
}

TEST(KeyDecoder, DecodesEveryKeyThatTerminfoListsWholeAndNamesIt) {
  // Terminal types in use today. Not among them: vt52 (its F1, ESC P, begins
  // a control string today), interix (ESC F 1) and cons25 (ESC [ [ alone).
  std::istringstream types(
      "xterm xterm-256color xterm-new xterm-vt220 xterm-xfree86 xterm-direct xterm-kitty kitty "
      "alacritty foot wezterm st st-256color tmux tmux-256color screen screen-256color "
      "screen.xterm-256color screen.linux rxvt rxvt-256color rxvt-unicode rxvt-unicode-256color "
      "mrxvt aterm Eterm Eterm-color linux linux-16color putty putty-256color konsole "
      "konsole-256color gnome gnome-256color vte vte-256color xfce terminator termite mlterm "
      "iterm2 mintty ms-terminal cygwin teraterm vt100 vt102 vt220 vt320 vt420 ansi pcansi sun "
      "wsvt25 hurd bterm fbterm kon jfbterm nsterm terminology contour");
  // Where terminals name the same string differently, it names one of them.
  std::map<std::string, std::set<int>> names;
  std::vector<std::pair<std::string, std::string>> listed;  // the type's, and the key
  for (std::string type; types >> type;) {
    for (const auto& [cap, key] : terminfo_keys(type)) {
      // A mouse report is followed by raw bytes, not a key; a capability
      // with no string (kitty's own entry lists some) is no key at all.
      if (cap == "kmous" || key.empty()) continue;
      for (const int value : names_of(cap)) names[key].insert(value);
      listed.emplace_back(type + " " + cap, key);
    }
  }
  // Where a terminal's name for a string is not what the string names
  // elsewhere: rxvt's kind and kri are xterm's the other way round, as rxvt's
  // own table has Shift+Up as ESC [ a; macOS Terminal's Option+arrows send
  // Alt+b and Alt+f, the shell's word moves; the Linux console's back tab is
  // Alt+Tab everywhere else.
  names["\x1b[a"] = {CK_UP | CK_SHIFT};
  names["\x1b[b"] = {CK_DOWN | CK_SHIFT};
  names
      ["\x1b"
       "b"] = {'b' | CK_ALT};
  names
      ["\x1b"
       "f"] = {'f' | CK_ALT};
  names["\x1b\t"] = {'\t' | CK_ALT};
  EXPECT_GE(listed.size(), 1000u) << "the terminfo database (ncurses-term) is missing";
  for (const auto& [where, key] : listed) {
    SCOPED_TRACE(where);
    EXPECT_EQ(split_into_keys({key + "1"}, true), Keys({key, "1"}));
    EXPECT_EQ(split_into_keys({key + "1"}, false), Keys({key, "1"}));
    const int value = key_value(key);
    const std::set<int>& may_be = names[key];
    const bool function_key = (value & ~CK_MODIFIERS) > CK_F(0) &&
                              (value & ~CK_MODIFIERS) <= CK_F(63) && may_be.count(kAnyFunctionKey);
    if (key.size() == 1)  // a character the terminal sends for the key, as it is
      EXPECT_EQ(value, key[0] == 0x7f ? 8 : key[0]);
    else
      EXPECT_TRUE(may_be.count(value) || function_key || (may_be.empty() && value == 0))
          << std::hex << value;
  }
}

}  // namespace
