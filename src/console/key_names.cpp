// Which key the bytes of one key press name: see key_names.h.
#include "console/key_names.h"

#include <cstddef>

#include "console/console.h"

namespace {

constexpr unsigned char kEscape = 0x1b;
constexpr int kReplacement = 0xfffd;

unsigned char at(std::string_view bytes, size_t i) { return static_cast<unsigned char>(bytes[i]); }

// A character: one byte, or one UTF-8 sequence.
int character(std::string_view key) {
  const unsigned char first = at(key, 0);
  if (key.size() == 1) {
    if (first == 0x7f) return 8;           // the erase key that sends ^?
    if (first == 0) return ' ' | CK_CTRL;  // Ctrl-Space, Ctrl-@
    return first;                          // ASCII, a control code, or a Latin-1 byte
  }
  const size_t length = first >= 0xf0 ? 4 : first >= 0xe0 ? 3 : 2;
  int value = first & (0x3f >> (length - 1));
  for (size_t i = 1; i < key.size(); ++i) value = value << 6 | (at(key, i) & 0x3f);
  static const int kLeast[] = {0, 0, 0x80, 0x800, 0x10000};  // below these: overlong
  const bool whole = key.size() == length && first >= 0xc0 && first < 0xf8;
  if (!whole || value < kLeast[length] || value > 0x10ffff || (value >= 0xd800 && value < 0xe000))
    return kReplacement;
  return value;
}

// xterm's modifier parameter: 1 plus Shift 1, Alt 2, Ctrl 4, Meta 8.
int modifiers(int parameter) {
  if (parameter < 2 || parameter > 16) return 0;
  const int bits = parameter - 1;
  return ((bits & 1) ? CK_SHIFT : 0) | ((bits & (2 | 8)) ? CK_ALT : 0) | ((bits & 4) ? CK_CTRL : 0);
}

// The keys that end with a letter, after ESC [ or ESC O; 0 for another letter.
int lettered(char final) {
  switch (final) {
    case 'A': return CK_UP;
    case 'B': return CK_DOWN;
    case 'C': return CK_RIGHT;
    case 'D': return CK_LEFT;
    case 'H': return CK_HOME;
    case 'F': return CK_END;
    case 'E':
    case 'G': return CK_BEGIN;  // the keypad's centre (G: the Linux console, PuTTY)
    case 'P': return CK_F(1);
    case 'Q': return CK_F(2);
    case 'R': return CK_F(3);
    case 'S': return CK_F(4);
    default: return 0;
  }
}

// The keys that end with ~ after a number (vt220 and xterm; rxvt ends them
// with $, ^ or @ for its modifiers); 0 for another number.
int numbered(int number) {
  static const int kKeys[] = {
      0,       CK_HOME,  CK_INSERT, CK_DELETE, CK_END,   CK_PGUP,  CK_PGDN,  CK_HOME,  CK_END,
      0,       0,        CK_F(1),   CK_F(2),   CK_F(3),  CK_F(4),  CK_F(5),  0,        CK_F(6),
      CK_F(7), CK_F(8),  CK_F(9),   CK_F(10),  0,        CK_F(11), CK_F(12), CK_F(13), CK_F(14),
      0,       CK_F(15), CK_F(16),  0,         CK_F(17), CK_F(18), CK_F(19), CK_F(20)};
  return number >= 0 && number < static_cast<int>(sizeof kKeys / sizeof *kKeys) ? kKeys[number] : 0;
}

// The Sun console's keys, numbered and ended with z.
int sun_key(int number) {
  if (number >= 224 && number <= 235) return CK_F(number - 223);
  switch (number) {
    case 214: return CK_HOME;
    case 216: return CK_PGUP;
    case 218: return CK_BEGIN;
    case 220: return CK_END;
    case 222: return CK_PGDN;
    case 247: return CK_INSERT;
    default: return 0;
  }
}

// Up to two numbers from `at`, separated by ;, then the final byte.
struct Parameters {
  int number[2] = {1, 1};
  int count = 0;
  char final = 0;
};
Parameters parameters(std::string_view key, size_t at) {
  Parameters p;
  for (bool digits = false; at < key.size(); ++at) {
    const char c = key[at];
    const bool digit = c >= '0' && c <= '9';
    if (!digit && c != ';') break;
    if (!digits) {                            // a parameter begins; an empty one is 1
      if (p.count == 2) return Parameters{};  // more than any key sends
      p.number[p.count++] = digit ? 0 : 1;
    }
    digits = digit;
    int& n = p.number[p.count - 1];
    if (digit && n < 10000) n = n * 10 + (c - '0');
  }
  if (at + 1 == key.size()) p.final = key[at];
  return p;
}

// ESC [ and what follows.
int control_sequence(std::string_view key) {
  if (key.size() == 4 && key[2] == '[') {  // the Linux console's F1 to F5
    return key[3] >= 'A' && key[3] <= 'E' ? CK_F(key[3] - 'A' + 1) : 0;
  }
  const Parameters p = parameters(key, 2);
  const int mods = modifiers(p.number[1]);
  switch (p.final) {
    case '~': return numbered(p.number[0]) ? numbered(p.number[0]) | mods : 0;
    case '$': return numbered(p.number[0]) ? numbered(p.number[0]) | CK_SHIFT : 0;
    case '^': return numbered(p.number[0]) ? numbered(p.number[0]) | CK_CTRL : 0;
    case '@': return numbered(p.number[0]) ? numbered(p.number[0]) | CK_CTRL | CK_SHIFT : 0;
    case 'a': return CK_UP | CK_SHIFT;  // rxvt
    case 'b': return CK_DOWN | CK_SHIFT;
    case 'c': return CK_RIGHT | CK_SHIFT;
    case 'd': return CK_LEFT | CK_SHIFT;
    case 'Z': return '\t' | CK_SHIFT;
    case 'L': return CK_INSERT;  // SCO
    case 'z': return sun_key(p.number[0]) ? sun_key(p.number[0]) | mods : 0;
    default: return lettered(p.final) ? lettered(p.final) | mods : 0;
  }
}

// ESC O and what follows: SS3, as keys send it in application mode.
int single_shift(std::string_view key) {
  const Parameters p = parameters(key, 2);
  const int mods = modifiers(p.count ? p.number[p.count - 1] : 1);  // ESC O 5 P, ESC O 1 ; 5 P
  const char final = p.final;
  if (final >= 'a' && final <= 'd')
    return lettered(static_cast<char>(final - 32)) | CK_CTRL;                       // rxvt
  if (final >= 'j' && final <= 'y') return "*+,-./0123456789"[final - 'j'] | mods;  // the keypad
  if (final == 'M') return '\r' | mods;  // the keypad's Enter
  if (final == 'X') return '=' | mods;
  return lettered(final) ? lettered(final) | mods : 0;
}

}  // namespace

int key_value(std::string_view key) {
  if (key.empty()) return 0;
  if (at(key, 0) != kEscape) return character(key);
  if (key.size() == 1) return kEscape;
  if (key.size() > 2 && key[1] == '[') return control_sequence(key);
  if (key.size() > 2 && key[1] == 'O') return single_shift(key);
  if (key.size() > 2 && (key[1] == ']' || key[1] == 'P')) return 0;  // a string
  const int alt_key = key_value(std::string_view(key.data() + 1, key.size() - 1));
  return alt_key ? alt_key | CK_ALT : 0;
}
