#include "device/device_commands.h"

#include <algorithm>
#include <memory>

#include "device/command_table.h"
#include "device/primitives.h"
#include "device/status_codes.h"
#include "device/usb_pipes.h"
#include "util/byte_order.h"
#include "util/format.h"

namespace bb {

DeviceCommands::DeviceCommands(DeviceLink& link, Console& console, const Context& context)
    : link_(link), console_(console), context_(context) {}

int DeviceCommands::WriteRegion(std::span<const std::uint8_t> data, std::uint32_t address,
                                std::uint32_t size) {
  std::array<std::uint8_t, 8> header{};
  PutLe32(header, 0, address);
  PutLe32(header, 4, size);
  constexpr Command command = CommandTable::RamDownloadHeader;
  const int status =
      link_.VendorOut(command.bRequest, command.wValue, command.wIndex, command.wLength, header);
  if (status != kOk) return status;
  return link_.BulkWrite(size, context_.transfer.BulkChunk, data);
}

int DeviceCommands::QueryWriteStatusByte(std::size_t which, std::uint8_t* out) {
  if (out == nullptr) return kFailed;
  *out = 0;
  std::unique_ptr<UsbPipes> pipes = link_.NewPipes();
  if (!pipes) return kRequestFailed;
  std::array<std::uint8_t, 2> reply{};
  constexpr Command command = CommandTable::WriteStatusQuery;
  const int status =
      ControlIn(*pipes, command.bRequest, command.wValue, command.wIndex, command.wLength, reply);
  if (status != kOk) return kRequestFailed;
  *out = reply[which];
  return kOk;
}

int DeviceCommands::QueryWriteStatus(std::uint8_t* status) { return QueryWriteStatusByte(0, status); }

int DeviceCommands::QueryStorage(std::uint8_t* present) { return QueryWriteStatusByte(1, present); }

int DeviceCommands::WaitWriteDone(std::uint32_t sleepMs, std::uint32_t count) {
  std::uint8_t status = 0;
  for (std::uint32_t polls = 0; status == 0 && polls < count; ++polls) {
    link_.GetClock().SleepMs(sleepMs);
    const int result = QueryWriteStatus(&status);
    if (result != kOk) return result;
  }
  return status == 1 ? kOk : kIspTimeout;
}

int DeviceCommands::QueryApVersion(VersionRecord& record) {
  constexpr Command command = CommandTable::ApVersionQuery;
  const int status =
      link_.VendorIn(command.bRequest, command.wValue, command.wIndex, command.wLength, record);
  if (status != kOk) return status;
  if (record[0] >= 2) return kOk;
  // Older cameras answer one byte per request. A byte that did not come would
  // show a stale value as the version, so any failure fails the query.
  for (std::uint16_t index = 1; index <= 4; ++index) {
    const int byte = link_.VendorIn(command.bRequest, command.wValue, index, 1,
                                    std::span<std::uint8_t>(record).subspan(index, 1));
    if (byte != kOk) return byte;
  }
  return kOk;
}

int DeviceCommands::QueryIspVersion(VersionRecord& record) {
  constexpr Command command = CommandTable::IspVersionQuery;
  return link_.VendorIn(command.bRequest, command.wValue, command.wIndex, command.wLength, record);
}

int DeviceCommands::QueryCustomerVersion(VersionRecord& record) {
  constexpr Command command = CommandTable::CustomerVersionQuery;
  if (IsAbsent(command)) {
    std::fill_n(record.begin(), 5, std::uint8_t{0});
    return kOk;
  }
  return link_.VendorIn(command.bRequest, command.wValue, command.wIndex, command.wLength, record);
}

void DeviceCommands::CheckVersions() {
  console_.ClearLog();
  VersionRecord record{};
  if (QueryApVersion(record) != kOk) {
    console_.AddLogLine("Get AP Version Failed!");
    return;
  }
  versions_.ap = record;
  console_.AddLogLine(Format("AP Version(%d,%d,%d,%d)", record[0], record[1], record[2], record[3]));
  if (QueryIspVersion(record) != kOk) return;
  versions_.isp = record;
  console_.AddLogLine(
      Format("F/W Version(%d,%d,%d,%d) [Corvane]", record[0], record[1], record[2], record[3]));
  if (QueryCustomerVersion(record) != kOk) return;
  versions_.customer = record;
  console_.AddLogLine(
      Format("F/W Version(%d,%d,%d,%d) [Customer]", record[0], record[1], record[2], record[3]));
}

void DeviceCommands::ShowIspVersion() {
  VersionRecord record{};
  if (QueryIspVersion(record) != kOk) {
    console_.AddLogLine("Get ISP Version Failed!");
    return;
  }
  versions_.isp = record;
  console_.AddLogLine(
      Format("ISP Version(%d,%d,%d,%d)", record[0], record[1], record[2], record[3]));
  const ProductVersion& tool = context_.productVersion;
  const unsigned a = record[0], b = record[1], c = record[2], d = record[3];
  if (tool.Revision() != 0) {
    console_.SetCaption(Format("ISP 2860 [%u.%u.%u.%u] - [%u.%u.%u.%u]", tool.Major(),
                               tool.Minor(), tool.Build(), tool.Revision(), a, b, c, d));
  } else {
    console_.SetCaption(Format("ISP 2860 [%u.%u.%u] - [%u.%u.%u.%u]", tool.Major(), tool.Minor(),
                               tool.Build(), a, b, c, d));
  }
}

}  // namespace bb
