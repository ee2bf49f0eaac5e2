// libFuzzer: a whole scripted session. The input is split in two: the first
// two bytes give the length of scores.txt, which follows; the rest is
// standard input. Standard output goes to /dev/null.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "keyboard/keyboard.h"
#include "marking/command_line.h"
#include "marking/marking.h"

int marking_main(int argc, char** argv);  // the program's main, renamed for this build

// The command-line half, for a main that runs again and again: no arguments,
// and standard output left open.
void hold_output() {}
int take_arguments(int /*argc*/, char** /*argv*/) { return kGoOn; }
int output_status() { return fflush(stdout) == 0 ? 0 : 1; }
int exit_status() { return output_status(); }

namespace {
int session_input = -1;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char dir[] = "/tmp/fuzz-session-XXXXXX";
  if (!mkdtemp(dir) || chdir(dir) != 0) abort();
  session_input = memfd_create("stdin", 0);
  const int null = open("/dev/null", O_WRONLY);
  if (session_input < 0 || null < 0 || dup2(session_input, 0) < 0 || dup2(null, 1) < 0) abort();
  close(null);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t scores_size = size >= 2 ? (data[0] | data[1] << 8) : 0;
  if (size >= 2) data += 2, size -= 2;
  if (scores_size > size) scores_size = size;

  FILE* scores = fopen("scores.txt", "wb");
  if (!scores) abort();
  fwrite(data, 1, scores_size, scores);
  fclose(scores);

  // fd 0 shares the memfd's offset, so rewinding one rewinds both.
  if (ftruncate(session_input, 0) != 0 ||
      write(session_input, data + scores_size, size - scores_size) !=
          static_cast<ssize_t>(size - scores_size) ||
      lseek(session_input, 0, SEEK_SET) != 0)
    abort();

  memset(score, 0, sizeof score);
  memset(studTL, 0, sizeof studTL);
  memset(gradeTL, 0, sizeof gradeTL);
  char name[] = "marking-system";
  char* argv[] = {name, nullptr};
  marking_main(1, argv);
  // A session may end on Q with input left over: take it all, so the next run starts clean.
  discard_input();
  while (read_key("") != EOF) {
  }
  fflush(stdout);
  return 0;
}
