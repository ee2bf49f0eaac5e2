// Marks from the keyboard and at random. scores.txt is read in score_file.cpp.
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "keyboard/keyboard.h"
#include "marking/marking.h"
#include "marking/mistakes.h"

void random_scores() {
  srand(static_cast<unsigned>(time(nullptr)));
  for (auto& row : score)
    for (int& mark : row) mark = 30 + rand() % 70;
}

namespace {

// Said where the entry stops, naming the prompt at which the text was typed,
// which may be an earlier student's (marks typed beyond a student's three
// serve the next): then the prompt the entry stopped at is on the screen
// after the typed line, and the message begins a row of its own. What was
// typed ahead is thrown away, so that a paste's later lines do not go on as
// menu keys.
void report_typed_mistake(int typed_at, int student) {
  flush_before_message();
  const bool after_a_prompt = typed_at != student && errors_on_the_screen();
  fprintf(stderr, "%sStudent%02i: not a mark: %s\n", after_a_prompt ? "\n" : "", typed_at,
          shown_text(unread_text()).text);
  discard_typed_ahead();
}

}  // namespace

void input_score() {
  puts("\nQ: Enter scores(Chi,Eng,Math)");
  bool stopped = false;
  // Formatted once: a key read may show one again.
  static char prompts[kStudents][sizeof "\tStudent00:\t"];
  unsigned long line = lines_taken();
  int typed_at = 1;  // the student at whose prompt the line read now was typed
  for (int i = 1; i <= kStudents; ++i) {
    char* const prompt = prompts[i - 1];
    if (!*prompt) snprintf(prompt, sizeof prompts[0], "\tStudent%02i:\t", i);
    fputs(prompt, stdout);
    // A failed conversion stores nothing, so the mark keeps its earlier
    // value; after text that is not a number, so do all the marks after it.
    for (int& mark : score[i - 1]) {
      if (stopped) continue;
      const int read = read_mark(&mark, prompt);
      if (lines_taken() != line) {
        line = lines_taken();
        typed_at = i;
      }
      if (read == 0) {
        stopped = true;
        report_typed_mistake(typed_at, i);
      }
    }
  }
}
