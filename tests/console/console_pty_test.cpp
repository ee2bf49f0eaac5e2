// The console control functions on a pseudo-terminal whose other end is the
// test: the exact bytes each writes, and the position query answered (or not)
// as a terminal would.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pty_session.h"
#include "run_program.h"

#ifndef CONSOLE_PROBE
#error "CONSOLE_PROBE must name the probe program"
#endif

namespace {

const std::string kQuery = "\x1b[6n\x1b[c";             // position, then attributes
const std::string kAskShape = "\x1bP$q q\x1b\\\x1b[c";  // the cursor's shape, then attributes
const std::string kAttributes = "\x1b[?1;2c";

TEST(ConsoleBytes, EachFunctionWritesItsSequenceBeforeItReturns) {
  struct Case {
    std::vector<std::string> steps;
    std::string bytes;
    std::string term = "xterm";
  };
  const Case cases[] = {
      {{"gotoxy", "7", "3"}, "\x1b[4;8H"},
      {{"gotoxy", "0", "0"}, "\x1b[1;1H"},
      {{"gotoxy", "79", "23"}, "\x1b[24;80H"},
      {{"gotoxy", "65543", "3"}, "\x1b[4;8H"},  // the low 16 bits
      {{"gotoxy", "-1", "3"}, ""},              // off the screen: nothing moves
      {{"gotoxy", "200", "5"}, ""},
      {{"gotoxy", "80", "0"}, ""},
      {{"gotoxy", "0", "24"}, ""},
      {{"clrscr"}, "\x1b[2J\x1b[3J\x1b[H"},
      {{"clreol"}, "\x1b[K"},
      {{"setrgb", "0"}, "\x1b[97;40m"},
      {{"setrgb", "7"}, "\x1b[90;100m"},
      {{"setrgb", "12"}, "\x1b[94;107m"},
      {{"setrgb", "16"}, "\x1b[97;40m"},
      {{"setrgb", "-1"}, "\x1b[97;40m"},
      {{"cursor", "0", "25"}, kAskShape + "\x1b[4 q\x1b[?25l"},
      {{"cursor", "1", "1"}, kAskShape + "\x1b[4 q\x1b[?25h"},
      {{"cursor", "1", "49"}, kAskShape + "\x1b[4 q\x1b[?25h"},
      {{"cursor", "1", "50"}, kAskShape + "\x1b[2 q\x1b[?25h"},
      {{"cursor", "5", "100"}, kAskShape + "\x1b[2 q\x1b[?25h"},
      {{"cursor", "1", "0"}, ""},
      {{"cursor", "1", "101"}, ""},
      {{"size", "100", "40"}, "\x1b[8;40;100t"},
      {{"size", "80", "1"}, "\x1b[8;1;80t"},
      {{"size", "0", "40"}, ""},
      {{"fullscreen"}, "\x1b[10;2t"},
      {{"normvideo"}, "\x1b[0m"},
      // A terminal that cannot take control sequences gets none, and no query.
      {{"gotoxy", "1", "1", "clrscr", "getxy"}, "0 0\r\n", "dumb"},
      {{"setrgb", "3", "getxy"}, "0 0\r\n", ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> command = {CONSOLE_PROBE};
    command.insert(command.end(), c.steps.begin(), c.steps.end());
    command.push_back("hold");  // the probe is still running when its output is read
    SCOPED_TRACE(c.steps[0] + (c.steps.size() > 1 ? " " + c.steps[1] : "") + " TERM=" + c.term);
    PtySession pty(command, "", {"TERM=" + c.term});
    if (c.bytes.rfind(kAskShape, 0) == 0) {
      ASSERT_TRUE(pty.wait_for(kAskShape));
      pty.send(kAttributes);  // a terminal that knows no cursor shapes
    }
    ASSERT_TRUE(pty.wait_for("ready\r\n", 3000));
    EXPECT_EQ(pty.output(), c.bytes + "ready\r\n");
  }
}

// As an unprivileged user where the tests run as root: keys typed during the
// query must still reach the program where the kernel refuses to push them back.
std::vector<std::string> unprivileged(std::vector<std::string> command) {
  if (getuid() == 0 && access("/usr/bin/setpriv", X_OK) == 0)
    command.insert(command.begin(),
                   {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
  return command;
}

TEST(ConsolePositionQuery, AnsweredByTheTerminal) {
  struct Answer {
    const char* name;
    std::string before;  // typed before the replies arrive
    std::string reply;
    std::string after;     // typed right after them
    std::string position;  // what getxy gives
    std::string typed;     // what the program can still read afterwards
    std::string attributes = kAttributes;
  };
  const Answer answers[] = {
      {"prompt reply", "", "\x1b[4;8R", "", "7 3", ""},
      {"top left", "", "\x1b[1;1R", "", "0 0", ""},
      {"keys typed around the replies", "ab", "\x1b[12;40R", "cd", "39 11", "abcd"},
      {"Shift+F3 typed before the reply", "\x1b[1;2R", "\x1b[12;40R", "", "39 11", "\x1b[1;2R"},
      {"Escape typed just before the replies", "\x1b", "\x1b[12;40R", "", "39 11", "\x1b"},
      {"text shaped like a reply", "ab1;2R", "\x1b[2;3R", "", "2 1", "ab1;2R"},
      {"junk that looks like a reply", "\x1b[x\x1b[0;5R", "\x1b[2;3R", "", "2 1",
       "\x1b[x\x1b[0;5R"},
      {"truncated reply", "", "\x1b[4;8", "", "0 0", "\x1b[4;8"},
      {"no attributes reply", "", "\x1b[4;8R", "", "7 3", "", ""},
  };
  for (const Answer& a : answers) {
    SCOPED_TRACE(a.name);
    PtySession pty(unprivileged({CONSOLE_PROBE, "getxy", "typed"}));
    ASSERT_TRUE(pty.wait_for(kQuery, 3000));
    pty.send(a.before + a.reply + a.attributes + a.after);
    EXPECT_EQ(pty.wait_exit(), 0);
    const std::string reported = a.position + "\r\ntyped:" + a.typed + "\r\n";
    EXPECT_EQ(pty.since_last_match().substr(0, reported.size()), reported);
  }
}

// Replies that come after getxy has given up are dropped, not read as keys;
// a key the read cuts short waits whole for the rest.
TEST(ConsolePositionQuery, LateRepliesAreNotReadAsKeys) {
  struct Late {
    std::string sent;
    std::string read;
  };
  for (const Late& late : {Late{"\x1b[4;8R" + kAttributes + "z", "z"}, Late{"\x1b[", "\x1b["}}) {
    PtySession pty({CONSOLE_PROBE, "getxy", "next"});
    ASSERT_TRUE(pty.wait_for(kQuery, 3000));
    ASSERT_TRUE(pty.wait_for("0 0\r\n"));
    pty.send(late.sent);
    ASSERT_TRUE(pty.wait_for("next:"));
    EXPECT_EQ(pty.wait_exit(), 0);
    EXPECT_EQ(pty.since_last_match().substr(0, late.read.size() + 2), late.read + "\r\n");
  }
}

// A program of its own around the functions: its terminal settings are kept
// across getxy and getkey, and two threads asking at once each get their own
// answer.
TEST(ConsoleLibraryUser, KeepsTheCallersSettingsAndTakesTurnsAcrossThreads) {
  const std::string reply = "\x1b[5;9R" + kAttributes;
  {
    PtySession pty({CONSOLE_PROBE, "getxy", "raw", "getxy", "kept"});
    for (int query = 0; query < 2; ++query) {
      ASSERT_TRUE(pty.wait_for(kQuery, 3000));
      pty.send(reply);
    }
    ASSERT_TRUE(pty.wait_for("8 4\n"));
    EXPECT_EQ(pty.wait_exit(), 0);
    EXPECT_EQ(pty.since_last_match(), "kept\r\n");
  }
  {
    PtySession pty({CONSOLE_PROBE, "key", "hold"});
    ASSERT_TRUE(pty.wait_for_key_mode());
    pty.send("k");
    ASSERT_TRUE(pty.wait_for("key:k\r\nready"));
    EXPECT_TRUE(same_settings(pty.settings(), pty.initial_settings()));
  }
  PtySession pty({CONSOLE_PROBE, "threads", "100"});
  for (int query = 0; query < 200; ++query) {
    ASSERT_TRUE(pty.wait_for(kQuery, 3000)) << query;
    pty.send(reply);
  }
  ASSERT_TRUE(pty.wait_for("threads: "));
  EXPECT_EQ(pty.wait_exit(), 0);
  EXPECT_EQ(pty.since_last_match(), "200 right\r\n");
}

// One thread waits for a key while another draws: the drawing waits for no
// key, and the key reaches the reader. A descriptor 0 that is no longer the
// terminal is not read for keys: the terminal is.
TEST(ConsoleLibraryUser, AReaderWaitingForAKeyHoldsUpNoOne) {
  const std::string dir = make_temp_dir();
  write_file(dir + "/file", "FILE");
  for (const auto& steps : {std::vector<std::string>{CONSOLE_PROBE, "drawing"},
                            {CONSOLE_PROBE, "typed", "reopen", dir + "/file", "drawing"}}) {
    SCOPED_TRACE(steps.size());
    PtySession pty(steps);
    ASSERT_TRUE(pty.wait_for("drawn")) << "the drawing waited for the key";
    pty.send("k");
    ASSERT_TRUE(pty.wait_for("key:k"));
    EXPECT_EQ(pty.wait_exit(), 0);
  }
  // keyhit sets key mode while it looks: a key the terminal holds, without
  // Enter, from before the program started, is seen.
  ASSERT_EQ(mkfifo((dir + "/go").c_str(), 0600), 0);
  PtySession pty({"sh", "-c", std::string("read go <go; exec ") + CONSOLE_PROBE + " typed"}, dir);
  pty.send("x");
  ASSERT_TRUE(pty.wait_for("x"));  // echoed by the terminal, which holds it
  write_file(dir + "/go", "\n");
  EXPECT_EQ(pty.wait_exit(), 0);
  EXPECT_EQ(pty.since_last_match(), "typed:x\r\n");
  unlink((dir + "/go").c_str());
  unlink((dir + "/file").c_str());
  rmdir(dir.c_str());
}

// What the program changed of the cursor and the colours is put back however
// it ends, the cursor's shape as the user had it, and while it is stopped; a
// stop that the kernel drops (a session's leader) changes nothing.
TEST(ConsoleLibraryUser, PutsBackTheCursorAndColoursItChanged) {
  const std::string changed = "\x1b[4 q\x1b[?25l\x1b[93;40m", back = "\x1b[5 q\x1b[?25h\x1b[0m";
  const std::string probe = std::string(CONSOLE_PROBE) + " cursor 0 25 setrgb 3";
  struct Step {
    std::string typed;
    std::string shown;  // after it
  };
  struct Ending {
    const char* name;
    std::string command;  // for dash -c
    std::vector<Step> steps;
    std::string whole = "";  // the whole output, where it is known
  };
  const Ending endings[] = {
      {"returning", "exec " + probe, {{"", changed + back}}, kAskShape + changed + back},
      {"Ctrl-C", "exec " + probe + " hold", {{"", "ready\r\n"}, {"\x03", "^C" + back}}},
      {"a stop the kernel drops",
       "exec " + probe + " hold",
       {{"", "ready\r\n"}, {"\x1a", "^Z"}, {"\x03", "^C" + back}},
       kAskShape + changed + "ready\r\n^Z^C" + back},
      {"a stop, fg, then Ctrl-C",
       "set -m; " + probe + " hold; fg",
       {{"", "ready\r\n"}, {"\x1a", back}, {"", changed}, {"\x03", "^C" + back}}},
  };
  for (const Ending& e : endings) {
    SCOPED_TRACE(e.name);
    PtySession pty({"dash", "-c", e.command});
    ASSERT_TRUE(pty.wait_for(kAskShape));
    pty.send("\x1bP1$r5 q\x1b\\" + kAttributes);  // the user's shape: 5, a blinking bar
    for (const Step& step : e.steps) {
      pty.send(step.typed);
      ASSERT_TRUE(pty.wait_for(step.shown)) << pty.output();
    }
    pty.wait_exit();
    if (!e.whole.empty()) {
      EXPECT_EQ(pty.output(), e.whole);
    }
  }
}

// A child made by fork gives none of its parent's key, and restores nothing
// of what the parent changed; a program run from the library's user gets
// none of its descriptors.
TEST(ConsoleLibraryUser, AChildStartsWithNothingOfItsParents) {
  {
    PtySession pty({CONSOLE_PROBE, "setrgb", "3", "fork"});
    ASSERT_TRUE(pty.wait_for_key_mode());
    pty.send("\x1b[A");
    EXPECT_EQ(pty.wait_exit(), 0);
    EXPECT_EQ(pty.output(), "\x1b[93;40mchild:0\r\nparent:27 91 65\r\n\x1b[0m");
  }
  std::string listed[2];
  for (const bool after_a_key : {false, true}) {
    PtySession pty(after_a_key ? std::vector<std::string>{CONSOLE_PROBE, "key", "exec"}
                               : std::vector<std::string>{CONSOLE_PROBE, "exec"});
    if (after_a_key) {
      ASSERT_TRUE(pty.wait_for_key_mode());
      pty.send("k");
      ASSERT_TRUE(pty.wait_for("key:k\r\n"));
    }
    EXPECT_EQ(pty.wait_exit(), 0);
    listed[after_a_key] = pty.since_last_match();
  }
  EXPECT_EQ(listed[1], listed[0]) << "descriptors left open across exec";
}

// Keys as one value each, read by a program that polls, with key mode held
// or not: nothing typed is shown, nothing is lost; a resize is a key too.
TEST(ConsoleKeys, PollingShowsNothingTypedAndAResizeIsAKey) {
  for (const char* step : {"poll", "held"}) {
    SCOPED_TRACE(step);
    PtySession pty({CONSOLE_PROBE, step});
    ASSERT_TRUE(pty.wait_for("[ready]"));
    pty.send("xy");
    ASSERT_TRUE(pty.wait_for("[got 120][got 121][ready]"));
    pty.send("q");
    EXPECT_EQ(pty.wait_exit(), 0);
    EXPECT_EQ(pty.output(), "[ready][got 120][got 121][ready][got 113]");
    EXPECT_TRUE(same_settings(pty.settings(), pty.initial_settings()));
  }
  PtySession pty({CONSOLE_PROBE, "keys", "2"});
  ASSERT_TRUE(pty.wait_for_key_mode());
  pty.resize(100, 30);
  ASSERT_TRUE(pty.wait_for("resize 100x30\r\n"));
  pty.send("\x1b[1;5D");
  ASSERT_TRUE(pty.wait_for("510003\r\n"));  // CK_LEFT + CK_CTRL
  EXPECT_EQ(pty.wait_exit(), 0);
}

// The terminal takes a resize later than it is asked for; the cursor can be
// placed in the new rows as soon as SetScrnSize returns, as on Windows.
TEST(ConsoleResize, GotoxyAfterSetScrnSizeReachesTheNewSize) {
  PtySession pty({CONSOLE_PROBE, "size", "100", "30", "gotoxy", "99", "29", "hold"});
  ASSERT_TRUE(pty.wait_for("\x1b[8;30;100t", 3000));
  pty.resize(100, 30);
  ASSERT_TRUE(pty.wait_for("ready\r\n", 3000));
  EXPECT_EQ(pty.output(), "\x1b[8;30;100t\x1b[30;100Hready\r\n");
}

TEST(ConsolePositionQuery, NoAnswerGivesZeroWithoutHanging) {
  PtySession pty({CONSOLE_PROBE, "getxy", "where"});
  EXPECT_EQ(pty.wait_exit(), 0);
  // getxy asks once; whereX and whereY ask once each.
  EXPECT_EQ(pty.output(), kQuery + "0 0\r\n" + kQuery + kQuery + "0 0\r\n");
}

TEST(ConsoleRedirected, WritesNothingAndGivesZero) {
  const std::string dir = make_temp_dir();
  const RunResult result =
      run_program({CONSOLE_PROBE, "gotoxy", "7", "3", "clrscr", "clreol", "setrgb", "3", "cursor",
                   "0", "25", "size", "80", "25", "fullscreen", "getxy", "where"},
                  "/dev/null", dir);
  rmdir(dir.c_str());
  EXPECT_TRUE(WIFEXITED(result.status) && WEXITSTATUS(result.status) == 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "0 0\n0 0\n");
}

}  // namespace
