/* Reads keys with the console functions, as a program of their users does,
   for bench/bench_keys:
     key_reader read N        keymode(1), then N keys with readkey(-1); says
                              "done" when the last has come
     key_reader answer N      keymode(1), then N keys with readkey(-1), each
                              answered with one byte as soon as it has come
     key_reader poll N held   N empty looks, readkey(0), with key mode held
     key_reader poll N free   the same without keymode(1)
   It says "ready" on standard output once it reads. */
#include <marking-system/console.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const long count = atol(argv[2]);
  if (strcmp(argv[1], "poll") == 0) {
    if (argc > 3 && strcmp(argv[3], "held") == 0) keymode(1);
    readkey(0); /* key mode taken, and the first look's own costs paid */
    puts("ready");
    fflush(stdout);
    for (long n = 0; n < count; ++n) readkey(0);
    return 0;
  }
  const int answer = strcmp(argv[1], "answer") == 0;
  keymode(1);
  puts("ready");
  fflush(stdout);
  for (long n = 0; n < count; ++n) {
    if (readkey(-1) <= 0) return 1;
    if (answer && write(STDOUT_FILENO, "k", 1) != 1) return 1;
  }
  puts("done");
  return 0;
}
