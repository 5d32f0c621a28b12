#pragma once
// Reading and atomically replacing whole files at native paths.
#include <string>

namespace zel::platform::detail {

// 0 when read, else the errno of the failure (ENOENT: no such file; EISDIR: a folder).
int ReadNative(const std::string& nativePath, std::string& bytes);

// Writes `bytes` to a new file beside `nativePath` (a name no poller matches: the target name,
// cut short where it must be, followed by ".~zel" and a unique tail) and renames it over the
// target, so readers see the old or the new document, never a part. With `durable` the new
// contents and the rename are forced to disk before returning, so a power loss cannot take
// back a write the caller acted on.
// Returns 0 or the errno of the failure.
int ReplaceNative(const std::string& nativePath, const std::string& bytes, bool durable = false);

}  // namespace zel::platform::detail
