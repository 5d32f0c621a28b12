#include "agent/agent_controller.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>
#include <chrono>

#include "agent/agent_core.h"
#include "agent/message.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"

#ifndef ZEL_AGENT_VERSION
#define ZEL_AGENT_VERSION "1.0.0.0"
#endif

namespace zel::agent {
namespace {

void OpenWithDesktop(const std::string& url) {
    // As the shell does, a failure to open is not reported.
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

}  // namespace

std::string AgentVersionString() { return ZEL_AGENT_VERSION; }

std::string AboutText() { return "Zel Agent\r\rVersion " + AgentVersionString(); }

std::int64_t TickCount() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

AgentController::AgentController(std::string iniPath, std::string programFolder, AgentView& view)
    : ini_(std::move(iniPath)),
      programFolder_(std::move(programFolder)),
      view_(view),
      opener_(OpenWithDesktop) {}

AgentController::~AgentController() = default;

void AgentController::Start() {
    core_ = std::make_unique<TZELAgentCore>(ini_.Path());
    core_->OnMessage = [this](TZELMessage& m, bool& del) { OnHubMessage(m, del); };
    core_->OnLog = [this](const std::string& text) { OnCoreLog(text); };
    docs_ = std::make_unique<AgentDocuments>(ini_, *core_);

    std::string dir = ini_.ReadString(ini::kPlugIn, ini::kWorkingDir, "");
    if (dir.empty()) {
        ini_.WriteString(ini::kPlugIn, ini::kWorkingDir,
                         IncludeTrailingBackslash(programFolder_) + "zel\\");
        dir = ini_.ReadString(ini::kPlugIn, ini::kWorkingDir, "");
    }
    dir = ExpandFileName(dir, CurrentFolder());
    ini_.WriteString(ini::kPlugIn, ini::kWorkingDir, dir);
    // The backslash goes on before the folder is checked, so that names built on the folder
    // stay inside it even when it could not be made.
    docs_->WorkingDir = IncludeTrailingBackslash(dir);
    if (!platform::FolderExists(dir)) {
        try {
            platform::MakeDirectory(dir);
        } catch (const platform::RuntimeError&) {
            throw platform::RuntimeError(platform::err::kPathNotFound, "FormCreate",
                                         "Cannot create " + dir);
        }
    }
    RemoveOwnLeftovers();
    // Documents handed over before the program last ended go out again from here; the first
    // mail check that reaches the hub sends them.
    core_->OpenSpool(docs_->WorkingDir + kSpoolFolderName + "\\");
}

void AgentController::RemoveOwnLeftovers() const {
    // Where this agent writes: beside its settings file, its working folder and every folder
    // a document type is mapped to (the request folder among them, which other writers share).
    std::vector<std::string> folders{platform::FolderPart(ini_.Path()), docs_->WorkingDir};
    for (const auto& entry : platform::GetProfileSectionLines(ini::kDocTypeDir, ini_.Path())) {
        const auto eq = entry.find('=');
        if (eq == std::string::npos) continue;
        try {
            folders.push_back(ExpandFileName(entry.substr(eq + 1), docs_->WorkingDir));
        } catch (const std::exception&) {
            // A mapping that names no folder has no leftovers of ours to clean.
        }
    }
    for (const auto& folder : folders) platform::RemoveOwnLeftovers(folder);
}

TZELAgentCore& AgentController::Core() {
    if (!core_)
        throw platform::RuntimeError(platform::err::kDeviceIO, "AgentCore",
                                     "The hub client is not available");
    return *core_;
}

AgentDocuments& AgentController::Documents() {
    Core();
    return *docs_;
}

void AgentController::CheckMessage() {
    MessageCount = 0;
    view_.ClearActivity();
    Core().CheckMailOnce();
    view_.SetStatusText("Messages Received " + std::to_string(MessageCount));
}

bool AgentController::SendTest() {
    view_.SetStatusText("Sending Message...");
    view_.ClearActivity();
    SendStartTick = TickCount();
    bool sent =
        Documents().SendNewDocument(TestMessageText(NowAsText(), AgentVersionString()), ".zel");
    view_.SetStatusText(sent ? "Message sent in " + std::to_string(TickCount() - SendStartTick)
                             : "Message got hosed..!");
    return sent;
}

void AgentController::SendFiles(const std::vector<std::string>& files) {
    for (const auto& f : files) Documents().SendMessageFile(f);
}

void AgentController::OnHubMessage(TZELMessage& message, bool& Delete) {
    ++MessageCount;
    if (view_.IsShown()) {
        if (MessageCount > 10) {
            view_.ClearActivity();
            MessageCount = 0;
        }
        view_.AddActivityLine(message.AsString());
        view_.SetStatusText("Message Received in " + std::to_string(TickCount() - SendStartTick));
    }
    Documents().StoreReceivedMessage(message, Delete);
}

void AgentController::OnCoreLog(const std::string& text) { view_.AddActivityLine(text); }

std::string AgentController::SubscriptionUrl(const std::string& filename) const {
    std::string url = ini_.ReadString(ini::kAgentCore, ini::kSubscriptionUrl, "");
    if (url.empty()) ini_.WriteString(ini::kAgentCore, ini::kSubscriptionUrl, "");
    url += "?AgentId=" + std::to_string(core_ ? core_->AgentId : -1);
    if (!filename.empty()) {
        auto value = [&](const char* key) {
            return platform::GetProfileString("SETUP.DBF", key, "", ini::kValueBuffer, filename);
        };
        url += "&CompanyName=" + value("COMPNAME");
        url += "&Address=" + value("ADDRESS");
        url += "&City=" + value("CITY");
        url += "&State=" + value("STATE");
        url += "&ZipCode=" + value("ZIPCODE");
        url += "&Phone=" + value("PHONE_1");
    }
    return url;
}

void AgentController::OpenSubscriptionPage(const std::string& filename) {
    Core();
    opener_(SubscriptionUrl(filename));
}

void AgentController::SendFile(const std::string& filename) {
    Documents().SendMessageFile(filename);
}

void AgentController::ExecuteQuery(const std::string& filename) {
    Documents().SendMessageFile(filename);
}

std::string AgentController::ResultFile() {
    // Local programs get the path in their own form.
    if (!docs_ || docs_->LastReceivedFile.empty()) return "";
    try {
        return platform::NativePath(docs_->LastReceivedFile);
    } catch (const platform::RuntimeError&) {
        return docs_->LastReceivedFile;
    }
}

void AgentController::Subscribe(const std::string& filename) { OpenSubscriptionPage(filename); }

void AgentController::Send(const std::string& sData, const std::string& sExt) {
    Documents().SendNewDocument(sData, sExt);
}

void AgentController::CheckMail() { Core().CheckMailOnce(); }

}  // namespace zel::agent
