#pragma once
// Connection set-up: the catalog INI the business workstation leaves in the temp folder, the
// station's name, address and terminal number, the share test, and the creation and release of
// the program-wide engine state.
#include <cstdint>
#include <string>

namespace zel::engine {

// Reads "QMRCatalog.ini" (section "Rolvik") from the temp folder into EpcInfo and SystemInfo
// and creates DataEngine. A missing INI shows the "EpcError" box and creates no engine; an
// engine whose creation fails with error 91 (share or terminal map missing) is left unset.
void LoadCatalogSettings();

// The current user's temp folder (ending in a backslash), "" when the platform gives none.
std::string GetTempDir();
// Each component of `path` replaced by the name its folder lists it under; a path ending in a
// backslash ends in "\.".
std::string LongPathName(const std::string& path);
// IPv4 address of a dotted address or a host name, in network byte order (bytes in memory in
// address order); all bits set when it cannot be resolved.
std::uint32_t GetHostAddress(const std::string& name);
// "a.b.c.d" of an address in network byte order.
std::string DottedAddress(std::uint32_t networkOrder);
// Starts the socket library (nothing to do on this platform).
void WSInit();

// The steps every engine creation runs: alphabet, share test, station name and address,
// terminal map, fresh link table, open-file list and logical-file cache. Raises 91 when the
// share does not answer (after the "Connection Error" box) or the terminal map cannot be read.
void ConnectEngine();
// Releases the open-file list (closing its files), the link table, SystemInfo and the cache.
void ReleaseEngine();

}  // namespace zel::engine
