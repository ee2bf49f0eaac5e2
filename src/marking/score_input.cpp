#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "keyboard/keyboard.h"
#include "keyboard/mark_number.h"
#include "marking/marking.h"

void random_scores() {
  srand(static_cast<unsigned>(time(nullptr)));
  for (auto& row : score)
    for (int& mark : row) mark = 30 + rand() % 70;
}

namespace {

// scores.txt as it is read, with the line the reader is on and the last line
// that had anything but white space, for what it reports.
struct ScoresFile {
  FILE* file;
  int line = 1;
  int text_line = 1;

  int get() {
    const int c = getc(file);
    if (c == '\n') ++line;
    if (c != EOF && !isspace(c)) text_line = line;
    return c;
  }
  void unget(int c) {
    if (c == EOF) return;
    if (c == '\n') --line;
    ungetc(c, file);
  }
  // Up to `size` characters, stopping after a line feed, as fgets reads them.
  std::string_view field(char* text, size_t size) {
    size_t length = 0;
    while (length < size) {
      const int c = get();
      if (c == EOF) break;
      text[length++] = static_cast<char>(c);
      if (c == '\n') break;
    }
    return std::string_view(text, length);
  }
};

int digit_value(int c, int base) {
  const int value = isdigit(c) ? c - '0' : isxdigit(c) ? tolower(c) - 'a' + 10 : base;
  return value < base ? value : -1;
}

// Reads one mark the way fscanf's %i does: white space, an optional sign, then
// decimal, octal after a leading 0, or hexadecimal after 0x. A value beyond the
// 32-bit range is held at the nearest 32-bit value. Stores nothing and returns
// false when no number is there; a sign it read stays read, in `sign`.
bool read_file_mark(ScoresFile& in, int* mark, char* sign) {
  *sign = 0;
  int c = in.get();
  while (c != EOF && isspace(c)) c = in.get();
  const bool negative = c == '-';
  if (c == '+' || c == '-') {
    *sign = static_cast<char>(c);
    c = in.get();
  }

  int base = 10;
  bool any_digit = false;
  if (c == '0') {
    any_digit = true;
    base = 8;
    c = in.get();
    if (c == 'x' || c == 'X') {
      base = 16;
      c = in.get();
    }
  }
  long long magnitude = 0;
  for (int d = digit_value(c, base); d >= 0; d = digit_value(c, base)) {
    any_digit = true;
    magnitude = add_digit(magnitude, d, base);
    c = in.get();
  }
  in.unget(c);
  if (!any_digit) return false;
  *mark = mark_of(magnitude, negative);
  return true;
}

void report_unreadable() {
  const int reason = errno;
  fflush(stdout);  // keep the message after what is already on the screen
  fprintf(stderr, "scores.txt: %s\n", strerror(reason));
}

// What stands where a mark was expected, quoted: up to the next white space,
// at most 20 bytes, control bytes escaped so that the message stays one line.
struct ShownText {
  char text[2 + 20 * 4 + 1];
};
ShownText shown_text(std::string_view text) {
  constexpr size_t kMostShown = 20;
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

// Said where the entry stops, naming the prompt at which the text was typed,
// which may be an earlier student's (marks typed beyond a student's three
// serve the next). What was typed ahead is thrown away, so that a paste's
// later lines do not go on as menu keys.
void report_typed_mistake(int student) {
  fflush(stdout);
  fprintf(stderr, "Student%02i: not a mark: %s\n", student, shown_text(unread_text()).text);
  discard_typed_ahead();
}

// Said when students keep all their earlier marks (the file ended before
// their record, or no mark of it could be read): how many records stored
// marks, and those students, a run of them as "03 to 05".
void report_kept_marks(const bool (&stored)[kStudents]) {
  int records = 0;
  for (const bool any : stored) records += any ? 1 : 0;
  if (records == kStudents) return;
  char kept[64] = "";
  size_t size = 0;
  for (int i = 0; i < kStudents; ++i) {
    if (stored[i] || (i > 0 && !stored[i - 1])) continue;  // a run begins here
    int last = i;
    while (last + 1 < kStudents && !stored[last + 1]) ++last;
    size += static_cast<size_t>(snprintf(kept + size, sizeof kept - size,
                                         last > i ? "%s%02d to %02d" : "%s%02d", size ? ", " : "",
                                         i + 1, last + 1));
  }
  const bool one = records == kStudents - 1;
  fflush(stdout);
  fprintf(stderr, "scores.txt: %d record%s; student%s %s keep%s %s marks\n", records,
          records == 1 ? "" : "s", one ? "" : "s", kept, one ? "s" : "", one ? "its" : "their");
}

void report_not_a_mark(int line, std::string_view text) {
  fflush(stdout);
  fprintf(stderr, "scores.txt:%d: not a mark: %s\n", line,
          text.empty() ? "end of file" : shown_text(text).text);
}

bool blank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return isspace(c & 0xff); });
}

}  // namespace

void input_score() {
  puts("\nQ: Enter scores(Chi,Eng,Math)");
  bool stopped = false;
  static char prompts[kStudents][16];  // formatted once: a key read may show one again
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
        report_typed_mistake(typed_at);
      }
    }
  }
}

void scoreFromFile() {
  FILE* file = fopen("scores.txt", "r");
  if (!file) {
    report_unreadable();
    return;
  }
  ScoresFile in{file};
  bool stored[kStudents] = {};  // a student got a mark from the file
  // One record per row; records after the fifth have no row and are not read.
  for (int row = 0; row < kStudents && !feof(file); ++row) {
    // Read and thrown away: the label; the rest of the line, after a sign
    // read on its own, to say what stands there when a mark cannot be read.
    char label_text[22], there_text[1 + 99];
    const std::string_view label = in.field(label_text, sizeof label_text);
    if (ferror(file)) {
      report_unreadable();
      fclose(file);
      return;
    }
    if (feof(file)) break;
    // After a mark that cannot be read, the record's later marks are left as
    // they were too: reading on would put the next number into the wrong subject.
    int read = 0;
    char sign = 0;
    while (read < kSubjects && read_file_mark(in, &score[row][read], &sign)) ++read;
    stored[row] = read > 0;
    const int line = in.line;
    there_text[0] = sign;
    const std::string_view rest = in.field(there_text + 1, sizeof there_text - 1);
    // A blank line at the end of the file is no record, nor one cut short.
    const bool a_record = read > 0 || !blank(label) || !rest.empty() || sign;
    if (read < kSubjects) {
      const std::string_view there(there_text + (sign ? 0 : 1), rest.size() + (sign ? 1 : 0));
      if (!there.empty())
        report_not_a_mark(line, there);
      else if (a_record)
        report_not_a_mark(in.text_line, there);
    }
    if (rest.empty()) break;
  }
  fclose(file);
  report_kept_marks(stored);
}
