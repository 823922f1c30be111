#include "app/run_recorder.h"

#include "burn/image_files.h"
#include "common/control_ids.h"
#include "config/read_settings.h"
#include "platform/record/header_facts.h"
#include "util/format.h"
#include "util/paths.h"

namespace bb {

namespace {

using Command = std::vector<std::string>;

// The longest value the Windows profile functions return.
constexpr std::size_t kLongestValue = 32767;

Command BurnCommand(const Command& ini, std::int32_t workKind) {
  Command command = ini;
  command.push_back("burn");
  if (workKind == kParamOnly) command.push_back("--param-only");
  if (workKind == kBurnVerify) command.push_back("--verify");
  return command;
}

// The radios as the command line names them; mode and media go together.
Command LegacyCommand(const Command& ini, Workbench& bench) {
  Controls& controls = bench.platform.controls;
  const std::int32_t code = bench.context.controllerCode;
  Command command = ini;
  command.insert(command.end(),
                 {"legacy", "--chip", code == kVexa611 ? "611" : code == kVexa616 ? "616" : "618"});
  const bool mask = controls.IsChecked(kMaskRadio);
  const bool nand = controls.IsChecked(kNandRadio);
  if (mask != controls.IsChecked(kNormalRadio) && nand != controls.IsChecked(kRomRadio)) {
    command.insert(command.end(), {"--mode", mask ? "mask" : "normal", "--media", nand ? "nand" : "rom"});
  }
  if (bench.context.legacyFirmwareConfirmed) command.push_back(bench.context.legacyFirmwarePath);
  return command;
}

}  // namespace

std::string RecordFileSetting(Profile& profile, const std::string& executableFolder) {
  const std::string value =
      profile.ReadString(ConfigPath(executableFolder), "Record", "File", "", kLongestValue);
  std::string path;
  if (value.empty() || ResolveImagePath(value, path, kMaxPath, executableFolder) != 0) return {};
  return path;
}

RunRecorder::RunRecorder(DeviceTransport& transport, ArrivalWatch& arrivals, std::string path,
                         record::MicrosecondClock now)
    : path_(std::move(path)),
      now_(std::move(now)),
      transport_(transport, *this, now_),
      arrivals_(arrivals, *this, now_) {}

void RunRecorder::Attach(Workbench& bench, std::string program) {
  bench_ = &bench;
  program_ = std::move(program);
}

void RunRecorder::BeginRun(RunTrigger trigger) {
  EndRun();
  std::lock_guard lock(mutex_);
  run_ = trigger;
  failed_ = false;
}

void RunRecorder::OnIdle() {
  if (bench_ != nullptr && !bench_->arrivals.Watching()) EndRun();
}

void RunRecorder::EndRun() {
  std::lock_guard lock(mutex_);
  if (writer_.IsOpen()) writer_.Close(std::nullopt);
  run_.reset();
}

void RunRecorder::Add(const record::Call& call) {
  std::lock_guard lock(mutex_);
  if (!run_ || failed_ || bench_ == nullptr) return;
  // A file that cannot be made, or that is the job's own input, leaves the
  // run unrecorded; the run goes on.
  if (!writer_.IsOpen()) {
    const record::RecordingHeader header = Header(*run_);
    if (!record::OverwrittenInput(path_, header, bench_->context.configPath).empty() ||
        !writer_.Open(path_, header, call.atUs)) {
      failed_ = true;
      return;
    }
  }
  writer_.Add(call);
}

record::RecordingHeader RunRecorder::Header(RunTrigger trigger) const {
  const Context& context = bench_->context;
  const BurnJob& job = bench_->window.job;
  const ProductVersion& version = context.productVersion;
  record::RecordingHeader header;
  header.program = Format("%s %u.%u.%u.%u", program_.c_str(), version.Major(), version.Minor(),
                          version.Build(), version.Revision());
  header.platform = record::PlatformName();
  header.started = record::UtcNow();
  const Command ini = {"--ini", context.configPath};
  const Command versions = {"--ini", ini[1], "versions"};
  const std::int32_t keyKind = bench_->platform.controls.IsChecked(kReadVerifyCheck) ? kBurnVerify : kBurn;
  switch (trigger) {
    case RunTrigger::kIspButton:
      header.commands = {context.controllerCode == kVexa2860 ? BurnCommand(ini, job.WorkKind)
                                                            : LegacyCommand(ini, *bench_)};
      break;
    case RunTrigger::kVersionButton:
      header.commands = {versions};
      break;
    case RunTrigger::kReadButton:
      header.commands = {{"--ini", ini[1], "read"}};
      break;
    case RunTrigger::kF5Key:
      header.commands = {versions, BurnCommand(ini, keyKind)};
      break;
    case RunTrigger::kF6Key:
      header.commands = {versions, {"--ini", ini[1], "read"}};
      break;
  }
  const std::string& command = header.commands.back()[2];
  if (command == "burn" || command == "read") {
    header.images = {record::HashImage("ParamFile", job.ParamFile),
                     record::HashImage("IspFile", job.IspFile), record::HashImage("FwFile", job.FwFile)};
  } else if (command == "legacy" && context.legacyFirmwareConfirmed) {
    header.images = {record::HashImage("Firmware", context.legacyFirmwarePath)};
  }
  return header;
}

}  // namespace bb
