// Measures reading keys with the console functions on a pseudo-terminal,
// through bench/key_reader, a program built on the library as its users
// build theirs:
//   - instructions per readkey on a queued key (callgrind, counting inside
//     readkey alone);
//   - system calls per empty look, readkey(0), with key mode held and not
//     (strace -c);
//   - key to value: from a key written to the terminal to the byte the
//     reader answers it with, p50 and p99 over many keys.
//
//   bench_keys KEY_READER [KEYS]
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A command on a new pseudo-terminal.
struct Terminal {
  int master = -1;
  pid_t pid = -1;
  explicit Terminal(const std::vector<std::string>& command) {
    pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
      std::vector<char*> argv;
      for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
      argv.push_back(nullptr);
      execvp(argv[0], argv.data());
      _exit(127);
    }
  }
  // Reads until `text` has come; the bytes read.
  std::string wait_for(const std::string& text) {
    std::string seen;
    char buffer[4096];
    while (seen.find(text) == std::string::npos) {
      const ssize_t n = read(master, buffer, sizeof buffer);
      if (n <= 0) break;
      seen.append(buffer, static_cast<size_t>(n));
    }
    return seen;
  }
  int finish() {
    char buffer[4096];
    while (read(master, buffer, sizeof buffer) > 0) {
    }
    int status = 0;
    waitpid(pid, &status, 0);
    close(master);
    return status;
  }
};

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Up, sent `count` times, a few hundred at a time.
void send_keys(Terminal& terminal, long count) {
  const std::string up = "\x1b[A";
  std::string burst;
  for (int n = 0; n < 256; ++n) burst += up;
  for (long sent = 0; sent < count; sent += 256) {
    const size_t keys = static_cast<size_t>(std::min<long>(256, count - sent));
    if (write(terminal.master, burst.data(), keys * up.size()) < 0) exit(1);
  }
}

double instructions_per_readkey(const std::string& reader, long keys) {
  const std::string out = "/tmp/bench-keys-callgrind.out";
  Terminal terminal({"valgrind", "--tool=callgrind", "--toggle-collect=readkey",
                     "--callgrind-out-file=" + out, reader, "read", std::to_string(keys)});
  terminal.wait_for("ready");
  send_keys(terminal, keys);
  terminal.wait_for("done");
  terminal.finish();
  const std::string profile = slurp(out);
  remove(out.c_str());
  const size_t at = profile.find("\nsummary: ");
  return at == std::string::npos ? 0 : atof(profile.c_str() + at + 10) / keys;
}

double calls_per_look(const std::string& reader, long looks, const char* hold) {
  const std::string out = "/tmp/bench-keys-strace.txt";
  // Counted from "ready" on: the first look's setting up is not counted.
  Terminal terminal({"strace", "-c", "-o", out, reader, "poll", std::to_string(looks), hold});
  terminal.wait_for("ready");
  terminal.finish();
  std::istringstream table(slurp(out));
  remove(out.c_str());
  for (std::string line; std::getline(table, line);) {
    if (line.find(" total") == std::string::npos) continue;
    std::istringstream words(line);
    std::string word;
    double seconds = 0, usecs = 0, calls = 0;
    words >> word >> seconds >> usecs >> calls;
    return calls / looks;
  }
  return 0;
}

void key_to_value(const std::string& reader, long keys) {
  Terminal terminal({reader, "answer", std::to_string(keys)});
  terminal.wait_for("ready");
  std::vector<double> us;
  for (long n = 0; n < keys; ++n) {
    const auto start = std::chrono::steady_clock::now();
    if (write(terminal.master, "\x1b[A", 3) != 3) exit(1);
    char answer = 0;
    if (read(terminal.master, &answer, 1) != 1) exit(1);
    us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                     .count());
  }
  terminal.finish();
  std::sort(us.begin(), us.end());
  printf("%-44s %8.1f us  %8.1f us\n", "key to value, p50 and p99", us[us.size() / 2],
         us[us.size() * 99 / 100]);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s KEY_READER [KEYS]\n", argv[0]);
    return 2;
  }
  const std::string reader = argv[1];
  const long keys = argc > 2 ? atol(argv[2]) : 2000;
  printf("%-44s %8.0f\n", "instructions per readkey, a key queued",
         instructions_per_readkey(reader, keys));
  printf("%-44s %8.2f\n", "system calls per empty readkey(0), held",
         calls_per_look(reader, keys, "held"));
  printf("%-44s %8.2f\n", "system calls per empty readkey(0), not held",
         calls_per_look(reader, keys, "free"));
  key_to_value(reader, keys);
  return 0;
}
