#include "keyboard/line_input.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

// What the reader delivers: one chunk a read, like a pipe that gets them
// separately, then the end of input.
std::vector<std::string> chunks;
size_t next_chunk = 0;

long read_chunk(char* buffer, long size) {
  if (next_chunk == chunks.size()) return 0;
  const std::string& chunk = chunks[next_chunk++];
  const long n = std::min<long>(size, static_cast<long>(chunk.size()));
  memcpy(buffer, chunk.data(), static_cast<size_t>(n));
  return n;
}

LineInput input_of(std::vector<std::string> feed, bool line_per_read = false) {
  chunks = std::move(feed);
  next_chunk = 0;
  return LineInput(read_chunk, line_per_read);
}

struct Conversion {
  const char* text;
  std::vector<int> results;  // what each call returns, in order
  std::vector<int> marks;    // the marks stored by the calls that succeeded
};

TEST(LineInputTest, ConvertsMarksAsPercentD) {
  const Conversion cases[] = {
      {"85 90 77\n", {1, 1, 1, EOF}, {85, 90, 77}},
      {"  \t+7\v\f\r-12\n", {1, 1, EOF}, {7, -12}},
      {"\n\n   \n42", {1, EOF}, {42}},        // white space across lines, no final line feed
      {"010 0x10\n", {1, 1, 0, 0}, {10, 0}},  // decimal only: the x stops the number
      {"85,90,77\n", {1, 0, 0}, {85}},        // the comma is not skipped
      {"- 5\n", {0, 0}, {}},                  // a sign with no digit is no number
      {"abc 5\n", {0, 0}, {}},
      {"2147483647 2147483648 -2147483648 -2147483649\n",
       {1, 1, 1, 1},
       {INT_MAX, INT_MAX, INT_MIN, INT_MIN}},
      {"99999999999999999999999999999999999999 -99999999999999999999999999999999999999",
       {1, 1},
       {INT_MAX, INT_MIN}},
      {"", {EOF, EOF}, {}},
      {" \n \n", {EOF}, {}},
  };
  for (const Conversion& c : cases) {
    SCOPED_TRACE(c.text);
    LineInput input = input_of({c.text});
    std::vector<int> results, marks;
    for (size_t n = 0; n < c.results.size(); ++n) {
      int mark = -999;
      results.push_back(input.convert_mark(&mark));
      if (results.back() == 1)
        marks.push_back(mark);
      else
        EXPECT_EQ(mark, -999) << "a failed conversion stores nothing";
    }
    EXPECT_EQ(results, c.results);
    EXPECT_EQ(marks, c.marks);
  }
}

TEST(LineInputTest, FailedTextStaysUntilTheHeldLineIsDropped) {
  LineInput input = input_of({"-x 1\n", "2\n"});
  int mark = 0;
  EXPECT_EQ(input.convert_mark(&mark), 0);
  EXPECT_EQ(input.convert_mark(&mark), 0);
  input.drop_held_line();
  EXPECT_EQ(input.convert_mark(&mark), 1);
  EXPECT_EQ(mark, 2);
}

TEST(LineInputTest, TakesOneLineAtATimeSoKeysAfterItAreKept) {
  // One read delivers the marks and the keys after them; only the marks' line is held.
  LineInput input = input_of({"85 90\n2 q"});
  int mark = 0;
  EXPECT_EQ(input.convert_mark(&mark), 1);
  input.drop_held_line();
  EXPECT_EQ(input.take_byte(), '2');
  EXPECT_EQ(input.take_byte(), ' ');
  EXPECT_EQ(input.take_byte(), 'q');
  EXPECT_EQ(input.take_byte(), EOF);
  EXPECT_EQ(input.take_byte(), EOF);
}

TEST(LineInputTest, AKeyTakenWhileALineIsHeldComesAfterThatLine) {
  // The pause after an entry that left marks over on its line.
  LineInput input = input_of({"1 2\n", "x3\n"});
  int mark = 0;
  EXPECT_EQ(input.convert_mark(&mark), 1);
  EXPECT_EQ(input.take_byte(), 'x');
  EXPECT_EQ(input.convert_mark(&mark), 1);
  EXPECT_EQ(mark, 3);
}

TEST(LineInputTest, EndOfInputHoldsUntilTheLineIsDropped) {
  // A terminal reports Ctrl-D as one empty read, then delivers more lines.
  LineInput input = input_of({"7\n", "", "8\n"});
  int mark = 0;
  EXPECT_EQ(input.convert_mark(&mark), 1);
  EXPECT_EQ(input.convert_mark(&mark), EOF);
  EXPECT_EQ(input.convert_mark(&mark), EOF) << "the rest of the entry ends too";
  EXPECT_EQ(input.take_byte(), EOF);
  input.drop_held_line();
  EXPECT_EQ(input.convert_mark(&mark), 1);
  EXPECT_EQ(mark, 8);
}

TEST(LineInputTest, ATerminalsReadEndsALine) {
  for (const bool line_per_read : {false, true}) {
    LineInput input = input_of({"85 9", "0!", "77\n"}, line_per_read);
    std::vector<int> marks;
    for (int mark = 0; input.convert_mark(&mark) == 1;) marks.push_back(mark);
    const std::vector<int> expected =
        line_per_read ? std::vector<int>{85, 9, 0} : std::vector<int>{85, 90};
    EXPECT_EQ(marks, expected);
  }
}

TEST(LineInputTest, LinesOfAnyLengthAcrossManyReads) {
  std::string digits(200000, '7');
  LineInput input = input_of({"   ", digits.substr(0, 70000), digits.substr(70000), " 5\n"});
  int mark = 0;
  EXPECT_EQ(input.convert_mark(&mark), 1);
  EXPECT_EQ(mark, INT_MAX);
  EXPECT_EQ(input.convert_mark(&mark), 1);
  EXPECT_EQ(mark, 5);
}

}  // namespace
