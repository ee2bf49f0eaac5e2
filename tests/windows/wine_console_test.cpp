// The Windows build under Wine inside tmux, where Wine gives it a real
// console: keys without Enter, the command processor's pause, and the console
// control functions. WINDOWS_BUILD names the cross build's directory; Wine's
// environment comes from with_wine.sh.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iterator>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "run_program.h"
#include "tmux_pane.h"

namespace {

std::string windows_build() {
  const char* dir = getenv("WINDOWS_BUILD");
  return dir ? dir : "";
}

// The probe's results, written in text mode: CRLF line ends made LF.
std::string results_in(const std::string& dir) {
  std::string text = read_file(dir + "/results");
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

// The program in a pane; the shell says how it ended and keeps the pane open.
std::string program_command() {
  return "wine " + windows_build() + "/src/marking-system.exe; echo EXITED $?; sleep 60";
}

size_t count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class WineConsole : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!have_tmux()) GTEST_SKIP() << "tmux is not installed";
    ASSERT_FALSE(windows_build().empty()) << "WINDOWS_BUILD is not set";
  }
};

TEST_F(WineConsole, KeysWithoutEnterAndThePauseWaits) {
  TmuxPane pane(program_command(), 80, 45);
  ASSERT_TRUE(pane.wait_for_screen("Q: option", 60000)) << pane.capture();
  pane.send_keys("2");
  ASSERT_TRUE(pane.wait_for_screen("Q: option  2\n\nST      Chi")) << pane.capture();
  ASSERT_TRUE(pane.wait_for_screen("05:")) << pane.capture();
  ASSERT_TRUE(pane.wait_for_screen("Press any key")) << pane.capture();

  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  EXPECT_EQ(count(pane.capture(), "<< Marking System >>"), 1u) << "the pause must wait";
  pane.send_keys("x");
  for (int tries = 0; tries < 600 && count(pane.capture(), "<< Marking System >>") < 2; ++tries)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_EQ(count(pane.capture(), "<< Marking System >>"), 2u) << pane.capture();

  pane.send_keys("q");
  EXPECT_TRUE(pane.wait_for_screen("EXITED 0")) << pane.capture();
  EXPECT_NE(pane.capture().find("Q: option  q"), std::string::npos);
}

TEST_F(WineConsole, MarksAreTypedAsLinesOnTheConsole) {
  TmuxPane pane(program_command(), 80, 45);
  ASSERT_TRUE(pane.wait_for_screen("Q: option", 60000)) << pane.capture();
  pane.send_keys("1");
  ASSERT_TRUE(pane.wait_for_screen("(q) quit/exit")) << pane.capture();
  pane.send_keys("k");
  ASSERT_TRUE(pane.wait_for_screen("Student01:")) << pane.capture();
  pane.send_keys("85 90 77\r60 70 80 55 65 75\r45 35 25 100 99 98\r");
  ASSERT_TRUE(pane.wait_for_screen("Press any key")) << pane.capture();
  EXPECT_NE(pane.capture().find("01:     85      90      77      252     84.0 (B)"),
            std::string::npos)
      << pane.capture();
  EXPECT_NE(pane.capture().find("05:     100     99      98      297     99.0 (A)"),
            std::string::npos);
  pane.send_keys(" q");
  EXPECT_TRUE(pane.wait_for_screen("EXITED 0")) << pane.capture();
}

TEST_F(WineConsole, ConsoleFunctionsAgreeWithTheTerminal) {
  const std::string dir = make_temp_dir();
  TmuxPane pane(
      "wine " + windows_build() + "/tests/console_probe.exe" +
      " text hello setrgb 1 text A setrgb 12 text B setrgb 7 text C gotoxy 7 3 where hold" + " 2>" +
      dir + "/results");
  for (int tries = 0; tries < 1200 && results_in(dir).find("ready") == std::string::npos; ++tries)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(results_in(dir), "7 3\nready\n");
  EXPECT_EQ(pane.display("#{cursor_x} #{cursor_y}"), "7 3");

  // Black is the console's default background, which Wine may leave unsaid.
  const auto a = colours_of(pane.capture("-e"), 'A');
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0].first, 91);
  EXPECT_EQ(colours_of(pane.capture("-e"), 'B'), (std::vector<std::pair<int, int>>{{94, 107}}));
  EXPECT_EQ(colours_of(pane.capture("-e"), 'C'), (std::vector<std::pair<int, int>>{{90, 100}}));
  unlink((dir + "/results").c_str());
  rmdir(dir.c_str());
}

// Keys through the console's input records, as Wine makes them of a
// terminal's bytes: the same values as the bytes give on a terminal.
TEST_F(WineConsole, KeysAreTheValuesATerminalGives) {
  struct Key {
    std::string typed;
    std::string value;  // as the probe prints it
  };
  const Key keys[] = {
      {"\x1b[A", "110001"},  {"\x1b[15~", "110105"}, {"\x1b[1;5D", "510003"},  // Ctrl+Left
      {"\x1b[5~", "110007"}, {"\x1b[3~", "11000a"},  {"\x7f", "8"},           {"\r", "d"},
      {"\t", "9"},           {"\x1b[Z", "200009"},  // Shift+Tab
      {"\x1bx", "800078"},   {"\x01", "1"},          {"\xc3\xa9", "e9"},
  };
  const std::string dir = make_temp_dir();
  TmuxPane pane("wine " + windows_build() + "/tests/console_probe.exe text ready keys " +
                std::to_string(std::size(keys)) + " hold 2>" + dir + "/results");
  ASSERT_TRUE(pane.wait_for_screen("ready", 60000)) << pane.capture();
  std::string expected;
  for (const Key& key : keys) {
    pane.send_keys(key.typed);
    expected += key.value + "\n";
    for (int tries = 0; tries < 600 && results_in(dir).size() < expected.size(); ++tries)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(results_in(dir).substr(0, expected.size()), expected);
  }
  unlink((dir + "/results").c_str());
  rmdir(dir.c_str());
}

}  // namespace
