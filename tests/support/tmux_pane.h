// A command running in a pane of a tmux server of its own, read as a person
// would read the screen.
#pragma once

#include <string>
#include <utility>
#include <vector>

bool have_tmux();

class TmuxPane {
 public:
  // Runs `command` (a shell command line) in a width x height pane.
  explicit TmuxPane(const std::string& command, int width = 80, int height = 24);
  ~TmuxPane();
  TmuxPane(const TmuxPane&) = delete;
  TmuxPane& operator=(const TmuxPane&) = delete;

  std::string display(const std::string& format) const;  // tmux display -p FORMAT
  std::string capture(const char* flags = "") const;     // the visible screen
  void send_keys(const std::string& keys) const;         // literally, no Enter added
  // Waits until the screen shows `text`; false on time-out.
  bool wait_for_screen(const std::string& text, int timeout_ms = 30000) const;

 private:
  std::string tmux_;
};

std::string shell_output(const std::string& command);

// The foreground and background colour numbers (SGR, 39 and 49 for the
// defaults) of each `letter` in a capture made with escapes.
std::vector<std::pair<int, int>> colours_of(const std::string& screen, char letter);
