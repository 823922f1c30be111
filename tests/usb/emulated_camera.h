#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/usb_id.h"
#include "sim/sim_camera.h"
#include "sim/sim_request.h"
#include "usb/usb_testbed.h"

typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;
typedef struct _GClosure GClosure;

namespace bb::test {

// A camera emulated at the kernel's USB interface: a device in the testbed
// whose usbfs node answers libusb's ioctls, the URBs from the simulated
// camera's model. Vendor control transfers become the model's requests, the
// bulk-out endpoint 0x01 feeds it, the bulk-in endpoint 0x81 reads from it;
// the camera answers the standard request for its serial number string. When
// the model restarts after its firmware, the device leaves the bus and comes
// back at a new address, as a real camera does, whoever holds it. Its
// interface is claimed by one open file at a time, as the kernel allows: a
// claim from another file fails with EBUSY until the first releases it or
// closes.
//
// libusb's ioctls arrive on umockdev's worker thread; everything else is for
// the test's thread.
class EmulatedCamera {
 public:
  static constexpr UsbId kId{0x1234, 0x2860};

  struct Faults {
    bool claimedElsewhere = false;             // another program holds the interface
    bool noBulkEndpoints = false;              // the right ids, but no bulk interface
    std::optional<std::uint8_t> stallRequest;  // vendor request code the camera stalls
    // Counted from 1 over the calls of their kind since the camera was made.
    std::uint32_t stallRequestAt = 0;   // this vendor request stalls
    std::uint32_t shortWrite = 0;       // this bulk-out moves a byte less
    std::uint32_t stallRead = 0;        // this bulk-in never completes
    std::uint32_t unplugOnRequest = 0;  // the camera is pulled out during this vendor request
    std::uint32_t unplugOnWrite = 0;    // ... during this bulk-out
    std::uint32_t unplugOnRead = 0;     // ... during this bulk-in
    bool shortAnswers = false;                 // device-to-host answers a byte short
    bool neverReturns = false;                 // leaves the bus at its restart for good
  };

  EmulatedCamera(UsbTestbed& testbed, std::string sysName = "1-2", UsbId id = kId);
  ~EmulatedCamera();
  EmulatedCamera(const EmulatedCamera&) = delete;
  EmulatedCamera& operator=(const EmulatedCamera&) = delete;

  void Plug();
  // Out of its socket the camera has no power: plugged in again, it starts
  // afresh, as it does when it is first plugged in.
  void Unplug();
  // Only the owner may open the device node from now on.
  void DenyAccess() const;

  // Set before a program talks to the camera.
  sim::SimCamera& Model() { return model_; }
  Faults& Fault() { return faults_; }
  // The other program that held the interface lets go of it, while a program
  // may be talking to the camera.
  void ReleaseClaimElsewhere();
  // The serial number string it carries from its next plug on; none unless set.
  void SetSerial(std::u16string serial) { serial_ = std::move(serial); }

  std::string InterfacePath() const;
  std::string Location() const;

  // What reached the camera: every vendor request (the data of those sent
  // to it) and the size of every bulk-out transfer.
  std::vector<sim::SimRequest> Requests() const;
  std::vector<std::uint32_t> BulkOutSizes() const;
  std::uint32_t BulkInCount() const;
  int Reenumerations() const;
  // How many times a file claimed the interface, and how many claims were
  // refused because another file held it.
  int Claims() const;
  int RefusedClaims() const;
  // The faults that met their call, in order, e.g. "request 7 stalled".
  std::vector<std::string> FiredFaults() const;
  // Blocks until a bulk-in transfer has stalled in the camera.
  void WaitForStalledRead();
  // How many times its serial number string was read; a program that looks
  // at the bus reads it at every look.
  int SerialReads() const;
  // Blocks until it was read `count` times in all, or `limit` passed: false then.
  bool WaitForSerialReads(int count, std::chrono::milliseconds limit);

  // Called (on the worker thread) when the camera needs the test's thread
  // to take it off the bus or bring it back.
  void OnNeedsService(std::function<void()> wake);
  // On the test's thread: carries out the restart or unplug the camera asked for.
  void Serve();

 private:
  struct Gate;
  struct Queued {
    UMockdevIoctlClient* client;
    UMockdevIoctlData* urb;
  };
  static int HandleIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* gate);
  static void ClientVanished(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* gate);
  static void ForgetGate(void* gate, GClosure* closure);
  void Claim(UMockdevIoctlClient* client);
  // A standard request for a string: true when it was one.
  bool AnswerStringRequest(const std::uint8_t* setup, std::uint8_t* data, std::int32_t& status,
                           std::int32_t& actual);
  bool Handle(UMockdevIoctlClient* client);
  void LetGo();
  void Submit(UMockdevIoctlClient* client, UMockdevIoctlData* urbData);
  // Hands back the client's next finished URB, or fails with `nothingLeft`.
  void Reap(UMockdevIoctlClient* client, int nothingLeft);
  void Discard(UMockdevIoctlClient* client);
  void Control(std::uint8_t* setup, std::int32_t& status, std::int32_t& actual);
  void RestartIfFirmwareArrived();
  // The camera leaves during a transfer, which ends with `status`.
  void PullOut(std::int32_t& status, std::string fired);
  // Off the bus, as for a restart, with its power kept.
  void LeaveBus();
  std::string Node() const;
  std::string Descriptors() const;

  UsbTestbed& testbed_;
  const std::string sysName_;
  const UsbId id_;
  std::shared_ptr<Gate> gate_;
  UMockdevIoctlBase* handler_ = nullptr;
  // Set and called behind the gate.
  std::function<void()> wake_;
  std::vector<std::string> nodes_;  // every node this camera had, test thread only

  mutable std::mutex mutex_;
  sim::SimCamera model_;
  Faults faults_;
  unsigned address_ = 0;
  bool plugged_ = false;
  bool poweredOff_ = false;
  // Pulled out: the node answers "no such device" from now on.
  bool pulled_ = false;
  bool restartWanted_ = false;
  bool unplugWanted_ = false;
  int reenumerations_ = 0;
  std::u16string serial_;
  // The file that holds the interface claimed, if any.
  UMockdevIoctlClient* claimedBy_ = nullptr;
  int claims_ = 0;
  int refusedClaims_ = 0;
  std::uint32_t bulkOuts_ = 0;
  std::uint32_t bulkIns_ = 0;
  std::vector<sim::SimRequest> requests_;
  std::vector<std::uint32_t> bulkOutSizes_;
  std::vector<std::string> fired_;
  std::deque<Queued> reapable_;
  std::vector<Queued> stalled_;
  std::condition_variable stalledChanged_;
  int serialReads_ = 0;
  std::condition_variable serialRead_;
};

}  // namespace bb::test
