#include "usb/camera_intake.h"

#include "sim/fresh_camera.h"
#include "util/format.h"

namespace bb::test {

std::vector<std::string> DescribeRequests(const std::vector<sim::SimRequest>& requests) {
  std::vector<std::string> lines;
  for (const sim::SimRequest& request : requests) {
    std::string line = Format("%02x value=%04x index=%04x length=%u %s", request.bRequest, request.wValue,
                              request.wIndex, request.wLength, request.direction == 1 ? "in" : "out");
    for (const std::uint8_t byte : request.data) line += Format(" %02x", byte);
    lines.push_back(line);
  }
  return lines;
}

CameraIntake IntakeOf(const std::vector<sim::SimRequest>& requests, const std::vector<std::uint32_t>& bulkOutSizes,
                      const sim::SimCamera& camera) {
  return CameraIntake{DescribeRequests(requests), bulkOutSizes, camera.ram, camera.storage};
}

void PrintTo(const CameraIntake& intake, std::ostream* out) {
  *out << "\n";
  for (const std::string& request : intake.requests) *out << "  request " << request << "\n";
  *out << "  bulk-out";
  for (const std::uint32_t size : intake.bulkOutSizes) *out << " " << size;
  for (const auto* memory : {&intake.ram, &intake.storage}) {
    *out << (memory == &intake.ram ? "\n  ram" : "\n  storage");
    for (const auto& [address, bytes] : *memory) *out << Format(" 0x%x:%zu", address, bytes.size());
  }
  *out << "\n";
}

CameraIntake ReferenceIntake(const std::string& folder, bool legacy, const std::function<void(TestHost&)>& drive) {
  TestHost host;
  host.context.executableFolder = folder;
  host.context.configPath = folder + "/Isp.ini";
  sim::SetUpFreshCamera(host.bus.Attach(), legacy);
  drive(host);
  std::vector<std::uint32_t> bulkOutSizes;
  for (const sim::SimEvent& event : host.bus.Transcript()) {
    if (event.kind == sim::SimEvent::Kind::kWrite) bulkOutSizes.push_back(event.size);
  }
  return IntakeOf(host.bus.Requests(), bulkOutSizes, host.bus.Camera());
}

}  // namespace bb::test
