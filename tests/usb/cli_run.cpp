#include "usb/cli_run.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <utility>

namespace bb::test {

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Between fork and exec only calls that are safe in a copy of a
// multi-threaded process, and none that umockdev's preloaded library wraps:
// another thread of this process may have held its lock at the fork.
[[noreturn]] void ExecChild(char* const* argv, char* const* environment, int in, int out, int err,
                           const passwd* user, int extraOpenFiles) {
  if (dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
  // At fixed numbers: the low ones may hold files of this process that close
  // at the exec.
  for (int i = 0; i < extraOpenFiles; ++i) {
    if (dup2(0, 3 + i) < 0) _exit(126);
  }
  if (user != nullptr &&
      (setgroups(0, nullptr) != 0 || setresgid(user->pw_gid, user->pw_gid, user->pw_gid) != 0 ||
       setresuid(user->pw_uid, user->pw_uid, user->pw_uid) != 0)) {
    _exit(125);
  }
  execve(argv[0], argv, environment);
  _exit(127);
}

}  // namespace

CliProcess::CliProcess(const std::vector<std::string>& arguments, std::vector<EmulatedCamera*> cameras,
                       const TempFolder& work, CliRunOptions options)
    : cameras_(std::move(cameras)),
      options_(std::move(options)),
      errPath_(work.File("cli-stderr.txt")),
      deadline_(std::chrono::steady_clock::now() + options_.deadline) {
  std::vector<std::string> words{BURNBENCH_CLI_PATH};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const passwd* nobody = options_.asNobody && geteuid() == 0 ? getpwnam("nobody") : nullptr;
  // The first of two settings of one name is the one that counts.
  std::vector<std::string> settings = options_.environment;
  for (char** entry = environ; *entry != nullptr; ++entry) settings.emplace_back(*entry);
  std::vector<char*> environment;
  for (std::string& setting : settings) environment.push_back(setting.data());
  environment.push_back(nullptr);
  for (EmulatedCamera* camera : cameras_) {
    camera->OnNeedsService([this] {
      const std::lock_guard<std::mutex> lock(mutex_);
      wanted_ = true;
      changed_.notify_all();
    });
  }
  const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  const int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  int output[2] = {-1, -1};
  if (in >= 0 && err >= 0 && pipe2(output, O_CLOEXEC) == 0) {
    child_ = fork();
    if (child_ == 0) {
      ExecChild(argv.data(), environment.data(), in, output[1], err, nobody, options_.extraOpenFiles);
    }
  }
  for (const int file : {in, err, output[1]}) {
    if (file >= 0) close(file);
  }
  if (child_ <= 0) {
    if (output[0] >= 0) close(output[0]);
    exited_ = outputClosed_ = true;
    raw_ = -1;
    return;
  }
  reader_ = std::thread([this, pipe = output[0]] { ReadOutput(pipe); });
  // The ended child stays unreaped until Reap, so that its number cannot
  // pass to another process while a signal may still be sent to it.
  waiter_ = std::thread([this] {
    siginfo_t ended{};
    while (waitid(P_PID, static_cast<id_t>(child_), &ended, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    exited_ = true;
    changed_.notify_all();
  });
}

CliProcess::~CliProcess() {
  if (waiter_.joinable()) {
    kill(child_, SIGKILL);
    Reap();
  }
  for (EmulatedCamera* camera : cameras_) camera->OnNeedsService(nullptr);
}

void CliProcess::Reap() {
  waiter_.join();
  reader_.join();
  waitpid(child_, &raw_, 0);
}

void CliProcess::ReadOutput(int pipe) {
  std::string partial;
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(pipe, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    partial.append(buffer, static_cast<std::size_t>(got));
    std::vector<std::string> complete;
    for (std::size_t end = partial.find('\n'); end != std::string::npos; end = partial.find('\n')) {
      complete.push_back(partial.substr(0, end));
      partial.erase(0, end + 1);
    }
    if (complete.empty()) continue;
    const std::lock_guard<std::mutex> lock(mutex_);
    lines_.insert(lines_.end(), complete.begin(), complete.end());
    changed_.notify_all();
  }
  close(pipe);
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!partial.empty()) lines_.push_back(partial);
  outputClosed_ = true;
  changed_.notify_all();
}

bool CliProcess::ServeUntil(std::unique_lock<std::mutex>& lock, const std::function<bool()>& done) {
  const auto ended = [this] { return exited_ && outputClosed_; };
  while (!done()) {
    if (ended()) return false;
    if (!changed_.wait_until(lock, deadline_, [&] { return done() || ended() || wanted_; })) return false;
    if (!std::exchange(wanted_, false)) continue;
    lock.unlock();
    if (options_.beforeFirstService) std::exchange(options_.beforeFirstService, nullptr)();
    for (EmulatedCamera* camera : cameras_) camera->Serve();
    lock.lock();
  }
  return true;
}

bool CliProcess::WaitForLines(std::size_t count) {
  std::unique_lock<std::mutex> lock(mutex_);
  return ServeUntil(lock, [&] { return lines_.size() >= count; });
}

std::vector<std::string> CliProcess::Lines() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

void CliProcess::Interrupt() {
  if (child_ > 0) kill(child_, SIGINT);
}

CliResult CliProcess::Finish() {
  CliResult result;
  std::unique_lock<std::mutex> lock(mutex_);
  if (!ServeUntil(lock, [this] { return exited_ && outputClosed_; })) {
    result.hung = true;
    kill(child_, SIGKILL);
    changed_.wait(lock, [this] { return exited_ && outputClosed_; });
  }
  lock.unlock();
  if (waiter_.joinable()) Reap();
  result.status = WIFEXITED(raw_) ? WEXITSTATUS(raw_) : -1;
  result.out = Lines();
  result.err = Slurp(errPath_);
  return result;
}

CliResult RunCli(const std::vector<std::string>& arguments, const std::vector<EmulatedCamera*>& cameras,
                 const TempFolder& work, CliRunOptions options) {
  return CliProcess(arguments, cameras, work, std::move(options)).Finish();
}

}  // namespace bb::test
