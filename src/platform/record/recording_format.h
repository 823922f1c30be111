#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/record/recording.h"

namespace bb::record {

// The session-recording file; recording-format.md beside this file describes it byte by byte.
// A preamble (magic and format version), then records of one kind byte, a
// length and that many bytes: the header first, the calls in order, and an end
// record with the exit status and, in its last 32 bytes, the SHA-256 of every
// byte of the file before them.
inline constexpr std::array<std::uint8_t, 8> kMagic = {'B', 'B', 'R', 'E', 'C', '\r', '\n', 0x1A};
inline constexpr std::uint16_t kFormatVersion = 2;
// Version 1 lacks the serial numbers, and is still replayed.
inline constexpr std::uint16_t kOldestFormatVersion = 1;
inline constexpr std::uint8_t kHeaderKind = 0x01;
inline constexpr std::uint8_t kEndKind = 0x7F;

// What a reader accepts, so that no file makes it allocate or loop beyond these.
inline constexpr std::uint64_t kMaxRecordingBytes = std::uint64_t{1} << 30;
inline constexpr std::uint64_t kMaxRecordBytes = std::uint64_t{32} << 20;
inline constexpr std::uint64_t kMaxDataBytes = std::uint64_t{16} << 20;
inline constexpr std::uint64_t kMaxTextBytes = 32767;
inline constexpr std::uint64_t kMaxBlockBytes = 64;
inline constexpr std::uint64_t kMaxCalls = 1'000'000;
inline constexpr std::uint64_t kMaxCommands = 16;
inline constexpr std::uint64_t kMaxArguments = 64;
inline constexpr std::uint64_t kMaxImages = 16;

std::vector<std::uint8_t> EncodePreamble();
std::vector<std::uint8_t> EncodeHeader(const RecordingHeader& header);
std::vector<std::uint8_t> EncodeCall(const Call& call);
// `written` has hashed every byte of the file so far.
std::vector<std::uint8_t> EncodeEnd(std::optional<int> exitStatus, Sha256& written);

// True when a call fits the reader's limits; a writer keeps to them.
bool FitsLimits(const Call& call);

// Why a reader would refuse a recording of this command line (its arguments
// without the program name), or empty when it fits.
std::string CommandLineOverLimits(const std::vector<std::string>& arguments);

// Reads a whole recording. On failure returns nullopt and a sentence for the
// operator in `error`: the recording is truncated, corrupted, of another
// format version, or over a limit.
std::optional<Recording> ParseRecording(std::span<const std::uint8_t> bytes, std::string& error);

// Reads and parses a recording file, refusing one over kMaxRecordingBytes
// before reading it.
std::optional<Recording> ReadRecordingFile(const std::string& path, std::string& error);

}  // namespace bb::record
