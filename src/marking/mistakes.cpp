// How a mistake in the marks is said: see mistakes.h.
#include "marking/mistakes.h"

#include <cctype>
#include <cstdio>

ShownText shown_text(std::string_view text) {
  ShownText shown{};
  size_t size = 0;
  shown.text[size++] = '"';
  for (size_t i = 0; i < text.size() && i < kMostShown && !isspace(text[i] & 0xff); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7f) {
      size += static_cast<size_t>(snprintf(shown.text + size, 5, "\\x%02x", c));
    } else {
      if (c == '"' || c == '\\') shown.text[size++] = '\\';
      shown.text[size++] = static_cast<char>(c);
    }
  }
  shown.text[size] = '"';
  return shown;
}

void flush_before_message() { fflush(stdout); }
