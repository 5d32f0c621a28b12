#include "records/record_files.h"

#include <exception>

#include "engine/fileio.h"
#include "engine/link.h"
#include "platform/error.h"

namespace zel::records {

std::shared_ptr<engine::cLogicalFile> OpenLogicalOrNone(const std::string& name) {
    try {
        return engine::LogicalOpen(name);
    } catch (const std::exception&) {
        // Whatever kept it from opening, the file is missing to its reader, which says so itself.
        return nullptr;
    }
}

void RaiseFileNotFound(const std::string& name) {
    throw platform::RuntimeError(-10, "LogicalOpen", "File not Found: \"" + name + "\"");
}

RecordFiles::RecordFiles(std::string_view baseName, std::string_view extensionName)
    : baseName_(baseName),
      extensionName_(extensionName),
      base_(OpenLogicalOrNone(baseName_)),
      extension_(OpenLogicalOrNone(extensionName_)) {}

std::string RecordFiles::ReadJoined(std::int32_t recordNumber,
                                    const std::string& description) const {
    if (!base_) RaiseFileNotFound(baseName_);
    if (recordNumber > base_->LastRecord || recordNumber < 1)
        throw platform::RuntimeError(81, "", description);
    if (!extension_) RaiseFileNotFound(extensionName_);
    std::string image = engine::LreadFile(base_.get(), recordNumber);
    image += engine::LreadFile(extension_.get(), recordNumber);
    return image;
}

}  // namespace zel::records
