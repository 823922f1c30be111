// The progress line of the command-line program, drawn from the counts that
// the transport beneath reports.
#include "app/progress_transport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "device/request_block.h"
#include "support/temp_folder.h"
#include "terminal_progress.h"
#include "util/byte_order.h"

namespace bb::cli {
namespace {

using ::testing::HasSubstr;

// A camera that says every transfer moved far more than it was given room for.
class OvercountingCamera final : public DeviceTransport {
 public:
  SetHandle OpenInterfaceSet(const Guid&) override { return kNoSet; }
  EnumResult EnumerateInterface(SetHandle, std::uint32_t) override { return EnumResult::kNoMoreItems; }
  bool ReadInterfacePath(SetHandle, std::uint32_t, std::string&) override { return false; }
  bool ReadInterfaceLocation(SetHandle, std::uint32_t, std::string&) override { return false; }
  bool ReadInterfaceSerial(SetHandle, std::uint32_t, std::string&) override { return false; }
  void CloseInterfaceSet(SetHandle) override {}
  Handle Open(const std::string&) override { return 1; }
  bool IoControl(Handle, std::uint32_t, std::span<std::uint8_t>) override { return true; }
  bool Read(Handle, std::span<std::uint8_t>, std::uint32_t& done) override {
    done = 0xFFFF0000u;
    return true;
  }
  bool Write(Handle, std::span<const std::uint8_t>, std::uint32_t& done) override {
    done = 0xFFFF0000u;
    return true;
  }
  void CancelPending(Handle) override {}
  void Close(Handle) override {}
};

TEST(ProgressTransportTest, ACountBeyondTheBufferNeverGoesPastAFullBar) {
  test::TempFolder folder;
  std::FILE* err = std::fopen(folder.File("err.txt").c_str(), "w+b");
  ASSERT_NE(err, nullptr);
  {
    Terminal terminal(stdout, err, false);
    OvercountingCamera camera;
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
