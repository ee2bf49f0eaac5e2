#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "keyboard/keyboard.h"
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
  std::string field(size_t size) {
    std::string text;
    while (text.size() < size) {
      const int c = get();
      if (c == EOF) break;
      text += static_cast<char>(c);
      if (c == '\n') break;
    }
    return text;
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
  constexpr long long kLimit = INT_MAX + 1LL;  // enough to saturate either sign
  long long value = 0;
  for (int d = digit_value(c, base); d >= 0; d = digit_value(c, base)) {
    any_digit = true;
    value = value * base + d;
    if (value > kLimit) value = kLimit;
    c = in.get();
  }
  in.unget(c);
  if (!any_digit) return false;
  if (negative) value = -value;
  *mark = static_cast<int>(value > INT_MAX ? INT_MAX : value);
  return true;
}

void report_unreadable() {
  const int reason = errno;
  fflush(stdout);  // keep the message after what is already on the screen
  fprintf(stderr, "scores.txt: %s\n", strerror(reason));
}

// What stands where a mark was expected: up to the next white space, at most
// 20 bytes, control bytes escaped so that the message stays one line.
std::string shown_text(const std::string& text) {
  constexpr size_t kMostShown = 20;
  std::string shown = "\"";
  for (size_t i = 0; i < text.size() && i < kMostShown && !isspace(text[i] & 0xff); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7f) {
      char escaped[8];
      snprintf(escaped, sizeof escaped, "\\x%02x", c);
      shown += escaped;
    } else {
      if (c == '"' || c == '\\') shown += '\\';
      shown += static_cast<char>(c);
    }
  }
  return shown + "\"";
}

// Said where the entry stops. What was typed ahead is thrown away, so that a
// paste's later lines do not go on as menu keys.
void report_typed_mistake(int student) {
  fflush(stdout);
  fprintf(stderr, "Student%02i: not a mark: %s\n", student,
          shown_text(std::string(unread_text())).c_str());
  discard_typed_ahead();
}

// Said when the file ends before the fifth record.
void report_short_file(int records) {
  if (records >= kStudents) return;
  fflush(stdout);
  if (records == kStudents - 1)
    fprintf(stderr, "scores.txt: %d records; student %02d keeps its marks\n", records, kStudents);
  else
    fprintf(stderr, "scores.txt: %d record%s; students %02d to %02d keep their marks\n", records,
            records == 1 ? "" : "s", records + 1, kStudents);
}

void report_not_a_mark(int line, const std::string& text) {
  fflush(stdout);
  fprintf(stderr, "scores.txt:%d: not a mark: %s\n", line,
          text.empty() ? "end of file" : shown_text(text).c_str());
}

bool blank(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return isspace(c & 0xff); });
}

}  // namespace

void input_score() {
  puts("\nQ: Enter scores(Chi,Eng,Math)");
  bool stopped = false;
  for (int i = 1; i <= kStudents; ++i) {
    printf("\tStudent%02i:\t", i);
    // A failed conversion stores nothing, so the mark keeps its earlier
    // value; after text that is not a number, so do all the marks after it.
    for (int& mark : score[i - 1])
      if (!stopped && read_mark(&mark) == 0) {
        stopped = true;
        report_typed_mistake(i);
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
  int records = 0;
  // One record per row; records after the fifth have no row and are not read.
  for (int row = 0; row < kStudents && !feof(file); ++row) {
    const std::string label = in.field(22);
    if (ferror(file)) {
      report_unreadable();
      records = kStudents;  // said already
      break;
    }
    if (feof(file)) break;
    // After a mark that cannot be read, the record's later marks are left as
    // they were too: reading on would put the next number into the wrong subject.
    int read = 0;
    char sign = 0;
    while (read < kSubjects && read_file_mark(in, &score[row][read], &sign)) ++read;
    const int line = in.line;
    const std::string rest = in.field(99);  // the rest of the line is dropped
    // A blank line at the end of the file is no record, nor one cut short.
    const bool a_record = read > 0 || !blank(label) || !rest.empty() || sign;
    if (a_record) ++records;
    if (read < kSubjects) {
      const std::string there = (sign ? std::string(1, sign) : "") + rest;
      if (!there.empty())
        report_not_a_mark(line, there);
      else if (a_record)
        report_not_a_mark(in.text_line, there);
    }
    if (rest.empty()) break;
  }
  fclose(file);
  report_short_file(records);
}
