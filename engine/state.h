#pragma once
// The program-wide engine state and the plain data it is made of.
//
// Every engine object works on one set of connection objects: the station and share settings,
// the link table, the open-file list, the logical-file cache and the compressed-text alphabet.
// This header holds only their data; loading and behaviour live with the procedures that own
// them (fileio, link, facade, ...). Keep it small and free of logic.
#include <cstdint>
#include <memory>
#include <string>

namespace zel::engine {

class cOpenFile;       // fileio.h
class cOpenFiles;      // fileio.h
class cLinks;          // link.h
class cLogicalFiles;   // link.h
class cBusinessBasic;  // facade.h

// The resting value of the compressed-text alphabet; its first four characters can be replaced.
inline constexpr const char* kDefaultCrmAlphabet = " ,/.0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// Catalog settings as the business workstation leaves them in its INI file.
struct cEpcInfo {
    std::string Server;
    std::string DataShare;
    std::string CatalogShare;  // "\\" & Server & "\" & value & "\"
    std::string Directory;
    std::string TerminalID;
    std::int32_t CustomerNumber = 0;
};

// Station and share settings.
struct cSystem {
    std::string mUNCDrive;   // server name: first component of every share path
    std::string mDirectory;  // data directory under the QMRLINK folder
    std::string TerminalID = "0";
    std::string ComputerName;
    std::string IP;

    // "\\server\QMRLINK\directory" (no trailing backslash).
    std::string QMRLINK() const { return "\\\\" + mUNCDrive + "\\QMRLINK\\" + mDirectory; }
    // "\\server\DADARI\".
    std::string DADARI() const { return "\\\\" + mUNCDrive + "\\DADARI\\"; }
    // "\\server\QMRLINK\": where the link table, the terminal map and bare file names live.
    std::string ShareRoot() const { return "\\\\" + mUNCDrive + "\\QMRLINK\\"; }
};

// A business file opened by its logical name (or a whole physical file taken as one).
// Record n lies at byte n * RecordLength + Position * 512 of OpenFile.
struct cLogicalFile {
    std::string FileName;                 // logical name as given, or full path
    std::string FileType;                 // one letter: "I" index, "L" record file, ...
    std::shared_ptr<cOpenFile> OpenFile;  // none when the data file could not be opened
    std::int32_t Position = 0;            // first 512-byte block of the file's area
    std::int32_t Flags = 0;
    std::int32_t RecordLength = 0;
    std::int32_t LastRecord = 0;
    bool IsamPlus = false;
};

// The program-wide engine state. Objects that can be released ("none") are held by pointer.
struct EngineState {
    std::shared_ptr<cBusinessBasic> DataEngine;
    std::shared_ptr<cEpcInfo> EpcInfo;
    std::shared_ptr<cSystem> SystemInfo;
    std::shared_ptr<cLinks> Links;
    std::shared_ptr<cOpenFiles> OpenFiles;
    std::shared_ptr<cLogicalFiles> LogicalFiles;
    std::string CrmAlphabet = kDefaultCrmAlphabet;
};

// The one instance for the whole program. Used from the GUI thread only.
EngineState& Engine();

}  // namespace zel::engine
