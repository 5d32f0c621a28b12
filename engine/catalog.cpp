#include "engine/catalog.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "engine/errors.h"
#include "engine/facade.h"
#include "engine/fileio.h"
#include "engine/link.h"
#include "engine/state.h"
#include "engine/text.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/seams.h"

namespace zel::engine {

namespace {

constexpr std::size_t kIniBuffer = 100;  // the reader's buffer: at most 99 characters arrive

// The first name a listing of `pattern` gives, as the platform's directory search would:
// a folder path ending in a backslash lists the folder itself first (".").
std::string FirstListed(const std::string& pattern) {
    if (!pattern.empty() && pattern.back() == '\\')
        return platform::FolderExists(pattern) ? "." : "";
    const auto names = platform::ListDirectory(pattern, true);
    return names.empty() ? std::string() : names.front();
}

// Terminal number from the terminal map: the first line whose first item names this station
// (without regard to case) or is its address written exactly; "0" when none does.
std::string TerminalFromMap(const std::string& map, const std::string& computerName,
                            const std::string& ip) {
    const std::string station = UpperCase(computerName);
    std::size_t start = 0;
    while (start < map.size()) {
        std::size_t end = map.find('\n', start);
        if (end == std::string::npos) end = map.size();
        std::string line = map.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();

        const auto items = Split(line, " ");
        if (items.size() < 2) continue;
        if (UpperCase(items[0]) != station && items[0] != ip) continue;
        const auto pieces = Split(items[1], ",");
        if (pieces.empty()) RaiseClassic(err::kSubscript, "cBusinessBasic");
        return pieces.front();
    }
    return "0";
}

}  // namespace

std::string GetTempDir() {
    std::string dir = platform::TempFolder();
    if (auto nul = dir.find('\0'); nul != std::string::npos) dir.resize(nul);
    return dir;
}

std::string LongPathName(const std::string& path) {
    std::string result;
    std::size_t scan = 0;  // 0-based position of the last separator handled
    if (path.size() >= 2 && path[1] == ':') {
        result = path.substr(0, 2);
        scan = 2;
    }
    for (;;) {
        const std::size_t p = path.find('\\', scan + 1);
        if (p == std::string::npos) {
            result += "\\" + FirstListed(path);
            return result;
        }
        result += "\\" + FirstListed(path.substr(0, p));
        scan = p;
    }
}

std::uint32_t GetHostAddress(const std::string& name) {
    const in_addr_t dotted = ::inet_addr(name.c_str());
    if (dotted != INADDR_NONE) return dotted;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    std::uint32_t address = 0xFFFFFFFFu;
    if (!name.empty() && ::getaddrinfo(name.c_str(), nullptr, &hints, &found) == 0 && found) {
        for (const addrinfo* a = found; a; a = a->ai_next) {
            if (a->ai_family == AF_INET && a->ai_addr) {
                address = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
                break;
            }
        }
    }
    if (found) ::freeaddrinfo(found);
    return address;
}

std::string DottedAddress(std::uint32_t networkOrder) {
    unsigned char b[4];
    std::memcpy(b, &networkOrder, 4);
    return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
           std::to_string(b[3]);
}

void WSInit() {}

void ConnectEngine() {
    EngineState& state = Engine();
    state.CrmAlphabet = kDefaultCrmAlphabet;
    WSInit();

    if (!state.SystemInfo) RaiseClassic(err::kObjectNotSet, "cBusinessBasic");
    cSystem& sys = *state.SystemInfo;
    const std::string shareRoot = sys.ShareRoot();
    if (!platform::FolderExists(shareRoot)) {
        platform::MsgBox("You are attempting to connect to: " + shareRoot +
                             " and this shows to be an invalid network share",
                         platform::MsgButtons::Ok, "Connection Error");
        RaiseClassic(err::kObjectNotSet, "cBusinessBasic");
    }

    sys.ComputerName = Trun(platform::ComputerName(), 1);
    sys.IP = DottedAddress(GetHostAddress(sys.ComputerName));
    sys.TerminalID = "0";

    std::string map;
    try {
        map = platform::ReadWholeFile(shareRoot + "ttymap");
    } catch (const platform::RuntimeError&) {
        RaiseClassic(err::kObjectNotSet, "cBusinessBasic");
    }
    sys.TerminalID = TerminalFromMap(map, sys.ComputerName, sys.IP);

    state.Links = cLinks::Load();
    state.OpenFiles = std::make_shared<cOpenFiles>();
    state.LogicalFiles = std::make_shared<cLogicalFiles>();
}

void ReleaseEngine() {
    EngineState& state = Engine();
    state.OpenFiles.reset();
    state.Links.reset();
    state.SystemInfo.reset();
    state.LogicalFiles.reset();
}

void LoadCatalogSettings() {
    EngineState& state = Engine();
    state.EpcInfo = std::make_shared<cEpcInfo>();
    state.SystemInfo = std::make_shared<cSystem>();
    // Keep our own references: creating the engine below may replace the program-wide ones.
    const auto epc = state.EpcInfo;
    const auto sys = state.SystemInfo;

    std::string folder = LongPathName(GetTempDir());
    if (!folder.empty()) folder.pop_back();
    const std::string ini = folder + "QMRCatalog.ini";
    if (!platform::FileExists(ini)) {
        platform::MsgBox("You are missing file: " + ini + "    Are you running Quomar Workstation?",
                         platform::MsgButtons::Ok, "EpcError");
        return;
    }

    auto read = [&](const char* key) {
        return platform::GetProfileString("Rolvik", key, "", kIniBuffer, ini);
    };
    epc->Server = read("Server");
    epc->DataShare = read("DataShare");
    epc->CatalogShare = "\\\\" + epc->Server + "\\" + read("CatalogShare") + "\\";
    epc->Directory = read("Directory");
    epc->TerminalID = read("TerminalID");
    const std::string customer = read("CustomerNumber");
    if (!customer.empty()) epc->CustomerNumber = platform::ToInt32(customer, "LoadCatalogSettings");

    sys->mUNCDrive = epc->Server;
    sys->mDirectory = epc->Directory;

    try {
        auto engine = std::make_shared<cBusinessBasic>();
        state.DataEngine = std::move(engine);
    } catch (const platform::RuntimeError& e) {
        // The share test and the terminal map fail with 91; any other failure assigns nothing.
        if (e.Number() == err::kObjectNotSet) state.DataEngine.reset();
    }
}

}  // namespace zel::engine
