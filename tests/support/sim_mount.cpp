#include "tests/support/sim_mount.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace zepa::test {

namespace {

constexpr auto kReadyTimeout = std::chrono::seconds(10);

std::filesystem::path makeTemporaryRoot() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zepa-sim-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) return {};
  return pattern;
}

// Reads from `fd` until a line "ready" arrives, the stream ends or the time is up.
bool waitForReady(int fd, std::chrono::steady_clock::duration timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::string seen;
  while (true) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd poller{fd, POLLIN, 0};
    const int ready = ::poll(&poller, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    char chunk[256];
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    seen.append(chunk, static_cast<std::size_t>(n));
    std::istringstream lines(seen);
    std::string line;
    while (std::getline(lines, line))
      if (line == "ready") return true;
  }
}

}  // namespace

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
  root_ = makeTemporaryRoot();
  if (root_.empty()) {
    problem_ = std::string("cannot create a temporary folder: ") + std::strerror(errno);
    return;
  }
  start(arguments);
}

SimMount::~SimMount() {
  if (pid_ > 0 && !stop(SIGTERM)) {
    stop(SIGKILL);
  }
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
  words.push_back("--log");
  words.push_back(logPath().string());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    problem_ = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  const std::string errors = (root_ / "zepa-sim.stderr").string();
  const pid_t parent = ::getpid();
  pid_ = ::fork();
  if (pid_ == 0) {
    // A test that crashes or is killed must not leave its simulator (and mount) behind.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);
    ::dup2(out[1], STDOUT_FILENO);
    const int err = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (err >= 0) ::dup2(err, STDERR_FILENO);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  const int spawnError = errno;
  ::close(out[1]);
  if (pid_ < 0) {
    ::close(out[0]);
    pid_ = -1;
    problem_ = "cannot start " + program + ": " + std::strerror(spawnError);
    return false;
  }
  const bool ready = waitForReady(out[0], kReadyTimeout);
  ::close(out[0]);
  if (!ready) {
    stop(SIGKILL);
    problem_ = "zepa-sim did not report ready: " + errorOutput();
    return false;
  }
  return true;
}

bool SimMount::restart(std::vector<std::string> arguments) {
  if (root_.empty() || pid_ > 0) return false;
  return start(arguments);
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
  std::ifstream in(root_ / "zepa-sim.stderr");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<zepa::sim::LogEntry> SimMount::readLog() const {
  std::vector<zepa::sim::LogEntry> entries;
  std::ifstream in(logPath());
  std::string line;
  while (std::getline(in, line)) {
    auto entry = zepa::sim::parseLogLine(line);
    if (!entry) {
      ADD_FAILURE() << "malformed report log line: " << line;
      continue;
    }
    entries.push_back(std::move(*entry));
  }
  return entries;
}

nlohmann::json SimMount::stateJson(std::string_view keyboard) const {
  std::ifstream in(root_ / "state" / (std::string(keyboard) + ".json"));
  auto state = nlohmann::json::parse(in, nullptr, false);
  if (state.is_discarded()) {
    ADD_FAILURE() << "state file for " << keyboard << " is missing or not JSON";
    return nullptr;
  }
  return state;
}

}  // namespace zepa::test
