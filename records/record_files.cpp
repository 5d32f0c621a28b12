#include "records/record_files.h"

#include <exception>

#include "engine/fileio.h"
#include "engine/link.h"
#include "platform/error.h"

namespace zel::records {

namespace {

std::shared_ptr<engine::cLogicalFile> OpenOrNone(const std::string& name) {
    try {
        return engine::LogicalOpen(name);
    } catch (const std::exception&) {
        return nullptr;
    }
}

[[noreturn]] void NotFound(const std::string& name) {
    throw platform::RuntimeError(-10, "LogicalOpen", "File not Found: \"" + name + "\"");
}

}  // namespace

RecordFiles::RecordFiles(std::string_view baseName, std::string_view extensionName)
    : baseName_(baseName), extensionName_(extensionName),
      base_(OpenOrNone(baseName_)), extension_(OpenOrNone(extensionName_)) {}

std::string RecordFiles::ReadJoined(std::int32_t recordNumber, const std::string& description) const {
    if (!base_) NotFound(baseName_);
    if (recordNumber > base_->LastRecord || recordNumber < 1)
        throw platform::RuntimeError(81, "", description);
    if (!extension_) NotFound(extensionName_);
    std::string image = engine::LreadFile(base_.get(), recordNumber);
    image += engine::LreadFile(extension_.get(), recordNumber);
    return image;
}

}  // namespace zel::records
