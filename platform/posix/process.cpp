#include "platform/process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

extern char** environ;

namespace platform {

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& working_directory) {
  ProcessResult result;
  int out_pipe[2], err_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0) return result;
  if (pipe2(err_pipe, O_CLOEXEC) != 0) {
    close(out_pipe[0]);
    close(out_pipe[1]);
    return result;
  }

  std::vector<std::string> argv_strings;
  argv_strings.push_back(program);
  argv_strings.insert(argv_strings.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& s : argv_strings) argv.push_back(&s[0]);
  argv.push_back(nullptr);

  // posix_spawn starts the child without copying the parent's page tables,
  // which matters when a batch starts hundreds of conversions.
  pid_t pid = -1;
  posix_spawn_file_actions_t actions;
  bool started = false;
  if (posix_spawn_file_actions_init(&actions) == 0) {
    if (posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
        posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1) == 0 &&
        posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2) == 0 &&
        posix_spawn_file_actions_addchdir_np(&actions, working_directory.c_str()) == 0) {
      started = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0;
    }
    posix_spawn_file_actions_destroy(&actions);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (!started) {
    close(out_pipe[0]);
    close(err_pipe[0]);
    // A program that cannot be started (missing, or its directory) ends as
    // a shell reports it.
    result.exit_status = 127;
    return result;
  }

  struct pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.standard_output, &result.standard_error};
  int open_count = 2;
  while (open_count > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buffer[4096];
      ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
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

  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
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
