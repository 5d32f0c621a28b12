#pragma once
// The automation interface local programs use to hand documents to the agent, as the agent's
// core sees it: the bus names, the operations behind them, and the command-line switches that
// install or remove the bus's activation file. Free of the bus library; automation.h puts the
// operations on the session bus.
#include <string>
#include <vector>

namespace zel::agent {

inline constexpr const char* kServiceName = "net.zel.ZelAgent";
inline constexpr const char* kObjectPath = "/ZelAgent";
inline constexpr const char* kInterfaceName = "net.zel.IZelAgent";

// The operations behind the interface; they throw on failure.
class IAgentAutomation {
public:
    virtual ~IAgentAutomation() = default;
    virtual void SendFile(const std::string& filename) = 0;
    virtual void ExecuteQuery(const std::string& filename) = 0;
    // The last stored document as a native path ("" when none).
    virtual std::string ResultFile() = 0;
    virtual void Subscribe(const std::string& filename) = 0;
    virtual void Send(const std::string& sData, const std::string& sExt) = 0;
    virtual void CheckMail() = 0;
};

// The automation switches of the command line ("/X" or "-X", any case).
enum class ServerMode { Normal, RegServer, UnregServer };
struct ServerSwitches {
    ServerMode mode = ServerMode::Normal;
    bool automation = false;  // "AUTOMATION" or "EMBEDDING": started by the bus for a client
};
ServerSwitches ParseServerSwitches(const std::vector<std::string>& args);

// ${XDG_DATA_HOME:-$HOME/.local/share}/dbus-1/services/net.zel.ZelAgent.service
std::string ActivationFilePath();
// The activation file's text for the program at the native path `programPath`.
std::string ActivationFileText(const std::string& programPath);
// Installs the activation file (folders created as needed) / removes it; throw on failure.
void RegisterServer(const std::string& programPath);
void UnregisterServer();

}  // namespace zel::agent
