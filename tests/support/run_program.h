// Runs a program of ours as a user would, capturing what it prints and its exit status.
#pragma once

#include <string>
#include <vector>

namespace vellumix::test {

struct ProgramResult {
  int status = -1;  // exit status; 128 + n when killed by signal n
  std::string out;
  std::string err;
};

// Runs `program` with `args` (no shell), stdin from `input` (empty: /dev/null).
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = {});

// vellumix-cli of this build.
ProgramResult RunCli(const std::vector<std::string>& args, const std::string& input = {});

}  // namespace vellumix::test
