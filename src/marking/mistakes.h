// How a mistake in the marks is said on standard error: the text that stands
// where a mark was expected, quoted so that the message stays one line.
#pragma once

#include <cstddef>
#include <string_view>

// What stands where a mark was expected, quoted: up to the next white space,
// at most kMostShown bytes of it, control bytes escaped.
constexpr size_t kMostShown = 20;
struct ShownText {
  char text[2 + kMostShown * 4 + 1];
};
ShownText shown_text(std::string_view text);

// Standard output flushed first, so that a message comes after what is
// already on the screen.
void flush_before_message();
