#include "tools/bounded_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

extern char** environ;

namespace orv::tools {
namespace {

// Output beyond this is not needed for a one-line message.
constexpr std::size_t kMaxOutput = 64 * 1024;

struct Pipe {
  int read = -1;
  int write = -1;
  ~Pipe() {
    if (read >= 0) ::close(read);
    if (write >= 0) ::close(write);
  }
};

}  // namespace

ProcessOutcome RunBounded(const std::vector<std::string>& argv, int timeoutMs) {
  ProcessOutcome outcome;
  if (argv.empty()) return outcome;
  Pipe pipe;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return outcome;
  pipe.read = fds[0];
  pipe.write = fds[1];

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipe.write, 1);
  posix_spawn_file_actions_adddup2(&actions, pipe.write, 2);
  // Its own process group, so that a timeout ends whatever the program started too.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);

  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (spawned != 0) {
    outcome.kind =
        spawned == ENOENT ? ProcessOutcome::Kind::NotFound : ProcessOutcome::Kind::FailedToStart;
    return outcome;
  }
  ::close(pipe.write);
  pipe.write = -1;

  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  bool open = true;
  int status = 0;
  while (true) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      ::kill(-pid, SIGKILL);
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      outcome.kind = ProcessOutcome::Kind::TimedOut;
      return outcome;
    }
    if (open) {
      pollfd fd{pipe.read, POLLIN, 0};
      const int ready = ::poll(&fd, 1, static_cast<int>(left < 50 ? left : 50));
      if (ready > 0) {
        char buffer[4096];
        const ssize_t got = ::read(pipe.read, buffer, sizeof buffer);
        if (got > 0) {
          if (outcome.output.size() < kMaxOutput) outcome.output.append(buffer, got);
        } else if (got == 0 || errno != EINTR) {
          open = false;  // the program closed its output; wait for its end
        }
      }
    } else {
      ::usleep(20 * 1000);
    }
  }
  // Whatever the program wrote just before it ended.
  if (open) {
    char buffer[4096];
    ::fcntl(pipe.read, F_SETFL, O_NONBLOCK);
    ssize_t got;
    while ((got = ::read(pipe.read, buffer, sizeof buffer)) > 0 &&
           outcome.output.size() < kMaxOutput) {
      outcome.output.append(buffer, got);
    }
  }
  if (WIFEXITED(status)) {
    outcome.kind = ProcessOutcome::Kind::Finished;
    outcome.exitCode = WEXITSTATUS(status);
  } else {
    outcome.kind = ProcessOutcome::Kind::Killed;
  }
  return outcome;
}

}  // namespace orv::tools
