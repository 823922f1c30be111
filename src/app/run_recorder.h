#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "app/workbench.h"
#include "platform/profile.h"
#include "platform/record/recording_transport.h"
#include "platform/record/recording_writer.h"

namespace bb {

// What starts a run of the window.
enum class RunTrigger { kIspButton, kVersionButton, kReadButton, kF5Key, kF6Key };

// The recording file that [Record] File= of Isp.ini names, resolved as image
// paths are; empty when the key is missing or empty.
std::string RecordFileSetting(Profile& profile, const std::string& executableFolder);

// Records each run of the window into one file, so that a technician can send
// the recording of a run that failed. The file holds the last run: each run
// replaces it. A run starts with its trigger; its file is made when the run
// first reaches the camera (by then the run knows what it does), and finished
// when the window goes idle without waiting for the camera. Calls outside a run
// are not recorded.
//
// Its header names each run as the command line of burnbench-cli that makes
// the same calls, so that the command-line program replays it anywhere: the
// buttons as burn, versions, read or legacy, the F5 and F6 keys (which check
// the versions first) as versions followed by burn or read. A read-back's
// folder and a legacy download's firmware are chosen after the run has
// reached the camera and are left out; the replay is given them.
class RunRecorder final : public record::CallSink {
 public:
  RunRecorder(DeviceTransport& transport, ArrivalWatch& arrivals, std::string path,
              record::MicrosecondClock now);
  RunRecorder(const RunRecorder&) = delete;
  RunRecorder& operator=(const RunRecorder&) = delete;

  DeviceTransport& Transport() { return transport_; }
  ArrivalWatch& Arrivals() { return arrivals_; }

  // The core whose runs are recorded. `program` names the window's program.
  void Attach(Workbench& bench, std::string program);

  void BeginRun(RunTrigger trigger);
  // A device change that the window hands to its sequencer.
  void DeviceChange(std::uint32_t event, const DeviceArrival& arrival) {
    arrivals_.RecordDeviceChange(event, arrival);
  }
  // The window has nothing to do: a run that does not wait for the camera is over.
  void OnIdle();
  // The run is over (the window closes, or another run starts).
  void EndRun();

  // Any thread: the watchdog cancels a stalled read from its timer's.
  void Add(const record::Call& call) override;

 private:
  record::RecordingHeader Header(RunTrigger trigger) const;

  std::string path_;
  record::MicrosecondClock now_;
  record::RecordingWriter writer_;
  record::RecordingTransport transport_;
  record::RecordingArrivalWatch arrivals_;
  Workbench* bench_ = nullptr;
  std::string program_;
  std::mutex mutex_;
  std::optional<RunTrigger> run_;
  bool failed_ = false;
};

}  // namespace bb
