#include "usb/cli_run.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>
#include <utility>

namespace bb::test {

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Between fork and exec only calls that are safe in a copy of a
// multi-threaded process.
[[noreturn]] void ExecChild(char* const* argv, const char* outPath, const char* errPath, const passwd* user,
                           int extraOpenFiles) {
  const int in = open("/dev/null", O_RDONLY);
  const int out = open(outPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = open(errPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
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
  execv(argv[0], argv);
  _exit(127);
}

}  // namespace

CliResult RunCli(const std::vector<std::string>& arguments, const std::vector<EmulatedCamera*>& cameras,
                 const TempFolder& work, CliRunOptions options) {
  std::vector<std::string> words{BURNBENCH_CLI_PATH};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  const std::string outPath = work.File("cli-stdout.txt");
  const std::string errPath = work.File("cli-stderr.txt");
  const passwd* nobody = options.asNobody && geteuid() == 0 ? getpwnam("nobody") : nullptr;

  std::mutex mutex;
  std::condition_variable changed;
  bool exited = false;
  bool wanted = false;
  for (EmulatedCamera* camera : cameras) {
    camera->OnNeedsService([&] {
      const std::lock_guard<std::mutex> lock(mutex);
      wanted = true;
      changed.notify_all();
    });
  }

  CliResult result;
  const pid_t child = fork();
  if (child == 0) ExecChild(argv.data(), outPath.c_str(), errPath.c_str(), nobody, options.extraOpenFiles);
  int raw = 0;
  std::thread waiter([&] {
    waitpid(child, &raw, 0);
    const std::lock_guard<std::mutex> lock(mutex);
    exited = true;
    changed.notify_all();
  });
  const auto deadline = std::chrono::steady_clock::now() + options.deadline;
  std::unique_lock<std::mutex> lock(mutex);
  while (!exited) {
    if (!changed.wait_until(lock, deadline, [&] { return exited || wanted; })) {
      result.hung = true;
      kill(child, SIGKILL);
      changed.wait(lock, [&] { return exited; });
      break;
    }
    wanted = false;
    lock.unlock();
    if (options.beforeFirstService) std::exchange(options.beforeFirstService, nullptr)();
    for (EmulatedCamera* camera : cameras) camera->Serve();
    lock.lock();
  }
  lock.unlock();
  waiter.join();
  for (EmulatedCamera* camera : cameras) camera->OnNeedsService(nullptr);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = Lines(Slurp(outPath));
  result.err = Slurp(errPath);
  return result;
}

}  // namespace bb::test
