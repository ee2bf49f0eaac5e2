// How a mistake in the marks is said: see mistakes.h.
#include "marking/mistakes.h"

#include <cstdio>

namespace {

bool is_white(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

unsigned char at(std::string_view text, size_t i) {
  return i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
}

// The bytes of the UTF-8 character that begins at `i`; 0 where none does.
size_t utf8_length(std::string_view text, size_t i) {
  const unsigned char lead = at(text, i);
  const size_t length = lead >= 0xc2 && lead < 0xe0   ? 2
                        : lead >= 0xe0 && lead < 0xf0 ? 3
                        : lead >= 0xf0 && lead < 0xf5 ? 4
                                                      : 0;
  for (size_t k = 1; k < length; ++k)
    if ((at(text, i + k) & 0xc0) != 0x80) return 0;
  return length;
}

}  // namespace

ShownText shown_text(std::string_view text, bool whole) {
  const size_t most = whole ? kMostLine : kMostShown;
  ShownText shown{};
  char* out = shown.text;
  *out++ = '"';
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = at(text, i);
    if (!whole && is_white(c)) break;
    const size_t character = c < 0x80 ? 1 : utf8_length(text, i);
    const size_t size = character ? character : 1;
    if (i + size > most) break;
    if (c == '"' || c == '\\') {
      *out++ = '\\';
      *out++ = static_cast<char>(c);
    } else if (c == '\t') {
      out += snprintf(out, 3, "\\t");
    } else if (c < 0x20 || c == 0x7f) {
      out += snprintf(out, 3, "^%c", c == 0x7f ? '?' : c + 0x40);
    } else if (character == 0) {
      out += snprintf(out, 5, "\\x%02x", c);
    } else if (c == 0xc2 && at(text, i + 1) < 0xa0) {  // U+0080 to U+009F
      out += snprintf(out, 7, "\\u%04x", at(text, i + 1));
    } else {
      for (size_t k = 0; k < size; ++k) *out++ = text[i + k];
    }
    i += size;
  }
  *out = '"';
  return shown;
}

void flush_before_message() { fflush(stdout); }
