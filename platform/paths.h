#pragma once
// Windows-form paths at the file-system boundary.
//
// Inside the system every path keeps the form the business programs build:
//   "\\HOST\SHARE\rest"  ->  $ZEL_UNC_ROOT/HOST/SHARE/rest
//   "Z:\rest"            ->  /rest          (drive Z: is the root; other letters likewise map
//                                            to $ZEL_DRIVE_<L> when set, else are an error)
//   "/native/path"       ->  itself
// Backslashes and slashes both separate components. Each component that already exists is
// matched without regard to case (Windows semantics); components that do not exist are kept as
// spelled, so a file or folder created through a mapped path gets the caller's spelling.
// As on Windows, the last component of a Windows-form path loses its trailing blanks and periods
// (unless the path ends in a separator): "\\SRV\QMRLINK\DB\PARTIAB " is the file "PARTIAB".
#include <string>

namespace zel::platform {

// Native path for a Windows-form path. Throws RuntimeError 76 ("Path not found") when the path
// cannot be mapped (UNC path with ZEL_UNC_ROOT unset, unknown drive, empty path), 67 ("Too many
// files") when a folder cannot be searched for want of file descriptors.
std::string NativePath(const std::string& windowsPath);

// Windows-form path ("Z:\...") for a native absolute path, the inverse of NativePath for paths
// outside $ZEL_UNC_ROOT; paths under $ZEL_UNC_ROOT come back as "\\HOST\SHARE\...".
std::string WindowsPath(const std::string& nativePath);

// `path` with the trailing blanks and periods of its last component removed, as Windows
// removes them ("x\\PARTIAB " is "x\\PARTIAB"); unchanged when it ends in a separator or its
// last component is "." or "..".
std::string DropTrailingBlanksAndPeriods(const std::string& path);

// Joins a folder and a name with one backslash between them.
std::string JoinPath(const std::string& folder, const std::string& name);

// Last component (after the last '\' or '/'), and everything before it (without separator).
std::string FileNamePart(const std::string& path);
std::string FolderPart(const std::string& path);

}  // namespace zel::platform
