// Scripted sessions: each case's input is piped to the program and what it
// writes is compared byte for byte with the expected file.
//
//   transcript_test CASES_DIR COMMAND...
//
// COMMAND runs the program (for example `wine marking-system.exe`). A case is
// NAME.in with NAME.out, and optionally NAME.scores (put in place as
// scores.txt, and checked to be unchanged afterwards) and NAME.err (the
// expected standard error, empty otherwise). The Windows build ends lines with
// CRLF; its output is compared with those line ends made LF.
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run_program.h"

namespace {

std::vector<std::string> program;  // the command that runs the program under test

bool windows_build() {
  const std::string& exe = program.back();
  return exe.size() > 4 && exe.compare(exe.size() - 4, 4, ".exe") == 0;
}

std::string lf_line_ends(std::string text) {
  if (!windows_build()) return text;
  std::string out;
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  return out;
}

// Runs one session in a fresh directory; `scores` is the scores.txt to put
// there, if any; `command` runs the program, as given to the test by default.
RunResult session(const std::string& input, const std::string* scores = nullptr,
                  const std::vector<std::string>& command = program) {
  const std::string dir = make_temp_dir();
  write_file(dir + "/.stdin", input);
  if (scores) write_file(dir + "/scores.txt", *scores);
  RunResult result = run_program(command, dir + "/.stdin", dir);
  if (scores) {
    EXPECT_EQ(read_file(dir + "/scores.txt"), *scores) << "scores.txt was changed";
  }
  unlink((dir + "/.stdin").c_str());
  unlink((dir + "/scores.txt").c_str());
  rmdir(dir.c_str());
  result.out = lf_line_ends(result.out);
  result.err = lf_line_ends(result.err);
  return result;
}

void expect_clean_exit(const RunResult& result) {
  EXPECT_TRUE(WIFEXITED(result.status) && WEXITSTATUS(result.status) == 0)
      << "status " << result.status;
}

class Transcript : public ::testing::Test {
 public:
  explicit Transcript(std::string base) : base_(std::move(base)) {}
  void TestBody() override {
    const std::string expected_err =
        std::filesystem::exists(base_ + ".err") ? read_file(base_ + ".err") : "";
    RunResult result;
    if (std::filesystem::exists(base_ + ".scores")) {
      const std::string scores = read_file(base_ + ".scores");
      result = session(read_file(base_ + ".in"), &scores);
    } else {
      result = session(read_file(base_ + ".in"));
    }
    EXPECT_EQ(result.out, read_file(base_ + ".out"));
    EXPECT_EQ(result.err, expected_err);
    expect_clean_exit(result);
  }

 private:
  std::string base_;
};

void register_cases(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    if (entry.path().extension() == ".in") names.insert(entry.path().stem().string());
  for (const std::string& name : names) {
    const std::string base = dir + "/" + name;
    ::testing::RegisterTest("Transcript", name.c_str(), nullptr, nullptr, __FILE__, __LINE__,
                            [base]() -> ::testing::Test* { return new Transcript(base); });
  }
}

// The score list's rows: marks, total, average and grade letter of each student.
struct Row {
  int marks[3];
  int total;
  double average;
  char grade;
};

std::vector<Row> score_rows(const std::string& text) {
  static const std::regex row(
      R"((\d\d):\t *(-?\d+)\t *(-?\d+)\t *(-?\d+)\t *(-?\d+)\t *(-?[\d.]+) \(([A-E])\)\n)");
  std::vector<Row> rows;
  for (std::sregex_iterator it(text.begin(), text.end(), row), end; it != end; ++it) {
    Row r{};
    for (int j = 0; j < 3; ++j) r.marks[j] = std::stoi((*it)[2 + j]);
    r.total = std::stoi((*it)[5]);
    r.average = std::stod((*it)[6]);
    r.grade = (*it)[7].str()[0];
    rows.push_back(r);
  }
  return rows;
}

// The counts of the first frequency table in `text`, A to E.
std::vector<int> table_counts(const std::string& text) {
  static const std::regex count(R"(\|     ([A-E])     \|[^|]*\| *(\d+) *\|\n)");
  std::vector<int> counts;
  for (std::sregex_iterator it(text.begin(), text.end(), count), end;
       it != end && counts.size() < 5; ++it)
    counts.push_back(std::stoi((*it)[2]));
  return counts;
}

// The fifteen marks that random_scores makes when seeded with `seed`, by the
// C library's generator: glibc's, or the Windows runtime's for the Windows build.
std::vector<int> random_marks(unsigned seed) {
  std::vector<int> marks;
  unsigned state = seed;
  if (!windows_build()) srand(seed);
  for (int i = 0; i < 15; ++i) {
    int next = 0;
    if (windows_build()) {
      state = state * 214013u + 2531011u;
      next = static_cast<int>((state >> 16) & 0x7fff);
    } else {
      next = rand();
    }
    marks.push_back(30 + next % 70);
  }
  return marks;
}

TEST(RandomMarks, AreTheSeededGeneratorsAndGradedAsTheTableCounts) {
  // R lists the new marks and 3 counts them; 2 lists the same book again.
  const time_t before = time(nullptr);
  const RunResult result = session("1r 32 q");
  const time_t after = time(nullptr);
  expect_clean_exit(result);
  const std::vector<Row> rows = score_rows(result.out);
  ASSERT_EQ(rows.size(), 10u) << result.out;

  std::vector<int> marks, letters(5, 0);
  for (int i = 0; i < 5; ++i) {
    const Row& r = rows[static_cast<size_t>(i)];
    marks.insert(marks.end(), r.marks, r.marks + 3);
    EXPECT_EQ(r.total, r.marks[0] + r.marks[1] + r.marks[2]);
    EXPECT_NEAR(r.average, r.total / 3.0, 0.051);
    ++letters[static_cast<size_t>(r.grade - 'A')];
    const Row& again = rows[static_cast<size_t>(i + 5)];
    EXPECT_TRUE(std::equal(r.marks, r.marks + 3, again.marks));
    EXPECT_EQ(r.grade, again.grade);
  }
  // A second either side: Wine's clock, read from a table its server updates,
  // can lag the host's across a second boundary.
  bool seeded = false;
  for (time_t t = before - 1; t <= after + 1; ++t)
    seeded |= marks == random_marks(static_cast<unsigned>(t));
  EXPECT_TRUE(seeded) << "not the generator seeded with the time in seconds";
  EXPECT_EQ(letters, table_counts(result.out)) << "the list and the table disagree";
}

TEST(RandomMarks, TwoFillsInOneSecondAreTheSame) {
  // Seeded from the clock in seconds: fills in the same second repeat. A run
  // that straddles a second boundary is retried.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const time_t before = time(nullptr);
    const RunResult result = session("1r 1r q");
    if (time(nullptr) != before) continue;
    const std::vector<Row> rows = score_rows(result.out);
    ASSERT_EQ(rows.size(), 10u);
    for (size_t i = 0; i < 5; ++i)
      EXPECT_TRUE(std::equal(rows[i].marks, rows[i].marks + 3, rows[i + 5].marks));
    return;
  }
  GTEST_SKIP() << "every attempt straddled a second boundary";
}

TEST(BadInput, RandomBytesEndCleanly) {
  // Whatever the bytes, the session ends at the end of input (or on a Q), with
  // nothing on standard error but the diagnostics of marks, and scores.txt
  // untouched.
  unsigned state = 12345;
  auto next = [&state] { return (state = state * 1103515245u + 12345u) >> 16; };
  for (int run = 0; run < 3; ++run) {
    std::string input(20000, '\0');
    for (char& byte : input) byte = static_cast<char>(next() & 0xFF);
    for (size_t i = 0; i < input.size(); ++i)
      if (input[i] == 'q' || input[i] == 'Q') input[i] = '1';  // keep the session going
    const std::string scores = "x\n1 2 3\n";
    SCOPED_TRACE(run);
    const RunResult result = session(input, &scores);
    expect_clean_exit(result);
    std::istringstream said(result.err);
    for (std::string line; std::getline(said, line);)
      EXPECT_TRUE(line.rfind("Student0", 0) == 0 ||
                  line == "scores.txt: 1 record; students 02 to 05 keep their marks")
          << line;
  }
}

std::vector<std::string> with(std::vector<std::string> before,
                              const std::vector<std::string>& words,
                              const std::vector<std::string>& after = {}) {
  before.insert(before.end(), words.begin(), words.end());
  before.insert(before.end(), after.begin(), after.end());
  return before;
}

// Arguments are answered before any menu; output that could not be written
// is said on standard error and fails the run.
TEST(CommandLine, AnswersHelpAndVersionRefusesTheRestAndFailsOnAWriteError) {
  struct Case {
    std::vector<std::string> command;
    int status;
    std::string out_begins;
    std::string err;
  };
  const std::string refused = "Try 'marking-system --help'.\n";
  const std::vector<std::string> to_full = {"sh", "-c", "exec \"$@\" >/dev/full", "sh"};
  const Case cases[] = {
      {with(program, {"--help"}), 0, "Usage: marking-system [--help | --version]\n", ""},
      {with(program, {"--version"}), 0, "marking-system 1.0.0\n", ""},
      {with(program, {"--version", "--help"}), 0, "Usage: ", ""},
      {with(program, {"-h"}), 2, "", "marking-system: unrecognized argument '-h'\n" + refused},
      {with(program, {"--help", ""}), 2, "",
       "marking-system: unrecognized argument ''\n" + refused},
      {with(to_full, program), 1, "", "marking-system: write error: No space left on device\n"},
      {with(to_full, program, {"--version"}), 1, "",
       "marking-system: write error: No space left on device\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command.back());
    const RunResult result = session("2 3q", nullptr, c.command);
    EXPECT_TRUE(WIFEXITED(result.status) && WEXITSTATUS(result.status) == c.status)
        << "status " << result.status;
    EXPECT_EQ(result.out.substr(0, c.out_begins.size()), c.out_begins);
    EXPECT_EQ(result.out.find("<< Marking System >>"), std::string::npos);
    EXPECT_EQ(result.err, c.err);
  }
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc < 3) {
    fprintf(stderr, "usage: %s CASES_DIR COMMAND...\n", argv[0]);
    return 2;
  }
  program.assign(argv + 2, argv + argc);
  register_cases(argv[1]);
  return RUN_ALL_TESTS();
}
