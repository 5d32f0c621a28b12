#pragma once
// The numbered run-time error every subsystem raises and catches: a number, the name of the
// operation that raised it and a description, as the business programs report them.
#include <stdexcept>
#include <string>

namespace zel::platform {

class RuntimeError : public std::runtime_error {
public:
    RuntimeError(int number, std::string source, std::string description)
        : std::runtime_error(description),
          number_(number),
          source_(std::move(source)),
          description_(std::move(description)) {}

    int Number() const noexcept { return number_; }
    const std::string& Source() const noexcept { return source_; }
    const std::string& Description() const noexcept { return description_; }

private:
    int number_;
    std::string source_;
    std::string description_;
};

// The classic run-time error numbers the business programs' runtime raises and their callers
// expect.
namespace err {
inline constexpr int kInvalidCall = 5;
inline constexpr int kOverflow = 6;
inline constexpr int kSubscript = 9;
inline constexpr int kDivisionByZero = 11;
inline constexpr int kTypeMismatch = 13;
inline constexpr int kBadFileNumber = 52;
inline constexpr int kFileNotFound = 53;
inline constexpr int kDeviceIO = 57;
inline constexpr int kFileAlreadyExists = 58;
inline constexpr int kDiskFull = 61;
inline constexpr int kBadRecordNumber = 63;
inline constexpr int kTooManyFiles = 67;
inline constexpr int kPermissionDenied = 70;
inline constexpr int kPathFileAccess = 75;
inline constexpr int kPathNotFound = 76;
inline constexpr int kObjectNotSet = 91;
inline constexpr int kDuplicateKey = 457;
}  // namespace err

// Raises error `number` with its classic description ("Overflow", "Type mismatch", ...).
[[noreturn]] void RaiseClassic(int number, const std::string& source);

}  // namespace zel::platform
