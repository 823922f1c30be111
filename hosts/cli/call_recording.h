#pragma once

#include <cstdio>
#include <functional>

#include "cli_options.h"
#include "common/context.h"
#include "platform/camera_link.h"
#include "platform/profile.h"
#include "platform/record/recording_transport.h"
#include "platform/record/recording_writer.h"
#include "platform/virtual/virtual_clock.h"

namespace bb::cli {

// The time of recorded calls, as the run's timers see it: the simulated
// camera's virtual time; the machine's steady clock without --virtual-clock;
// and for a real or emulated camera under --virtual-clock, whose transfers
// and watchdog take real time while the tool's pauses take none, the two
// added, so that a watchdog that fired during a read fires in its replay too.
record::MicrosecondClock RecordingClock(VirtualClock* virtualClock, bool simulatedCamera);

// The camera of a recorded run: every call across its transport and arrival
// watch, and every arrival it hands to the session, goes into the file of
// --record.
class CallRecording final : public CameraLink {
 public:
  CallRecording(CameraLink& inner, record::MicrosecondClock now);

  // Creates the file with the header: the command line, this program and
  // platform, and the hashes of the job's image files. False, with the reason
  // on `err`, when the file cannot be created.
  bool Start(const Options& options, const Context& context, Profile& profile, std::FILE* err);
  // Writes the end record with the run's exit status; a recording that could
  // not be written whole is reported on `err`.
  void Finish(int exitStatus, std::FILE* err);

  DeviceTransport& Transport() override { return transport_; }
  ArrivalWatch& Arrivals() override { return arrivals_; }
  void OnArrival(ArrivalHandler handler) override;
  bool Idle() override { return inner_.Idle(); }

 private:
  CameraLink& inner_;
  record::MicrosecondClock now_;
  record::RecordingWriter writer_;
  record::RecordingTransport transport_;
  record::RecordingArrivalWatch arrivals_;
  std::string path_;
};

}  // namespace bb::cli
