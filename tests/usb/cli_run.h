#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

#include "support/temp_folder.h"
#include "usb/emulated_camera.h"

namespace bb::test {

struct CliResult {
  int status = -1;
  std::vector<std::string> out;
  std::string err;
  bool hung = false;
};

struct CliRunOptions {
  // Runs the program as the user nobody (when the test runs as root), so
  // that the device node's permissions hold for it.
  bool asNobody = false;
  // A run that has not ended by then has hung: it is killed and says so.
  std::chrono::seconds deadline{120};
  // Runs on this thread the first time a camera is to leave the bus or come
  // back (its restart after the firmware), before it does: the moment for
  // another program to try a camera that this one holds.
  std::function<void()> beforeFirstService;
  // Files the program starts with beyond its standard streams. umockdev names
  // a program's socket for device events by its file number, so two programs
  // that run at once on one testbed must not open it under the same number.
  int extraOpenFiles = 0;
  // Set in the program's environment besides this process's own, as NAME=value.
  std::vector<std::string> environment;
};

// burnbench-cli with the arguments as a separate process, which finds the
// emulated cameras through libusb. Whenever this thread waits on it, it takes
// the cameras off the bus and brings them back when they ask for it, and sees
// the lines of standard output as they come; standard error goes to a file in
// `work`. A program still running when this goes is killed.
class CliProcess {
 public:
  CliProcess(const std::vector<std::string>& arguments, std::vector<EmulatedCamera*> cameras,
             const TempFolder& work, CliRunOptions options = {});
  ~CliProcess();
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;

  // Waits until standard output holds `count` lines: false when the program
  // ended first or the deadline passed.
  bool WaitForLines(std::size_t count);
  std::vector<std::string> Lines();
  // Ctrl-C, as a terminal sends it.
  void Interrupt();
  // Waits for the program to end; at the deadline it is killed as hung.
  CliResult Finish();

 private:
  // Waits until `done` holds, the program ended or the deadline passed,
  // serving the cameras meanwhile; true when `done` holds.
  bool ServeUntil(std::unique_lock<std::mutex>& lock, const std::function<bool()>& done);
  void ReadOutput(int pipe);
  // Once it ended: its threads joined, its exit status taken.
  void Reap();

  std::vector<EmulatedCamera*> cameras_;
  CliRunOptions options_;
  std::string errPath_;
  std::chrono::steady_clock::time_point deadline_;
  pid_t child_ = -1;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool exited_ = false;
  bool outputClosed_ = false;
  bool wanted_ = false;
  int raw_ = 0;
  std::vector<std::string> lines_;
  std::thread waiter_;
  std::thread reader_;
};

// Runs burnbench-cli with the arguments to its end, as CliProcess does.
CliResult RunCli(const std::vector<std::string>& arguments, const std::vector<EmulatedCamera*>& cameras,
                 const TempFolder& work, CliRunOptions options = {});

}  // namespace bb::test
