#include "platform/process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/path.h"
#include "platform/common/children.h"

extern char** environ;

namespace platform {

namespace {

// Reads both streams at once until the child closes them, so that a child
// filling one of them never blocks while the other is read.
void Drain(int out, int err, std::string& standard_output, std::string& standard_error) {
  struct pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
  std::string* sinks[2] = {&standard_output, &standard_error};
  int open_count = 2;
  while (open_count > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[4096];
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  for (auto& fd : fds)
    if (fd.fd >= 0) close(fd.fd);
}

// The program as the parent's current directory names it: a relative
// name must not be looked up again from the child's working directory.
std::string Absolute(const std::string& program) {
  std::string full;
  std::size_t last = 0;
  return !program.empty() && program[0] != '/' && FullPathName(program, full, last) ? full : program;
}

}  // namespace

struct ChildProcess::State {
  pid_t pid = -1;
  bool waited = false;
  ProcessResult result;
  std::thread reader;
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::string& working_directory)
    : state_(new State) {
  ProcessResult& result = state_->result;
  const std::string path = Absolute(program);
  int out_pipe[2], err_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0) {
    result.standard_error = "cannot start " + program + ": " + std::strerror(errno);
    return;
  }
  if (pipe2(err_pipe, O_CLOEXEC) != 0) {
    result.standard_error = "cannot start " + program + ": " + std::strerror(errno);
    close(out_pipe[0]);
    close(out_pipe[1]);
    return;
  }

  std::vector<std::string> argv_strings;
  argv_strings.push_back(program);
  argv_strings.insert(argv_strings.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& s : argv_strings) argv.push_back(&s[0]);
  argv.push_back(nullptr);

  // posix_spawn starts the child without copying the parent's page tables,
  // which matters when a batch starts hundreds of conversions. It reports
  // a program that cannot be run (missing, not executable, a working
  // directory that is not there) as its own failure.
  posix_spawn_file_actions_t actions;
  int error = posix_spawn_file_actions_init(&actions);
  if (error == 0) {
    error = posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (error == 0) error = posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
    if (error == 0) error = posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
    if (error == 0 && !working_directory.empty())
      error = posix_spawn_file_actions_addchdir_np(&actions, working_directory.c_str());
    // The interruption signals are held off until the child is kept, so
    // that one arriving in between still reaches it; the child starts with
    // the mask the parent had (a handler does not survive the start, an
    // ignored signal stays ignored).
    posix_spawnattr_t attributes;
    if (error == 0) error = posix_spawnattr_init(&attributes);
    if (error == 0) {
      sigset_t held, before;
      sigemptyset(&held);
      for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&held, signal);
      pthread_sigmask(SIG_BLOCK, &held, &before);
      posix_spawnattr_setsigmask(&attributes, &before);
      posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
      error = posix_spawn(&state_->pid, path.c_str(), &actions, &attributes, argv.data(), environ);
      if (error == 0) {
        children::Add(state_->pid);
        PassInterruptOn(state_->pid);
      }
      pthread_sigmask(SIG_SETMASK, &before, nullptr);
      posix_spawnattr_destroy(&attributes);
    }
    posix_spawn_file_actions_destroy(&actions);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (error != 0) {
    close(out_pipe[0]);
    close(err_pipe[0]);
    state_->pid = -1;
    result.standard_error = "cannot start " + program + ": " + std::strerror(error);
    return;
  }
  result.started = true;
  state_->reader = std::thread(Drain, out_pipe[0], err_pipe[0], std::ref(result.standard_output),
                               std::ref(result.standard_error));
}

ChildProcess::~ChildProcess() { Wait(); }

bool ChildProcess::started() const { return state_->result.started; }

bool ChildProcess::Running() const {
  if (!started() || state_->waited) return false;
  siginfo_t info {};
  // Looks without collecting the child, which Wait does.
  return waitid(P_PID, static_cast<id_t>(state_->pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == 0;
}

bool ChildProcess::Interrupt(Interruption how) {
  if (!started() || state_->waited) return false;
  const int signal = how == Interruption::kInterrupt ? SIGINT : how == Interruption::kTerminate ? SIGTERM : SIGHUP;
  return kill(state_->pid, signal) == 0;
}

ProcessResult ChildProcess::Wait() {
  if (!started() || state_->waited) return state_->result;
  state_->reader.join();
  children::Remove(state_->pid);
  int status = 0;
  pid_t got;
  while ((got = waitpid(state_->pid, &status, 0)) < 0 && errno == EINTR) {
  }
  state_->waited = true;
  ProcessResult& result = state_->result;
  if (got == state_->pid && WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  if (got == state_->pid && WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& working_directory) {
  return ChildProcess(program, arguments, working_directory).Wait();
}
std::string CurrentExecutable() {
  std::string path(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", &path[0], path.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return std::string();
  path.resize(static_cast<std::size_t>(length));
  return path;
}

std::string ExecutableName(const std::string& base) { return base; }

std::string FindOnPath(const std::string& name) {
  const char* variable = std::getenv("PATH");
  std::string list = variable ? variable : "";
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    // An empty entry means the current directory.
    std::string directory = end > start ? list.substr(start, end - start) : ".";
    std::string candidate = directory + "/" + name;
    struct stat status;
    if (stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
        access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    start = end + 1;
  }
  return std::string();
}

}  // namespace platform
