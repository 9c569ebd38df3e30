// SPDX-License-Identifier: MIT
#include "tools/cli/keymap_tool.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

extern char** environ;

namespace zepa::cli {

namespace {

std::string trimmed(const std::string& text) {
  const char* blanks = " \t\r\n";
  const auto first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string startFailure(const std::filesystem::path& program, int error) {
  if (error == ENOENT) return "Das Programm " + program.string() + " wurde nicht gefunden.";
  if (error == EACCES) return "Das Programm " + program.string() + " ist nicht ausführbar.";
  // The kernel limits one argument to 128 KiB; only a very long key list reaches that.
  if (error == E2BIG) {
    return "Die Tastenbelegung ist zu umfangreich, um sie an " + program.filename().string() +
           " zu übergeben. Bitte weniger Tasten umbelegen.";
  }
  return "Das Programm " + program.string() + " konnte nicht gestartet werden.";
}

}  // namespace

std::filesystem::path keymapToolBesideSelf() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "zepa-keymap";
  return self.parent_path() / "zepa-keymap";
}

std::optional<std::string> runKeymapTool(const std::filesystem::path& program,
                                         const std::vector<std::string>& arguments) {
  int errorPipe[2];
  if (pipe2(errorPipe, O_CLOEXEC) != 0) return startFailure(program, errno);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, errorPipe[1], STDERR_FILENO);

  const std::string path = program.string();
  std::vector<char*> argv{const_cast<char*>(path.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(errorPipe[1]);
  if (spawned != 0) {
    close(errorPipe[0]);
    return startFailure(program, spawned);
  }

  // Read to the end before waiting, so a chatty tool cannot block on a full pipe.
  std::string errorText;
  char buffer[512];
  for (;;) {
    const ssize_t count = read(errorPipe[0], buffer, sizeof buffer);
    if (count > 0) {
      errorText.append(buffer, static_cast<std::size_t>(count));
    } else if (count == 0 || errno != EINTR) {
      break;
    }
  }
  close(errorPipe[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return startFailure(program, errno);
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return std::nullopt;
  const std::string text = trimmed(errorText);
  if (text.empty()) return "zepa-keymap konnte die Tastenbelegung nicht anwenden.";
  return text;
}

}  // namespace zepa::cli
