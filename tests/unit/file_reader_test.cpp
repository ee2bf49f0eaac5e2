// scoreFromFile on files written into a temporary directory.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "marking/marking.h"
#include "run_program.h"

namespace {

using namespace std::string_literals;
using Book = std::vector<std::vector<int>>;

Book book() {
  Book rows;
  for (const auto& row : score) rows.emplace_back(row, row + kSubjects);
  return rows;
}

class FileReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = make_temp_dir();
    ASSERT_EQ(getcwd(home_, sizeof home_), home_);
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    set_earlier_marks();
  }
  static void set_earlier_marks() {
    for (int i = 0; i < kStudents; ++i)
      for (int j = 0; j < kSubjects; ++j) score[i][j] = -(10 * i + j + 1);
  }
  void TearDown() override {
    unlink("scores.txt");
    rmdir("scores.txt");
    ASSERT_EQ(chdir(home_), 0);
    rmdir(dir_.c_str());
  }
  // Reads `content` as scores.txt and returns what it wrote on standard error.
  static std::string read_scores(const std::string& content) {
    write_file("scores.txt", content);
    testing::internal::CaptureStderr();
    scoreFromFile();
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(read_file("scores.txt"), content) << "scores.txt must never be written";
    return err;
  }

  std::string dir_;
  char home_[4096] = {};
};

std::string repeated(int times, const std::string& text) {
  std::string all;
  for (int n = 0; n < times; ++n) all += text;
  return all;
}

// Said when the file ends before the fifth record.
const std::string kNoRecord = "scores.txt: 0 records; students 01 to 05 keep their marks\n";
const std::string kOneRecord = "scores.txt: 1 record; students 02 to 05 keep their marks\n";
const std::string kTwoRecords = "scores.txt: 2 records; students 03 to 05 keep their marks\n";
const std::string kThreeRecords = "scores.txt: 3 records; students 04 and 05 keep their marks\n";
const std::string kNotFirst = "scores.txt: 1 record; students 01, 03 to 05 keep their marks\n";
std::string past_the_rest(int line) {
  return "scores.txt:" + std::to_string(line) +
         ": over 99 bytes after the marks: the rest is read as the next record\n";
}

const Book kEarlier = {
    {-1, -2, -3}, {-11, -12, -13}, {-21, -22, -23}, {-31, -32, -33}, {-41, -42, -43}};

TEST_F(FileReaderTest, ReadsRecordsIntoRows) {
  struct Case {
    const char* name;
    std::string file;
    Book expected;
    std::string diagnostics = "";  // on standard error
  };
  const std::string label22 = "Student one, class 1A";  // 21 characters and a space
  const Case cases[] = {
      {"label lines",
       "Alice\n85 90 77\nBob\n60 70 80\nCarol\n1 2 3\nDan\n4 5 6\nEve\n7 8 9\n",
       {{85, 90, 77}, {60, 70, 80}, {1, 2, 3}, {4, 5, 6}, {7, 8, 9}}},
      {"label columns",
       label22 + " 85 90 77\n" + label22 + " 60 70 80 extra text\n",
       {{85, 90, 77}, {60, 70, 80}, kEarlier[2], kEarlier[3], kEarlier[4]},
       kTwoRecords},
      {"no final line feed",
       "A\n1 2 3\nB\n4 5 6",
       {{1, 2, 3}, {4, 5, 6}, kEarlier[2], kEarlier[3], kEarlier[4]},
       kTwoRecords},
      {"seven records",
       "a\n1 1 1\nb\n2 2 2\nc\n3 3 3\nd\n4 4 4\ne\n5 5 5\nf\n6 6 6\ng\n7 7 7\n",
       {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}, {5, 5, 5}}},
      {"four records",
       "a\n1 1 1\nb\n2 2 2\nc\n3 3 3\nd\n4 4 4\n",
       {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}, kEarlier[4]},
       "scores.txt: 4 records; student 05 keeps its marks\n"},
      {"the file ends right after a label",
       "x\n1 2 3\ny",
       {{1, 2, 3}, kEarlier[1], kEarlier[2], kEarlier[3], kEarlier[4]},
       kOneRecord},
      {"notations; a leading 0 that changes a mark is said",
       "x\n010 0x1F -5\ny\n08 7\nz\n+0X10 -0 007\n",
       {{8, 31, -5}, {0, 8, 7}, {16, 0, 7}, kEarlier[3], kEarlier[4]},
       "scores.txt:2: \"010\" is octal (a leading 0): 8 stored\n"
       "scores.txt:4: \"0\" is octal (a leading 0): 0 stored, then 8 begins the next mark\n" +
           kThreeRecords},
      {"beyond 32 bits",
       "x\n0xFFFFFFFF -0x80000001 " + std::string(40, '9') + "\n",
       {{INT_MAX, INT_MIN, INT_MAX}, kEarlier[1], kEarlier[2], kEarlier[3], kEarlier[4]},
       kOneRecord},
      {"comma",
       "x\n85,90,77\ny\n1 2 3\n",
       {{85, -2, -3}, {1, 2, 3}, kEarlier[2], kEarlier[3], kEarlier[4]},
       "scores.txt:2: not a mark: \",90,77\"\n" + kTwoRecords},
      {"a name on each marks line: the first line is a label", "Alice\t85 90 77\nBob 60 70 80\n",
       kEarlier,
       "scores.txt:1: \"Alice\\t85 90 77\" taken whole as the label; marks sought on line "
       "2\nscores.txt:2: not a mark: \"Bob\"\n" +
           kNoRecord},
      {"long text cut at 20 bytes, control bytes and quotes escaped",
       "x\n\"\x01\\" + std::string(30, 'z') + " 1 2\n", kEarlier,
       "scores.txt:2: not a mark: \"\\\"^A\\\\" + std::string(17, 'z') + "\"\n" + kNoRecord},
      {"the edges of what is shown: 0x1f and 0x7f escaped, 0x7e not; 20 bytes whole, 21 cut",
       "x\n\x1f~\x7f" + std::string(17, 'z') + "\ny\n" + std::string(21, 'w') + "\n", kEarlier,
       "scores.txt:2: not a mark: \"^_~^?" + std::string(17, 'z') +
           "\"\nscores.txt:4: not a mark: \"" + std::string(20, 'w') + "\"\n" + kNoRecord},
      {"no raw byte said: a byte that is no UTF-8, a C1 control; a character not cut",
       "x\n\xff\xfe\x80\xc2\x85\xc3\xa9" + std::string(13, 'z') + "\xc3\xa9\n", kEarlier,
       "scores.txt:2: not a mark: \"\\xff\\xfe\\x80\\u0085\xc3\xa9" + std::string(13, 'z') +
           "\"\n" + kNoRecord},
      {"a record cut after its label stores nothing",
       "A\n10 20 30\nB\n40 50 60\nC\n",
       {{10, 20, 30}, {40, 50, 60}, kEarlier[2], kEarlier[3], kEarlier[4]},
       "scores.txt:5: not a mark: end of file\n" + kTwoRecords},
      {"the rest of a line after the third mark is not read",
       "x\n80 70 6x\ny\n1 a\tb\n",
       {{80, 70, 6}, {1, -12, -13}, kEarlier[2], kEarlier[3], kEarlier[4]},
       "scores.txt:4: not a mark: \"a\"\n" + kTwoRecords},
      {"record cut short at the end of the file",
       "x\n1 2 3\ny\n4 5\n\n",
       {{1, 2, 3}, {4, 5, -13}, kEarlier[2], kEarlier[3], kEarlier[4]},
       "scores.txt:4: not a mark: end of file\n" + kTwoRecords},
      {"blank lines at the end are no record, lines of tabs too",
       "x\n1 2 3\n\t\t\n\n \n",
       {{1, 2, 3}, kEarlier[1], kEarlier[2], kEarlier[3], kEarlier[4]},
       kOneRecord},
      {"blank label line",
       "\n1 2 3\n\n4 5 6\n",
       {{1, 2, 3}, {4, 5, 6}, kEarlier[2], kEarlier[3], kEarlier[4]},
       kTwoRecords},
      {"label of 23 characters leaves its tail as a mark",
       "12345678901234567890129\n8 7\n",
       {{9, 8, 7}, kEarlier[1], kEarlier[2], kEarlier[3], kEarlier[4]},
       kOneRecord},
      {"carriage returns",
       "A\r\n1 2 3\r\nB\r\n4 5 6\r\n",
       {{1, 2, 3}, {4, 5, 6}, kEarlier[2], kEarlier[3], kEarlier[4]},
       kTwoRecords},
      {"empty", "", kEarlier, kNoRecord},
      {"only white space", std::string(5000, ' ') + "\n\n\t\n", kEarlier, kNoRecord},
      {"NUL bytes",
       "ab\0c\n1 2\0 3\nx\n4 5 6\n"s,  // a NUL is no white space: the third mark fails
       {{1, 2, -3}, {4, 5, 6}, kEarlier[2], kEarlier[3], kEarlier[4]},
       "scores.txt:2: not a mark: \"^@\"\n" + kTwoRecords},
      {"a megabyte line", std::string(1 << 20, 'z') + "\n1 2 3\n", kEarlier,
       repeated(5,
                "scores.txt:1: not a mark: \"" + std::string(20, 'z') + "\"\n" + past_the_rest(1)) +
           kNoRecord},
      {"a rest of line past 99 bytes begins the next record",
       "x\n1 2 3 " + std::string(120, 'z') + "\n",
       {{1, 2, 3}, kEarlier[1], kEarlier[2], kEarlier[3], kEarlier[4]},
       past_the_rest(2) + "scores.txt:2: not a mark: end of file\n" + kOneRecord},
      // A mark that cannot be read leaves the record's later marks as they were.
      {"lone minus",
       "x\n- 5 6 7\ny\n1 2 3\n",
       {kEarlier[0], {1, 2, 3}, kEarlier[2], kEarlier[3], kEarlier[4]},
       "scores.txt:2: not a mark: \"-\"\n" + kNotFirst},
      {"lone plus", "x\n+ 5 6 7\n", kEarlier, "scores.txt:2: not a mark: \"+\"\n" + kNoRecord},
      {"lone minus at a line end",  // the next record's label is the marks' line
       "x\n-\n5 6 7\n8 9 10\n",
       {kEarlier[0], {8, 9, 10}, kEarlier[2], kEarlier[3], kEarlier[4]},
       "scores.txt:2: not a mark: \"-\"\nscores.txt:3: \"5 6 7\" taken whole as the label; marks "
       "sought on line 4\n" +
           kNotFirst},
      {"lone sign as the second mark",
       "x\n85 - 7\n",
       {{85, -2, -3}, kEarlier[1], kEarlier[2], kEarlier[3], kEarlier[4]},
       "scores.txt:2: not a mark: \"-\"\n" + kOneRecord},
      {"a sign read with an earlier mark is not shown",
       "x\n-85 abc\n",
       {{-85, -2, -3}, kEarlier[1], kEarlier[2], kEarlier[3], kEarlier[4]},
       "scores.txt:2: not a mark: \"abc\"\n" + kOneRecord},
      {"bare 0x reads as 0",
       "x\n0x 5 6\n",
       {{0, 5, 6}, kEarlier[1], kEarlier[2], kEarlier[3], kEarlier[4]},
       kOneRecord},
      {"rest of line of 99 characters, line feed included",
       "x\n1 2 3" + std::string(98, 'z') + "\ny\n4 5 6\n",
       {{1, 2, 3}, {4, 5, 6}, kEarlier[2], kEarlier[3], kEarlier[4]},
       kTwoRecords},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    set_earlier_marks();
    EXPECT_EQ(read_scores(c.file), c.diagnostics);
    EXPECT_EQ(book(), c.expected);
  }
}

TEST_F(FileReaderTest, UnreadableFileIsReportedAndChangesNothing) {
  struct Case {
    const char* name;
    int (*make)();  // scores.txt as something else than a file
    const char* said;
  };
  const Case cases[] = {
      {"missing", [] { return 0; }, "scores.txt: No such file or directory\n"},
      {"a directory", [] { return mkdir("scores.txt", 0700); }, "scores.txt: Is a directory\n"},
      {"a FIFO, which no one writes to: not waited for", [] { return mkfifo("scores.txt", 0600); },
       "scores.txt: not a regular file\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(c.make(), 0);
    testing::internal::CaptureStderr();
    scoreFromFile();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.said);
    EXPECT_EQ(book(), kEarlier);
    unlink("scores.txt");
    rmdir("scores.txt");
  }
}

}  // namespace
