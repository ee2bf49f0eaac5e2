// Where one key press ends in the bytes a terminal sends. Pure: it only looks
// at the bytes, so it is tested without a terminal.
#pragma once

#include <cstddef>

// The length of the key that begins `bytes`, or 0 while it may go on past
// `size` and more bytes (or the gap after them) must tell. Once `gap_passed`
// (no byte has followed for a while), whatever has begun is a whole key.
//
// A key is one byte, or one of:
//   ESC [ parameters final         a control sequence, any length (ESC [ [ x on
//                                  the Linux console; rxvt's ESC [ 3 $ ends at $;
//                                  ESC [ M and three bytes, an X10 mouse report)
//   ESC O parameters final         SS3: F1 to F4 and keypad keys (ESC O 2 P
//                                  with a modifier)
//   ESC ] ... BEL or ESC \         an OSC or DCS (ESC P) string, which a
//                                  terminal may send unasked; typed (Alt+]),
//                                  it ends at Enter or another control key
//   ESC and one key                Alt with that key, a sequence too (ESC ESC [ A);
//                                  ESC ESC alone is one key, Alt+Escape
//   a UTF-8 lead byte and its continuation bytes
// A byte that cannot go on the key ends it and begins the next key.
size_t key_length(const char* bytes, size_t size, bool gap_passed);
