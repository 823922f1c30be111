#include <utility>

#include "line_operator.h"
#include "simulated_line.h"

namespace bb::cli {

namespace {

// The simulated line as its operator works it. The operator plugs into empty
// ports only and takes away only what it plugged in, so the line's refusals
// (a port that holds a camera, a location that is no port) cannot come.
class LineOfCameras final : public SimulatedLine, public LinePorts {
 public:
  LineOfCameras(unsigned ports, std::function<void(const std::string&)> tellFired)
      : world_(ports, std::move(tellFired)) {}

  CameraWorld& World() override { return world_; }
  LinePorts& Ports() override { return *this; }

  void PlugIn(const std::string& location, const std::string& serial,
              const std::vector<FaultChoice>& faults) override {
    std::string error;
    world_.PlugIn(location, serial, faults, error);
  }
  void Unplug(const std::string& location) override { world_.Unplug(location); }
  void Restart(const std::string& location) override { world_.Restart(location); }
  void PowerDown(const std::string& location) override { world_.PowerDown(location); }
  void PowerUp(const std::string& location) override { world_.PowerUp(location); }

 private:
  SimulatedLineWorld world_;
};

}  // namespace

std::unique_ptr<SimulatedLine> MakeSimulatedLine(unsigned ports, std::function<void(const std::string&)> tellFired) {
  return std::make_unique<LineOfCameras>(ports, std::move(tellFired));
}

}  // namespace bb::cli
