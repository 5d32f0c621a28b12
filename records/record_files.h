#pragma once
// The pair of logical files (base and extension, sharing record numbers) that a record class
// with Read holds, and the read of one joined record image.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/state.h"

namespace zel::records {

// A logical file by name through the engine, or none when the name resolves to nothing or the
// engine is not set up.
std::shared_ptr<engine::cLogicalFile> OpenLogicalOrNone(const std::string& name);
// Error -10 "File not Found: " naming a logical file, as the engine raises it.
[[noreturn]] void RaiseFileNotFound(const std::string& name);

class RecordFiles {
public:
    // Opens both files by logical name through the engine. A name the engine cannot resolve,
    // or an engine that is not set up, leaves that file unset; Read then raises.
    RecordFiles(std::string_view baseName, std::string_view extensionName);

    // Base record `recordNumber` followed by the extension record. Raises error 81 with
    // `description` (and no source) outside 1 to the base file's LastRecord; -10 "File not
    // Found: " naming the file when either file is unset; LreadFile's own errors unchanged.
    // Nothing is read before the checks pass.
    std::string ReadJoined(std::int32_t recordNumber, const std::string& description) const;

    const std::shared_ptr<engine::cLogicalFile>& Base() const { return base_; }
    const std::shared_ptr<engine::cLogicalFile>& Extension() const { return extension_; }

private:
    std::string baseName_, extensionName_;
    std::shared_ptr<engine::cLogicalFile> base_, extension_;
};

}  // namespace zel::records
