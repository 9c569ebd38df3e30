// SPDX-License-Identifier: MIT
#include "tests/support/sim_mount.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace zepa::test {

bool SimMount::fuseRequired() {
  const char* ci = std::getenv("CI");
  return ci && std::string_view(ci) == "true";
}

SimMount::SimMount(std::vector<std::string> arguments) {
  if (::access("/dev/fuse", R_OK | W_OK) != 0) {
    unavailable_ = true;
    problem_ = "zepa-sim needs /dev/fuse, which this machine does not offer";
    return;
  }
  std::string pattern = (std::filesystem::temp_directory_path() / "zepa-sim-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) {
    problem_ = std::string("cannot create a temporary folder: ") + std::strerror(errno);
    return;
  }
  root_ = pattern;
  start(arguments);
}

SimMount::~SimMount() {
  if (pid_ > 0 && !stop(SIGTERM)) stop(SIGKILL);
  if (root_.empty()) return;
  // Never remove files through a mount that outlived its server.
  ::umount2((root_ / "dev").c_str(), MNT_DETACH);
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

bool SimMount::start(const std::vector<std::string>& arguments) {
  problem_.reset();
  const std::string program = std::string(ZEPA_BIN_DIR) + "/zepa-sim";
  std::vector<std::string> words{program, root_.string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  words.insert(words.end(), {"--log", logPath().string()});
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const std::string out = root_ / "zepa-sim.stdout", errors = root_ / "zepa-sim.stderr";
  std::error_code ignored;
  std::filesystem::remove(out, ignored);  // a "ready" from the last run must not count
  const pid_t parent = ::getpid();
  pid_ = ::fork();
  if (pid_ == 0) {
    // A test that crashes or is killed must not leave its simulator (and mount) behind.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);
    const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int errFd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (outFd < 0 || errFd < 0 || ::dup2(outFd, STDOUT_FILENO) < 0 ||
        ::dup2(errFd, STDERR_FILENO) < 0)
      ::_exit(127);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  if (pid_ < 0) {
    problem_ = "cannot start " + program + ": " + std::strerror(errno);
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (("\n" + readText(out)).find("\nready\n") == std::string::npos) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) pid_ = -1;
    if (pid_ < 0 || std::chrono::steady_clock::now() > deadline) {
      stop(SIGKILL);
      problem_ = "zepa-sim did not report ready: " + errorOutput();
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

bool SimMount::restart(std::vector<std::string> arguments) {
  return !root_.empty() && pid_ <= 0 && start(arguments);
}

std::optional<int> SimMount::stop(int signal, std::chrono::milliseconds timeout) {
  if (pid_ <= 0) return std::nullopt;
  ::kill(pid_, signal);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_ || (done < 0 && errno != EINTR)) {
      pid_ = -1;
      return status;
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::string SimMount::errorOutput() const {
  return readText(root_ / "zepa-sim.stderr");
}

std::vector<zepa::sim::LogEntry> SimMount::readLog() const {
  std::vector<zepa::sim::LogEntry> entries;
  std::istringstream lines(readText(logPath()));
  for (std::string line; std::getline(lines, line);) {
    if (auto entry = zepa::sim::parseLogLine(line))
      entries.push_back(std::move(*entry));
    else
      ADD_FAILURE() << "malformed report log line: " << line;
  }
  return entries;
}

nlohmann::json SimMount::stateJson(std::string_view keyboard) const {
  auto state = nlohmann::json::parse(readText(root_ / "state" / (std::string(keyboard) + ".json")),
                                     nullptr, false);
  if (!state.is_discarded()) return state;
  ADD_FAILURE() << "state file for " << keyboard << " is missing or not JSON";
  return nullptr;
}

std::string readText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string listing(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  std::string text;
  for (const auto& name : names) text += (text.empty() ? "" : " ") + name;
  return text;
}

}  // namespace zepa::test
