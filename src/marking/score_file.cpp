// scores.txt: one record per student, a label of up to kLabelBytes, then
// three marks as fscanf's %i reads them (decimal, octal after a leading 0,
// hex after 0x), then the rest of the line, of up to kRestBytes, skipped.
// Each mistake is said on standard error, with the line where it is.
#include <fcntl.h>
#include <sys/stat.h>
#include <algorithm>
#if __has_include(<unistd.h>)
#include <unistd.h>
#endif

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "keyboard/mark_number.h"
#include "marking/marking.h"
#include "marking/mistakes.h"

namespace {

constexpr size_t kLabelBytes = 22;  // a record's label: its line, or that many bytes of it
constexpr size_t kRestBytes = 99;   // the rest of the marks' line, skipped unread
constexpr char kScoresFile[] = "scores.txt";

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

// A word as %i reads it whole: a sign, then decimal, octal or hex digits.
bool is_mark(std::string_view word) {
  size_t at = word[0] == '+' || word[0] == '-' ? 1 : 0;
  const bool hex = word.size() > at + 2 && word[at] == '0' && (word[at + 1] | 0x20) == 'x';
  at += hex ? 2 : 0;
  if (at == word.size()) return false;
  for (; at < word.size(); ++at)
    if (!(hex ? isxdigit(word[at] & 0xff) : isdigit(word[at] & 0xff))) return false;
  return true;
}

int digit_value(int c, int base) {
  const int value = isdigit(c) ? c - '0' : isxdigit(c) ? tolower(c) - 'a' + 10 : base;
  return value < base ? value : -1;
}

// A mistake, said with the line of the file where it is.
struct Message {
  char text[sizeof(ShownText) + 80];  // a quoted line, and what is said of it
};
void report(int line, const Message& message) {
  flush_before_message();
  fprintf(stderr, "scores.txt:%d: %s\n", line, message.text);
}

// Reads one mark the way fscanf's %i does: white space, an optional sign, then
// decimal, octal after a leading 0, or hexadecimal after 0x. A value beyond the
// 32-bit range is held at the nearest 32-bit value. Stores nothing and returns
// false when no number is there; a sign it read stays read, in `sign`. A
// leading 0 that made the mark other than its digits read as decimal is said.
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
  char digits[16] = "0";  // as written, for an octal mark's message
  size_t count = 1;
  long long magnitude = 0, as_decimal = 0;
  for (int d = digit_value(c, base); d >= 0; d = digit_value(c, base)) {
    any_digit = true;
    magnitude = add_digit(magnitude, d, base);
    as_decimal = add_digit(as_decimal, d, 10);
    if (count + 1 < sizeof digits) digits[count++] = static_cast<char>(c);
    c = in.get();
  }
  in.unget(c);
  if (!any_digit) return false;
  *mark = mark_of(magnitude, negative);
  const bool split = base == 8 && isdigit(c);  // an 8 or a 9: the next mark begins there
  if (base == 8 && (magnitude != as_decimal || split)) {
    digits[count] = 0;
    const char sign_text[2] = {*sign, 0};
    Message said{};
    snprintf(said.text, sizeof said.text, "\"%s%s\" is octal (a leading 0): %d stored", sign_text,
             digits, *mark);
    if (split) {
      const size_t size = strlen(said.text);
      snprintf(said.text + size, sizeof said.text - size, ", then %c begins the next mark", c);
    }
    report(in.line, said);
  }
  return true;
}

void report_unreadable() {
  const int reason = errno;
  flush_before_message();
  fprintf(stderr, "scores.txt: %s\n", reason ? strerror(reason) : "not a regular file");
}

// Said when students keep all their earlier marks (the file ended before
// their record, or no mark of it could be read): how many records stored
// marks, and those students, two of them as "04 and 05", a run of more as
// "03 to 05".
void report_kept_marks(const bool (&stored)[kStudents]) {
  int records = 0;
  for (const bool any : stored) records += any ? 1 : 0;
  if (records == kStudents) return;
  char kept[sizeof "01 and 02, 04 and 05"] = "";
  size_t size = 0;
  for (int i = 0; i < kStudents; ++i) {
    if (stored[i] || (i > 0 && !stored[i - 1])) continue;  // a run begins here
    int last = i;
    while (last + 1 < kStudents && !stored[last + 1]) ++last;
    size += static_cast<size_t>(snprintf(kept + size, sizeof kept - size,
                                         last > i + 1 ? "%s%02d to %02d"
                                         : last > i   ? "%s%02d and %02d"
                                                      : "%s%02d",
                                         size ? ", " : "", i + 1, last + 1));
  }
  const bool one = records == kStudents - 1;
  flush_before_message();
  fprintf(stderr, "scores.txt: %d record%s; student%s %s keep%s %s marks\n", records,
          records == 1 ? "" : "s", one ? "" : "s", kept, one ? "s" : "", one ? "its" : "their");
}

void report_not_a_mark(int line, std::string_view text) {
  flush_before_message();
  fprintf(stderr, "scores.txt:%d: not a mark: %s\n", line,
          text.empty() ? "end of file" : shown_text(text).text);
}

// A label's line that ends with three marks: the record's marks were meant
// to be on it.
bool holds_marks(std::string_view label) {
  if (label.empty() || label.back() != '\n') return false;
  int marks = 0;
  for (size_t end = label.size() - 1; marks < kSubjects;) {
    while (end > 0 && isspace(label[end - 1] & 0xff)) --end;
    size_t start = end;
    while (start > 0 && !isspace(label[start - 1] & 0xff)) --start;
    if (start == end || !is_mark(std::string_view(label.data() + start, end - start))) break;
    ++marks;
    end = start;
  }
  return marks == kSubjects;
}

// Opened without waiting: a FIFO would hold the open until something wrote
// to it. Only a regular file is read.
FILE* open_scores() {
#ifdef O_NONBLOCK
  const int fd = open(kScoresFile, O_RDONLY | O_NONBLOCK);
  FILE* file = fd >= 0 ? fdopen(fd, "r") : nullptr;
  if (fd >= 0 && !file) close(fd);
#else
  FILE* file = fopen(kScoresFile, "r");
#endif
  struct stat info {};
  if (!file || (fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode))) return file;
  fclose(file);
  errno = S_ISDIR(info.st_mode) ? EISDIR : 0;  // 0: not a regular file
  return nullptr;
}

bool blank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return isspace(c & 0xff); });
}

}  // namespace

void scoreFromFile() {
  FILE* file = open_scores();
  if (!file) {
    report_unreadable();
    return;
  }
  // A buffer of its own: stdio need not ask the file its block size again.
  static char buffer[4096];
  setvbuf(file, buffer, _IOFBF, sizeof buffer);
  ScoresFile in{file};
  bool stored[kStudents] = {};  // a student got a mark from the file
  // One record per row; records after the fifth have no row and are not read.
  for (int row = 0; row < kStudents && !feof(file); ++row) {
    // Read and thrown away: the label; the rest of the line, after a sign
    // read on its own, to say what stands there when a mark cannot be read.
    char label_text[kLabelBytes], there_text[1 + kRestBytes];
    const std::string_view label = in.field(label_text, sizeof label_text);
    if (ferror(file)) {
      report_unreadable();
      fclose(file);
      return;
    }
    if (feof(file)) break;
    if (holds_marks(label)) {
      Message said{};
      snprintf(said.text, sizeof said.text, "%s taken whole as the label; marks sought on line %d",
               shown_text(std::string_view(label.data(), label.size() - 1), true).text, in.line);
      report(in.line - 1, said);
    }
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
    if (rest.size() == kRestBytes && rest.back() != '\n' && !feof(file)) {
      Message said{};
      snprintf(said.text, sizeof said.text,
               "over %d bytes after the marks: the rest is read as the next record",
               static_cast<int>(kRestBytes));
      report(line, said);
    }
  }
  fclose(file);
  report_kept_marks(stored);
}
