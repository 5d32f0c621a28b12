#include "platform/error.h"

namespace zel::platform {

namespace {
const char* ClassicText(int number) {
    switch (number) {
        case err::kInvalidCall: return "Invalid procedure call or argument";
        case err::kOverflow: return "Overflow";
        case err::kSubscript: return "Subscript out of range";
        case err::kDivisionByZero: return "Division by zero";
        case err::kTypeMismatch: return "Type mismatch";
        case err::kBadFileNumber: return "Bad file name or number";
        case err::kFileNotFound: return "File not found";
        case err::kDeviceIO: return "Device I/O error";
        case err::kFileAlreadyExists: return "File already exists";
        case err::kDiskFull: return "Disk full";
        case err::kBadRecordNumber: return "Bad record number";
        case err::kTooManyFiles: return "Too many files";
        case err::kPermissionDenied: return "Permission denied";
        case err::kPathFileAccess: return "Path/File access error";
        case err::kPathNotFound: return "Path not found";
        case err::kObjectNotSet: return "Object variable or With block variable not set";
        case err::kDuplicateKey:
            return "This key is already associated with an element of this collection";
        default: return "Application-defined or object-defined error";
    }
}
}  // namespace

void RaiseClassic(int number, const std::string& source) {
    throw RuntimeError(number, source, ClassicText(number));
}

}  // namespace zel::platform
