#include "pty_session.h"

#include <poll.h>
#if __has_include(<pty.h>)
#include <pty.h>
#elif __has_include(<libutil.h>)
#include <libutil.h>  // where FreeBSD declares openpty
#else
#include <util.h>  // where macOS, NetBSD and OpenBSD declare it
#endif
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {
using Clock = std::chrono::steady_clock;

int ms_left(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}
}  // namespace

PtySession::PtySession(const std::vector<std::string>& command, const std::string& directory,
                       const std::vector<std::string>& extra_env) {
  winsize size{};
  size.ws_row = 24;
  size.ws_col = 80;
  if (openpty(&master_, &slave_, nullptr, nullptr, &size) < 0)
    throw std::runtime_error("openpty failed");
  tcgetattr(slave_, &initial_);
  pid_ = fork();
  if (pid_ == 0) {
    close(master_);
    setsid();
    ioctl(slave_, TIOCSCTTY, 0);
    dup2(slave_, 0);
    dup2(slave_, 1);
    dup2(slave_, 2);
    if (slave_ > 2) close(slave_);
    if (!directory.empty() && chdir(directory.c_str()) != 0) _exit(126);
    setenv("TERM", "xterm", 1);
    for (const std::string& pair : extra_env) putenv(strdup(pair.c_str()));
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
}

PtySession::~PtySession() {
  if (pid_ > 0 && status_ == -1) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  close(master_);
  close(slave_);
}

void PtySession::send(const std::string& bytes) {
  if (write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
    throw std::runtime_error("write to the terminal failed");
}

bool PtySession::read_some(int timeout_ms) {
  pollfd ready{master_, POLLIN, 0};
  if (poll(&ready, 1, timeout_ms) <= 0) return false;
  char buffer[4096];
  const ssize_t n = read(master_, buffer, sizeof buffer);
  if (n <= 0) return false;
  output_.append(buffer, static_cast<size_t>(n));
  return true;
}

bool PtySession::wait_for(const std::string& text, int timeout_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    const size_t found = output_.find(text, matched_);
    if (found != std::string::npos) {
      matched_ = found + text.size();
      return true;
    }
    if (ms_left(deadline) == 0) return false;
    read_some(std::min(ms_left(deadline), 50));
  }
}

bool PtySession::wait_until(const std::function<bool()>& done, int timeout_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    if (ms_left(deadline) == 0) return false;
    read_some(std::min(ms_left(deadline), 10));
  }
  return true;
}

bool PtySession::wait_for_key_mode(int timeout_ms) {
  return wait_until([this] { return (settings().c_lflag & (ICANON | ECHO)) == 0; }, timeout_ms);
}

bool PtySession::quiet_for(int ms) {
  const size_t before = output_.size();
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  while (ms_left(deadline) > 0) read_some(ms_left(deadline));
  return output_.size() == before;
}

int PtySession::wait_exit(int timeout_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (status_ == -1) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      status_ = status;
      break;
    }
    if (ms_left(deadline) == 0) return -1;
    read_some(std::min(ms_left(deadline), 20));  // keep draining so it never blocks on output
  }
  while (read_some(0)) {
  }
  return status_;
}

termios PtySession::settings() const {
  termios now{};
  tcgetattr(slave_, &now);
  return now;
}

void PtySession::resize(int columns, int rows) {
  winsize size{};
  size.ws_col = static_cast<unsigned short>(columns);
  size.ws_row = static_cast<unsigned short>(rows);
  ioctl(master_, TIOCSWINSZ, &size);
}

pid_t PtySession::foreground_group() const { return tcgetpgrp(master_); }

bool same_settings(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
         cfgetispeed(&a) == cfgetispeed(&b) && cfgetospeed(&a) == cfgetospeed(&b);
}
