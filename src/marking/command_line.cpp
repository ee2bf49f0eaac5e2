// The program as a command-line tool: its arguments, and its exit status.
#include "marking/command_line.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "keyboard/keyboard.h"

#ifndef MARKING_VERSION
#error "MARKING_VERSION must be the program's version"
#endif

namespace {

constexpr char kUsage[] =
    "Usage: marking-system [--help | --version]\n"
    "Keeps the marks of a class of five students in three subjects, grades each\n"
    "student from the average of the three marks, and prints reports.\n"
    "\n"
    "Every choice is one key, taken without Enter:\n"
    "  1  input scores: r random, k from the keyboard, f from scores.txt, q back\n"
    "  2  score list     3  frequency table     4  statistics\n"
    "  5  histogram      q  quit\n"
    "Marks from the keyboard are typed as lines. scores.txt is read from the\n"
    "current directory. When standard input is not a terminal it is a script:\n"
    "each byte is one key, marks are read a line at a time, and the end of\n"
    "input quits.\n"
    "\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n";

}  // namespace

void hold_output() {
  constexpr size_t kBufferSize = 4096;
  setvbuf(stdout, nullptr, _IOFBF, kBufferSize);
}

int take_arguments(int argc, char** argv) {
  bool help = false;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--help") == 0) {
      help = true;
    } else if (strcmp(argv[i], "--version") != 0) {
      fprintf(stderr, "marking-system: unrecognized argument '%s'\n", argv[i]);
      fputs("Try 'marking-system --help'.\n", stderr);
      return 2;
    }
  }
  if (argc < 2) return kGoOn;
  fputs(help ? kUsage : "marking-system " MARKING_VERSION "\n", stdout);
  return output_status();
}

int output_status() {
  bool failed = ferror(stdout) != 0;
  errno = 0;
  // Flushed apart from closing: the Windows runtime's fclose does not report it.
  if (fflush(stdout) != 0) failed = true;
  int reason = errno;
  if (fclose(stdout) != 0) failed = true;
  if (!failed) return 0;
  if (!reason) reason = errno;
  // The reason is known when the last write failed; an earlier one left none.
  fprintf(stderr, "marking-system: write error%s%s\n", reason ? ": " : "",
          reason ? strerror(reason) : "");
  return 1;
}

int exit_status() {
  const int written = output_status();
  const int reason = input_error();
  if (!reason) return written;
  fprintf(stderr, "marking-system: standard input: %s\n", strerror(reason));
  return 1;
}
