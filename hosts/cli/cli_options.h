#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/usb_id.h"

namespace bb::cli {

// Faults the built-in simulated camera can show for demonstrations.
enum class DemoFault { kNone, kAbsent, kBusy, kNoStorage, kWriteTimeout, kVerifyMismatch, kNoReturn,
                       kStalledRead };

// A fault for the simulated camera at `location`, or for every one when the
// location is empty.
struct FaultChoice {
  std::string location;
  DemoFault fault = DemoFault::kNone;
};

// The most simulated cameras one program attaches.
inline constexpr unsigned kMaxSimulatedCameras = 64;

struct Options {
  std::string command;
  std::vector<std::string> operands;
  std::string iniPath;  // empty: Isp.ini beside the executable
  bool simulate = false;
  unsigned simulatedCameras = 1;
  std::vector<FaultChoice> faults;
  // The camera to use (empty: the one attached), or every camera.
  std::string device;
  bool all = false;
  std::string reportPath;
  bool virtualClock = false;
  // --usb-id, in the order given: replaces [Usb] Ids.
  std::vector<UsbId> usbIds;
  bool yes = false;
  bool verify = false;
  bool paramOnly = false;
  // legacy: the controller (611, 616 or 618) and the checked mode and media
  // radios; mode and media are empty when not given.
  std::string chip;
  std::string mode;
  std::string media;
  // --record: the file that receives every call to the camera.
  std::string recordPath;
  // The command line as given, without --record and its file: what a replay
  // of the recording runs again.
  std::vector<std::string> arguments;
  bool help = false;
  bool version = false;
};

// Options may stand before or after the command. Returns nullopt with the
// reason in `error` when the command line cannot be used.
std::optional<Options> ParseOptions(const std::vector<std::string>& arguments, std::string& error);

// The commands that talk to cameras.
bool IsDeviceCommand(const std::string& command);

const char* UsageText();

}  // namespace bb::cli
