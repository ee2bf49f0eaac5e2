// Times a long scripted session, as whole processes, for the program and for
// the plain C stdio version of the same menu loop, in one run so the figures
// are ratios measured side by side.
//
//   bench_session ACTIONS PROGRAM PLAIN [RUNS]
//
// Writes the session (and scores.txt) into a scratch directory, checks that
// both programs write the same transcript, then runs each RUNS times in turn
// with standard output to /dev/null, and reports the CPU time (user + system;
// median and best, as other work on the machine only ever adds to it), wall
// time, peak resident memory, and the program's own resident memory (the
// pages of its file's mappings, which do not move with the C library's from
// run to run as the peak does); then start-up to the first menu (input "q")
// over 200 runs each. With ACTIONS alone it only writes the
// session to standard output.
#include <fcntl.h>
#include <sys/personality.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Score lists with their pauses, the three reports, keyboard and file input,
// and an unknown key, in turn; then Q.
std::string make_session(long actions) {
  static const char* const steps[] = {
      "2 ",  "3", "1k85 90 77\n60 70 80\n55 65\n75 45 35 25\n100 99 98\n ", "4", "5",
      "1f ", "x", "1k12 34 56 78 90 11 22 33 44 55 66 77 88 99 10 1 2\n ",  "2 "};
  std::string session;
  for (long n = 0; n < actions; ++n) session += steps[n % (sizeof steps / sizeof *steps)];
  return session + "q";
}

struct Measure {
  double cpu_s = 0, wall_s = 0;
  long max_rss_kb = 0, own_rss_kb = 0;
};

// The peak resident memory of a process, read as it exits. (The rusage of a
// forked child also counts the parent's pages from before its exec.)
long peak_rss_kb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return atol(line.c_str() + 6);
  return 0;
}

// The resident memory of the mappings of the process's own file, read as it exits.
long own_rss_kb(pid_t pid, const std::string& program) {
  char* file = realpath(program.c_str(), nullptr);
  std::ifstream smaps("/proc/" + std::to_string(pid) + "/smaps");
  long total = 0;
  bool own = false;
  for (std::string line; std::getline(smaps, line);) {
    if (line.rfind("Rss:", 0) == 0 && own) total += atol(line.c_str() + 4);
    const size_t path = line.find(" /");
    if (line.find('-') < line.find(' ') && line.find(':') > line.find(' '))  // a mapping's header
      own =
          file && path != std::string::npos && line.compare(path + 1, std::string::npos, file) == 0;
  }
  free(file);
  return total;
}

// With `fixed_addresses`, the child's address space is not randomized: the C
// library's pages, which the kernel maps in blocks around each page used, are
// then the same from run to run, and so is the peak.
Measure run(const std::string& program, const std::string& input, const std::string& output,
            bool fixed_addresses = false) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    const int in = open(input.c_str(), O_RDONLY);
    const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0) _exit(126);
    if (fixed_addresses) personality(ADDR_NO_RANDOMIZE);
    dup2(in, 0);
    dup2(out, 1);
    ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
    raise(SIGSTOP);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  // Traced only to be stopped once more at its exit, where its memory is read.
  int status = 0;
  waitpid(child, &status, 0);
  ptrace(PTRACE_SETOPTIONS, child, nullptr, PTRACE_O_TRACEEXIT | PTRACE_O_TRACEEXEC);
  ptrace(PTRACE_CONT, child, nullptr, nullptr);
  long max_rss_kb = 0, own_kb = 0;
  rusage usage{};
  for (;;) {
    wait4(child, &status, 0, &usage);
    if (!WIFSTOPPED(status)) break;
    if (status >> 8 == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
      max_rss_kb = peak_rss_kb(child);
      own_kb = own_rss_kb(child, program);
    }
    const int pass = WSTOPSIG(status) == SIGTRAP ? 0 : WSTOPSIG(status);
    ptrace(PTRACE_CONT, child, nullptr, pass);
  }
  Measure m;
  m.wall_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.cpu_s = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
            usage.ru_stime.tv_usec / 1e6;
  m.max_rss_kb = max_rss_kb;
  m.own_rss_kb = own_kb;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    fprintf(stderr, "%s failed (status %d)\n", program.c_str(), status);
    exit(1);
  }
  return m;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double best(const std::vector<double>& values) {
  return *std::min_element(values.begin(), values.end());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2) {
    fputs(make_session(atol(argv[1])).c_str(), stdout);
    return 0;
  }
  if (argc < 4) {
    fprintf(stderr, "usage: %s ACTIONS [PROGRAM PLAIN [RUNS]]\n", argv[0]);
    return 2;
  }
  const long actions = atol(argv[1]);
  const std::string programs[2] = {argv[2], argv[3]};
  const int runs = argc > 4 ? atoi(argv[4]) : 5;

  char dir[] = "/tmp/bench-session-XXXXXX";
  if (!mkdtemp(dir) || chdir(dir) != 0) return 1;
  std::ofstream("session.in", std::ios::binary) << make_session(actions);
  std::ofstream("startup.in", std::ios::binary) << "q";
  std::ofstream("scores.txt", std::ios::binary)
      << "Alice\n95 90 88\nBob\n72 75 70\nCarol\n50 49 49\nDan\n40 41 42\nEve\n20 30 10\n";

  run(programs[0], "session.in", "program.out");
  run(programs[1], "session.in", "plain.out");
  const std::string transcript = slurp("program.out");
  if (transcript != slurp("plain.out")) {
    fprintf(stderr, "the two programs wrote different transcripts (kept in %s)\n", dir);
    return 1;
  }

  std::vector<double> cpu[2], wall[2];
  long rss[2] = {0, 0}, own[2] = {0, 0};
  int runs_within_peak = 0;  // runs whose program peaked at or under the yardstick's
  for (int r = 0; r < runs; ++r) {
    long peak[2] = {0, 0};
    for (int p = 0; p < 2; ++p) {
      const Measure m = run(programs[p], "session.in", "/dev/null");
      cpu[p].push_back(m.cpu_s);
      wall[p].push_back(m.wall_s);
      peak[p] = m.max_rss_kb;
      rss[p] = std::max(rss[p], m.max_rss_kb);
      own[p] = std::max(own[p], m.own_rss_kb);
    }
    runs_within_peak += peak[0] <= peak[1] ? 1 : 0;
  }
  long fixed_peak[2] = {0, 0};
  for (int p = 0; p < 2; ++p)
    fixed_peak[p] = run(programs[p], "session.in", "/dev/null", true).max_rss_kb;
  struct stat file[2] = {};
  for (int p = 0; p < 2; ++p) stat(programs[p].c_str(), &file[p]);
  double startup[2] = {0, 0};
  for (int r = 0; r < 200; ++r)
    for (int p = 0; p < 2; ++p) startup[p] += run(programs[p], "startup.in", "/dev/null").cpu_s;

  printf("session: %ld menu actions, %zu bytes in, %zu bytes out; median of %d runs\n", actions,
         slurp("session.in").size(), transcript.size(), runs);
  printf("%-22s %12s %12s %8s\n", "", "program", "plain C", "ratio");
  printf("%-22s %12.3f %12.3f %8.3f\n", "CPU time, median (s)", median(cpu[0]), median(cpu[1]),
         median(cpu[0]) / median(cpu[1]));
  printf("%-22s %12.3f %12.3f %8.3f\n", "CPU time, best (s)", best(cpu[0]), best(cpu[1]),
         best(cpu[0]) / best(cpu[1]));
  printf("%-22s %12.3f %12.3f %8.3f\n", "wall time (s)", median(wall[0]), median(wall[1]),
         median(wall[0]) / median(wall[1]));
  printf("%-22s %12ld %12ld %8.3f   (at or under in %d of %d runs)\n", "peak memory (KiB)", rss[0],
         rss[1], static_cast<double>(rss[0]) / static_cast<double>(rss[1]), runs_within_peak, runs);
  printf("%-22s %12ld %12ld %8.3f\n", "same, fixed addresses", fixed_peak[0], fixed_peak[1],
         static_cast<double>(fixed_peak[0]) / static_cast<double>(fixed_peak[1]));
  printf("%-22s %12ld %12ld %8.3f\n", "own resident (KiB)", own[0], own[1],
         static_cast<double>(own[0]) / static_cast<double>(own[1]));
  printf("%-22s %12lld %12lld %8.3f\n", "file size (bytes)",
         static_cast<long long>(file[0].st_size), static_cast<long long>(file[1].st_size),
         static_cast<double>(file[0].st_size) / static_cast<double>(file[1].st_size));
  printf("%-22s %12.3f %12.3f %8.3f\n", "start-up, 200 runs (s)", startup[0], startup[1],
         startup[0] / startup[1]);
  for (const char* file : {"session.in", "startup.in", "scores.txt", "program.out", "plain.out"})
    unlink(file);
  rmdir(dir);
  return 0;
}
