#include "call_recording.h"

#include <atomic>
#include <memory>

#include "app/sequencer.h"
#include "job_images.h"
#include "platform/record/header_facts.h"
#include "util/format.h"

namespace bb::cli {

record::MicrosecondClock RecordingClock(VirtualClock* virtualClock, bool simulatedCamera) {
  if (virtualClock == nullptr) return record::SteadyMicroseconds();
  if (simulatedCamera) return [virtualClock] { return virtualClock->NowMs() * 1000; };
  // The watchdog's cancel is recorded on its own thread, so the virtual time
  // reaches it through an atomic copy.
  auto virtualMs = std::make_shared<std::atomic<std::uint64_t>>(virtualClock->NowMs());
  virtualClock->OnAdvance([virtualMs](std::uint64_t nowMs) { virtualMs->store(nowMs); });
  record::MicrosecondClock steady = record::SteadyMicroseconds();
  return [virtualMs, steady, start = steady()] { return virtualMs->load() * 1000 + (steady() - start); };
}

CallRecording::CallRecording(CameraLink& inner, record::MicrosecondClock now)
    : inner_(inner),
      now_(std::move(now)),
      transport_(inner.Transport(), writer_, now_),
      arrivals_(inner.Arrivals(), writer_, now_) {}

bool CallRecording::Start(const Options& options, const Context& context, Profile& profile,
                          std::FILE* err) {
  record::RecordingHeader header;
  const ProductVersion& version = context.productVersion;
  header.program = Format("burnbench-cli %u.%u.%u.%u", version.Major(), version.Minor(),
                          version.Build(), version.Revision());
  header.platform = record::PlatformName();
  header.started = record::UtcNow();
  header.commands.push_back(options.arguments);
  header.images = JobImages(options, profile, context);
  path_ = options.recordPath;
  const std::string input = record::OverwrittenInput(path_, header, context.configPath);
  if (!input.empty()) {
    std::fprintf(err, "burnbench-cli: the recording %s would overwrite %s\n", path_.c_str(), input.c_str());
    return false;
  }
  if (!writer_.Open(path_, header, now_())) {
    std::fprintf(err, "burnbench-cli: cannot create the recording %s\n", path_.c_str());
    return false;
  }
  return true;
}

void CallRecording::Finish(int exitStatus, std::FILE* err) {
  const bool written = writer_.Close(exitStatus);
  const std::string incomplete = writer_.Incomplete();
  if (!incomplete.empty()) {
    std::fprintf(err, "burnbench-cli: the recording %s is incomplete: %s\n", path_.c_str(), incomplete.c_str());
  } else if (!written) {
    std::fprintf(err, "burnbench-cli: the recording %s could not be written whole\n", path_.c_str());
  }
}

void CallRecording::OnArrival(ArrivalHandler handler) {
  inner_.OnArrival([this, handler = std::move(handler)](const DeviceArrival& arrival) {
    arrivals_.RecordDeviceChange(Sequencer::kDeviceArrival, arrival);
    handler(arrival);
  });
}

}  // namespace bb::cli
