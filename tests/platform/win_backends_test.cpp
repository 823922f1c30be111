// The Windows back ends against the real Windows API (wine64 here). Wine has no
// camera driver, so the camera's class has no interfaces but those a test makes
// in the device registry; plain files stand in for the driver's pipes.

#include <windows.h>
#include <objbase.h>
#include <dbt.h>
#include <setupapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "device/camera_survey.h"
#include "device/device_link.h"
#include "platform/append_file.h"
#include "device/read_watchdog.h"
#include "device/request_block.h"
#include "device/status_codes.h"
#include "device/usb_pipes.h"
#include "platform/win32/instance_serial.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win_arrival_watch.h"
#include "platform/win32/win_clock.h"
#include "platform/win32/win_device_transport.h"
#include "platform/win32/win_guid.h"
#include "platform/win32/win_timer_service.h"
#include "support/recording_prompts.h"
#include "support/temp_folder.h"

namespace bb {
namespace {

using Handle = DeviceTransport::Handle;
using EnumResult = DeviceTransport::EnumResult;

constexpr auto kPatience = std::chrono::seconds(10);

// Wine publishes one display adapter, even without a display.
constexpr Guid kDisplayAdapterClass{
    0x5B45201D, 0xF2F2, 0x4F3B, {0x85, 0xBB, 0x30, 0xFF, 0x1F, 0x95, 0x35, 0x99}};

std::string TempFolder() {
  std::array<wchar_t, MAX_PATH + 1> folder{};
  const DWORD length = GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
  return ToUtf8(std::wstring_view(folder.data(), length));
}

std::string Lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Report lines on Windows: one that follows a damaged last line starts on a
// line of its own, and lines that threads append at once each arrive whole.
TEST(WinAppendFileTest, EachLineArrivesWholeOnALineOfItsOwn) {
  const test::TempFolder folder;
  const std::string damaged = "{\"command\":\"v";
  const std::string report = folder.Write("runs.jsonl", damaged);
  std::vector<std::thread> threads;
  for (char fill : {'a', 'b', 'c', 'd'}) {
    threads.emplace_back([&report, fill] {
      for (int i = 0; i < 25; ++i) EXPECT_TRUE(AppendWhole(report, std::string(1000, fill) + "\n"));
    });
  }
  for (std::thread& thread : threads) thread.join();
  const std::vector<std::uint8_t> bytes = folder.Read("runs.jsonl");
  const std::string text(bytes.begin(), bytes.end());
  ASSERT_TRUE(text.starts_with(damaged + "\n"));
  std::size_t lines = 0;
  for (std::size_t at = damaged.size() + 1; at < text.size(); at += 1001, ++lines) {
    const std::string line = text.substr(at, 1001);
    EXPECT_EQ(line, std::string(1000, line[0]) + "\n");
  }
  EXPECT_EQ(lines, 100u);
}

TEST(WinGuidTest, TheCameraClassReachesWindowsUnchanged) {
  const GUID converted = ToWinGuid(CameraInterfaceClass);
  std::array<wchar_t, 39> text{};
  ASSERT_EQ(StringFromGUID2(converted, text.data(), static_cast<int>(text.size())), 39);
  EXPECT_EQ(ToUtf8(text.data()), "{CB519FA1-E908-11D2-AADD-0060673487B7}");
}

TEST(WinDeviceTransportTest, WithoutTheCameraDriverNoPipeOpensAndARequestFails) {
  WinDeviceTransport transport;
  const DeviceTransport::SetHandle set = transport.OpenInterfaceSet(CameraInterfaceClass);
  ASSERT_NE(set, DeviceTransport::kNoSet);
  EXPECT_EQ(transport.EnumerateInterface(set, 0), EnumResult::kNoMoreItems);
  std::string path;
  EXPECT_FALSE(transport.ReadInterfacePath(set, 0, path));
  transport.CloseInterfaceSet(set);

  UsbPipes pipes(transport);
  EXPECT_EQ(pipes.OpenPipe(UsbPipes::kRequestSlot), DeviceTransport::kInvalidHandle);
  EXPECT_TRUE(pipes.DevicePath().empty());

  WinClock clock;
  WinTimerService timers;
  test::RecordingPrompts prompts;
  DeviceLink link(transport, clock, timers, prompts);
  std::array<std::uint8_t, 8> buffer{};
  EXPECT_EQ(link.VendorIn(0x20, 1, 0, 8, buffer), kRequestFailed);
  EXPECT_EQ(link.BulkWrite(4, 4, buffer), kNoPipe);
  EXPECT_TRUE(prompts.Boxes().empty());
}

TEST(WinDeviceTransportTest, ReadsTheInterfacePathsOfAClassWithInterfaces) {
  WinDeviceTransport transport;
  const DeviceTransport::SetHandle set = transport.OpenInterfaceSet(kDisplayAdapterClass);
  ASSERT_NE(set, DeviceTransport::kNoSet);
  std::uint32_t count = 0;
  for (; count < 64; ++count) {
    const EnumResult result = transport.EnumerateInterface(set, count);
    if (result == EnumResult::kNoMoreItems) break;
    ASSERT_EQ(result, EnumResult::kFound) << "index " << count;
    std::string path;
    ASSERT_TRUE(transport.ReadInterfacePath(set, count, path)) << "index " << count;
    // An interface path names its class at the end.
    EXPECT_EQ(path.rfind("\\\\?\\", 0), 0u) << path;
    EXPECT_TRUE(Lowercase(path).ends_with("#{5b45201d-f2f2-4f3b-85bb-30ff1f953599}")) << path;
  }
  EXPECT_GE(count, 1u) << "Wine is expected to publish a display adapter interface";
  std::string path;
  EXPECT_FALSE(transport.ReadInterfacePath(set, count, path)) << "an index never found";
  transport.CloseInterfaceSet(set);
}

// A device of the camera's interface class made in Wine's device registry for
// the length of a test, under an instance id of the simulated camera's shape,
// so that its interface path is the simulated camera's
// (\\?\usb#vid_0c45&pid_2860#sim1#{cb519fa1-...}). It is never registered, so
// the system drops it with the set that made it.
class MadeCamera {
 public:
  explicit MadeCamera(const std::wstring& instanceId) {
    static const GUID kUsbSetupClass{0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
    info_ = SetupDiCreateDeviceInfoList(&kUsbSetupClass, nullptr);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    SP_DEVICE_INTERFACE_DATA iface{};
    iface.cbSize = sizeof(iface);
    const GUID camera = ToWinGuid(CameraInterfaceClass);
    made_ = info_ != INVALID_HANDLE_VALUE &&
            SetupDiCreateDeviceInfoW(info_, instanceId.c_str(), &kUsbSetupClass, nullptr, nullptr, 0, &device) &&
            SetupDiCreateDeviceInterfaceW(info_, &device, &camera, nullptr, 0, &iface);
    if (!made_) return;
    // Present, as the driver's interface is once the driver has enabled it.
    std::array<wchar_t, 512> detail{};
    auto* data = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(detail.data());
    data->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    made_ = SetupDiGetDeviceInterfaceDetailW(info_, &iface, data, sizeof(detail), nullptr, nullptr);
    if (!made_) return;
    path_ = ToUtf8(data->DevicePath);
    std::wstring key = L"System\\CurrentControlSet\\Control\\DeviceClasses\\{cb519fa1-e908-11d2-aadd-0060673487b7}\\##?#" +
                       std::wstring(data->DevicePath + 4) + L"\\#\\Control";
    HKEY control = nullptr;
    const DWORD linked = 1;
    made_ = RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &control, nullptr) ==
                ERROR_SUCCESS &&
            RegSetValueExW(control, L"Linked", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&linked), sizeof(linked)) ==
                ERROR_SUCCESS;
    if (control != nullptr) RegCloseKey(control);
  }
  ~MadeCamera() {
    if (info_ != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(info_);
  }
  MadeCamera(const MadeCamera&) = delete;
  MadeCamera& operator=(const MadeCamera&) = delete;

  bool Made() const { return made_; }
  const std::string& Path() const { return path_; }

 private:
  HDEVINFO info_ = INVALID_HANDLE_VALUE;
  bool made_ = false;
  std::string path_;
};

// The serial number is the instance id's part after the ids, where the system
// made that id of the device's serial number; a generated id holds '&', as does
// the id of one interface of a composite device.
TEST(WinDeviceTransportTest, TheSerialNumberIsTheInstanceIdTheDeviceGave) {
  const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
      {"USB\\VID_0C45&PID_2860\\SIM1", "SIM1"},
      {"usb\\vid_0c45&pid_2860\\Cam-7", "Cam-7"},
      {"USB\\VID_0C45&PID_2860\\5&2A3B4C5D&0&2", std::nullopt},
      {"USB\\VID_0C45&PID_2860&MI_00\\7&1D2E3F&0&0000", std::nullopt},
      {"USB\\VID_0C45&PID_2860\\", std::nullopt},
      {"USB\\VID_0C45&PID_2860", std::nullopt},
      {"PCI\\VEN_8086&DEV_1234\\3&11583659&0&10", std::nullopt},
      {"HID\\VID_0C45&PID_2860\\SIM1", std::nullopt},
  };
  for (const auto& [id, serial] : cases) EXPECT_EQ(SerialOfInstanceId(id), serial) << id;

  // Through the system's enumeration: a camera whose interface path has the
  // simulated camera's shape, and one whose id the system generated.
  MadeCamera withSerial(L"USB\\VID_0C45&PID_2860\\SIM1");
  MadeCamera without(L"USB\\VID_0C45&PID_2860\\5&2A3B4C5D&0&2");
  ASSERT_TRUE(withSerial.Made() && without.Made());
  EXPECT_EQ(withSerial.Path(), "\\\\?\\usb#vid_0c45&pid_2860#sim1#{cb519fa1-e908-11d2-aadd-0060673487b7}");
  WinDeviceTransport transport;
  std::map<std::string, std::string> serials;
  for (const AttachedCamera& camera : ListCameras(transport)) serials[camera.path] = camera.serial;
  EXPECT_EQ(serials, (std::map<std::string, std::string>{{withSerial.Path(), "SIM1"}, {without.Path(), ""}}));

  // The interfaces Wine publishes are no USB devices.
  const DeviceTransport::SetHandle set = transport.OpenInterfaceSet(kDisplayAdapterClass);
  ASSERT_EQ(transport.EnumerateInterface(set, 0), EnumResult::kFound);
  std::string serial;
  EXPECT_FALSE(transport.ReadInterfaceSerial(set, 0, serial));
  EXPECT_FALSE(transport.ReadInterfaceSerial(set, 99, serial));
  transport.CloseInterfaceSet(set);
}

TEST(WinDeviceTransportTest, ASetThatIsNotOpenIsAnErrorAndNeverReachesSetupApi) {
  // SetupAPI takes a set handle for a pointer: a stale one would crash it.
  WinDeviceTransport transport;
  const DeviceTransport::SetHandle set = transport.OpenInterfaceSet(kDisplayAdapterClass);
  ASSERT_NE(set, DeviceTransport::kNoSet);
  ASSERT_EQ(transport.EnumerateInterface(set, 0), EnumResult::kFound);
  transport.CloseInterfaceSet(set);
  EXPECT_EQ(transport.EnumerateInterface(set, 0), EnumResult::kOtherError);
  std::string path;
  EXPECT_FALSE(transport.ReadInterfacePath(set, 0, path));
  EXPECT_EQ(transport.EnumerateInterface(12345, 0), EnumResult::kOtherError);
  transport.CloseInterfaceSet(12345);
}

TEST(WinDeviceTransportTest, OpeningAPathThatDoesNotExistFails) {
  WinDeviceTransport transport;
  EXPECT_EQ(transport.Open(TempFolder() + "burnbench-no-such-file.bin"),
            DeviceTransport::kInvalidHandle);
  EXPECT_EQ(transport.Open("\\\\?\\usb#vid_0000&pid_0000#0#{cb519fa1-e908-11d2-aadd-0060673487b7}"
                           "\\PIPE00"),
            DeviceTransport::kInvalidHandle);
  EXPECT_EQ(transport.Open(""), DeviceTransport::kInvalidHandle);
}

// A real file, named outside ASCII, stands in for a pipe.
class WinFileTransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    path_ = TempFolder() + "burnbench-\xE6\xB5\x8B\xE8\xAF\x95-" +
            std::to_string(GetCurrentProcessId()) + "-" + name + ".bin";
    const HANDLE file = CreateFileW(ToUtf16(path_).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path_;
    CloseHandle(file);
  }
  void TearDown() override { DeleteFileW(ToUtf16(path_).c_str()); }

  std::string path_;
  WinDeviceTransport transport_;
};

TEST_F(WinFileTransportTest, AWriteMovesAllBytesAndReadsBringThemBack) {
  std::vector<std::uint8_t> data(3000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);

  Handle handle = transport_.Open(path_);
  ASSERT_NE(handle, DeviceTransport::kInvalidHandle);
  std::uint32_t done = 12345;
  EXPECT_TRUE(transport_.Write(handle, data, done));
  EXPECT_EQ(done, data.size());
  transport_.Close(handle);

  handle = transport_.Open(path_);
  ASSERT_NE(handle, DeviceTransport::kInvalidHandle);
  std::vector<std::uint8_t> back(2000);
  EXPECT_TRUE(transport_.Read(handle, back, done));
  EXPECT_EQ(done, 2000u);
  EXPECT_TRUE(std::equal(back.begin(), back.end(), data.begin()));
  // Fewer bytes are left than asked for: the count says so.
  EXPECT_TRUE(transport_.Read(handle, back, done));
  EXPECT_EQ(done, 1000u);
  EXPECT_TRUE(std::equal(back.begin(), back.begin() + 1000, data.begin() + 2000));
  EXPECT_TRUE(transport_.Read(handle, back, done));
  EXPECT_EQ(done, 0u);
  transport_.Close(handle);
}

TEST_F(WinFileTransportTest, AnIoControlOnAFileFails) {
  const Handle handle = transport_.Open(path_);
  ASSERT_NE(handle, DeviceTransport::kInvalidHandle);
  std::array<std::uint8_t, 20> block{0x20};
  EXPECT_FALSE(transport_.IoControl(handle, kIoctlVendorRequest, block));
  EXPECT_FALSE(transport_.IoControl(handle, kIoctlRequestNine, block));
  transport_.Close(handle);
}

TEST_F(WinFileTransportTest, OpensSharedForReadAndWriteAndCloseLetsTheFileGo) {
  const Handle first = transport_.Open(path_);
  ASSERT_NE(first, DeviceTransport::kInvalidHandle);
  const Handle second = transport_.Open(path_);
  EXPECT_NE(second, DeviceTransport::kInvalidHandle);
  transport_.Close(second);
  // Opened without delete sharing, the file cannot go while a handle is open.
  const std::wstring widePath = ToUtf16(path_);
  EXPECT_FALSE(DeleteFileW(widePath.c_str()));
  transport_.Close(first);
  EXPECT_TRUE(DeleteFileW(widePath.c_str()));
}

TEST_F(WinFileTransportTest, APathWithANulInsideOpensNothing) {
  const Handle handle = transport_.Open(path_ + std::string(1, '\0') + "ignored");
  EXPECT_EQ(handle, DeviceTransport::kInvalidHandle);
  transport_.Close(handle);
}

TEST_F(WinFileTransportTest, CallsOnTheInvalidHandleFail) {
  std::array<std::uint8_t, 20> block{};
  std::uint32_t done = 7;
  EXPECT_FALSE(transport_.IoControl(DeviceTransport::kInvalidHandle, kIoctlVendorRequest, block));
  EXPECT_FALSE(transport_.Read(DeviceTransport::kInvalidHandle, block, done));
  EXPECT_EQ(done, 0u);
  EXPECT_FALSE(transport_.Write(DeviceTransport::kInvalidHandle, block, done));
  EXPECT_EQ(done, 0u);
  transport_.Close(DeviceTransport::kInvalidHandle);
}

// Counts expiries and lets a test wait for them.
class ExpiryCounter {
 public:
  void Tick() {
    {
      std::lock_guard lock(mutex_);
      ++count_;
      threads_.insert(std::this_thread::get_id());
    }
    changed_.notify_all();
  }
  bool WaitFor(int count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] { return count_ >= count; });
  }
  int Count() const {
    std::lock_guard lock(mutex_);
    return count_;
  }
  bool RanOn(std::thread::id thread) const {
    std::lock_guard lock(mutex_);
    return threads_.contains(thread);
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int count_ = 0;
  std::set<std::thread::id> threads_;
};

TEST(WinTimerServiceTest, APeriodicTimerFiresOnAnotherThreadUntilKilled) {
  WinTimerService timers;
  ExpiryCounter periodic;
  const TimerService::TimerId id = timers.StartPeriodic(1, [&] { periodic.Tick(); });
  ASSERT_NE(id, TimerService::kNoTimer);
  ASSERT_TRUE(periodic.WaitFor(3));
  EXPECT_FALSE(periodic.RanOn(std::this_thread::get_id()));
  timers.Kill(id);
  const int atKill = periodic.Count();

  // Time measured by a second timer: twenty of its periods without the first.
  ExpiryCounter witness;
  const TimerService::TimerId witnessId = timers.StartPeriodic(1, [&] { witness.Tick(); });
  ASSERT_NE(witnessId, TimerService::kNoTimer);
  EXPECT_NE(witnessId, id);
  ASSERT_TRUE(witness.WaitFor(20));
  timers.Kill(witnessId);
  EXPECT_EQ(periodic.Count(), atKill);
}

TEST(WinTimerServiceTest, DestroyingTheServiceStopsItsTimers) {
  ExpiryCounter orphan;
  {
    WinTimerService timers;
    ASSERT_NE(timers.StartPeriodic(1, [&] { orphan.Tick(); }), TimerService::kNoTimer);
    ASSERT_TRUE(orphan.WaitFor(1));
  }
  const int atEnd = orphan.Count();
  WinTimerService timers;
  ExpiryCounter witness;
  const TimerService::TimerId witnessId = timers.StartPeriodic(1, [&] { witness.Tick(); });
  ASSERT_TRUE(witness.WaitFor(20));
  timers.Kill(witnessId);
  EXPECT_EQ(orphan.Count(), atEnd);
}

TEST(WinTimerServiceTest, KillFromAnotherThreadWaitsForTheRunningExpiry) {
  WinTimerService timers;
  std::promise<void> entered;
  std::atomic<bool> release{false};
  std::atomic<bool> finished{false};
  std::atomic<bool> once{false};
  const TimerService::TimerId id = timers.StartPeriodic(1, [&] {
    if (once.exchange(true)) return;
    entered.set_value();
    while (!release.load()) std::this_thread::yield();
    finished.store(true);
  });
  ASSERT_NE(id, TimerService::kNoTimer);
  ASSERT_EQ(entered.get_future().wait_for(kPatience), std::future_status::ready);
  std::thread releaser([&] {
    for (int i = 0; i < 1000; ++i) std::this_thread::yield();
    release.store(true);
  });
  timers.Kill(id);
  EXPECT_TRUE(finished.load());
  releaser.join();
}

// Records the watchdog's reports in order.
class ReportLog {
 public:
  void Add(int code) {
    {
      std::lock_guard lock(mutex_);
      codes_.push_back(code);
      threads_.push_back(std::this_thread::get_id());
    }
    changed_.notify_all();
  }
  bool WaitFor(int code) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] {
      return std::find(codes_.begin(), codes_.end(), code) != codes_.end();
    });
  }
  std::vector<int> Codes() const {
    std::lock_guard lock(mutex_);
    return codes_;
  }
  std::vector<std::thread::id> Threads() const {
    std::lock_guard lock(mutex_);
    return threads_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<int> codes_;
  std::vector<std::thread::id> threads_;
};

// Waits, without sleeping, until the guard's delay has run out.
bool WaitForExpiry(const ReadWatchdog& watchdog) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!watchdog.Expired()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

TEST(WinTimerServiceTest, TheWatchdogReportsOncePerArmingOnTheDisarmingThread) {
  WinTimerService timers;
  WinDeviceTransport transport;
  ReportLog reports;
  ReadWatchdog watchdog(timers, transport, [&](int code) { reports.Add(code); });
  watchdog.Arm(1, kReadTimeout, DeviceTransport::kInvalidHandle);
  ASSERT_TRUE(WaitForExpiry(watchdog));
  EXPECT_TRUE(reports.Codes().empty()) << "reported on the timer's thread";
  watchdog.Disarm();
  // A first timer still firing would take this arming and report its own code.
  watchdog.Arm(1, kIspTimeout, DeviceTransport::kInvalidHandle);
  ASSERT_TRUE(WaitForExpiry(watchdog));
  watchdog.Disarm();
  EXPECT_EQ(reports.Codes(), (std::vector<int>{kReadTimeout, kIspTimeout}));
  for (const std::thread::id thread : reports.Threads()) {
    EXPECT_EQ(thread, std::this_thread::get_id());
  }
}

TEST(WinTimerServiceTest, DisarmingRacingTheExpiryReportsEachArmingAtMostOnce) {
  WinTimerService timers;
  WinDeviceTransport transport;
  ReportLog reports;
  ReadWatchdog watchdog(timers, transport, [&](int code) { reports.Add(code); });
  constexpr int kArmings = 200;
  for (int arming = 1; arming <= kArmings; ++arming) {
    watchdog.Arm(1, arming, DeviceTransport::kInvalidHandle);
    for (int spin = 0; spin < (arming % 9) * 300; ++spin) std::this_thread::yield();
    watchdog.Disarm();
    EXPECT_FALSE(watchdog.Armed());
  }
  // The service still works after the races.
  watchdog.Arm(1, kArmings + 1, DeviceTransport::kInvalidHandle);
  ASSERT_TRUE(WaitForExpiry(watchdog));
  watchdog.Disarm();
  std::vector<int> codes = reports.Codes();
  ASSERT_FALSE(codes.empty());
  EXPECT_EQ(codes.back(), kArmings + 1);
  std::sort(codes.begin(), codes.end());
  EXPECT_EQ(std::adjacent_find(codes.begin(), codes.end()), codes.end())
      << "an arming reported twice";
}

// A named pipe that never sends stands in for a camera whose bulk read
// stalls: the read on it blocks until it is cancelled.
class WinStalledReadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = "\\\\.\\pipe\\burnbench-stall-" + std::to_string(GetCurrentProcessId()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
    server_ = CreateNamedPipeW(ToUtf16(name_).c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1,
                               4096, 4096, 0, nullptr);
    ASSERT_NE(server_, INVALID_HANDLE_VALUE);
  }
  void TearDown() override {
    if (server_ != INVALID_HANDLE_VALUE) CloseHandle(server_);
  }
  // Unblocks a read that no cancel reached, so a failing test ends.
  void Rescue() {
    const std::uint8_t byte = 0;
    DWORD written = 0;
    WriteFile(server_, &byte, 1, &written, nullptr);
  }

  std::string name_;
  HANDLE server_ = INVALID_HANDLE_VALUE;
  WinDeviceTransport transport_;
};

TEST_F(WinStalledReadTest, TheWatchdogsExpiryCancelsTheBlockedRead) {
  const Handle pipe = transport_.Open(name_);
  ASSERT_NE(pipe, DeviceTransport::kInvalidHandle);
  WinTimerService timers;
  ReportLog reports;
  ReadWatchdog watchdog(timers, transport_, [&](int code) { reports.Add(code); });
  std::promise<void> readEnded;
  std::thread rescuer([&, ended = readEnded.get_future()] {
    if (ended.wait_for(kPatience) != std::future_status::ready) Rescue();
  });
  watchdog.Arm(20, kReadTimeout, pipe);
  std::array<std::uint8_t, 64> buffer{};
  std::uint32_t done = 7;
  const bool ok = transport_.Read(pipe, buffer, done);
  readEnded.set_value();
  rescuer.join();
  watchdog.Disarm();
  transport_.Close(pipe);
  EXPECT_FALSE(ok) << "the read was not cancelled; it ended only when data came";
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(reports.Codes(), std::vector<int>{kReadTimeout});
  ASSERT_EQ(reports.Threads().size(), 1u);
  EXPECT_EQ(reports.Threads()[0], std::this_thread::get_id());
}

TEST(WinClockTest, SleepsAtLeastTheTimeAsked) {
  WinClock clock;
  const auto start = std::chrono::steady_clock::now();
  clock.SleepMs(20);
  // Windows may end a sleep a fraction of a millisecond early by the steady clock.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(19));
}

// A message-only window, as the host's dialog would receive WM_DEVICECHANGE.
class WinArrivalWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);
    window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    if (window_ != nullptr) DestroyWindow(window_);
  }

  static constexpr const wchar_t* kClassName = L"BurnbenchArrivalWatchTest";
  HWND window_ = nullptr;
};

TEST_F(WinArrivalWatchTest, RegistersForTheWindowAndUnregisters) {
  WinArrivalWatch watch(window_);
  const ArrivalWatch::Registration first = watch.Register();
  EXPECT_NE(first, ArrivalWatch::kNone);
  const ArrivalWatch::Registration second = watch.Register();
  EXPECT_NE(second, ArrivalWatch::kNone);
  EXPECT_NE(second, first);
  watch.Unregister(first);
  watch.Unregister(second);
  watch.Unregister(ArrivalWatch::kNone);
}

TEST_F(WinArrivalWatchTest, AWindowThatIsGoneGetsNoRegistration) {
  DestroyWindow(window_);
  WinArrivalWatch watch(window_);
  window_ = nullptr;
  EXPECT_EQ(watch.Register(), ArrivalWatch::kNone);
}

TEST(WinArrivalRecordTest, OnlyAnInterfaceOfTheCamerasClassIsTheCamera) {
  EXPECT_FALSE(DescribeArrival(0).cameraInterface);

  DEV_BROADCAST_VOLUME volume{};
  volume.dbcv_size = sizeof(volume);
  volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
  volume.dbcv_unitmask = 1u << 4;
  EXPECT_FALSE(DescribeArrival(reinterpret_cast<LPARAM>(&volume)).cameraInterface);

  const std::string path =
      "\\\\?\\usb#vid_0c45&pid_2860#\xE6\xB5\x8B#{cb519fa1-e908-11d2-aadd-0060673487b7}";
  std::vector<DWORD> record = CameraArrivalRecord(path);
  const DeviceArrival camera = DescribeArrival(reinterpret_cast<LPARAM>(record.data()));
  EXPECT_TRUE(camera.cameraInterface);
  EXPECT_EQ(camera.interfacePath, path);

  auto* device = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(record.data());
  // A record that claims less than its name holds is read no further.
  device->dbcc_size = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + 4 * sizeof(wchar_t);
  EXPECT_EQ(DescribeArrival(reinterpret_cast<LPARAM>(record.data())).interfacePath,
            "\\\\?\\");
  device->dbcc_size = 8;
  EXPECT_FALSE(DescribeArrival(reinterpret_cast<LPARAM>(record.data())).cameraInterface);

  device->dbcc_size = static_cast<DWORD>(record.size() * sizeof(DWORD));
  device->dbcc_classguid = ToWinGuid(kDisplayAdapterClass);
  EXPECT_FALSE(DescribeArrival(reinterpret_cast<LPARAM>(record.data())).cameraInterface);
}

}  // namespace
}  // namespace bb
