// The progress line of the command-line program, drawn from the counts that
// the transport beneath reports.
#include "app/progress_transport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "device/request_block.h"
#include "support/temp_folder.h"
#include "terminal_progress.h"
#include "util/byte_order.h"

namespace bb::cli {
namespace {

using ::testing::HasSubstr;

// A camera that says each transfer moved `reported` bytes, or, without it,
// exactly what it was given.
class CountingCamera final : public DeviceTransport {
 public:
  explicit CountingCamera(std::optional<std::uint32_t> reported = std::nullopt) : reported_(reported) {}
  SetHandle OpenInterfaceSet(const Guid&) override { return kNoSet; }
  EnumResult EnumerateInterface(SetHandle, std::uint32_t) override { return EnumResult::kNoMoreItems; }
  bool ReadInterfacePath(SetHandle, std::uint32_t, std::string&) override { return false; }
  bool ReadInterfaceLocation(SetHandle, std::uint32_t, std::string&) override { return false; }
  bool ReadInterfaceSerial(SetHandle, std::uint32_t, std::string&) override { return false; }
  void CloseInterfaceSet(SetHandle) override {}
  Handle Open(const std::string&) override { return 1; }
  bool IoControl(Handle, std::uint32_t, std::span<std::uint8_t>) override { return true; }
  bool Read(Handle, std::span<std::uint8_t> buffer, std::uint32_t& done) override {
    done = reported_.value_or(static_cast<std::uint32_t>(buffer.size()));
    return true;
  }
  bool Write(Handle, std::span<const std::uint8_t> data, std::uint32_t& done) override {
    done = reported_.value_or(static_cast<std::uint32_t>(data.size()));
    return true;
  }
  void CancelPending(Handle) override {}
  void Close(Handle) override {}

 private:
  std::optional<std::uint32_t> reported_;
};

// The RAM download header of a transfer of `length` bytes, as a request block.
std::array<std::uint8_t, RequestBlock::kSize> DownloadHeader(std::array<std::uint8_t, 8>& data,
                                                             const std::uint32_t& length, std::uint32_t bytes) {
  PutLe32(data, 4, bytes);
  RequestBlock block;
  block.bRequest = 0xFD;
  block.wValue = 0x04F3;
  block.dataAddress = data.data();
  block.lengthAddress = &length;
  return block.Encode();
}

// What a station is told of a transfer: the bytes done at each telling.
class CountedProgress final : public TransferProgress {
 public:
  void Moved(const char*, std::uint64_t done, std::uint64_t) override { told.push_back(done); }
  void StoragePolled(std::uint32_t) override {}
  void Finished() override {}
  std::vector<std::uint64_t> told;
};

// A transfer of 100 pieces, 10 ms apart, is shown at its first piece, every
// 100 ms after, and at its end: on a terminal's line and to a station alike,
// never at every piece.
TEST(ProgressTransportTest, ATransferIsShownAtMostEveryTenthOfASecond) {
  for (const bool station : {false, true}) {
    SCOPED_TRACE(station ? "station" : "terminal");
    test::TempFolder folder;
    std::FILE* err = std::fopen(folder.File("err.txt").c_str(), "w+b");
    ASSERT_NE(err, nullptr);
    CountedProgress counted;
    {
      Terminal terminal(stdout, err, false);
      CountingCamera camera;
      TerminalProgress bar(TerminalChannel{terminal, terminal.AddChannel("")});
      ProgressTransport::Steady::time_point now{};
      ProgressTransport progress(camera, station ? static_cast<TransferProgress&>(counted) : bar, 256,
                                 [&now] { return now; });
      std::array<std::uint8_t, 8> data{};
      const std::uint32_t length = data.size();
      std::array<std::uint8_t, RequestBlock::kSize> header = DownloadHeader(data, length, 100 * 0x100);
      ASSERT_TRUE(progress.IoControl(1, kIoctlVendorRequest, header));
      std::array<std::uint8_t, 0x100> piece{};
      std::uint32_t done = 0;
      for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(progress.Write(1, piece, done));
        now += std::chrono::milliseconds(10);
      }
      progress.Finish();
    }
    std::fclose(err);
    const std::vector<std::uint8_t> shown = folder.Read("err.txt");
    const std::string text(shown.begin(), shown.end());
    if (station) {
      std::vector<std::uint64_t> expected;
      for (std::uint64_t piece = 1; piece <= 91; piece += 10) expected.push_back(piece * 0x100);
      expected.push_back(100 * 0x100);
      EXPECT_EQ(counted.told, expected);
      EXPECT_EQ(text, "");
    } else {
      EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 11) << text;
      EXPECT_THAT(text, HasSubstr("[" + std::string(30, '#') + "] 25600/25600 bytes written\n"));
    }
  }
}

TEST(ProgressTransportTest, ACountBeyondTheBufferNeverGoesPastAFullBar) {
  test::TempFolder folder;
  std::FILE* err = std::fopen(folder.File("err.txt").c_str(), "w+b");
  ASSERT_NE(err, nullptr);
  {
    Terminal terminal(stdout, err, false);
    CountingCamera camera(0xFFFF0000u);
    TerminalProgress bar(TerminalChannel{terminal, terminal.AddChannel("")});
    ProgressTransport progress(camera, bar, 256);
    // A read request announces what the reads will move: here less than
    // the buffer of the first read holds.
    std::array<std::uint8_t, 8> request{};
    PutLe32(request, 4, 0x80);
    const std::uint32_t length = request.size();
    RequestBlock block;
    block.bRequest = 0xFD;
    block.wValue = 0x04F2;
    block.dataAddress = request.data();
    block.lengthAddress = &length;
    std::array<std::uint8_t, RequestBlock::kSize> bytes = block.Encode();
    ASSERT_TRUE(progress.IoControl(1, kIoctlVendorRequest, bytes));
    std::array<std::uint8_t, 0x100> piece{};
    std::uint32_t done = 0;
    EXPECT_TRUE(progress.Read(1, piece, done));
    EXPECT_EQ(done, 0xFFFF0000u) << "the count is passed on as it came";
    progress.Finish();
  }
  std::fclose(err);
  const std::vector<std::uint8_t> shown = folder.Read("err.txt");
  EXPECT_THAT(std::string(shown.begin(), shown.end()),
              HasSubstr("[" + std::string(30, '#') + "] 256/128 bytes read"));
}

}  // namespace
}  // namespace bb::cli
