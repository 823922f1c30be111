#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cli_options.h"
#include "platform/camera_link.h"
#include "platform/shared_time.h"
#include "station/station_feed.h"

namespace bb::cli {

// The ports of a simulated line, as its operator handles the cameras.
class LinePorts {
 public:
  virtual ~LinePorts() = default;
  // A new camera with this serial and these faults, aimed at it alone.
  virtual void PlugIn(const std::string& location, const std::string& serial,
                      const std::vector<FaultChoice>& faults) = 0;
  // The camera is taken away for good.
  virtual void Unplug(const std::string& location) = 0;
  // The camera restarts by itself, as some do after their burn.
  virtual void Restart(const std::string& location) = 0;
  // The camera loses its power and gets it back.
  virtual void PowerDown(const std::string& location) = 0;
  virtual void PowerUp(const std::string& location) = 0;
};

// A simulated line: the world its cameras are found in and the ports its
// operator works, at locations "1" to the count of ports.
class SimulatedLine {
 public:
  virtual ~SimulatedLine() = default;
  virtual CameraWorld& World() = 0;
  virtual LinePorts& Ports() = 0;
};

// Each fault that fires is told, as a line "fault fired: NAME", to `tellFired`.
std::unique_ptr<SimulatedLine> MakeSimulatedLine(unsigned ports, std::function<void(const std::string&)> tellFired);

struct LinePlan {
  // Locations of the line's ports.
  std::vector<std::string> ports;
  unsigned cameras = 0;
  std::string serialPrefix;
  // How long a port stands empty before the next camera goes in.
  std::uint32_t emptyMs = 3000;
  std::vector<FaultChoice> faults;
};

// The serial of the k-th camera of a line (from 1).
std::string LineSerial(const std::string& prefix, unsigned k);
// A prefix of this process's own, so that two lines never share a serial.
std::string ProcessSerialPrefix();
// How long after its result shows the line's operator takes the k-th camera
// (from 1) away: two seconds, a second or two more for the cameras that
// restart, power down and up, or are pulled and pushed back after their burn.
std::uint64_t TakenAwayAfterMs(unsigned camera);

// A simulated operator at a station: plugs the line's cameras one after the
// other into every port that has stood empty long enough, and takes each away
// a few seconds after its result shows. Some cameras show what real ones do
// after their burn: every tenth from the third restarts by itself, from the
// sixth powers down and up, from the ninth is pulled and pushed back at once;
// none of them may be burned again. Watches the station's feed for results.
class LineOperator final : public StationListener {
 public:
  LineOperator(LinePlan plan, LinePorts& ports, SharedTime& time);

  // Works the line on the calling thread, which takes part in the time, until
  // every camera has run and been taken away, or until Stop.
  void Run();
  // The operator leaves the line as it stands: Run returns.
  void Stop();
  bool Done();

  void OnSnapshot(const StationSnapshot& snapshot, std::uint64_t sequence) override;
  void OnEvent(const StationEvent& event) override;

 private:
  enum class Act { kUnplug, kRestart, kPowerDown, kPowerUp, kPlugAgain };
  struct Step {
    std::uint64_t dueMs;
    Act act;
  };
  struct Port {
    std::string location;
    unsigned camera = 0;  // 0: empty
    std::string serial;
    std::uint64_t emptySinceMs = 0;
    std::uint64_t pluggedMs = 0;
    bool ran = false;
    bool resulted = false;
    std::vector<Step> steps;
  };

  void Seen(const SlotView& view);
  void PlanAfterResult(Port& port, std::uint64_t now);
  // `last`: the camera's last step, after which its port is free.
  void Do(Port& port, Act act, bool last, std::uint64_t now);
  std::vector<FaultChoice> FaultsFor(unsigned camera, const std::string& location) const;
  std::uint64_t NextDue() const;

  LinePlan plan_;
  LinePorts& ports_;
  SharedTime& time_;
  std::mutex mutex_;
  std::vector<Port> slots_;
  unsigned plugged_ = 0;
  unsigned finished_ = 0;
  bool stopped_ = false;
  bool changed_ = false;
};

}  // namespace bb::cli
