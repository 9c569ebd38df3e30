// SPDX-License-Identifier: MIT
#include "tests/support/child_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zepa::test {

ProgramOutcome runProgram(std::string_view name, const std::vector<std::string>& args,
                          bool terminal) {
  const std::string program = std::string(ZEPA_BIN_DIR) + "/" + std::string(name);
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return {};
  if (!terminal && ::pipe2(err, O_CLOEXEC) != 0) return {};
  if (terminal) {
    err[0] = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (err[0] < 0 || ::grantpt(err[0]) != 0 || ::unlockpt(err[0]) != 0) return {};
    err[1] = ::open(::ptsname(err[0]), O_RDWR | O_NOCTTY | O_CLOEXEC);
  }
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  ::posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const bool spawned =
      ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0;
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ::close(err[1]);
  ProgramOutcome outcome;
  pollfd fds[] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[] = {&outcome.out, &outcome.err};
  for (int open = spawned ? 2 : 0; open > 0 && ::poll(fds, 2, 20000) > 0;) {
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else {  // a terminal whose last writer has gone answers EIO instead of end of file
        fds[i].fd = -1;
        --open;
      }
    }
  }
  ::close(out[0]);
  ::close(err[0]);
  int status = 0;
  if (spawned && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
    outcome.status = WEXITSTATUS(status);
  return outcome;
}

}  // namespace zepa::test
