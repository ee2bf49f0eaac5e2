// The console control functions inside tmux: what the terminal itself shows.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "run_program.h"
#include "tmux_pane.h"

#ifndef CONSOLE_PROBE
#error "CONSOLE_PROBE must name the probe program"
#endif

namespace {

// The probe in a tmux pane, with its results (standard error) kept in a file.
class ProbePane {
 public:
  explicit ProbePane(const std::string& steps)
      : dir_(make_temp_dir()),
        pane_(std::string(CONSOLE_PROBE) + " " + steps + " hold 2>" + dir_ + "/results") {
    for (int tries = 0; tries < 400 && results().find("ready\n") == std::string::npos; ++tries)
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    EXPECT_NE(results().find("ready\n"), std::string::npos) << "the probe did not come to its end";
  }
  ~ProbePane() {
    unlink((dir_ + "/results").c_str());
    rmdir(dir_.c_str());
  }
  std::string display(const std::string& format) const { return pane_.display(format); }
  std::string capture(const char* flags = "") const { return pane_.capture(flags); }
  std::string results() const { return read_file(dir_ + "/results"); }

 private:
  std::string dir_;
  TmuxPane pane_;
};

class ConsoleInTmux : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!have_tmux()) GTEST_SKIP() << "tmux is not installed";
  }
};

TEST_F(ConsoleInTmux, GotoxyThenWhereAgreeWithTheTerminal) {
  ProbePane pane("text hello gotoxy 7 3 where gotoxy 79 23 getxy gotoxy 0 0 getxy gotoxy 7 3");
  EXPECT_EQ(pane.results(), "7 3\n79 23\n0 0\nready\n");
  EXPECT_EQ(pane.display("#{cursor_x} #{cursor_y}"), "7 3");
}

TEST_F(ConsoleInTmux, ClrscrEmptiesScreenAndScrollBackAndHomes) {
  ASSERT_NE(ProbePane("lines 40").display("#{history_size}"), "0") << "no scroll-back to clear";
  ProbePane pane("lines 40 gotoxy 30 10 clrscr where");
  EXPECT_EQ(pane.results(), "0 0\nready\n");
  EXPECT_EQ(pane.display("#{cursor_x} #{cursor_y} #{history_size}"), "0 0 0");
  EXPECT_EQ(pane.capture(), std::string(24, '\n'));
}

TEST_F(ConsoleInTmux, ClreolClearsFromTheCursorToTheEndOfTheLine) {
  const std::string row(80, 'x');
  ProbePane pane("gotoxy 0 0 text " + row + " gotoxy 0 1 text " + row + " gotoxy 0 2 text " + row +
                 " gotoxy 0 0 clreol gotoxy 79 1 clreol gotoxy 40 2 clreol where");
  EXPECT_EQ(pane.results(), "40 2\nready\n") << "the cursor stays where it was";
  EXPECT_EQ(pane.capture(),
            "\n" + row.substr(0, 79) + "\n" + row.substr(0, 40) + "\n" + std::string(21, '\n'));
}

TEST_F(ConsoleInTmux, SetrgbPresetsShowTheirColours) {
  struct Case {
    int preset, fg, bg;
  };
  const Case cases[] = {
      {0, 97, 40},   {1, 91, 40},   {2, 92, 40},   {3, 93, 40},   {4, 94, 40},
      {5, 95, 40},   {6, 96, 40},   {7, 90, 100},  {8, 90, 107},  {9, 91, 107},
      {10, 92, 107}, {11, 93, 107}, {12, 94, 107}, {13, 95, 107}, {14, 96, 107},
      {15, 97, 107}, {16, 97, 40},  {-1, 97, 40},  {255, 97, 40},
  };
  std::string steps;
  for (const Case& c : cases) steps += "setrgb " + std::to_string(c.preset) + " text Z ";
  ProbePane pane(steps);
  const auto cells = colours_of(pane.capture("-e"), 'Z');
  ASSERT_EQ(cells.size(), std::size(cases));
  for (size_t i = 0; i < cells.size(); ++i) {
    SCOPED_TRACE(cases[i].preset);
    EXPECT_EQ(cells[i], std::make_pair(cases[i].fg, cases[i].bg));
  }
}

TEST_F(ConsoleInTmux, SetCursorVisibleHidesAndShows) {
  EXPECT_EQ(ProbePane("cursor 0 25").display("#{cursor_flag}"), "0");
  EXPECT_EQ(ProbePane("cursor 0 25 cursor 1 100").display("#{cursor_flag}"), "1");
  EXPECT_EQ(ProbePane("cursor 0 25 cursor 1 0").display("#{cursor_flag}"), "0")
      << "a size outside 1 to 100 changes nothing";
}

}  // namespace
