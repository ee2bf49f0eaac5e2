// The program on a real pseudo-terminal: keys without Enter, the pause, and
// the terminal's settings put back however the program ends.
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include <gtest/gtest.h>

#include "pty_session.h"
#include "run_program.h"

#ifndef MARKING_SYSTEM
#error "MARKING_SYSTEM must name the program under test"
#endif

namespace {

const std::string kMenuTitle = "<< Marking System >> ";
const std::string kPrompt = "Q: option  ";
const std::string kPause = "Press any key to continue . . . ";
const std::string kMenu =
    "\r\n(1) input scores     \r\n\t(r) random scores   \r\n\t(k) from keyboard   \r\n"
    "\t(f) from file       \r\n(2) score list       \r\n(3) frequency table  \r\n"
    "(4) statistics       \r\n(5) histogram        \r\n(Q) quit             \r\n";

size_t count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// From the main menu to the first marks prompt: 1, then K.
void open_keyboard_entry(PtySession& pty) {
  ASSERT_TRUE(pty.wait_for(kPrompt));
  pty.send("1");
  ASSERT_TRUE(pty.wait_for("\tQ: option  "));
  pty.send("k");
  ASSERT_TRUE(pty.wait_for("\tStudent01:\t"));
}

void expect_restored(const PtySession& pty) {
  EXPECT_TRUE(same_settings(pty.settings(), pty.initial_settings()))
      << "the terminal was left changed";
}

TEST(Terminal, KeyIsTakenWithoutEnterAndEchoedOnce) {
  PtySession pty({MARKING_SYSTEM});
  ASSERT_TRUE(pty.wait_for(kPrompt));
  pty.send("2");
  ASSERT_TRUE(pty.wait_for(kPause));
  EXPECT_NE(pty.output().find(kPrompt + "2\r\n\r\nST\tChi"), std::string::npos) << pty.output();

  EXPECT_TRUE(pty.quiet_for(300)) << "the pause must wait for a key";
  pty.send("x");
  ASSERT_TRUE(pty.wait_for(kMenuTitle));
  EXPECT_NE(pty.output().find(kPause + "\r\n" + kMenuTitle), std::string::npos)
      << "the pause's key is not echoed";

  ASSERT_TRUE(pty.wait_for(kPrompt));
  pty.send("q");
  const int status = pty.wait_exit();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(pty.since_last_match().find("q\r\n\r\n") == 0) << pty.since_last_match();
  expect_restored(pty);
}

// Where one key ends is the decoder's (unit-tested); here, what the screen shows.
TEST(Terminal, EachKeyIsEchoedAtItsPromptAsTheTerminalWould) {
  struct Key {
    const char* name;
    std::string bytes;  // sent in one write
    std::string shown;  // what follows the prompt
  };
  const Key keys[] = {
      {"up arrow", "\x1b[A", "\r\n\r\n" + kMenuTitle},
      {"Escape alone", "\x1b", "\r\n\r\n" + kMenuTitle},
      {"bell, in caret notation", "\x07", "^G\r\n\r\n" + kMenuTitle},
      {"euro sign", "\xe2\x82\xac", "\xe2\x82\xac\r\n\r\n" + kMenuTitle},
      {"lone UTF-8 lead byte, then 5",
       "\xc3"
       "5",
       "\xc3\r\n\r\n" + kMenuTitle + kMenu + kPrompt + "5\r\n\r\n| Frequency"},
      {"a key right after a control sequence", "\x1b[23@5",
       "\r\n\r\n" + kMenuTitle + kMenu + kPrompt + "5\r\n\r\n| Frequency"},
  };
  PtySession pty({MARKING_SYSTEM});
  ASSERT_TRUE(pty.wait_for(kPrompt));
  for (const Key& key : keys) {
    SCOPED_TRACE(key.name);
    const size_t from = pty.output().size();
    pty.send(key.bytes);
    ASSERT_TRUE(pty.wait_for(key.shown));
    ASSERT_TRUE(pty.wait_for(kPrompt));
    EXPECT_TRUE(pty.quiet_for(150));
    EXPECT_EQ(pty.output().substr(from, key.shown.size()), key.shown);
  }
  pty.send("Q");
  EXPECT_EQ(pty.wait_exit(), 0);
  expect_restored(pty);
}

// Keys typed ahead or pasted with marks: every byte is read once, in order,
// by whichever read comes next, and nothing is echoed before its prompt.
TEST(Terminal, TypedAheadAndPastedInputReachesTheReadItBelongsTo) {
  const std::string marks = "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n";
  {
    SCOPED_TRACE("a pasted entry and the keys after it");
    PtySession pty({MARKING_SYSTEM});
    ASSERT_TRUE(pty.wait_for(kPrompt));
    pty.send("1k" + marks + " q");
    EXPECT_TRUE(WIFEXITED(pty.wait_exit(3000))) << pty.output();
    EXPECT_NE(pty.output().find("\tStudent01:\t" + marks.substr(0, marks.size() - 1) + "\r\n"),
              std::string::npos)
        << "typed-ahead marks are shown as the line read takes them";
    EXPECT_NE(pty.output().find("05:\t13\t14\t15\t 42"), std::string::npos);
    expect_restored(pty);
  }
  {
    SCOPED_TRACE("a key pasted after the marks is the pause's, not the next entry's");
    PtySession pty({MARKING_SYSTEM});
    ASSERT_TRUE(pty.wait_for(kPrompt));
    pty.send("1k" + marks + "9");
    ASSERT_TRUE(pty.wait_for(kPause));
    ASSERT_TRUE(pty.wait_for(kPrompt, 3000)) << "the pause took the 9";
    pty.send("1k");
    ASSERT_TRUE(pty.wait_for("\tStudent01:\t"));
    pty.send("8 7 6 " + marks);
    ASSERT_TRUE(pty.wait_for(kPause));
    EXPECT_NE(pty.output().find("01:\t 8\t 7\t 6\t"), std::string::npos) << pty.output();
    pty.send(" q");
    EXPECT_EQ(pty.wait_exit(), 0);
  }
  {
    SCOPED_TRACE("marks typed ahead of their prompt, then the rest of the line");
    PtySession pty({MARKING_SYSTEM});
    ASSERT_TRUE(pty.wait_for(kPrompt));
    pty.send("1");
    ASSERT_TRUE(pty.wait_for("\tQ: option  "));
    pty.send("k5 6 7 8");
    ASSERT_TRUE(pty.wait_for("\tStudent01:\t5 6 7 8"));
    pty.send(" 9\n");
    ASSERT_TRUE(pty.wait_for("\tStudent02:\t"));
    pty.send("10 11 12 13 14 15 16 17 18 19\n");
    ASSERT_TRUE(pty.wait_for(kPause));
    EXPECT_NE(pty.output().find("\tStudent01:\t5 6 7 8 9\r\n\tStudent02:\t"), std::string::npos);
    EXPECT_NE(pty.output().find("02:\t 8\t 9\t10\t"), std::string::npos) << pty.output();
    pty.send(" q");
    EXPECT_EQ(pty.wait_exit(), 0);
  }
  {
    SCOPED_TRACE("keys typed while a report is still being written");
    PtySession pty({MARKING_SYSTEM});
    ASSERT_TRUE(pty.wait_for(kPrompt));
    pty.send(std::string(300, '5'));  // more output than the terminal holds unread
    usleep(300 * 1000);               // the program now waits to write, between two keys
    pty.send("3434q");
    EXPECT_EQ(pty.wait_exit(), 0);
    EXPECT_EQ(count(pty.output(), kPrompt), 305u);
    EXPECT_EQ(pty.output().find("3434"), std::string::npos) << "echoed in the middle of a report";
    EXPECT_NE(pty.output().find(kPrompt + "3\r\n\r\n-----"), std::string::npos);
  }
}

// Started by a shell with a stream redirected or a signal ignored.
TEST(Terminal, StartedWithAStreamRedirectedOrASignalIgnored) {
  const std::string program = MARKING_SYSTEM;
  {
    SCOPED_TRACE("standard output to a file: keys are echoed on the terminal, not into it");
    const std::string dir = make_temp_dir();
    PtySession pty({"sh", "-c", "exec " + program + " >out"}, dir);
    for (int tries = 0; tries < 200 && (pty.settings().c_lflag & ECHO); ++tries) usleep(10000);
    pty.send("2 q");  // once in key mode, as the prompt cannot be seen
    EXPECT_EQ(pty.wait_exit(3000), 0);
    EXPECT_EQ(pty.output(), "2q");
    const std::string out = read_file(dir + "/out");
    EXPECT_NE(out.find(kPrompt + "\n\nST\tChi"), std::string::npos) << out;
    EXPECT_EQ(out.find(kPrompt + "2"), std::string::npos);
    unlink((dir + "/out").c_str());
    rmdir(dir.c_str());
  }
  {
    SCOPED_TRACE("standard input a terminal opened write-only: reading fails, input ends");
    PtySession pty({"sh", "-c", "exec " + program + " 0>/dev/tty"});
    EXPECT_EQ(pty.wait_exit(3000), 0);
    EXPECT_EQ(count(pty.output(), kPrompt), 1u);
  }
  {
    SCOPED_TRACE("SIGINT ignored by the shell stays ignored");
    PtySession pty({"sh", "-c", "trap '' INT; exec " + program});
    ASSERT_TRUE(pty.wait_for(kPrompt));
    pty.send("\x03");
    EXPECT_TRUE(pty.quiet_for(300));
    pty.send("q");
    EXPECT_EQ(pty.wait_exit(), 0);
    expect_restored(pty);
  }
}

TEST(Terminal, MarksAreTypedWithTheTerminalsLineEditing) {
  PtySession pty({MARKING_SYSTEM});
  ASSERT_NO_FATAL_FAILURE(open_keyboard_entry(pty));
  const termios typing = pty.settings();
  EXPECT_TRUE((typing.c_lflag & ICANON) && (typing.c_lflag & ECHO)) << "marks are line input";
  pty.send("86");
  pty.send(std::string(1, static_cast<char>(typing.c_cc[VERASE])) + "5 90 77\n");
  ASSERT_TRUE(pty.wait_for("\tStudent02:\t"));
  pty.send("60 70\n80 55 65 75 45\n");  // marks across lines serve the next students
  ASSERT_TRUE(pty.wait_for("\tStudent04:\t"));
  pty.send("35 25 1 2 3 4 5\n");  // 4 and 5 are left over and dropped at the next menu
  ASSERT_TRUE(pty.wait_for(kPause));
  EXPECT_NE(pty.output().find("01:\t85\t90\t77\t252\t84.0 (B)\r\n"), std::string::npos)
      << pty.output();
  EXPECT_NE(pty.output().find("05:\t 1\t 2\t 3\t  6\t 2.0 (E)\r\n"), std::string::npos);
  pty.send(" ");
  ASSERT_TRUE(pty.wait_for(kPrompt));
  pty.send("q");
  EXPECT_EQ(pty.wait_exit(), 0);
  expect_restored(pty);
}

TEST(Terminal, CtrlDEndsTheEntryOfMarksAndTheNextEntryReadsAgain) {
  PtySession pty({MARKING_SYSTEM});
  ASSERT_NO_FATAL_FAILURE(open_keyboard_entry(pty));
  pty.send("85 90 77\n");
  ASSERT_TRUE(pty.wait_for("\tStudent02:\t"));
  pty.send("\x04");  // end of input, typed at the start of a line
  ASSERT_TRUE(pty.wait_for("\tStudent05:\t", 3000)) << "one Ctrl-D ends the whole entry";
  ASSERT_TRUE(pty.wait_for(kPause));
  pty.send(" 1");
  ASSERT_TRUE(pty.wait_for("\tQ: option  "));
  pty.send("k");
  ASSERT_TRUE(pty.wait_for("\tStudent01:\t"));
  pty.send("1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n");
  ASSERT_TRUE(pty.wait_for(kPause));
  EXPECT_NE(pty.output().find("05:\t13\t14\t15\t 42"), std::string::npos) << pty.output();
  pty.send(" q");
  EXPECT_EQ(pty.wait_exit(), 0);
  expect_restored(pty);
}

TEST(Terminal, SignalsEndTheProgramWithTheTerminalRestored) {
  struct Case {
    const char* where;
    std::string keys_before;  // to reach the place where the signal arrives
    std::string wait_text;
    int signal;  // 0: Ctrl-C typed at the keyboard
  };
  const Case cases[] = {
      {"Ctrl-C at the menu", "", kPrompt, 0},
      {"Ctrl-C in the pause", "2", kPause, 0},
      {"Ctrl-C in the submenu", "1", "\tQ: option  ", 0},
      {"Ctrl-C at a marks prompt", "1k", "\tStudent01:\t", 0},
      {"SIGTERM at the menu", "", kPrompt, SIGTERM},
      {"SIGHUP in the pause", "2", kPause, SIGHUP},
      {"SIGQUIT in the submenu", "1", "\tQ: option  ", SIGQUIT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    PtySession pty({MARKING_SYSTEM});
    ASSERT_TRUE(pty.wait_for(kPrompt));
    if (!c.keys_before.empty()) {
      pty.send(c.keys_before);
      ASSERT_TRUE(pty.wait_for(c.wait_text));
    }
    usleep(100 * 1000);  // let the program settle into its read
    if (c.signal == 0)
      pty.send("\x03");
    else
      kill(pty.pid(), c.signal);
    const int status = pty.wait_exit();
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), c.signal == 0 ? SIGINT : c.signal);
    expect_restored(pty);
  }
}

TEST(Terminal, CtrlZThenFgLeavesTheShellAndTheKeysWorking) {
  const std::string dir = make_temp_dir();
  PtySession shell({"bash", "--norc", "--noprofile", "-i"}, dir, {"PS1=$ "});
  ASSERT_TRUE(shell.wait_for("$ "));
  shell.send("stty -g >before; " + std::string(MARKING_SYSTEM) + "\n");
  ASSERT_TRUE(shell.wait_for(kPrompt));
  usleep(100 * 1000);
  shell.send("\x1a");
  ASSERT_TRUE(shell.wait_for("Stopped"));
  ASSERT_TRUE(shell.wait_for("$ "));
  shell.send("stty -g >stopped; fg\n");
  ASSERT_TRUE(shell.wait_for("marking-system"));
  usleep(100 * 1000);
  shell.send("2");  // no Enter: key mode is back
  ASSERT_TRUE(shell.wait_for(kPause)) << shell.output();
  shell.send(" ");
  ASSERT_TRUE(shell.wait_for(kPrompt));
  shell.send("q");
  ASSERT_TRUE(shell.wait_for("$ "));
  shell.send("stty -g >after; exit\n");
  EXPECT_EQ(shell.wait_exit(), 0);

  const std::string before = read_file(dir + "/before");
  EXPECT_FALSE(before.empty());
  EXPECT_EQ(read_file(dir + "/stopped"), before) << "stopped with the terminal still in key mode";
  EXPECT_EQ(read_file(dir + "/after"), before);
  for (const char* name : {"/before", "/stopped", "/after"}) unlink((dir + name).c_str());
  rmdir(dir.c_str());
}

}  // namespace
