#include "platform/record/recording_format.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <system_error>

#include "util/format.h"
#include "util/paths.h"

namespace bb::record {

namespace {

// --- writing ---

class Bytes {
 public:
  void Byte(std::uint8_t value) { out_.push_back(value); }
  void Varint(std::uint64_t value) {
    while (value >= 0x80) {
      out_.push_back(static_cast<std::uint8_t>(value | 0x80));
      value >>= 7;
    }
    out_.push_back(static_cast<std::uint8_t>(value));
  }
  // Zigzag, so that the invalid handle -1 takes one byte.
  void Signed(std::int64_t value) {
    Varint((static_cast<std::uint64_t>(value) << 1) ^ static_cast<std::uint64_t>(value >> 63));
  }
  void Raw(std::span<const std::uint8_t> data) { out_.insert(out_.end(), data.begin(), data.end()); }
  void Data(std::span<const std::uint8_t> data) {
    Varint(data.size());
    Raw(data);
  }
  void Text(const std::string& text) {
    Varint(text.size());
    out_.insert(out_.end(), text.begin(), text.end());
  }
  void Flag(bool value) { Byte(value ? 1 : 0); }
  std::vector<std::uint8_t>& Out() { return out_; }

 private:
  std::vector<std::uint8_t> out_;
};

void PutGuid(Bytes& out, const Guid& guid) {
  for (int i = 0; i < 4; ++i) out.Byte(static_cast<std::uint8_t>(guid.data1 >> (8 * i)));
  for (const std::uint16_t half : {guid.data2, guid.data3}) {
    out.Byte(static_cast<std::uint8_t>(half));
    out.Byte(static_cast<std::uint8_t>(half >> 8));
  }
  out.Raw(guid.data4);
}

std::vector<std::uint8_t> Record(std::uint8_t kind, Bytes& payload) {
  Bytes record;
  record.Byte(kind);
  record.Data(payload.Out());
  return std::move(record.Out());
}

// --- reading ---

enum class Fault { kNone, kTruncated, kCorrupt, kTooLarge };

class Reader {
 public:
  Reader(std::span<const std::uint8_t> bytes, Fault ranOut) : bytes_(bytes), ranOut_(ranOut) {}

  bool Ok() const { return fault_ == Fault::kNone; }
  Fault GetFault() const { return fault_; }
  const std::string& What() const { return what_; }
  std::size_t Offset() const { return at_; }
  bool AtEnd() const { return at_ == bytes_.size(); }

  bool Fail(Fault fault, std::string what) {
    if (fault_ == Fault::kNone) {
      fault_ = fault;
      what_ = std::move(what);
    }
    return false;
  }

  bool Byte(std::uint8_t& value) {
    if (!Ok()) return false;
    if (at_ >= bytes_.size()) return Fail(ranOut_, "it ends inside a value");
    value = bytes_[at_++];
    return true;
  }
  bool Flag(bool& value) {
    std::uint8_t byte = 0;
    if (!Byte(byte)) return false;
    if (byte > 1) return Fail(Fault::kCorrupt, Format("a flag holds %u", byte));
    value = byte == 1;
    return true;
  }
  // Unsigned LEB128 in its shortest form, so that a value has one encoding.
  bool Varint(std::uint64_t& value) {
    value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      std::uint8_t byte = 0;
      if (!Byte(byte)) return false;
      const std::uint64_t part = byte & 0x7Fu;
      if (shift == 63 && part > 1) return Fail(Fault::kCorrupt, "a number is too large");
      value |= part << shift;
      if ((byte & 0x80) == 0) {
        if (byte == 0 && shift > 0) return Fail(Fault::kCorrupt, "a number is padded");
        return true;
      }
    }
    return Fail(Fault::kCorrupt, "a number is too long");
  }
  bool Varint32(std::uint32_t& value) {
    std::uint64_t wide = 0;
    if (!Varint(wide)) return false;
    if (wide > std::numeric_limits<std::uint32_t>::max()) {
      return Fail(Fault::kCorrupt, "a 32-bit number is too large");
    }
    value = static_cast<std::uint32_t>(wide);
    return true;
  }
  bool Signed(std::int64_t& value) {
    std::uint64_t zigzag = 0;
    if (!Varint(zigzag)) return false;
    value = static_cast<std::int64_t>(zigzag >> 1) ^ -static_cast<std::int64_t>(zigzag & 1);
    return true;
  }
  // A count or length checked against its limit before anything is allocated.
  bool Count(std::uint64_t& count, std::uint64_t limit, const char* what) {
    if (!Varint(count)) return false;
    if (count > limit) {
      return Fail(Fault::kTooLarge, Format("%s of %llu is over the limit of %llu", what,
                                           static_cast<unsigned long long>(count),
                                           static_cast<unsigned long long>(limit)));
    }
    return true;
  }
  bool Raw(std::span<std::uint8_t> out) {
    if (!Ok()) return false;
    if (bytes_.size() - at_ < out.size()) return Fail(ranOut_, "it ends inside a value");
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(at_), out.size(), out.begin());
    at_ += out.size();
    return true;
  }
  // A length-prefixed run of bytes, viewed where it lies.
  bool Slice(std::span<const std::uint8_t>& out, std::uint64_t limit, const char* what) {
    std::uint64_t length = 0;
    if (!Count(length, limit, what)) return false;
    if (bytes_.size() - at_ < length) return Fail(ranOut_, "it ends inside a value");
    out = bytes_.subspan(at_, static_cast<std::size_t>(length));
    at_ += static_cast<std::size_t>(length);
    return true;
  }
  bool Data(std::vector<std::uint8_t>& out, std::uint64_t limit, const char* what) {
    std::span<const std::uint8_t> slice;
    if (!Slice(slice, limit, what)) return false;
    out.assign(slice.begin(), slice.end());
    return true;
  }
  bool Text(std::string& out) {
    std::uint64_t length = 0;
    if (!Count(length, kMaxTextBytes, "a text")) return false;
    if (bytes_.size() - at_ < length) return Fail(ranOut_, "it ends inside a value");
    const auto size = static_cast<std::size_t>(length);  // within the limit, so within the file
    out.assign(reinterpret_cast<const char*>(bytes_.data() + at_), size);
    at_ += size;
    return true;
  }
  bool GuidValue(Guid& guid) {
    std::array<std::uint8_t, 16> raw{};
    if (!Raw(raw)) return false;
    guid.data1 = static_cast<std::uint32_t>(raw[0] | raw[1] << 8 | raw[2] << 16) |
                 static_cast<std::uint32_t>(raw[3]) << 24;
    guid.data2 = static_cast<std::uint16_t>(raw[4] | raw[5] << 8);
    guid.data3 = static_cast<std::uint16_t>(raw[6] | raw[7] << 8);
    std::copy_n(raw.begin() + 8, 8, guid.data4.begin());
    return true;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  Fault ranOut_;
  std::size_t at_ = 0;
  Fault fault_ = Fault::kNone;
  std::string what_;
};

bool IsCallKind(std::uint8_t kind, unsigned version) {
  const std::uint8_t lastTransportKind = version >= 2 ? 0x1B : 0x1A;
  return (kind >= 0x10 && kind <= lastTransportKind) || (kind >= 0x20 && kind <= 0x22);
}

bool ParseHeader(Reader& in, RecordingHeader& header) {
  in.Text(header.program);
  in.Text(header.platform);
  in.Text(header.started);
  std::uint64_t commands = 0;
  if (!in.Count(commands, kMaxCommands, "a list of commands")) return false;
  if (commands == 0) return in.Fail(Fault::kCorrupt, "the header names no command");
  header.commands.resize(static_cast<std::size_t>(commands));
  for (std::vector<std::string>& command : header.commands) {
    std::uint64_t arguments = 0;
    if (!in.Count(arguments, kMaxArguments, "a command line")) return false;
    command.resize(static_cast<std::size_t>(arguments));
    for (std::string& argument : command) in.Text(argument);
  }
  std::uint64_t images = 0;
  if (!in.Count(images, kMaxImages, "a list of image files")) return false;
  header.images.resize(static_cast<std::size_t>(images));
  for (ImageFile& image : header.images) {
    in.Text(image.role);
    in.Text(image.path);
    in.Flag(image.present);
    if (image.present) {
      in.Varint(image.size);
      in.Raw(image.digest);
    }
  }
  return in.Ok();
}

bool ParseCall(Reader& in, CallKind kind, Call& call) {
  call.kind = kind;
  in.Varint(call.atUs);
  in.Varint(call.tookUs);
  switch (kind) {
    case CallKind::kOpenInterfaceSet:
      in.GuidValue(call.interfaceClass);
      in.Signed(call.result);
      break;
    case CallKind::kEnumerateInterface: {
      in.Signed(call.target);
      in.Varint32(call.number);
      std::uint8_t result = 0;
      if (in.Byte(result) && result > 2) return in.Fail(Fault::kCorrupt, "an enumeration result is unknown");
      call.result = result;
      break;
    }
    case CallKind::kReadInterfacePath:
    case CallKind::kReadInterfaceLocation:
    case CallKind::kReadInterfaceSerial:
      in.Signed(call.target);
      in.Varint32(call.number);
      if (in.Flag(call.ok) && call.ok) in.Text(call.text);
      break;
    case CallKind::kCloseInterfaceSet:
    case CallKind::kCancelPending:
    case CallKind::kClose:
    case CallKind::kUnregisterArrival:
      in.Signed(call.target);
      break;
    case CallKind::kOpen:
      in.Text(call.path);
      in.Signed(call.result);
      break;
    case CallKind::kIoControl:
      in.Signed(call.target);
      in.Varint32(call.number);
      in.Data(call.block, kMaxBlockBytes, "a request block");
      in.Varint32(call.lengthCell);
      in.Data(call.sent, kMaxDataBytes, "a data stage");
      in.Flag(call.ok);
      in.Data(call.received, kMaxDataBytes, "a data stage");
      // No camera answers beyond wLength; a replay would hand the excess on.
      if (in.Ok() && std::max(call.sent.size(), call.received.size()) > (call.lengthCell & 0xFFFFu)) {
        return in.Fail(Fault::kCorrupt, "a data stage is longer than its request's length");
      }
      break;
    case CallKind::kRead:
      in.Signed(call.target);
      in.Varint32(call.size);
      in.Flag(call.ok);
      in.Varint32(call.done);
      in.Data(call.received, kMaxDataBytes, "a bulk read");
      if (in.Ok() && call.done > call.size) {
        return in.Fail(Fault::kCorrupt, "a bulk read moved more bytes than it was asked for");
      }
      if (in.Ok() && call.received.size() != call.done) {
        return in.Fail(Fault::kCorrupt, "a bulk read holds another count of bytes than it moved");
      }
      break;
    case CallKind::kWrite: {
      in.Signed(call.target);
      in.Varint32(call.size);
      bool hashed = false;
      if (in.Flag(hashed) && hashed) {
        call.sentDigest.emplace();
        in.Raw(*call.sentDigest);
      } else {
        in.Data(call.sent, kMaxDataBytes, "a bulk write");
        if (in.Ok() && call.sent.size() != call.size) {
          return in.Fail(Fault::kCorrupt, "a bulk write holds another count of bytes than it was given");
        }
      }
      in.Flag(call.ok);
      in.Varint32(call.done);
      if (in.Ok() && call.done > call.size) {
        return in.Fail(Fault::kCorrupt, "a bulk write moved more bytes than it was given");
      }
      break;
    }
    case CallKind::kRegisterArrival:
      in.Signed(call.result);
      break;
    case CallKind::kDeviceChange:
      in.Varint32(call.number);
      in.Flag(call.ok);
      in.Text(call.path);
      break;
  }
  return in.Ok();
}

bool ParseEnd(Reader& in, std::optional<int>& exitStatus, Sha256Digest& digest) {
  bool hasStatus = false;
  if (in.Flag(hasStatus) && hasStatus) {
    std::int64_t status = 0;
    if (in.Signed(status) && (status < std::numeric_limits<int>::min() || status > std::numeric_limits<int>::max())) {
      return in.Fail(Fault::kCorrupt, "the exit status is out of range");
    }
    exitStatus = static_cast<int>(status);
  }
  in.Raw(digest);
  return in.Ok();
}

const char* FaultWord(Fault fault) {
  switch (fault) {
    case Fault::kTruncated:
      return "truncated";
    case Fault::kTooLarge:
      return "over a limit";
    default:
      return "corrupted";
  }
}

}  // namespace

std::vector<std::uint8_t> EncodePreamble() {
  Bytes out;
  out.Raw(kMagic);
  out.Byte(static_cast<std::uint8_t>(kFormatVersion));
  out.Byte(static_cast<std::uint8_t>(kFormatVersion >> 8));
  return std::move(out.Out());
}

std::vector<std::uint8_t> EncodeHeader(const RecordingHeader& header) {
  Bytes payload;
  payload.Text(header.program);
  payload.Text(header.platform);
  payload.Text(header.started);
  payload.Varint(header.commands.size());
  for (const std::vector<std::string>& command : header.commands) {
    payload.Varint(command.size());
    for (const std::string& argument : command) payload.Text(argument);
  }
  payload.Varint(header.images.size());
  for (const ImageFile& image : header.images) {
    payload.Text(image.role);
    payload.Text(image.path);
    payload.Flag(image.present);
    if (image.present) {
      payload.Varint(image.size);
      payload.Raw(image.digest);
    }
  }
  return Record(kHeaderKind, payload);
}

std::vector<std::uint8_t> EncodeCall(const Call& call) {
  Bytes payload;
  payload.Varint(call.atUs);
  payload.Varint(call.tookUs);
  switch (call.kind) {
    case CallKind::kOpenInterfaceSet:
      PutGuid(payload, call.interfaceClass);
      payload.Signed(call.result);
      break;
    case CallKind::kEnumerateInterface:
      payload.Signed(call.target);
      payload.Varint(call.number);
      payload.Byte(static_cast<std::uint8_t>(call.result));
      break;
    case CallKind::kReadInterfacePath:
    case CallKind::kReadInterfaceLocation:
    case CallKind::kReadInterfaceSerial:
      payload.Signed(call.target);
      payload.Varint(call.number);
      payload.Flag(call.ok);
      if (call.ok) payload.Text(call.text);
      break;
    case CallKind::kCloseInterfaceSet:
    case CallKind::kCancelPending:
    case CallKind::kClose:
    case CallKind::kUnregisterArrival:
      payload.Signed(call.target);
      break;
    case CallKind::kOpen:
      payload.Text(call.path);
      payload.Signed(call.result);
      break;
    case CallKind::kIoControl:
      payload.Signed(call.target);
      payload.Varint(call.number);
      payload.Data(call.block);
      payload.Varint(call.lengthCell);
      payload.Data(call.sent);
      payload.Flag(call.ok);
      payload.Data(call.received);
      break;
    case CallKind::kRead:
      payload.Signed(call.target);
      payload.Varint(call.size);
      payload.Flag(call.ok);
      payload.Varint(call.done);
      payload.Data(call.received);
      break;
    case CallKind::kWrite:
      payload.Signed(call.target);
      payload.Varint(call.size);
      payload.Flag(call.sentDigest.has_value());
      if (call.sentDigest) {
        payload.Raw(*call.sentDigest);
      } else {
        payload.Data(call.sent);
      }
      payload.Flag(call.ok);
      payload.Varint(call.done);
      break;
    case CallKind::kRegisterArrival:
      payload.Signed(call.result);
      break;
    case CallKind::kDeviceChange:
      payload.Varint(call.number);
      payload.Flag(call.ok);
      payload.Text(call.path);
      break;
  }
  return Record(static_cast<std::uint8_t>(call.kind), payload);
}

std::vector<std::uint8_t> EncodeEnd(std::optional<int> exitStatus, Sha256& written) {
  Bytes payload;
  payload.Flag(exitStatus.has_value());
  if (exitStatus) payload.Signed(*exitStatus);
  payload.Raw(Sha256Digest{});
  std::vector<std::uint8_t> record = Record(kEndKind, payload);
  const std::size_t digestAt = record.size() - Sha256Digest{}.size();
  written.Update(std::span(record).first(digestAt));
  const Sha256Digest digest = written.Finish();
  std::copy(digest.begin(), digest.end(), record.begin() + static_cast<std::ptrdiff_t>(digestAt));
  return record;
}

bool FitsLimits(const Call& call) {
  return call.block.size() <= kMaxBlockBytes && call.sent.size() <= kMaxDataBytes &&
         call.received.size() <= kMaxDataBytes && call.path.size() <= kMaxTextBytes &&
         call.text.size() <= kMaxTextBytes;
}

std::string CommandLineOverLimits(const std::vector<std::string>& arguments) {
  if (arguments.size() > kMaxArguments) {
    return Format("it has %zu arguments; a recording holds at most %llu", arguments.size(),
                  static_cast<unsigned long long>(kMaxArguments));
  }
  for (const std::string& argument : arguments) {
    if (argument.size() > kMaxTextBytes) {
      return Format("an argument has %zu bytes; a recording holds at most %llu", argument.size(),
                    static_cast<unsigned long long>(kMaxTextBytes));
    }
  }
  return {};
}

std::optional<Recording> ParseRecording(std::span<const std::uint8_t> bytes, std::string& error) {
  if (bytes.size() > kMaxRecordingBytes) {
    error = "it is over the size limit of 1 GiB";
    return std::nullopt;
  }
  constexpr std::size_t preambleSize = kMagic.size() + 2;
  const std::size_t magicSeen = std::min(bytes.size(), kMagic.size());
  if (bytes.empty()) {
    error = "it is empty";
    return std::nullopt;
  }
  if (!std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(magicSeen),
                                   kMagic.begin())) {
    error = "it is not a Burnbench recording";
    return std::nullopt;
  }
  if (bytes.size() < preambleSize) {
    error = "it is truncated: it ends inside its first bytes";
    return std::nullopt;
  }
  const unsigned version = bytes[8] | static_cast<unsigned>(bytes[9]) << 8;
  if (version < kOldestFormatVersion || version > kFormatVersion) {
    error = Format("it is in format version %u; this program replays versions %u to %u", version,
                   static_cast<unsigned>(kOldestFormatVersion), static_cast<unsigned>(kFormatVersion));
    return std::nullopt;
  }

  Recording recording;
  recording.formatVersion = static_cast<std::uint16_t>(version);
  Reader file(bytes, Fault::kTruncated);
  Sha256Digest written{};
  bool seenHeader = false;
  bool seenEnd = false;
  std::array<std::uint8_t, preambleSize> preamble{};
  file.Raw(preamble);
  while (file.Ok() && !file.AtEnd() && !seenEnd) {
    const std::size_t recordAt = file.Offset();
    std::uint8_t kind = 0;
    std::span<const std::uint8_t> payload;
    file.Byte(kind);
    if (!file.Slice(payload, kMaxRecordBytes, "a record")) break;
    Reader in(payload, Fault::kCorrupt);
    if (!seenHeader && kind != kHeaderKind) {
      file.Fail(Fault::kCorrupt, "it does not start with its header");
      break;
    }
    if (kind == kHeaderKind) {
      if (seenHeader) {
        file.Fail(Fault::kCorrupt, "it holds a second header");
        break;
      }
      seenHeader = true;
      ParseHeader(in, recording.header);
    } else if (kind == kEndKind) {
      seenEnd = true;
      ParseEnd(in, recording.exitStatus, written);
    } else if (IsCallKind(kind, version)) {
      if (recording.calls.size() >= kMaxCalls) {
        file.Fail(Fault::kTooLarge, "it holds more calls than the limit of 1000000");
        break;
      }
      Call call;
      if (ParseCall(in, static_cast<CallKind>(kind), call)) recording.calls.push_back(std::move(call));
    } else {
      in.Fail(Fault::kCorrupt, Format("a record of unknown kind 0x%02x", kind));
    }
    if (in.Ok() && !in.AtEnd()) in.Fail(Fault::kCorrupt, "a record is longer than its content");
    if (!in.Ok()) {
      file.Fail(in.GetFault(), Format("%s (the record at byte %zu)", in.What().c_str(), recordAt));
      break;
    }
  }
  if (file.Ok() && seenEnd && !file.AtEnd()) file.Fail(Fault::kCorrupt, "bytes follow its end record");
  if (file.Ok() && !seenEnd) {
    file.Fail(Fault::kTruncated, Format("it ends after call %zu without its end record", recording.calls.size()));
  }
  if (!file.Ok()) {
    error = Format("it is %s: %s", FaultWord(file.GetFault()), file.What().c_str());
    return std::nullopt;
  }
  // The checksum comes last, so that a damaged record is named when it can be.
  Sha256 hash;
  hash.Update(bytes.first(bytes.size() - written.size()));
  if (hash.Finish() != written) {
    error = "it is corrupted: its contents do not match its SHA-256";
    return std::nullopt;
  }
  return recording;
}

std::optional<Recording> ReadRecordingFile(const std::string& path, std::string& error) {
  std::error_code code;
  const std::uintmax_t size = std::filesystem::file_size(FsPath(path), code);
  if (code) {
    error = "it cannot be read";
    return std::nullopt;
  }
  if (size > kMaxRecordingBytes) {
    error = "it is over the size limit of 1 GiB";
    return std::nullopt;
  }
  std::ifstream in(FsPath(path), std::ios::binary);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())) ||
      in.peek() != std::ifstream::traits_type::eof()) {
    error = "it cannot be read";
    return std::nullopt;
  }
  return ParseRecording(bytes, error);
}

}  // namespace bb::record
