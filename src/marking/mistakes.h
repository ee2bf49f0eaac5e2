// How a mistake in the marks is said on standard error: the text that stands
// where a mark was expected, quoted so that the message stays one line and
// puts no raw or control byte on the screen.
#pragma once

#include <cstddef>
#include <string_view>

// The word that begins `text` (up to white space, at most kMostShown bytes,
// cut at a character's end), or with `whole` all of a line of at most
// kMostLine bytes, quoted: " and \ after a backslash, a tab as \t, a control
// byte in caret notation (^A, ^?), a C1 control as \u0085, and a byte that
// begins no UTF-8 character as \xff.
constexpr size_t kMostShown = 20;
constexpr size_t kMostLine = 22;
struct ShownText {
  char text[2 + kMostLine * 4 + 1];
};
ShownText shown_text(std::string_view text, bool whole = false);

// Standard output flushed first, so that a message comes after what is
// already on the screen.
void flush_before_message();
