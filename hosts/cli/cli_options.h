#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "history_options.h"
#include "platform/usb_id.h"
#include "serve_address.h"
#include "sim/named_fault.h"

namespace bb::cli {

// A fault for the built-in simulated camera at `location`, or for every one
// when the location is empty, and its name as given (location included).
struct FaultChoice {
  std::string name;
  std::string location;
  sim::NamedFault fault;
  // For a simulated line: the k-th camera the operator plugs in (from 1)
  // alone; 0 for none.
  unsigned lineCamera = 0;
};

// The USB serial number of the built-in simulated camera at `location`; none
// when empty.
struct SerialChoice {
  std::string location;
  std::string serial;
};

// The most simulated cameras one program attaches.
inline constexpr unsigned kMaxSimulatedCameras = 64;

// How long a run waits for a camera to come back after its restart, unless
// --wait says otherwise.
inline constexpr std::uint32_t kDefaultWaitSeconds = 120;

struct Options {
  std::string command;
  std::vector<std::string> operands;
  std::string iniPath;  // empty: Isp.ini beside the executable
  bool simulate = false;
  unsigned simulatedCameras = 1;
  std::vector<FaultChoice> faults;
  std::vector<SerialChoice> serials;
  // The camera to use (empty: the one attached), or every camera.
  std::string device;
  bool all = false;
  std::string reportPath;
  // --db: the database of runs in place of [Records] Database; "none" for none.
  std::string dbPath;
  HistoryOptions history;
  bool virtualClock = false;
  std::uint32_t waitSeconds = kDefaultWaitSeconds;
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
  // station: who runs it, each run's log lines too, burning files without
  // their pins, a simulated line of this many cameras with serials of this
  // prefix, and real time this many times faster (0: not scaled).
  std::optional<std::string> operatorName;
  bool log = false;
  bool allowUnpinned = false;
  // A station burns a camera that its records say passed the job before.
  bool reburn = false;
  unsigned lineCameras = 0;
  std::string lineSerials;
  // --line URI: the line's database in place of [Line] Database; --line
  // alone (history) asks the line's database.
  std::string lineDatabase;
  bool lineAsked = false;
  unsigned timeScale = 0;
  // station --serve: where the station's page is served; the file that holds
  // the password every request must give; the certificate and key of HTTPS.
  std::optional<ServeAddress> serve;
  std::string tokenPath;
  std::string tlsCert;
  std::string tlsKey;
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
