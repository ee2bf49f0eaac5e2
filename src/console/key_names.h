// Which key the bytes of one key press name, as readkey gives it (the CK_
// values of console.h). Pure: it only looks at the bytes, so it is tested by
// a table, and against the terminfo database, without a terminal.
#pragma once

#include <string_view>

// The value of one whole key, as the terminal layer cuts keys:
// - a character: its Unicode code point, UTF-8 decoded; a byte that begins
//   no character is its Latin-1 one, as a terminal not set up for UTF-8
//   sends it; a sequence that is no character is U+FFFD;
// - Enter 13, Tab 9, Backspace 8 (whether the erase key sends ^? or ^H),
//   Escape 27; Ctrl with a letter its control code; Ctrl-Space (NUL) a space
//   plus CK_CTRL;
// - a named key (an arrow, Home, F5 ...), as xterm and its kin, rxvt, the
//   Linux console and the Sun console send them, with CK_SHIFT, CK_CTRL and
//   CK_ALT for xterm's modifier parameter (;2 to ;16, Meta taken as Alt) and
//   rxvt's $, ^ and @; the keypad in application mode as the character on
//   its key;
// - Escape and a key: that key plus CK_ALT.
// 0 where the bytes name no key known here: a mouse report, a focus report,
// a reply to a query, a string (OSC, DCS), an unknown sequence.
int key_value(std::string_view key);
