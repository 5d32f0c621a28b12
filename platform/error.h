#pragma once
// The numbered run-time error every subsystem raises and catches: a number, the name of the
// operation that raised it and a description, as the business programs report them.
#include <stdexcept>
#include <string>

namespace zel::platform {

class RuntimeError : public std::runtime_error {
public:
    RuntimeError(int number, std::string source, std::string description)
        : std::runtime_error(description), number_(number), source_(std::move(source)),
          description_(std::move(description)) {}

    int Number() const noexcept { return number_; }
    const std::string& Source() const noexcept { return source_; }
    const std::string& Description() const noexcept { return description_; }

private:
    int number_;
    std::string source_;
    std::string description_;
};

// Error numbers the platform layer raises (the classic run-time numbers callers expect).
namespace err {
inline constexpr int kFileNotFound = 53;
inline constexpr int kFileAlreadyExists = 58;
inline constexpr int kPermissionDenied = 70;
inline constexpr int kPathFileAccess = 75;
inline constexpr int kPathNotFound = 76;
inline constexpr int kDeviceIO = 57;
inline constexpr int kTypeMismatch = 13;
inline constexpr int kOverflow = 6;
}  // namespace err

}  // namespace zel::platform
