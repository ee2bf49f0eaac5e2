// A program running on a real pseudo-terminal, driven like a person at it.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <functional>
#include <string>
#include <vector>

class PtySession {
 public:
  // Starts command on a new pseudo-terminal of 80x24, as a session leader with
  // the terminal as its controlling terminal; `extra_env` adds NAME=VALUE pairs.
  explicit PtySession(const std::vector<std::string>& command, const std::string& directory = "",
                      const std::vector<std::string>& extra_env = {});
  ~PtySession();
  PtySession(const PtySession&) = delete;
  PtySession& operator=(const PtySession&) = delete;

  void send(const std::string& bytes);
  // Reads until `text` appears after what earlier waits matched; false on time-out.
  bool wait_for(const std::string& text, int timeout_ms = 10000);
  // Reads what the program writes until `done` holds; false on time-out.
  bool wait_until(const std::function<bool()>& done, int timeout_ms = 10000);
  // Waits until the program has put the terminal in key mode (no ICANON, no ECHO).
  bool wait_for_key_mode(int timeout_ms = 10000);
  // Reads for `ms`; true when nothing arrived.
  bool quiet_for(int ms);
  // Waits for the program to end and returns its waitpid status, or -1 on time-out.
  int wait_exit(int timeout_ms = 10000);

  const std::string& output() const { return output_; }
  std::string since_last_match() const { return output_.substr(matched_); }
  termios settings() const;            // the terminal's settings now, as `stty -g` would show
  void resize(int columns, int rows);  // as a terminal window does
  pid_t foreground_group() const;
  const termios& initial_settings() const { return initial_; }
  pid_t pid() const { return pid_; }

 private:
  bool read_some(int timeout_ms);

  int master_ = -1;
  int slave_ = -1;
  pid_t pid_ = -1;
  int status_ = -1;
  termios initial_{};
  std::string output_;
  size_t matched_ = 0;
};

bool same_settings(const termios& a, const termios& b);
