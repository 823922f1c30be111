#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

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
};

// Runs burnbench-cli with the arguments as a separate process, which finds
// the emulated cameras through libusb; meanwhile this thread takes cameras
// off the bus and brings them back when they ask for it. Standard output and
// standard error go to files in `work`.
CliResult RunCli(const std::vector<std::string>& arguments, const std::vector<EmulatedCamera*>& cameras,
                 const TempFolder& work, CliRunOptions options = {});

}  // namespace bb::test
