#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "keyboard/keyboard.h"
#include "marking/marking.h"

void random_scores() {
  srand(static_cast<unsigned>(time(nullptr)));
  for (auto& row : score)
    for (int& mark : row) mark = 30 + rand() % 70;
}

void input_score() {
  puts("\nQ: Enter scores(Chi,Eng,Math)");
  for (int i = 1; i <= kStudents; ++i) {
    printf("\tStudent%02i:\t", i);
    // A failed conversion stores nothing, so the mark keeps its earlier value.
    for (int& mark : score[i - 1]) read_mark(&mark);
  }
}

namespace {

int digit_value(int c, int base) {
  const int value = isdigit(c) ? c - '0' : isxdigit(c) ? tolower(c) - 'a' + 10 : base;
  return value < base ? value : -1;
}

// Reads one mark the way fscanf's %i does: white space, an optional sign, then
// decimal, octal after a leading 0, or hexadecimal after 0x. A value beyond the
// 32-bit range is held at the nearest 32-bit value. Stores nothing and returns
// false when no number is there (a sign it read stays read).
bool read_file_mark(FILE* file, int* mark) {
  int c = getc(file);
  while (c != EOF && isspace(c)) c = getc(file);
  const bool negative = c == '-';
  if (c == '+' || c == '-') c = getc(file);

  int base = 10;
  bool any_digit = false;
  if (c == '0') {
    any_digit = true;
    base = 8;
    c = getc(file);
    if (c == 'x' || c == 'X') {
      base = 16;
      c = getc(file);
    }
  }
  constexpr long long kLimit = INT_MAX + 1LL;  // enough to saturate either sign
  long long value = 0;
  for (int d = digit_value(c, base); d >= 0; d = digit_value(c, base)) {
    any_digit = true;
    value = value * base + d;
    if (value > kLimit) value = kLimit;
    c = getc(file);
  }
  if (c != EOF) ungetc(c, file);
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

}  // namespace

void scoreFromFile() {
  FILE* file = fopen("scores.txt", "r");
  if (!file) {
    report_unreadable();
    return;
  }
  char line[100];  // label fields and the rest of each line land here and are dropped
  // One record per row; records after the fifth have no row and are not read.
  for (int row = 0; row < kStudents && !feof(file); ++row) {
    const bool got_label = fgets(line, 23, file) != nullptr;  // at most 22 characters
    if (!got_label && ferror(file)) {
      report_unreadable();
      break;
    }
    if (feof(file)) break;
    // After a mark that cannot be read, the record's later marks are left as
    // they were too: reading on would put the next number into the wrong subject.
    for (int& mark : score[row])
      if (!read_file_mark(file, &mark)) break;
    if (!fgets(line, sizeof line, file)) break;
  }
  fclose(file);
}
