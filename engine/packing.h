#pragma once
// Big-endian binary integers of 1 to 4 bytes inside record images.
//
// A record image is a std::string holding one byte per char; positions count from 1. The code
// letter picks the field: "B", "C", "D" unsigned of 1, 2, 3 bytes; "I", "J", "K" signed of 1, 2,
// 3 bytes; "L" signed of 4 bytes. Failures raise platform::RuntimeError:
//   100 unknown code, 31 field does not fit in the image, 5 position below 1 (and, for the
//   signed short codes, a position past the end, since their sign byte is read first).
// The image is never changed by a failing call, and neither operation changes its length.
#include <cstdint>
#include <string>
#include <string_view>

namespace zel::engine {

// Upper-cases `opCode` in the caller's variable, then writes the low-order bytes of `value`
// (no range check: 300 as "B" stores 44) at `position` of `data`.
void Pack(std::string& opCode, std::string& data, std::int32_t value, std::int32_t position);
// Upper-cases `opCode` in the caller's variable and reads the field at `position`.
std::int32_t Unpack(std::string& opCode, std::string_view data, std::int32_t position);

// The same for engine code that holds the code letter as a char (any case).
void Pack(char opCode, std::string& data, std::int32_t value, std::int32_t position);
std::int32_t Unpack(char opCode, std::string_view data, std::int32_t position);

}  // namespace zel::engine
