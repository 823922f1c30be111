// The libusb back end's own contract, in this process, against cameras
// emulated below libusb: which devices are cameras, their paths and
// locations, the pipes, a cancel from another thread, and arrivals.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>
#include <thread>

#include "device/request_block.h"
#include "platform/libusb/libusb_arrival_watch.h"
#include "platform/libusb/libusb_transport.h"
#include "sim/fresh_camera.h"
#include "usb/emulated_camera.h"
#include "usb/usb_testbed.h"

namespace bb::test {
namespace {

using Handle = DeviceTransport::Handle;

class LibusbTransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(UsbTestbed::Available())
        << "the libusb tests emulate cameras with umockdev and must run under umockdev-wrapper";
    testbed_ = std::make_unique<UsbTestbed>();
    // libusb watches the bus from its first context on: that must see the testbed.
    context_ = std::make_unique<UsbContext>();
  }

  // The cameras as the core's search sees them: path and location of each.
  std::vector<std::pair<std::string, std::string>> Enumerate(LibusbTransport& transport) {
    std::vector<std::pair<std::string, std::string>> found;
    const DeviceTransport::SetHandle set = transport.OpenInterfaceSet(CameraInterfaceClass);
    for (std::uint32_t i = 0; transport.EnumerateInterface(set, i) == DeviceTransport::EnumResult::kFound; ++i) {
      std::string path;
      std::string location;
      EXPECT_TRUE(transport.ReadInterfacePath(set, i, path));
      EXPECT_TRUE(transport.ReadInterfaceLocation(set, i, location));
      found.emplace_back(path, location);
    }
    transport.CloseInterfaceSet(set);
    return found;
  }

  // A version query as the core sends it: the request block at this build's
  // layout, pointing into this process.
  bool AskIspVersion(LibusbTransport& transport, Handle pipe, std::array<std::uint8_t, 8>& answer) {
    const std::uint32_t length = answer.size();
    RequestBlock block;
    block.bRequest = 0x20;
    block.wValue = 1;
    block.dataAddress = answer.data();
    block.lengthAddress = &length;
    block.direction = RequestBlock::kDeviceToHost;
    std::array<std::uint8_t, RequestBlock::kSize> bytes = block.Encode();
    return transport.IoControl(pipe, kIoctlVendorRequest, bytes);
  }

  std::unique_ptr<UsbTestbed> testbed_;
  std::unique_ptr<UsbContext> context_;
};

TEST_F(LibusbTransportTest, CamerasAreTheDevicesWithAConfiguredIdInPortOrder) {
  testbed_->AddHub("1-1");
  EmulatedCamera behindHub(*testbed_, "1-1.3");
  EmulatedCamera direct(*testbed_, "1-2");
  EmulatedCamera foreign(*testbed_, "1-4", UsbId{0xabcd, 0x0001});
  direct.Plug();
  foreign.Plug();
  behindHub.Plug();
  LibusbTransport transport(*context_, {EmulatedCamera::kId});

  const auto found = Enumerate(transport);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0], std::make_pair(behindHub.InterfacePath(), std::string("1-1.3")));
  EXPECT_EQ(found[1], std::make_pair(direct.InterfacePath(), std::string("1-2")));
  EXPECT_EQ(direct.InterfacePath(), "usb:1-2@3");

  // The interface itself and both pipes open; other names and other devices do not.
  for (const std::string suffix : {"", "\\PIPE00", "\\PIPE01"}) {
    const Handle handle = transport.Open(direct.InterfacePath() + suffix);
    EXPECT_NE(handle, DeviceTransport::kInvalidHandle) << suffix;
    transport.Close(handle);
  }
  EXPECT_EQ(transport.Open(direct.InterfacePath() + "\\PIPE02"), DeviceTransport::kInvalidHandle);
  EXPECT_EQ(transport.Open("usb:1-4@4\\PIPE00"), DeviceTransport::kInvalidHandle);

  // Back on the bus at a new address: a new path, the same location.
  const std::string before = direct.InterfacePath();
  direct.Unplug();
  direct.Plug();
  const auto again = Enumerate(transport);
  ASSERT_EQ(again.size(), 2u);
  EXPECT_NE(again[1].first, before);
  EXPECT_EQ(again[1].second, "1-2");
  EXPECT_EQ(transport.Open(before), DeviceTransport::kInvalidHandle);
}

TEST_F(LibusbTransportTest, RequestsGoOnlyThroughTheRequestPipeAndAnswersMustBeWhole) {
  EmulatedCamera camera(*testbed_);
  camera.Plug();
  LibusbTransport transport(*context_, {EmulatedCamera::kId});
  const Handle requests = transport.Open(camera.InterfacePath() + "\\PIPE00");
  const Handle bulkOut = transport.Open(camera.InterfacePath() + "\\PIPE01");
  ASSERT_NE(bulkOut, DeviceTransport::kInvalidHandle);
  // Both pipes are open at once on the one claim, and each moves what it should.
  std::uint32_t done = 0;
  const std::array<std::uint8_t, 3> bytes{7, 8, 9};
  EXPECT_TRUE(transport.Write(bulkOut, bytes, done));
  EXPECT_EQ(done, 3u);
  EXPECT_EQ(camera.BulkOutSizes(), std::vector<std::uint32_t>{3});
  EXPECT_FALSE(transport.Write(requests, bytes, done));
  EXPECT_EQ(camera.Claims(), 1);
  std::array<std::uint8_t, 8> answer{};
  EXPECT_TRUE(AskIspVersion(transport, requests, answer));
  EXPECT_EQ(answer, (std::array<std::uint8_t, 8>{1, 2, 3, 4, 0, 0, 0, 0}));
  EXPECT_FALSE(AskIspVersion(transport, bulkOut, answer));

  // An answer shorter than asked would leave the tool reading bytes the
  // camera never sent.
  camera.Fault().shortAnswers = true;
  EXPECT_FALSE(AskIspVersion(transport, requests, answer));
  EXPECT_EQ(camera.Requests().size(), 2u);
  transport.Close(requests);
  transport.Close(bulkOut);
}

// A transport holds the camera it opened until it goes, whatever its pipes
// do; another program's claim meanwhile is refused, as the kernel refuses
// it, and told apart from other failures. The serial number reads without a
// claim.
TEST_F(LibusbTransportTest, ATransportHoldsItsCameraAgainstOtherPrograms) {
  EmulatedCamera camera(*testbed_);
  camera.SetSerial(u"\u00c5-42");
  camera.Plug();
  const std::string pipe = camera.InterfacePath() + "\\PIPE00";
  auto first = std::make_unique<LibusbTransport>(*context_, std::vector<UsbId>{EmulatedCamera::kId});
  for (int i = 0; i < 3; ++i) first->Close(first->Open(pipe));
  EXPECT_EQ(camera.Claims(), 1);

  // Another program: a context, and so a file, of its own.
  UsbContext otherContext;
  LibusbTransport other(otherContext, {EmulatedCamera::kId});
  std::vector<std::string> held;
  other.OnHeldElsewhere([&](const std::string& path, const std::string& location) {
    held.push_back(path + " at " + location);
  });
  EXPECT_EQ(other.Open(pipe), DeviceTransport::kInvalidHandle);
  EXPECT_EQ(other.Open(pipe), DeviceTransport::kInvalidHandle);
  EXPECT_EQ(camera.RefusedClaims(), 2);
  EXPECT_EQ(held, std::vector<std::string>{camera.InterfacePath() + " at 1-2"});
  const DeviceTransport::SetHandle set = other.OpenInterfaceSet(CameraInterfaceClass);
  std::string serial;
  EXPECT_TRUE(other.ReadInterfaceSerial(set, 0, serial));
  EXPECT_EQ(serial, "\xc3\x85-42");
  other.CloseInterfaceSet(set);

  first.reset();
  const Handle now = other.Open(pipe);
  EXPECT_NE(now, DeviceTransport::kInvalidHandle);
  other.Close(now);
  EXPECT_EQ(camera.Claims(), 2);
}

// A serial number is the device's UTF-16 text as UTF-8: characters beyond the
// basic plane whole, a lone surrogate (a device may send anything) as U+FFFD.
TEST_F(LibusbTransportTest, ASerialNumberReadsAsUtf8) {
  const std::vector<std::pair<std::u16string, std::optional<std::string>>> cases = {
      {u"SN-0001", "SN-0001"},
      {u"\U0001D11E-7", "\xf0\x9d\x84\x9e-7"},
      {std::u16string{u'A', static_cast<char16_t>(0xD800), u'B'}, "A\xef\xbf\xbd" "B"},
      {u"", std::nullopt},
  };
  std::vector<std::unique_ptr<EmulatedCamera>> cameras;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    cameras.push_back(std::make_unique<EmulatedCamera>(*testbed_, "1-" + std::to_string(i + 2)));
    cameras.back()->SetSerial(cases[i].first);
    cameras.back()->Plug();
  }
  LibusbTransport transport(*context_, {EmulatedCamera::kId});
  const DeviceTransport::SetHandle set = transport.OpenInterfaceSet(CameraInterfaceClass);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    std::string serial;
    const bool read = transport.ReadInterfaceSerial(set, static_cast<std::uint32_t>(i), serial);
    EXPECT_EQ(read ? std::optional(serial) : std::nullopt, cases[i].second) << i;
  }
  transport.CloseInterfaceSet(set);
}

TEST_F(LibusbTransportTest, AReadThatNeverCompletesIsCancelledFromAnotherThread) {
  EmulatedCamera camera(*testbed_);
  camera.Model().bulkIn.assign(64, 0x5A);
  camera.Fault().stallRead = 1;
  camera.Plug();
  LibusbTransport transport(*context_, {EmulatedCamera::kId});
  const Handle pipe = transport.Open(camera.InterfacePath() + "\\PIPE00");
  ASSERT_NE(pipe, DeviceTransport::kInvalidHandle);
  transport.CancelPending(pipe);  // nothing pending: nothing happens

  std::thread watchdog([&] {
    camera.WaitForStalledRead();
    transport.CancelPending(pipe);
  });
  std::array<std::uint8_t, 64> buffer{};
  std::uint32_t done = 99;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(transport.Read(pipe, buffer, done));
  watchdog.join();
  EXPECT_EQ(done, 0u);
  // Ended by the cancel, not by the transport's own time limit.
  EXPECT_LT(std::chrono::steady_clock::now() - start, LibusbTransport::kBulkTimeout / 2);

  // The pipe goes on working.
  EXPECT_TRUE(transport.Read(pipe, buffer, done));
  EXPECT_EQ(done, 64u);
  EXPECT_EQ(buffer[63], 0x5A);
  transport.Close(pipe);
}

// Arrivals reach the host only from Wait, and only for cameras while a
// registration is held; hotplug and polling alike.
TEST_F(LibusbTransportTest, ArrivalsOfCamerasAreAnnouncedWhileWatched) {
  for (const auto mode : {LibusbArrivalWatch::Mode::kHotplug, LibusbArrivalWatch::Mode::kPoll}) {
    SCOPED_TRACE(mode == LibusbArrivalWatch::Mode::kHotplug ? "hotplug" : "poll");
    EmulatedCamera camera(*testbed_);
    EmulatedCamera foreign(*testbed_, "1-4", UsbId{0xabcd, 0x0001});
    camera.Plug();
    LibusbArrivalWatch watch(*context_, {EmulatedCamera::kId}, mode);
    std::vector<std::string> announced;
    watch.SetAnnouncer([&](const std::string& path) { announced.push_back(path); });
    // A few looks at the bus; enough for any arrival that is coming.
    const auto waitFor = [&](int looks) {
      for (int i = 0; i < looks && announced.empty(); ++i) watch.Wait(LibusbArrivalWatch::kPollInterval);
    };

    camera.Unplug();
    camera.Plug();  // unwatched
    waitFor(3);
    EXPECT_TRUE(announced.empty());

    const ArrivalWatch::Registration registration = watch.Register();
    ASSERT_NE(registration, ArrivalWatch::kNone);
    foreign.Plug();
    camera.Unplug();
    camera.Plug();
    waitFor(40);
    EXPECT_EQ(announced, std::vector<std::string>{camera.InterfacePath()});

    watch.Unregister(registration);
    announced.clear();
    camera.Unplug();
    camera.Plug();
    waitFor(3);
    EXPECT_TRUE(announced.empty());
    foreign.Unplug();
    camera.Unplug();
  }
}

// A camera restarts the moment its last bytes are in, and may be back before
// the run registers for its return: libusb took in the bus's events while the
// run waited for that last transfer. Nothing waited for arrivals in between,
// so the return counts for the registration that follows.
TEST_F(LibusbTransportTest, ACameraBackBeforeTheRegistrationIsAnnounced) {
  for (const auto mode : {LibusbArrivalWatch::Mode::kHotplug, LibusbArrivalWatch::Mode::kPoll}) {
    SCOPED_TRACE(mode == LibusbArrivalWatch::Mode::kHotplug ? "hotplug" : "poll");
    EmulatedCamera camera(*testbed_);
    // A watch on the context, registered all along, tells when libusb has
    // taken in a camera's arrival.
    LibusbArrivalWatch witness(*context_, {EmulatedCamera::kId}, mode);
    std::vector<std::string> witnessed;
    witness.SetAnnouncer([&](const std::string& path) { witnessed.push_back(path); });
    const ArrivalWatch::Registration watching = witness.Register();
    const auto taken = [&] {
      witnessed.clear();
      for (int i = 0; i < 200 && witnessed.empty(); ++i) witness.Wait(LibusbArrivalWatch::kPollInterval);
      return witnessed;
    };
    camera.Plug();
    ASSERT_EQ(taken(), std::vector<std::string>{camera.InterfacePath()});

    // The run's watch, made when its camera was there.
    LibusbArrivalWatch watch(*context_, {EmulatedCamera::kId}, mode);
    std::vector<std::string> announced;
    watch.SetAnnouncer([&](const std::string& path) { announced.push_back(path); });
    camera.Unplug();
    camera.Plug();
    ASSERT_EQ(taken(), std::vector<std::string>{camera.InterfacePath()});

    const ArrivalWatch::Registration registration = watch.Register();
    for (int i = 0; i < 40 && announced.empty(); ++i) watch.Wait(LibusbArrivalWatch::kPollInterval);
    EXPECT_EQ(announced, std::vector<std::string>{camera.InterfacePath()});
    watch.Unregister(registration);
    witness.Unregister(watching);
  }
}

}  // namespace
}  // namespace bb::test
