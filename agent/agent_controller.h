#pragma once
// What the agent's main window does, without the widgets: start-up of the hub client and the
// working folder, the buttons, the hub client's events, the subscription page and the
// operations of the automation interface.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "agent/agent_ini.h"
#include "agent/automation_interface.h"
#include "agent/documents.h"

namespace zel::agent {

class TZELAgentCore;
class TZELMessage;

// Mail timer interval: 5 minutes.
inline constexpr int kMailIntervalMs = 300000;
// The folder of the working folder where handed-over documents wait until the hub has them.
inline constexpr const char* kSpoolFolderName = "spool";

// The version text of the program ("1.0.0.0").
std::string AgentVersionString();

// The About box text.
std::string AboutText();

// What the controller needs of the window.
class AgentView {
public:
    virtual ~AgentView() = default;
    virtual void AddActivityLine(const std::string& text) = 0;
    virtual void ClearActivity() = 0;
    // Shown at once (the window repaints the status bar before a long operation).
    virtual void SetStatusText(const std::string& text) = 0;
    virtual bool IsShown() const = 0;
};

class AgentController : public IAgentAutomation {
public:
    using UrlOpener = std::function<void(const std::string& url)>;

    // `iniPath`: the settings file; `programFolder`: where the default working folder goes.
    AgentController(std::string iniPath, std::string programFolder, AgentView& view);
    ~AgentController() override;
    AgentController(const AgentController&) = delete;
    AgentController& operator=(const AgentController&) = delete;

    // Creates the hub client (which reads its settings), sets up the working folder and gives
    // the hub client its spool folder there. Throws "Cannot create " + folder when the working
    // folder is missing and cannot be made.
    void Start();

    // The buttons.
    void CheckMessage();                                    // GET NEXT
    bool SendTest();                                        // SEND TEST
    void SendFiles(const std::vector<std::string>& files);  // SEND FILES, after the dialog

    // The hub client's events.
    void OnHubMessage(TZELMessage& message, bool& Delete);
    void OnCoreLog(const std::string& text);

    // The subscription page: its address, and opening it with the desktop's handler.
    std::string SubscriptionUrl(const std::string& filename) const;
    void OpenSubscriptionPage(const std::string& filename);
    void SetUrlOpener(UrlOpener opener) { opener_ = std::move(opener); }

    // Automation operations.
    void SendFile(const std::string& filename) override;
    void ExecuteQuery(const std::string& filename) override;
    std::string ResultFile() override;
    void Subscribe(const std::string& filename) override;
    void Send(const std::string& sData, const std::string& sExt) override;
    void CheckMail() override;

    // Valid after Start created them; throw before.
    TZELAgentCore& Core();
    AgentDocuments& Documents();
    const AgentIni& Ini() const { return ini_; }
    bool Started() const { return core_ != nullptr; }

    // Documents handed to the window since the last GET NEXT or clearing.
    int MessageCount = 0;
    // Millisecond tick taken by SEND TEST.
    std::int64_t SendStartTick = 0;

private:
    // Temporary files an earlier run of this program on this host left in its folders.
    void RemoveOwnLeftovers() const;

    AgentIni ini_;
    std::string programFolder_;
    AgentView& view_;
    UrlOpener opener_;
    std::unique_ptr<TZELAgentCore> core_;
    std::unique_ptr<AgentDocuments> docs_;
};

// Milliseconds of a steady clock.
std::int64_t TickCount();

}  // namespace zel::agent
