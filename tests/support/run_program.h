// Runs a program to its end with standard input from a file, in a directory of
// the test's choosing, and collects what it wrote.
#pragma once

#include <string>
#include <vector>

struct RunResult {
  std::string out;
  std::string err;
  int status = -1;  // as waitpid reports it
};

RunResult run_program(const std::vector<std::string>& command, const std::string& input_file,
                      const std::string& directory, int timeout_seconds = 60);

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& content);
std::string make_temp_dir();
