#include "platform/record/recording_format.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/device_transport.h"
#include "platform/record/recording_writer.h"
#include "support/temp_folder.h"

namespace bb::record {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

Call Make(CallKind kind, std::uint64_t atUs) {
  Call call;
  call.kind = kind;
  call.atUs = atUs;
  return call;
}

// One call of every kind, with the values that stretch their encodings:
// negative handles, 32-bit maxima, empty and kept data, hashed writes.
std::vector<Call> EveryKindOfCall() {
  std::vector<Call> calls;
  Call call = Make(CallKind::kOpenInterfaceSet, 1000);
  call.interfaceClass = CameraInterfaceClass;
  call.result = 7;
  calls.push_back(call);
  call = Make(CallKind::kEnumerateInterface, 1001);
  call.target = 7;
  call.number = 0xFFFFFFFFu;
  call.result = 2;
  calls.push_back(call);
  call = Make(CallKind::kReadInterfacePath, 1002);
  call.target = 7;
  call.ok = true;
  call.text = "\\\\?\\usb#vid_0c45&pid_2860#sim1#{cb519fa1-e908-11d2-aadd-0060673487b7}";
  calls.push_back(call);
  call = Make(CallKind::kReadInterfaceLocation, 1003);
  call.target = 7;
  calls.push_back(call);
  call = Make(CallKind::kReadInterfaceSerial, 1003);
  call.target = 7;
  call.ok = true;
  call.text = "SIM0001";
  calls.push_back(call);
  calls.push_back(Make(CallKind::kCloseInterfaceSet, 1004));
  call = Make(CallKind::kOpen, 1005);
  call.path = "pipe";
  call.result = DeviceTransport::kInvalidHandle;
  calls.push_back(call);
  call = Make(CallKind::kIoControl, 1006);
  call.target = -5;
  call.number = 0x22000C;
  call.block = std::vector<std::uint8_t>(20, 0xAB);
  call.lengthCell = 0x12345678;
  call.sent = {1, 2, 3};
  call.ok = true;
  call.received = {4, 5};
  call.tookUs = 1'000'000'000'000ull;
  calls.push_back(call);
  call = Make(CallKind::kRead, 1007);
  call.target = 3;
  call.size = 0x10000;
  call.ok = true;
  call.done = 4;
  call.received = {9, 8, 7, 6};
  calls.push_back(call);
  call = Make(CallKind::kWrite, 1008);
  call.target = 3;
  call.size = 2;
  call.sent = {0xFF, 0};
  call.done = 1;
  calls.push_back(call);
  call = Make(CallKind::kWrite, 1009);
  call.size = 0x10000;
  call.sentDigest = Sha256Digest{};
  call.sentDigest->fill(0x5A);
  call.ok = true;
  call.done = 0x10000;
  calls.push_back(call);
  call = Make(CallKind::kCancelPending, 1010);
  call.target = 3;
  calls.push_back(call);
  calls.push_back(Make(CallKind::kClose, 1011));
  call = Make(CallKind::kRegisterArrival, 1012);
  call.result = 1;
  calls.push_back(call);
  call = Make(CallKind::kUnregisterArrival, 1013);
  call.target = 1;
  calls.push_back(call);
  call = Make(CallKind::kDeviceChange, 1014);
  call.number = 0x8000;
  calls.push_back(call);
  return calls;
}

RecordingHeader SampleHeader() {
  RecordingHeader header;
  header.program = "burnbench-cli 5.5.2.0";
  header.platform = "Linux x86_64";
  header.started = "2024-05-01T09:30:00Z";
  header.commands = {{"versions"}, {"--ini", "C:\\ISP\\Isp.ini", "burn", "--verify"}};
  ImageFile image;
  image.role = "FwFile";
  image.path = "C:\\ISP\\fw.brn";
  image.present = true;
  image.size = 1u << 26;
  image.digest.fill(0xC3);
  header.images = {image, ImageFile{"ParamFile", "gone.txt", false, 0, {}}};
  return header;
}

class RecordingFormatTest : public ::testing::Test {
 protected:
  // Writes the sample recording as a program would, its calls stamped on a
  // clock that started at 1000 us.
  std::vector<std::uint8_t> WriteSample() {
    RecordingWriter writer;
    EXPECT_TRUE(writer.Open(path, SampleHeader(), 1000));
    for (const Call& call : EveryKindOfCall()) writer.Add(call);
    EXPECT_TRUE(writer.Close(-3));
    return folder.Read("run.bbrec");
  }

  std::string Refusal(std::span<const std::uint8_t> bytes) {
    std::string error;
    EXPECT_FALSE(ParseRecording(bytes, error).has_value());
    return error;
  }

  test::TempFolder folder;
  std::string path = folder.File("run.bbrec");
};

TEST_F(RecordingFormatTest, EveryKindOfCallReadsBackAsItWasWritten) {
  WriteSample();
  std::string error;
  const std::optional<Recording> recording = ReadRecordingFile(path, error);
  ASSERT_TRUE(recording) << error;
  EXPECT_EQ(recording->header, SampleHeader());
  std::vector<Call> expected = EveryKindOfCall();
  for (Call& call : expected) call.atUs -= 1000;
  EXPECT_EQ(recording->calls, expected);
  EXPECT_EQ(recording->exitStatus, -3);
}

TEST_F(RecordingFormatTest, DamagedRecordingsAreRefusedWithTheirReason) {
  const std::vector<std::uint8_t> bytes = WriteSample();
  const std::span<const std::uint8_t> all(bytes);

  EXPECT_EQ(Refusal({}), "it is empty");
  EXPECT_EQ(Refusal(all.first(5)), "it is truncated: it ends inside its first bytes");
  // Cut anywhere after the preamble, the file is truncated, never accepted.
  for (std::size_t size = 10; size < bytes.size(); ++size) {
    EXPECT_THAT(Refusal(all.first(size)), StartsWith("it is truncated")) << size;
  }
  // No single changed byte goes unnoticed.
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    std::vector<std::uint8_t> damaged = bytes;
    damaged[at] ^= 0x10;
    EXPECT_FALSE(Refusal(damaged).empty()) << at;
  }
  std::vector<std::uint8_t> changed = bytes;
  changed[8] = 3;
  EXPECT_EQ(Refusal(changed), "it is in format version 3; this program replays versions 1 to 2");
  changed[8] = 0;
  EXPECT_EQ(Refusal(changed), "it is in format version 0; this program replays versions 1 to 2");
  // Format 1 read no serial numbers: such a call in it is damage.
  changed[8] = 1;
  EXPECT_THAT(Refusal(changed), StartsWith("it is corrupted: a record of unknown kind 0x1b"));
  changed = bytes;
  changed.back() ^= 1;
  EXPECT_EQ(Refusal(changed), "it is corrupted: its contents do not match its SHA-256");
  changed = bytes;
  changed.push_back(0);
  EXPECT_EQ(Refusal(changed), "it is corrupted: bytes follow its end record");
  EXPECT_EQ(Refusal(std::vector<std::uint8_t>{'M', 'Z', 0x90, 0}), "it is not a Burnbench recording");
}

TEST_F(RecordingFormatTest, NothingOverTheLimitsIsRead) {
  // A record that claims 64 MiB is refused before a byte of it is looked for.
  std::vector<std::uint8_t> bytes = EncodePreamble();
  for (const std::uint8_t byte : {0x01, 0x80, 0x80, 0x80, 0x20}) bytes.push_back(byte);
  EXPECT_EQ(Refusal(bytes), "it is over a limit: a record of 67108864 is over the limit of 33554432");

  // A file over 1 GiB is not even read.
  const std::string big = folder.File("big.bbrec");
  folder.Write("big.bbrec", EncodePreamble());
  std::filesystem::resize_file(big, kMaxRecordingBytes + 1);
  std::string error;
  EXPECT_FALSE(ReadRecordingFile(big, error));
  EXPECT_EQ(error, "it is over the size limit of 1 GiB");

  // A writer keeps to the limits: the recording ends before a transfer a
  // reader would refuse, says so, and stays readable up to there.
  RecordingWriter writer;
  ASSERT_TRUE(writer.Open(path, SampleHeader(), 0));
  writer.Add(Make(CallKind::kClose, 0));
  Call read = Make(CallKind::kRead, 0);
  read.size = read.done = static_cast<std::uint32_t>(kMaxDataBytes + 1);
  read.received.resize(read.size);
  writer.Add(read);
  writer.Add(Make(CallKind::kClose, 0));
  EXPECT_FALSE(writer.Close(0));
  EXPECT_EQ(writer.Incomplete(), "it ends before call 2: the call is larger than a recording holds");
  std::optional<Recording> kept = ReadRecordingFile(path, error);
  ASSERT_TRUE(kept) << error;
  EXPECT_EQ(kept->calls.size(), 1u);
  // A new recording starts whole.
  ASSERT_TRUE(writer.Open(path, SampleHeader(), 0));
  EXPECT_EQ(writer.Incomplete(), "");
  EXPECT_TRUE(writer.Close(0));
}

}  // namespace
}  // namespace bb::record
