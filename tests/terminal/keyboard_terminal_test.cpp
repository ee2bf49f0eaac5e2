// The program on a real pseudo-terminal: keys without Enter, the pause, and
// the terminal's settings put back however the program ends.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pty_session.h"

#ifndef IUTF8
#define IUTF8 0
#endif
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
    std::string bytes;               // sent in one write
    std::string shown;               // what follows the prompt
    std::string after_a_pause = "";  // the rest of the key, as a slow link delivers it
  };
  const Key keys[] = {
      {"up arrow", "\x1b[A", "\r\n\r\n" + kMenuTitle},
      {"space", " ", " \r\n\r\n" + kMenuTitle},
      {"Escape alone", "\x1b", "\r\n\r\n" + kMenuTitle},
      {"bell, in caret notation", "\x07", "^G\r\n\r\n" + kMenuTitle},
      {"euro sign", "\xe2\x82\xac", "\xe2\x82\xac\r\n\r\n" + kMenuTitle},
      {"lone UTF-8 lead byte, then 5",
       "\xc3"
       "5",
       "\xc3\r\n\r\n" + kMenuTitle + kMenu + kPrompt + "5\r\n\r\n| Frequency"},
      {"a key right after a control sequence", "\x1b[23@5",
       "\r\n\r\n" + kMenuTitle + kMenu + kPrompt + "5\r\n\r\n| Frequency"},
      {"F2 split by a slow link: not Alt+O, then Q", "\x1bO", "\r\n\r\n" + kMenuTitle, "Q"},
      {"Enter, dropped under igncr", "\r5", "5\r\n\r\n| Frequency"},
  };
  PtySession pty({"sh", "-c", std::string("stty igncr; exec ") + MARKING_SYSTEM});
  ASSERT_TRUE(pty.wait_for(kPrompt));
  for (const Key& key : keys) {
    SCOPED_TRACE(key.name);
    const size_t from = pty.output().size();
    pty.send(key.bytes);
    if (!key.after_a_pause.empty()) {
      usleep(100 * 1000);  // longer than a terminal takes to send one key
      pty.send(key.after_a_pause);
    }
    ASSERT_TRUE(pty.wait_for(key.shown));
    ASSERT_TRUE(pty.wait_for(kPrompt));
    EXPECT_TRUE(pty.quiet_for(150));
    EXPECT_EQ(pty.output().substr(from, key.shown.size()), key.shown);
  }
  pty.send("Q");
  EXPECT_EQ(pty.wait_exit(), 0);
  termios found = pty.initial_settings();
  found.c_iflag |= IGNCR;
  EXPECT_TRUE(same_settings(pty.settings(), found));
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

// Started by a shell with a stream redirected or a signal ignored: one row
// each, so that a row that fails stops only itself.
TEST(Terminal, StartedWithAStreamRedirectedOrASignalIgnored) {
  const std::string program = MARKING_SYSTEM;
  struct Row {
    const char* name;
    std::function<void()> run;
  };
  const Row rows[] = {
      {"standard output to a file: keys are echoed on the terminal, not into it",
       [&] {
         const std::string dir = make_temp_dir();
         PtySession pty({"sh", "-c", "exec " + program + " >out"}, dir);
         ASSERT_TRUE(pty.wait_for_key_mode());
         pty.send("2 q");  // once in key mode, as the prompt cannot be seen
         EXPECT_EQ(pty.wait_exit(3000), 0);
         EXPECT_EQ(pty.output(), "2q");
         const std::string out = read_file(dir + "/out");
         EXPECT_NE(out.find(kPrompt + "\n\nST\tChi"), std::string::npos) << out;
         EXPECT_EQ(out.find(kPrompt + "2"), std::string::npos);
         unlink((dir + "/out").c_str());
         rmdir(dir.c_str());
       }},
      {"standard input unreadable: said, and no success",
       [&] {
         for (const char* redirection : {"0>/dev/tty", "<&-"}) {
           PtySession pty({"sh", "-c", "exec " + program + " " + redirection});
           const int status = pty.wait_exit(3000);
           EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << redirection;
           EXPECT_EQ(count(pty.output(), kPrompt), 1u);
           EXPECT_NE(pty.output().find("marking-system: standard input: Bad file descriptor"),
                     std::string::npos)
               << pty.output();
         }
       }},
      {"the terminal left non-blocking: the program waits for keys",
       [&] {
         PtySession pty({"perl", "-MFcntl", "-e",
                         "fcntl(STDIN, F_SETFL, O_NONBLOCK) or die; exec @ARGV", program});
         ASSERT_TRUE(pty.wait_for(kPrompt));
         pty.send("2");
         ASSERT_TRUE(pty.wait_for(kPause));
         pty.send(" q");
         EXPECT_EQ(pty.wait_exit(), 0);
         expect_restored(pty);
       }},
      {"the terminal left non-blocking, its output stopped: twenty reports wait",
       [&] {
         PtySession pty({"perl", "-MFcntl", "-e",
                         "fcntl(STDIN, F_SETFL, O_NONBLOCK) or die; exec @ARGV", program});
         ASSERT_TRUE(pty.wait_for(kPrompt));
         pty.send("\x13" + std::string(20, '5') + "q");  // Ctrl-S, as a user reading a screen
         pty.quiet_for(500);  // meanwhile the program writes to a stopped terminal
         pty.send("\x11");    // Ctrl-Q
         EXPECT_EQ(pty.wait_exit(), 0);
         EXPECT_EQ(count(pty.output(), "|        |   A    B    C    D    E  (Grade) "), 20u);
       }},
      {"a key typed while the shell still starts it is kept",
       [&] {
         const std::string dir = make_temp_dir();
         ASSERT_EQ(mkfifo((dir + "/go").c_str(), 0600), 0);
         PtySession pty({"sh", "-c", "read go <go; exec " + program}, dir);
         pty.send("2");
         ASSERT_TRUE(pty.wait_for("2"));  // echoed by the terminal, which holds it
         write_file(dir + "/go", "\n");
         ASSERT_TRUE(pty.wait_for(kPause));
         pty.send(" q");
         EXPECT_EQ(pty.wait_exit(), 0);
         unlink((dir + "/go").c_str());
         rmdir(dir.c_str());
       }},
      {"a script on a pipe left non-blocking: waited for, through a signal",
       [&] {
         PtySession pty(
             {"sh", "-c",
              "cat | perl -MFcntl -e 'fcntl(STDIN, F_SETFL, O_NONBLOCK) or die; exec @ARGV' " +
                  program});
         ASSERT_TRUE(pty.wait_for(kPrompt));
         kill(-pty.foreground_group(), SIGCONT);
         pty.send("2 q\n");
         ASSERT_TRUE(pty.wait_for("2\r\n\r\nST\tChi")) << pty.output();
         ASSERT_TRUE(pty.wait_for(kPrompt + "q"));
         pty.send("\x04");  // and cat ends
         EXPECT_EQ(pty.wait_exit(), 0);
       }},
      {"standard input the terminal opened read-only: keys are still echoed",
       [&] {
         const std::string dir = make_temp_dir();
         PtySession pty({"sh", "-c", "exec " + program + " </dev/tty >out"}, dir);
         ASSERT_TRUE(pty.wait_for_key_mode());
         pty.send("2 q");
         EXPECT_EQ(pty.wait_exit(3000), 0);
         EXPECT_EQ(pty.output(), "2q");
         expect_restored(pty);
         unlink((dir + "/out").c_str());
         rmdir(dir.c_str());
       }},
      {"standard output a pipe whose reader has gone: SIGPIPE, terminal restored",
       [&] {
         PtySession pty({"bash", "-c",
                         program + " | { head -n 1 >/dev/null; exec <&-; echo closed; }; " +
                             "echo status ${PIPESTATUS[0]}"});
         ASSERT_TRUE(pty.wait_for("closed"));
         ASSERT_TRUE(pty.wait_for_key_mode());
         pty.send("3");
         ASSERT_TRUE(pty.wait_for("status " + std::to_string(128 + SIGPIPE)));
         EXPECT_EQ(pty.wait_exit(), 0);
         expect_restored(pty);
       }},
      {"SIGINT ignored by the shell stays ignored",
       [&] {
         PtySession pty({"sh", "-c", "trap '' INT; exec " + program});
         ASSERT_TRUE(pty.wait_for(kPrompt));
         pty.send("\x03");
         EXPECT_TRUE(pty.quiet_for(300));
         pty.send("q");
         EXPECT_EQ(pty.wait_exit(), 0);
         expect_restored(pty);
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    row.run();
  }
}

// The same keys typed all at once at the main menu, ahead of every prompt, and
// one at a time, each after the program has answered the one before: the
// same book and the very same bytes on the screen.
TEST(Terminal, KeysTypedAheadAreEditedLikeKeysTypedLate) {
  struct Case {
    const char* name;
    std::vector<std::string> keys;
    std::string book_row;
  };
  const std::string kEnd = "\x04", kErase = "\x7f";
  const Case cases[] = {
      {"erase", {"1", "k", "8", "6", kErase, "5", " 90 77\n", kEnd, " ", "q"}, "01:\t85\t90\t77\t"},
      {"kill and word erase",
       {"1", "k", "9 9 9", "\x15", "85 90 77\n", "60 70 8", "\x17", "80\n", kEnd, " ", "q"},
       "02:\t60\t70\t80\t"},
      {"erase a UTF-8 character",
       {"1", "k", "\xc3\xa9", kErase, "85 90 77\n", kEnd, " ", "q"},
       "01:\t85\t90\t77\t"},
      {"erase marks typed at the submenu",
       {"1", "k", "1", "2", kErase, kErase, "50 60 70\n", kEnd, " ", "q"},
       "01:\t50\t60\t70\t"},
      {"Ctrl-D right after a line, then a new entry",
       {"1", "k", "85 90 77\n", kEnd, " ", "1", "k", "60 70 80\n", kEnd, " ", "q"},
       "01:\t60\t70\t80\t"},
      {"marks across lines serve the next students; what is left over is dropped",
       {"1", "k", "85 90 77\n", "60 70\n", "80 55 65 75 45\n", "35 25 1 2 3 4 5\n", " ", "q"},
       "05:\t 1\t 2\t 3\t  6\t 2.0 (E)"},
  };
  // Erasing a whole UTF-8 character is for terminals set up for UTF-8.
  const std::vector<std::string> command = {"sh", "-c",
                                            std::string("stty iutf8; exec ") + MARKING_SYSTEM};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string at_once;
    {
      PtySession pty(command);
      ASSERT_TRUE(pty.wait_for(kPrompt));
      std::string all;
      for (const std::string& key : c.keys) all += key;
      pty.send(all);
      EXPECT_EQ(pty.wait_exit(), 0);
      at_once = pty.output();
      EXPECT_NE(at_once.find(c.book_row), std::string::npos) << at_once;
    }
    PtySession pty(command);
    ASSERT_TRUE(pty.wait_for(kPrompt));
    for (const std::string& key : c.keys) {
      const size_t before = pty.output().size();
      pty.send(key);
      ASSERT_TRUE(pty.wait_until([&] {
        const std::string& out = pty.output();
        return out.size() > before && at_once.compare(0, out.size(), out) == 0;
      })) << "after "
          << key << ":\n"
          << pty.output();
    }
    EXPECT_EQ(pty.wait_exit(), 0);
    EXPECT_EQ(pty.output(), at_once);
    termios found = pty.initial_settings();
    found.c_iflag |= IUTF8;
    EXPECT_TRUE(same_settings(pty.settings(), found));
  }
}

// The editor's handling of each setting is compared with the kernel's in the
// unit tests; here, that the user's settings reach it.
TEST(Terminal, TypedMarksFollowTheUsersSettings) {
  struct Case {
    const char* stty;
    std::string typed;
    std::string shown;  // from the first marks prompt on
    const char* locale = "";
  };
  const Case cases[] = {
      {"-echo", "85 90 77\r", "\tStudent01:\t\tStudent02:\t"},
      {"eol !", "85 90 77!", "\tStudent01:\t85 90 77!\tStudent02:\t"},
      // The width of a wide character is the user's locale's; the decimal
      // comma of that locale stays out of the averages.
      {"iutf8",
       "\xe4\xb8\xad\x7f"
       "85 90 77\r",
       "\tStudent01:\t\xe4\xb8\xad\b \b\b \b85", "LC_ALL=de_DE.UTF-8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stty);
    PtySession pty(
        {"sh", "-c", std::string("stty ") + c.stty + "; " + c.locale + " exec " + MARKING_SYSTEM});
    ASSERT_NO_FATAL_FAILURE(open_keyboard_entry(pty));
    pty.send(c.typed);
    ASSERT_TRUE(pty.wait_for("\tStudent02:\t")) << pty.output();
    EXPECT_NE(pty.output().find(c.shown), std::string::npos) << pty.output();
    pty.send("\x04");
    ASSERT_TRUE(pty.wait_for(kPause));
    EXPECT_NE(pty.output().find("01:\t85\t90\t77\t252\t84.0"), std::string::npos) << pty.output();
    pty.send(" q");
    EXPECT_EQ(pty.wait_exit(), 0);
  }
}

// A mistake in a paste is said, and the rest of the paste is thrown away
// instead of going on as menu keys: the pause waits for a key pressed after.
// The next entry reads fresh marks, not what was left of the line (a line
// holds two after Ctrl-V Ctrl-J). A mistake found at a later student's
// prompt is said on a row of its own.
TEST(Terminal, AMistakeInAPasteCostsNothingMore) {
  PtySession pty({MARKING_SYSTEM});
  ASSERT_NO_FATAL_FAILURE(open_keyboard_entry(pty));
  pty.send("70,90,77\x16\n60 70 80\n1r 2 3\n55 65 75\n45 35 25\n");
  ASSERT_TRUE(pty.wait_for("Student01: not a mark: \"70,90,77\""));
  ASSERT_TRUE(pty.wait_for(kPause));
  pty.send("x");
  ASSERT_NO_FATAL_FAILURE(open_keyboard_entry(pty));
  pty.send("1 2 0x10\n");
  ASSERT_TRUE(pty.wait_for("\tStudent02:\t\r\nStudent01: not a mark: \"0x10\"\r\n\tStudent03:"));
  ASSERT_TRUE(pty.wait_for(kPause));
  pty.send(" q");
  EXPECT_EQ(pty.wait_exit(), 0);
  EXPECT_EQ(count(pty.output(), kPrompt), 5u) << pty.output();  // menu, submenu, twice; menu
  EXPECT_NE(pty.output().find("01:\t70\t 0\t 0\t"), std::string::npos) << pty.output();
  EXPECT_NE(pty.output().find("01:\t 1\t 2\t 0\t"), std::string::npos) << pty.output();
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
      {"SIGUSR1 at a marks prompt", "1k", "\tStudent01:\t", SIGUSR1},
      {"SIGALRM in the pause", "2", kPause, SIGALRM},
#ifdef SIGPWR
      {"SIGPWR at the menu", "", kPrompt, SIGPWR},
#endif
#ifdef SIGRTMIN  // none on macOS and OpenBSD
      {"a real-time signal in the pause", "2", kPause, SIGRTMIN + 1},
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    PtySession pty({MARKING_SYSTEM});
    ASSERT_TRUE(pty.wait_for(kPrompt));
    if (!c.keys_before.empty()) {
      pty.send(c.keys_before);
      ASSERT_TRUE(pty.wait_for(c.wait_text));
    }
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

// Stopped and continued by a job-control shell that, unlike bash, leaves the
// terminal's settings alone: what the program itself does is what shows.
TEST(Terminal, StoppedAndContinuedTheTerminalIsRestoredThenKeyModeIsBack) {
  const std::string dir = make_temp_dir();
  const std::string program = MARKING_SYSTEM;
  // Ctrl-Z, Ctrl-Z again, then kill -STOP after which the shell puts back its
  // own settings, as bash does.
  PtySession shell({"dash", "-c",
                    "set -m; stty -g >before; " + program +
                        "; stty -g >stop1; fg; stty -g >stop2; fg; stty \"$(cat before)\"; fg; "
                        "stty -g >after"},
                   dir);
  auto answers_without_enter = [&](const std::string& key, const std::string& shown) {
    ASSERT_TRUE(shell.wait_for_key_mode());
    shell.send(key);
    ASSERT_TRUE(shell.wait_for(shown)) << shell.output();
  };
  ASSERT_TRUE(shell.wait_for(kPrompt));
  ASSERT_NO_FATAL_FAILURE(answers_without_enter("\x1a", program));  // stopped, then fg
  ASSERT_TRUE(shell.wait_for("\r" + kPrompt)) << "what it waits at is shown again";
  ASSERT_NO_FATAL_FAILURE(answers_without_enter("3", "|     A"));
  ASSERT_TRUE(shell.wait_for(kPrompt));
  ASSERT_NO_FATAL_FAILURE(answers_without_enter("1k85 9", "\tStudent01:\t85 9"));
  ASSERT_NO_FATAL_FAILURE(answers_without_enter("\x1a", program));
  ASSERT_TRUE(shell.wait_for("\r\tStudent01:\t85 9")) << "with the line typed so far";
  ASSERT_NO_FATAL_FAILURE(answers_without_enter("0 77\r\x04", kPause));
  ASSERT_NO_FATAL_FAILURE(answers_without_enter(" ", kPrompt));
  ASSERT_TRUE(shell.wait_for_key_mode());
  kill(-shell.foreground_group(), SIGSTOP);
  ASSERT_TRUE(shell.wait_for(program));
  ASSERT_NO_FATAL_FAILURE(answers_without_enter("2", kPause));
  shell.send(" q");
  EXPECT_EQ(shell.wait_exit(), 0);

  const std::string before = read_file(dir + "/before");
  EXPECT_FALSE(before.empty());
  EXPECT_EQ(read_file(dir + "/stop1"), before) << "stopped with the terminal still in key mode";
  EXPECT_EQ(read_file(dir + "/stop2"), before) << "the second stop found no handler";
  EXPECT_EQ(read_file(dir + "/after"), before);
  for (const char* name : {"/before", "/stop1", "/stop2", "/after"}) unlink((dir + name).c_str());
  rmdir(dir.c_str());
}

// A session of its own (tmux new-session, xterm -e, ssh -t): no shell could
// continue a stop, so the kernel drops it, and nothing changes: key mode
// stays in force, nothing is shown again, and a key typed between stops is
// edited as any other.
TEST(Terminal, AStopThatCannotHappenChangesNothing) {
  for (const int sig : {0, SIGTSTP, SIGTTIN, SIGTTOU}) {  // 0: Ctrl-Z typed
    SCOPED_TRACE(sig);
    PtySession pty({MARKING_SYSTEM});  // its session's leader
    ASSERT_TRUE(pty.wait_for(kPrompt));
    if (sig == 0)
      pty.send("\x1a");
    else
      kill(pty.pid(), sig);
    pty.send("2");
    ASSERT_TRUE(pty.wait_for(kPause));
    EXPECT_NE(pty.output().find(kMenu + kPrompt + "2\r\n\r\nST\tChi"), std::string::npos)
        << pty.output();
    pty.send(" q");
    EXPECT_EQ(pty.wait_exit(), 0);
    expect_restored(pty);
  }
  // A storm of stops while typing: each erase still takes the key before it.
  PtySession pty({MARKING_SYSTEM});
  ASSERT_NO_FATAL_FAILURE(open_keyboard_entry(pty));
  struct Storm {
    pid_t pid;
    ~Storm() { kill(pid, SIGKILL), waitpid(pid, nullptr, 0); }
  } storm{fork()};
  while (storm.pid == 0) kill(pty.pid(), SIGTSTP);
  pty.send("1");
  for (int n = 0; n < 20; ++n) {
    pty.send("9");
    ASSERT_TRUE(pty.wait_for("9"));
    pty.send("\x7f");
    ASSERT_TRUE(pty.wait_for("\b \b"));
  }
  pty.send(" 2 3\r\x04");
  ASSERT_TRUE(pty.wait_for(kPause));
  EXPECT_NE(pty.output().find("01:\t 1\t 2\t 3\t"), std::string::npos) << pty.output();
}

// In an interactive bash, whose line editor holds the terminal in a mode of
// its own while it reads a command: the program takes the settings once it is
// in the foreground, and a job killed in the background ends.
TEST(Terminal, JobControlInAnInteractiveShell) {
  struct Case {
    const char* name;
    // A shell command; keys for the program ("keys:"); what to wait for
    // ("wait:"); SIGTERM and SIGCONT sent to the job last said as PID=, from
    // elsewhere, while the shell sits at its prompt ("term+cont").
    std::vector<std::string> steps;
    std::string last_shown;
    const char* shell = "bash";
    std::string once = "";  // shown exactly once
  };
  const std::string program = MARKING_SYSTEM;
  const std::string same = "stty -g >after; cmp -s before after && echo SAME-\"\"SETTINGS";
  // Until the process is gone: a job that stayed stopped never is.
  const std::string kill_and_wait =
      "p=$(jobs -p %1); kill %1; while kill -0 $p 2>/dev/null; do sleep 0.01; done; echo EN\"\"DED";
  const Case cases[] = {
      {"started in the background, then brought to the front",
       {"stty -g >before", program + " &", "fg", "wait:" + kPrompt, "keys:1k5 6 7\r",
        "wait:\tStudent02:\t", "keys:\x04 q", same},
       "SAME-SETTINGS"},
      {"killed in the background", {program + " &", kill_and_wait}, "ENDED"},
      {"stopped, then killed", {program, "wait:" + kPrompt, "keys:\x1a", kill_and_wait}, "ENDED"},
      // Its reads would be refused: it gives up at once, stopping no other
      // process of its job with the SIGTTIN that would otherwise stop it.
      {"started in the background with SIGTTIN held",
       {"perl -MPOSIX -e 'sigprocmask(SIG_BLOCK, POSIX::SigSet->new(SIGTTIN)) or die; exec "
        "@ARGV' " +
            program + " | cat &",
        "wait; jobs | grep -q Stopped || echo NOT-\"\"STOPPED"},
       "NOT-STOPPED"},
      {"stopped, continued in the background: nothing drawn until fg",
       {program, "wait:" + kPrompt, "keys:\x1a", "bg", "fg", "wait:\r" + kPrompt, "keys:q",
        "echo DO\"\"NE"},
       "DONE",
       "bash",
       "\r" + kPrompt},
      {"settings changed while stopped stick",
       {program, "wait:" + kPrompt, "keys:1k", "wait:\tStudent01:\t", "keys:\x1a", "stty erase ^H",
        "fg", "wait:\tStudent01:\t", "keys:86\b5 90 77\r\x04", "wait:01:\t85\t90\t77", "keys: q",
        "stty -a | grep -q 'erase = ^H' && echo KE\"\"PT"},
       "KEPT",
       "dash"},
      {"killed and continued while stopped: the shell's own mode is left alone",
       {"set -b; stty -iexten", program, "wait:" + kPrompt, "keys:\x1a", "echo PID=$(jobs -p %1)",
        "term+cont"},
       ""},
  };
  const std::string shell_prompt = "sh> ";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string dir = make_temp_dir();
    PtySession bash(c.shell == std::string("bash")
                        ? std::vector<std::string>{"bash", "--norc", "--noprofile", "-i"}
                        : std::vector<std::string>{c.shell, "-i"},
                    dir, {"PS1=" + shell_prompt, "HISTFILE=/dev/null"});
    ASSERT_TRUE(bash.wait_for(shell_prompt));
    for (const std::string& step : c.steps) {
      if (step.rfind("wait:", 0) == 0) {
        ASSERT_TRUE(bash.wait_for(step.substr(5))) << bash.output();
        continue;
      }
      if (step.rfind("keys:", 0) == 0) {
        bash.send(step.substr(5));
        continue;
      }
      if (&step != &c.steps.front()) {
        ASSERT_TRUE(bash.wait_for(shell_prompt)) << bash.output();
      }
      if (step == "term+cont") {
        const pid_t pid = atoi(bash.output().c_str() + bash.output().rfind("PID=") + 4);
        const termios shells = bash.settings();
        kill(pid, SIGTERM);
        kill(pid, SIGCONT);
        ASSERT_TRUE(bash.wait_for("Terminated"));
        EXPECT_TRUE(same_settings(bash.settings(), shells)) << "the shell's mode was overwritten";
        continue;
      }
      bash.send(step + "\r");
    }
    ASSERT_TRUE(bash.wait_for(c.last_shown)) << bash.output();  // "" at once
    if (!c.once.empty()) {
      EXPECT_EQ(count(bash.output(), c.once), 1u) << bash.output();
    }
    bash.send("exit\r");
    bash.wait_exit();
    for (const char* name : {"/before", "/after"}) unlink((dir + name).c_str());
    rmdir(dir.c_str());
  }
}

}  // namespace
