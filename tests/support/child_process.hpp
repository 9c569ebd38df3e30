// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Runs one of the project's programs from the build's bin/ folder to its end.
namespace zepa::test {

struct ProgramOutcome {
  int status = -1;  // exit status; -1 when it did not start or did not exit normally
  std::string out, err;
};

// Standard input is /dev/null. With `terminal` standard error is a pseudo-terminal.
ProgramOutcome runProgram(std::string_view name, const std::vector<std::string>& args,
                          bool terminal = false);

}  // namespace zepa::test
