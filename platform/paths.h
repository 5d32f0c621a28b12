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

// The path with its extension (from the last dot of the last component) replaced by `ext`;
// a name without an extension gets `ext` appended.
std::string ChangeFileExt(const std::string& path, const std::string& ext);

// The extension of the last component, from its last dot ("" when it has none).
std::string ExtractFileExt(const std::string& path);

// True for "X:\...", "\\host\share\..." and native "/..." paths.
bool IsAbsolutePath(const std::string& path);

// `path` made absolute against the folder `base` (itself absolute): "." and ".." are resolved,
// a leading single backslash means the root of base's drive or share, and a trailing
// separator is kept. Absolute paths are only cleaned.
std::string ExpandFileName(const std::string& path, const std::string& base);

// `folder` with one backslash at its end.
std::string IncludeTrailingBackslash(const std::string& folder);

// The process's current folder in Windows form.
std::string CurrentFolder();

}  // namespace zel::platform
