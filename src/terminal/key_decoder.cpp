// Where one key press ends in the bytes a terminal sends: see key_decoder.h.
#include "terminal/key_decoder.h"

namespace {

constexpr unsigned char kEscape = 0x1b, kBell = 0x07;

unsigned char at(const char* bytes, size_t i) { return static_cast<unsigned char>(bytes[i]); }

// The key is cut short at `size`: whole once the gap has passed.
size_t cut_short(size_t size, bool gap_passed) { return gap_passed ? size : 0; }

// From byte i on: parameter and intermediate bytes, then a final byte. rxvt
// ends its shifted keys with `$` (ESC [ 3 $ is Shift+Delete), an intermediate
// byte elsewhere: no key a terminal sends has a final byte after one.
size_t sequence_end(const char* bytes, size_t size, size_t i, bool gap_passed) {
  for (; i < size && at(bytes, i) >= 0x20 && at(bytes, i) <= 0x3f; ++i)
    if (bytes[i] == '$') return i + 1;
  if (i == size) return cut_short(size, gap_passed);
  return at(bytes, i) >= 0x40 && at(bytes, i) <= 0x7e ? i + 1 : i;
}

// ESC [ then parameters and a final byte.
size_t control_sequence(const char* bytes, size_t size, bool gap_passed) {
  if (size > 2 && bytes[2] == '[') {  // the Linux console's F1 to F5: one more byte
    return size > 3 ? 4 : cut_short(size, gap_passed);
  }
  if (size > 2 && bytes[2] == 'M') {  // an X10 mouse report: three bytes more, any bytes
    constexpr size_t kMouseReport = 6;
    return size >= kMouseReport ? kMouseReport : cut_short(size, gap_passed);
  }
  return sequence_end(bytes, size, 2, gap_passed);
}

// ESC ] or ESC P, then anything up to BEL or ESC \ (the string terminator).
// A terminal's strings hold no other control byte: one that came typed (Alt
// with ] or with P, then keys) ends at Enter or another control key.
size_t control_string(const char* bytes, size_t size, bool gap_passed) {
  for (size_t i = 2; i < size; ++i) {
    if (at(bytes, i) == kBell) return i + 1;
    if (at(bytes, i) < 0x20 && at(bytes, i) != kEscape) return i;
    if (at(bytes, i) != kEscape) continue;
    if (i + 1 == size) break;
    return bytes[i + 1] == '\\' ? i + 2 : i;  // another escape begins the next key
  }
  return cut_short(size, gap_passed);
}

size_t utf8_length(unsigned char lead) {
  if (lead >= 0xc0 && lead < 0xe0) return 2;
  if (lead >= 0xe0 && lead < 0xf0) return 3;
  if (lead >= 0xf0 && lead < 0xf8) return 4;
  return 1;
}

size_t utf8_character(const char* bytes, size_t size, bool gap_passed) {
  const size_t length = utf8_length(at(bytes, 0));
  for (size_t i = 1; i < length; ++i) {
    if (i == size) return cut_short(size, gap_passed);
    if ((at(bytes, i) & 0xc0) != 0x80) return i;  // a lone lead byte is a key of its own
  }
  return length;
}

}  // namespace

size_t key_length(const char* bytes, size_t size, bool gap_passed) {
  if (size == 0) return 0;
  if (at(bytes, 0) != kEscape) return utf8_character(bytes, size, gap_passed);
  if (size == 1) return cut_short(size, gap_passed);  // Escape alone, once the gap tells
  switch (bytes[1]) {
    case '\x1b': {
      // Alt with a key that is itself a sequence (urxvt's Alt+Up: ESC ESC [ A);
      // otherwise Escape, then a key of its own.
      if (size == 2) return cut_short(size, gap_passed);
      if (bytes[2] != '[' && bytes[2] != 'O') return 1;
      const size_t alt_key = key_length(bytes + 1, size - 1, gap_passed);
      return alt_key == 0 ? 0 : 1 + alt_key;
    }
    case '[': return control_sequence(bytes, size, gap_passed);
    case 'O': return sequence_end(bytes, size, 2, gap_passed);  // SS3, with modifiers: ESC O 2 P
    case ']':
    case 'P': return control_string(bytes, size, gap_passed);
    default: {
      const size_t alt_key = utf8_character(bytes + 1, size - 1, gap_passed);
      return alt_key == 0 ? 0 : 1 + alt_key;
    }
  }
}
