// Reading at a prompt: see line_reader.h.
#include "terminal/line_reader.h"

#include <unistd.h>

#include <cstring>
#include <string_view>

#include "terminal/echo.h"
#include "terminal/input.h"
#include "terminal/line_editor.h"
#include "terminal/lock.h"
#include "terminal/mode.h"

namespace {

const char* prompt_now = "";
LineEditor* line_now = nullptr;  // while a line is being typed

LineEditor& line_editor() {
  static LineEditor editor{EditingKeys()};
  return editor;
}

void show_again() {
  if (!isatty(STDOUT_FILENO)) return;
  Echo again(terminal_echo);
  again.add('\r');
  again.add(prompt_now);
  if (line_now) line_now->show_again(&again);
  again.flush();
}

void show_nothing(std::string_view /*bytes*/) {}

}  // namespace

void terminal_set_prompt(const char* prompt) {
  prompt_now = prompt;
  static bool registered = false;
  if (!registered) {
    registered = true;
    terminal_on_resume_redraw(show_again);
  }
}

// Each key queued is edited in, whenever it was typed. The echo of all the
// keys that came in one read is shown in one write.
long terminal_read_line(char* buffer, size_t size) {
  TerminalLock lock;
  LineEditor& editor = line_editor();
  const bool key_mode = terminal_in_key_mode() || terminal_enter_key_mode();
  editor.use_keys(terminal_editing_keys());
  Echo shown(key_mode ? terminal_echo : show_nothing);
  line_now = &editor;
  unsigned taken = terminal_settings_taken();
  LineEditor::Result result = LineEditor::Result::kEditing;
  while (result == LineEditor::Result::kEditing) {
    if (!terminal_key_queued()) shown.flush();  // a read comes first
    std::string_view key;
    if (terminal_read_key(kWaitForever, &key) != Read::kKey) {
      result = LineEditor::Result::kDone;  // a hang-up: what is typed so far, then the end
      break;
    }
    if (taken != terminal_settings_taken()) {  // set anew while the program was stopped
      taken = terminal_settings_taken();
      editor.use_keys(terminal_editing_keys());
    }
    result = editor.key(key, &shown);
  }
  shown.flush();
  line_now = nullptr;
  if (result == LineEditor::Result::kEnd) return 0;
  const std::string_view line = editor.take();
  const size_t count = line.size() < size ? line.size() : size;
  memcpy(buffer, line.data(), count);
  return static_cast<long>(count);
}
