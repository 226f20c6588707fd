#pragma once
// One line of text per frame for the trace file: time, direction, the bytes on the wire in
// hex, and what they mean.
#include <string>

#include "link/bytes.h"

namespace kt6::sim {

// "F5 0D 01 59 FA".
std::string hexBytes(const Bytes& bytes);
// What a command's content asks: "seq=0D key 5".
std::string describeCommand(const Bytes& content);
// What a reply's content says, read with the command it answers.
std::string describeReply(const Bytes& command, const Bytes& reply);
// "   12.345678 IN  <hex>  <text>", seconds since the controller started.
std::string traceLine(double seconds, const char* direction, const Bytes& wire,
                      const std::string& text);

}  // namespace kt6::sim
