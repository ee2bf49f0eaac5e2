#include "tmux_pane.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

std::atomic<int> servers{0};  // one tmux server per pane

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace

std::string shell_output(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

bool have_tmux() { return system("command -v tmux >/dev/null 2>&1") == 0; }

TmuxPane::TmuxPane(const std::string& command, int width, int height)
    : tmux_("tmux -L test-" + std::to_string(getpid()) + "-" + std::to_string(servers++) +
            " -f /dev/null ") {
  system((tmux_ + "new-session -d -x " + std::to_string(width) + " -y " + std::to_string(height) +
          " -s pane " + quoted(command))
             .c_str());
}

TmuxPane::~TmuxPane() { system((tmux_ + "kill-server 2>/dev/null").c_str()); }

std::string TmuxPane::display(const std::string& format) const {
  std::string out = shell_output(tmux_ + "display -p -t pane " + quoted(format));
  if (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

std::string TmuxPane::capture(const char* flags) const {
  return shell_output(tmux_ + "capture-pane -p " + flags + " -t pane");
}

void TmuxPane::send_keys(const std::string& keys) const {
  system((tmux_ + "send-keys -l -t pane " + quoted(keys)).c_str());
}

bool TmuxPane::wait_for_screen(const std::string& text, int timeout_ms) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (capture().find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

// tmux writes only what changes from one cell to the next, so the SGR state
// is replayed.
std::vector<std::pair<int, int>> colours_of(const std::string& screen, char letter) {
  std::vector<std::pair<int, int>> cells;
  int fg = 39, bg = 49;
  for (size_t i = 0; i < screen.size(); ++i) {
    if (screen.compare(i, 2, "\x1b[") == 0) {
      const size_t end = screen.find('m', i);
      if (end == std::string::npos) break;
      std::string params = screen.substr(i + 2, end - i - 2);
      for (size_t at = 0; at <= params.size();) {
        const size_t semi = std::min(params.find(';', at), params.size());
        const int n = atoi(params.substr(at, semi - at).c_str());
        if (n == 0) fg = 39, bg = 49;
        if ((n >= 30 && n <= 39) || (n >= 90 && n <= 97)) fg = n;
        if ((n >= 40 && n <= 49) || (n >= 100 && n <= 107)) bg = n;
        at = semi + 1;
      }
      i = end;
    } else if (screen[i] == letter) {
      cells.emplace_back(fg, bg);
    }
  }
  return cells;
}
