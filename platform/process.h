#pragma once
// Starting another program, detached from this one (it outlives us).
#include <map>
#include <string>

namespace zel::platform {

// Starts the program at `path` (Windows form or native) with the current environment plus
// `environment`, standard input from the null device. False when it could not be started.
bool StartDetached(const std::string& path,
                   const std::map<std::string, std::string>& environment = {});

// Raises this process's soft limit of open files to its hard limit; returns the soft limit in
// force afterwards (0 when it cannot be read). The file engine keeps every file it opened open.
long RaiseOpenFileLimit();

}  // namespace zel::platform
