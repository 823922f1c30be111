#include "cli_options.h"

#include <cctype>
#include <charconv>
#include <initializer_list>
#include <map>

#include "config/usb_ids.h"
#include "record_options.h"

namespace bb::cli {

namespace {

const std::map<std::string, std::size_t>& OperandCounts() {
  static const std::map<std::string, std::size_t> counts = {
      {"versions", 0}, {"burn", 0},    {"read", 1},   {"convert", 2}, {"export", 2},
      {"compare", 2},  {"config", 0},  {"legacy", 1}, {"devices", 0}, {"udev-rule", 0},
      {"pin", 0},      {"history", 0},  {"station", 0}, {"forward", 0}, {"line-setup", 0},
      {"replay", 1},   {"recording", 1},
  };
  return counts;
}

// Seconds of --wait: a whole number from 1 to a day.
std::optional<std::uint32_t> ParseSeconds(const std::string& text) {
  std::uint32_t seconds = 0;
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (text.empty() || problem != std::errc() || end != text.data() + text.size() || seconds == 0 ||
      seconds > 86400) {
    return std::nullopt;
  }
  return seconds;
}

// "[LOCATION:]NAME": a location of a simulated camera is its port number, and
// no fault name starts with a digit.
// "@K:NAME" aims the fault at the k-th camera of a simulated line.
std::optional<FaultChoice> ParseFault(const std::string& text, std::string& error) {
  FaultChoice choice;
  std::string name = text;
  const std::size_t colon = text.find(':');
  if (!text.empty() && text[0] == '@') {
    unsigned k = 0;
    const char* first = text.data() + 1;
    const char* last = text.data() + (colon == std::string::npos ? text.size() : colon);
    const auto [end, problem] = std::from_chars(first, last, k);
    if (colon == std::string::npos || problem != std::errc() || end != last || k == 0) {
      error = "--fault @K:NAME takes the number of a camera of the line from 1, not " + text;
      return std::nullopt;
    }
    choice.lineCamera = k;
    name = text.substr(colon + 1);
  } else if (colon != std::string::npos && colon > 0 && std::isdigit(static_cast<unsigned char>(text[0]))) {
    choice.location = text.substr(0, colon);
    name = text.substr(colon + 1);
  }
  const std::optional<sim::NamedFault> fault = sim::ParseNamedFault(name);
  if (!fault) {
    error = "unknown fault " + name;
    return std::nullopt;
  }
  choice.name = text;
  choice.fault = *fault;
  return choice;
}

// "LOCATION:SERIAL", the serial number empty for none.
std::optional<SerialChoice> ParseSerial(const std::string& text, std::string& error) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0) {
    error = "--serial takes LOCATION:SERIAL, not " + text;
    return std::nullopt;
  }
  return SerialChoice{text.substr(0, colon), text.substr(colon + 1)};
}

// A whole number from 1 to `most`.
std::optional<unsigned> ParseCount(const std::string& text, unsigned most) {
  unsigned count = 0;
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), count);
  if (text.empty() || problem != std::errc() || end != text.data() + text.size() || count == 0 ||
      count > most) {
    return std::nullopt;
  }
  return count;
}

bool IsCount(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// A libpq connection string: a URI, or key=value words.
bool LooksLikeConnection(const std::string& text) {
  return text.find("://") != std::string::npos || text.find('=') != std::string::npos;
}

// The line's database belongs to the commands that send to it or ask it.
bool CheckLineOptions(const Options& options, std::string& error) {
  const std::string& command = options.command;
  if (options.lineAsked && command != "station" && command != "forward" && command != "line-setup" &&
      command != "history") {
    error = "--line URI belongs to station, forward, line-setup and history";
    return false;
  }
  if (options.dbPath == "none" && options.lineAsked && command != "history" && command != "line-setup") {
    error = "--db none keeps no runs, so there are none to send to the line";
    return false;
  }
  if (!options.dbPath.empty() && command == "line-setup") {
    error = "--db does not belong to line-setup";
    return false;
  }
  return true;
}

// The options only a station takes, and what they need.
bool CheckStationOptions(const Options& options, std::string& error) {
  const bool station = options.command == "station";
  const bool stationOnly = options.operatorName || options.log || options.allowUnpinned || options.reburn ||
                           options.lineCameras != 0 || !options.lineSerials.empty() || options.timeScale != 0;
  if (stationOnly && !station) {
    error = "--operator, --log, --allow-unpinned, --reburn, --line, --line-serials and --time-scale belong to station";
    return false;
  }
  const bool serving = options.serve || !options.tokenPath.empty() || !options.tlsCert.empty();
  if (serving && !station) {
    error = "--serve, --token and --tls belong to station";
    return false;
  }
  if (serving && !options.serve) {
    error = "--token and --tls need --serve";
    return false;
  }
  if (options.serve && !options.serve->loopback && options.tokenPath.empty()) {
    error = "--serve on " + options.serve->host + ", which other machines reach, needs --token FILE";
    return false;
  }
  if (options.lineCameras != 0 && !options.simulate) {
    error = "--line needs --simulate";
    return false;
  }
  if (!options.lineSerials.empty() && options.lineCameras == 0) {
    error = "--line-serials needs --line";
    return false;
  }
  if (options.timeScale != 0 && options.virtualClock) {
    error = "--time-scale and --virtual-clock exclude each other";
    return false;
  }
  for (const FaultChoice& fault : options.faults) {
    if (fault.lineCamera > options.lineCameras) {
      error = "--fault " + fault.name + " aims at a camera the line does not have";
      return false;
    }
  }
  if (station && (options.all || !options.device.empty() || options.paramOnly)) {
    error = "station takes every camera at its slots: no --all, --device or --param-only";
    return false;
  }
  return true;
}

// "--simulate" may be followed by a count of cameras.
bool ParseCameraCount(const std::string& text, unsigned& count) {
  if (text.empty() || text.size() > 3) return false;
  for (const char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  count = static_cast<unsigned>(std::stoul(text));
  return true;
}

bool CheckCameraOptions(const Options& options, std::string& error) {
  const bool device = IsDeviceCommand(options.command);
  if (options.all && options.command != "burn" && options.command != "versions") {
    error = "--all belongs to burn and versions";
    return false;
  }
  if (options.all && !options.device.empty()) {
    error = "--all and --device exclude each other";
    return false;
  }
  if (!options.device.empty() && !device) {
    error = "--device belongs to the commands that talk to cameras";
    return false;
  }
  if (!options.reportPath.empty() && (!device || options.command == "devices") && options.command != "station") {
    error = "--report belongs to versions, burn, read, legacy and station";
    return false;
  }
  const bool recordsCommand = options.command == "history" || options.command == "forward";
  if (!options.dbPath.empty() && ((!device && !recordsCommand) || options.command == "devices")) {
    error = "--db belongs to versions, burn, read, legacy, station, history and forward";
    return false;
  }
  if (options.simulatedCameras == 0 || options.simulatedCameras > kMaxSimulatedCameras) {
    error = "--simulate attaches 1 to " + std::to_string(kMaxSimulatedCameras) + " cameras";
    return false;
  }
  return true;
}

bool OneOf(const std::string& value, std::initializer_list<const char*> allowed) {
  for (const char* candidate : allowed) {
    if (value == candidate) return true;
  }
  return false;
}

bool CheckLegacyOptions(const Options& options, std::string& error) {
  const bool legacy = options.command == "legacy";
  if (!legacy) {
    if (options.chip.empty() && options.mode.empty() && options.media.empty()) return true;
    error = "--chip, --mode and --media belong to legacy";
    return false;
  }
  if (!OneOf(options.chip, {"611", "616", "618"})) {
    error = options.chip.empty() ? "legacy needs --chip" : "unknown chip " + options.chip;
    return false;
  }
  if (options.mode.empty() != options.media.empty()) {
    error = "--mode and --media go together";
    return false;
  }
  if (!options.mode.empty() && !OneOf(options.mode, {"mask", "normal"})) {
    error = "unknown mode " + options.mode;
    return false;
  }
  if (!options.media.empty() && !OneOf(options.media, {"nand", "rom"})) {
    error = "unknown media " + options.media;
    return false;
  }
  return true;
}

}  // namespace

const char* UsageText() {
  return "Usage: burnbench-cli [options] COMMAND [operands]\n"
         "\n"
         "Commands:\n"
         "  versions             check the camera's versions\n"
         "  burn                 burn the job of Isp.ini (as the window's Silent Mode does)\n"
         "  read DIR             read the firmware back and export its resources into DIR\n"
         "  convert RAW BRN      convert a raw image read from a camera into a BRN file\n"
         "  export BRN DIR       export the entries of a BRN file into DIR\n"
         "  compare FILE1 FILE2  exit 0 when FILE1 equals the start of FILE2, 1 when not\n"
         "  config               print the settings and the job as read from Isp.ini\n"
         "  pin                  write the SHA-256 of the job's three images into Isp.ini\n"
         "  history              list the recorded runs, newest first (see History below)\n"
         "  devices              list the attached cameras: location, interface path, stage\n"
         "  legacy FIRMWARE      download the ISP core and FIRMWARE to a VEXA611, VEXA616 or\n"
         "                       VEXA618 camera\n"
         "  udev-rule            print the udev rule that lets the logged-in user open the\n"
         "                       configured cameras (Linux)\n"
         "  recording FILE       print a recording: its header, and each call with its time,\n"
         "                       what was asked and what came back\n"
         "  station              burn every camera plugged into the station's slots, each\n"
         "                       once, until Ctrl-C (or a simulated line is done)\n"
         "  forward              send the runs waiting for the line's database, and exit\n"
         "                       (Linux)\n"
         "  line-setup           create or migrate the table of the line's database (for its\n"
         "                       owner; Linux)\n"
         "  replay FILE [OPERAND]\n"
         "                       run the command recorded in FILE again, the camera answering\n"
         "                       from the recording; OPERAND stands for the recorded folder of\n"
         "                       a read or firmware of a legacy download\n"
         "\n"
         "Options:\n"
         "  --ini PATH           the configuration file (default: Isp.ini beside the program;\n"
         "                       installed on Linux, the first of ./Isp.ini,\n"
         "                       ~/.config/burnbench/Isp.ini and /etc/burnbench/Isp.ini)\n"
         "  --verify             burn, station: read the image back and compare it with the\n"
         "                       file\n"
         "  --param-only         burn: download the parameter file only\n"
         "  --chip 611|616|618   legacy: the camera's controller\n"
         "  --mode mask|normal   legacy: the mode radio; with --media it chooses the ISP core\n"
         "  --media nand|rom     legacy: the media radio\n"
         "  --usb-id VID:PID     a camera's USB id in hexadecimal, in place of [Usb] Ids;\n"
         "                       repeat it for several (Linux, macOS)\n"
         "  --yes                answer every question of the tool with yes\n"
         "  --device LOCATION    use only the camera at LOCATION (see devices)\n"
         "  --all                burn, versions: every attached camera at once\n"
         "  --report FILE        append a JSON line for each run and camera to FILE\n"
         "  --db PATH|none       the database that records every run (default: [Records]\n"
         "                       Database, or burnbench.db beside Isp.ini); none for none\n"
         "  --simulate [N]       use N built-in simulated cameras (default 1) instead of USB\n"
         "  --fault [LOCATION:]NAME\n"
         "                       with --simulate, repeatable, for the camera at LOCATION\n"
         "                       or for all: absent, busy, no-storage, write-timeout,\n"
         "                       verify-mismatch, storage-write-fails, stalled-read,\n"
         "                       never-returns (or no-return); request:CODE:N and\n"
         "                       request:CODE/VALUE:N (the Nth such request fails),\n"
         "                       write-fails:N, write-short:N, read-fails:N, read-short:N,\n"
         "                       read-stalls:N (the Nth bulk transfer),\n"
         "                       pipe-open:PIPE00:N, pipe-open:PIPE01:N; numbers decimal\n"
         "                       or 0x hexadecimal; counted on each camera by itself;\n"
         "                       each fault that fires is named on standard error;\n"
         "                       @K:NAME aims it at the K-th camera of a simulated line\n"
         "  --serial LOCATION:SERIAL\n"
         "                       with --simulate, repeatable: the USB serial number of the\n"
         "                       camera at LOCATION (default SIM and its location in four\n"
         "                       digits); none when SERIAL is empty\n"
         "  --operator NAME      station: who runs it, for the run reports\n"
         "  --log                station: print every run's log lines, by slot\n"
         "  --allow-unpinned     station: burn images that Isp.ini does not pin\n"
         "  --reburn             station: burn a camera that passed the job before too\n"
         "  --line COUNT         station with --simulate N: a simulated operator plugs COUNT\n"
         "                       cameras into the N slots, one after the other\n"
         "  --line URI           station, forward, line-setup, history: the line's PostgreSQL\n"
         "                       database (a libpq connection string, no password in it) in\n"
         "                       place of [Line] Database; history --line asks it (Linux)\n"
         "  --line-serials PREFIX\n"
         "                       the line's cameras' serial numbers: PREFIX and a number\n"
         "                       (default a prefix of the process's own)\n"
         "  --time-scale N       station: its time runs N times faster than real time\n"
         "  --serve [ADDRESS:]PORT\n"
         "                       station: serve its page, event stream and JSON API over\n"
         "                       HTTP (default address 127.0.0.1; port 0: a free one)\n"
         "  --token FILE         station --serve: every request must give the text in FILE\n"
         "                       as its password (needed on an address other machines reach)\n"
         "  --tls CERT KEY       station --serve: HTTPS with this certificate and key (PEM)\n"
         "  --wait SECONDS       how long a run waits for the camera to come back after its\n"
         "                       restart before it gives up (default 120)\n"
         "  --virtual-clock      the tool's waits take no real time (for simulated and\n"
         "                       emulated cameras: a real camera needs them)\n"
         "  --record FILE        versions, burn, read, legacy: record every call to the camera\n"
         "                       into FILE (replay takes only --ini and --yes)\n"
         "  --help               show this text\n"
         "  --version            show the product version\n"
         "\n"
         "History options (history lists the runs as a table unless --json or --csv):\n"
         "  --serial S           the runs of the camera with serial number S (any case)\n"
         "  --slot L             the runs at slot L\n"
         "  --since WHEN         the runs started at or after WHEN: YYYY-MM-DD, \"YYYY-MM-DD\n"
         "                       HH:MM[:SS]\", today or yesterday, in local time\n"
         "  --until WHEN         the runs started before WHEN (a day: before its end)\n"
         "  --result ok|failed   the runs with that result\n"
         "  --firmware SHA256    the runs that sent the firmware image with that SHA-256\n"
         "  --limit N            the newest N runs only\n"
         "  --json               every run as a JSON line, with its log\n"
         "  --csv                the runs as CSV with a header, for spreadsheets\n"
         "  --run ID             one run, with its whole log (ID or its start)\n"
         "  --import FILE        take in the runs of a JSON-lines report, each once\n"
         "  --station NAME       with --line: the runs of station NAME\n"
         "  --summary            with --line: passed, failed and cameras per hour per station\n"
         "                       and slot over the span asked for\n"
         "\n"
         "Log lines go to standard output; status texts, message boxes and progress to\n"
         "standard error. Ctrl-C ends a run with a camera when the camera is safe; a\n"
         "second Ctrl-C quits at once. Exit status: 0 success, 1 the operation failed,\n"
         "2 the command line or a file cannot be used, 130 Ctrl-C ended the run.\n";
}

bool IsDeviceCommand(const std::string& command) {
  return command == "versions" || command == "burn" || command == "read" || command == "legacy" ||
         command == "devices" || command == "station";
}

std::optional<Options> ParseOptions(const std::vector<std::string>& arguments, std::string& error) {
  Options options;
  std::vector<std::string> serialTexts;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--record") {
      if (i + 1 >= arguments.size()) {
        error = "--record needs a value";
        return std::nullopt;
      }
      options.recordPath = arguments[++i];
      continue;
    }
    options.arguments.push_back(argument);
    auto value = [&](const char* name) -> std::optional<std::string> {
      if (i + 1 >= arguments.size()) {
        error = std::string(name) + " needs a value";
        return std::nullopt;
      }
      options.arguments.push_back(arguments[++i]);
      return arguments[i];
    };
    if (argument == "--help") {
      options.help = true;
    } else if (argument == "--version") {
      options.version = true;
    } else if (argument == "--simulate") {
      options.simulate = true;
      if (i + 1 < arguments.size() && ParseCameraCount(arguments[i + 1], options.simulatedCameras)) {
        options.arguments.push_back(arguments[++i]);
      }
    } else if (argument == "--all") {
      options.all = true;
    } else if (argument == "--device" || argument == "--report") {
      const std::optional<std::string> given = value(argument.c_str());
      if (!given) return std::nullopt;
      if (given->empty()) {
        error = argument + " needs a value";
        return std::nullopt;
      }
      (argument == "--device" ? options.device : options.reportPath) = *given;
    } else if (argument == "--virtual-clock") {
      options.virtualClock = true;
    } else if (argument == "--yes") {
      options.yes = true;
    } else if (argument == "--verify") {
      options.verify = true;
    } else if (argument == "--param-only") {
      options.paramOnly = true;
    } else if (argument == "--ini") {
      const std::optional<std::string> path = value("--ini");
      if (!path) return std::nullopt;
      options.iniPath = *path;
    } else if (argument == "--chip" || argument == "--mode" || argument == "--media") {
      const std::optional<std::string> given = value(argument.c_str());
      if (!given) return std::nullopt;
      if (argument == "--chip") options.chip = *given;
      else if (argument == "--mode") options.mode = *given;
      else options.media = *given;
    } else if (argument == "--usb-id") {
      const std::optional<std::string> text = value("--usb-id");
      if (!text) return std::nullopt;
      const std::optional<UsbId> id = ParseUsbId(*text);
      if (!id) {
        error = "--usb-id takes a hexadecimal VID:PID, not " + *text;
        return std::nullopt;
      }
      options.usbIds.push_back(*id);
    } else if (argument == "--fault") {
      const std::optional<std::string> text = value("--fault");
      if (!text) return std::nullopt;
      const std::optional<FaultChoice> fault = ParseFault(*text, error);
      if (!fault) return std::nullopt;
      options.faults.push_back(*fault);
    } else if (argument == "--serial") {
      // A simulated camera's serial number, or history's filter: the command decides.
      const std::optional<std::string> text = value("--serial");
      if (!text) return std::nullopt;
      serialTexts.push_back(*text);
    } else if (argument == "--db") {
      const std::optional<std::string> path = value("--db");
      if (!path) return std::nullopt;
      if (path->empty()) {
        error = "--db needs a value";
        return std::nullopt;
      }
      options.dbPath = *path;
    } else if (argument == "--log") {
      options.log = true;
    } else if (argument == "--allow-unpinned") {
      options.allowUnpinned = true;
    } else if (argument == "--reburn") {
      options.reburn = true;
    } else if (argument == "--operator" || argument == "--line-serials") {
      const std::optional<std::string> given = value(argument.c_str());
      if (!given) return std::nullopt;
      if (given->empty()) {
        error = argument + " needs a value";
        return std::nullopt;
      }
      if (argument == "--operator") options.operatorName = *given;
      else options.lineSerials = *given;
    } else if (argument == "--line" && (i + 1 >= arguments.size() || !IsCount(arguments[i + 1]))) {
      // A count is the simulated line's; a connection string, or nothing, the line's database.
      if (i + 1 < arguments.size() && LooksLikeConnection(arguments[i + 1])) {
        options.lineDatabase = arguments[++i];
        options.arguments.push_back(options.lineDatabase);
      }
      options.lineAsked = true;
    } else if (argument == "--line" || argument == "--time-scale") {
      const std::optional<std::string> text = value(argument.c_str());
      if (!text) return std::nullopt;
      const bool line = argument == "--line";
      const std::optional<unsigned> count = ParseCount(*text, line ? 1000000 : 1000);
      if (!count) {
        error = argument + (line ? " takes a count of cameras from 1 to 1000000, not "
                                 : " takes a whole factor from 1 to 1000, not ") + *text;
        return std::nullopt;
      }
      (line ? options.lineCameras : options.timeScale) = *count;
    } else if (argument == "--serve") {
      const std::optional<std::string> text = value("--serve");
      if (!text) return std::nullopt;
      options.serve = ParseServeAddress(*text, error);
      if (!options.serve) return std::nullopt;
    } else if (argument == "--token") {
      const std::optional<std::string> path = value("--token");
      if (!path) return std::nullopt;
      if (path->empty()) {
        error = "--token needs a value";
        return std::nullopt;
      }
      options.tokenPath = *path;
    } else if (argument == "--tls") {
      const std::optional<std::string> cert = value("--tls");
      if (!cert) return std::nullopt;
      const std::optional<std::string> key = value("--tls");
      if (!key) return std::nullopt;
      if (cert->empty() || key->empty()) {
        error = "--tls takes CERT KEY";
        return std::nullopt;
      }
      options.tlsCert = *cert;
      options.tlsKey = *key;
    } else if (argument == "--wait") {
      const std::optional<std::string> text = value("--wait");
      if (!text) return std::nullopt;
      const std::optional<std::uint32_t> seconds = ParseSeconds(*text);
      if (!seconds) {
        error = "--wait takes whole seconds from 1 to 86400, not " + *text;
        return std::nullopt;
      }
      options.waitSeconds = *seconds;
    } else if (TakeHistoryOption(arguments, i, options.history, error)) {
      continue;
    } else if (!error.empty()) {
      return std::nullopt;
    } else if (argument.size() > 1 && argument[0] == '-') {
      error = "unknown option " + argument;
      return std::nullopt;
    } else if (options.command.empty()) {
      options.command = argument;
    } else {
      options.operands.push_back(argument);
    }
  }
  if (options.help || options.version) return options;
  if (options.command == "history" && !serialTexts.empty()) {
    if (serialTexts.size() > 1) {
      error = "history takes one --serial";
      return std::nullopt;
    }
    options.history.serial = serialTexts[0];
  } else {
    for (const std::string& text : serialTexts) {
      const std::optional<SerialChoice> serial = ParseSerial(text, error);
      if (!serial) return std::nullopt;
      options.serials.push_back(*serial);
    }
  }
  auto count = OperandCounts().find(options.command);
  if (count == OperandCounts().end()) {
    error = options.command.empty() ? "no command given" : "unknown command " + options.command;
    return std::nullopt;
  }
  if (options.operands.size() != count->second && !ReplayWithOperand(options)) {
    error = options.command + " takes " + std::to_string(count->second) + " operand(s)";
    return std::nullopt;
  }
  if ((options.verify && options.command != "burn" && options.command != "station") ||
      (options.paramOnly && options.command != "burn")) {
    error = "--verify belongs to burn and station, --param-only to burn";
    return std::nullopt;
  }
  if (!CheckLegacyOptions(options, error)) return std::nullopt;
  if (!CheckStationOptions(options, error)) return std::nullopt;
  if (!CheckHistoryOptions(options.command, options.history, options.lineAsked, error)) return std::nullopt;
  if (!CheckLineOptions(options, error)) return std::nullopt;
  if (!CheckCameraOptions(options, error)) return std::nullopt;
  if (!CheckRecordOptions(options, error)) return std::nullopt;
  if (!options.faults.empty() && !options.simulate) {
    error = "--fault needs --simulate";
    return std::nullopt;
  }
  if (!options.serials.empty() && !options.simulate) {
    error = "--serial needs --simulate";
    return std::nullopt;
  }
  return options;
}

}  // namespace bb::cli
