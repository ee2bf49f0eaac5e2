// How typed keys are shown, and where: see echo.h.
#include "terminal/echo.h"

#include <cstring>

#include "terminal/mode.h"
#include "terminal/output.h"

void Echo::add(std::string_view bytes) {
  while (!bytes.empty()) {
    if (size_ == sizeof bytes_) flush();
    const size_t part = bytes.size() < sizeof bytes_ - size_ ? bytes.size() : sizeof bytes_ - size_;
    memcpy(bytes_ + size_, bytes.data(), part);
    size_ += part;
    bytes.remove_prefix(part);
  }
}

void Echo::add_caret(unsigned char c) {
  const char shown[2] = {'^', caret_letter(c)};
  add(std::string_view(shown, 2));
}

void Echo::flush() {
  if (size_ > 0) show_(std::string_view(bytes_, size_));
  size_ = 0;
}

void terminal_echo(std::string_view bytes) {
  const int fd = terminal_find();
  if (fd >= 0) write_all(fd, bytes);
}

void echo_key(std::string_view key) {
  if (key.empty() || key[0] == '\x1b') return;
  Echo shown(terminal_echo);
  for (const char byte : key) {
    const auto c = static_cast<unsigned char>(byte);
    if (is_control(c) && c != '\n')
      shown.add_caret(c);
    else
      shown.add(byte);
  }
  shown.flush();
}
