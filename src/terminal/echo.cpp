// How typed keys are shown, and where: see echo.h.
#include "terminal/echo.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "terminal/mode.h"

namespace {

constexpr int kNotLookedFor = -2;

// Echoes need a descriptor that can be written: standard input may be the
// terminal opened for reading only (`< /dev/tty`).
int echo_fd() {
  static int fd = kNotLookedFor;
  if (fd != kNotLookedFor) return fd;
  const int terminal = terminal_find();
  const int flags = terminal >= 0 ? fcntl(terminal, F_GETFL) : -1;
  if (flags >= 0 && (flags & O_ACCMODE) != O_RDONLY) return fd = terminal;
  char name[256] = "";
  const bool named = terminal >= 0 && ttyname_r(terminal, name, sizeof name) == 0;
  return fd = named ? open(name, O_WRONLY | O_NOCTTY | O_CLOEXEC) : -1;
}

}  // namespace

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
  const int fd = isatty(STDOUT_FILENO) ? STDOUT_FILENO : echo_fd();
  if (fd >= 0) write_all(fd, bytes);
}

void write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
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
