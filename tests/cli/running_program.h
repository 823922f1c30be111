#pragma once

// The command-line program with its standard output on a pipe, for tests that
// act while it runs.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace bb::test {

// The program with its standard output on a pipe, read line by line as it
// comes, so that a test can act on a line the moment it is printed. A program
// that stops printing without ending is killed after a minute.
class RunningProgram {
 public:
  RunningProgram(const std::vector<std::string>& arguments, const std::filesystem::path& err) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    std::vector<std::string> all = {BURNBENCH_CLI_PATH};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, BURNBENCH_CLI_PATH, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    out_ = pipeEnds[0];
  }
  ~RunningProgram() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
  }

  // The next line of standard output; nullopt at its end.
  std::optional<std::string> NextLine() {
    for (;;) {
      const std::size_t end = pending_.find('\n');
      if (end != std::string::npos) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        return line;
      }
      pollfd ready{out_, POLLIN, 0};
      if (poll(&ready, 1, 60000) != 1) {
        hung_ = true;
        return std::nullopt;
      }
      char buffer[4096];
      const ssize_t n = read(out_, buffer, sizeof buffer);
      if (n <= 0) return std::nullopt;
      pending_.append(buffer, static_cast<std::size_t>(n));
    }
  }
  void Interrupt() const { kill(pid_, SIGINT); }
  // The exit status once standard output has ended; -1 for a program that
  // hung or did not exit by itself.
  int Status() {
    while (NextLine()) {
    }
    if (pid_ <= 0) return -1;
    if (hung_) kill(pid_, SIGKILL);
    int raw = 0;
    const bool ended = waitpid(pid_, &raw, 0) == pid_;
    pid_ = -1;
    return ended && !hung_ && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  bool hung_ = false;
  std::string pending_;
};

}  // namespace bb::test
