#pragma once
// The classic run-time errors the engine raises where the business programs' own runtime would
// (overflow of an offset, an object that is not set, ...). Errors with the engine's own numbers
// and texts are raised where they occur.
#include <string>

#include "platform/error.h"

namespace zel::engine {

namespace err {
inline constexpr int kInvalidCall = 5;
inline constexpr int kOverflow = 6;
inline constexpr int kSubscript = 9;
inline constexpr int kDivisionByZero = 11;
inline constexpr int kTypeMismatch = 13;
inline constexpr int kBadFileNumber = 52;
inline constexpr int kDeviceIO = 57;
inline constexpr int kDiskFull = 61;
inline constexpr int kBadRecordNumber = 63;
inline constexpr int kObjectNotSet = 91;
inline constexpr int kDuplicateKey = 457;
}  // namespace err

// Raises error `number` with its classic description ("Overflow", "Type mismatch", ...).
[[noreturn]] void RaiseClassic(int number, const std::string& source);

}  // namespace zel::engine
