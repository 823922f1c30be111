#pragma once

#include <string>

#include "platform/record/call.h"

namespace bb::record {

// A text of a recording as it may reach a terminal: control characters (an
// escape sequence in a path of a foreign recording) shown as \xNN, so that
// no text of a file can move the cursor, retitle the window or break a line.
std::string Printable(const std::string& text);

// One line for what a call asked: "Open \\?\usb#...\PIPE00", "IoControl
// 0x22000c on handle 3: request 0x70 value 0x0 index 0x0 length 5 in".
std::string DescribeRequest(const Call& call);
// What came back: "handle 3", "ok, 5 bytes: 03 00 00 02 00".
std::string DescribeOutcome(const Call& call);
// Where two calls that ask differently part, when the lines above may not
// show it: "the data sent differs from byte 4096". Empty otherwise.
std::string DescribeDifference(const Call& recorded, const Call& asked);

}  // namespace bb::record
