#include "agent/documents.h"

#include <QDateTime>
#include <QLocale>
#include <cerrno>
#include <chrono>
#include <memory>
#include <random>

#include "agent/agent_core.h"
#include "agent/message.h"
#include "platform/atomic_file.h"
#include "platform/convert.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/ini_text.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace zel::agent {
namespace {

namespace perr = platform::err;
using platform::RuntimeError;

constexpr std::int64_t kFirstRange = 1000000;
constexpr std::int64_t kRetryRange = 2000000;
// A folder so full that this many draws all hit taken names is treated as a failure rather
// than searched for ever.
constexpr int kMaxDraws = 100000;

[[noreturn]] void CannotCreate(const std::string& path) {
    throw RuntimeError(perr::kPathFileAccess, "SaveTextToFile", "Cannot create file " + path);
}

// A name beside `path` that no poller of the folder matches (pollers look for their own
// extensions; this one ends in the platform's temporary tail, unique to this process).
std::string HiddenNameFor(const std::string& path) {
    return path + platform::detail::TemporaryTail();
}

bool HasSeparator(const std::string& s) { return s.find_first_of("\\/") != std::string::npos; }

}  // namespace

RandomBelow ClockSeededRandom() {
    auto seed = static_cast<std::uint64_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
    auto gen = std::make_shared<std::mt19937_64>(seed);
    return [gen](std::int64_t n) -> std::int64_t {
        if (n <= 0) return 0;
        return std::uniform_int_distribution<std::int64_t>(0, n - 1)(*gen);
    };
}

std::string TextAsLines(std::string_view text) {
    if (auto nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 2);
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t j = i;
        while (j < text.size() && text[j] != '\r' && text[j] != '\n') ++j;
        out.append(text.substr(i, j - i));
        out += "\r\n";
        if (j < text.size())
            j += (text[j] == '\r' && j + 1 < text.size() && text[j + 1] == '\n') ? 2 : 1;
        i = j;
    }
    return out;
}

void SaveTextToFile(const std::string& path, std::string_view text) {
    try {
        platform::WriteWholeFile(path, TextAsLines(text));
    } catch (const RuntimeError&) {
        CannotCreate(path);
    }
}

std::string SaveToUniqueFile(const std::string& folder, const std::string& firstExt,
                             const std::string& retryExt, std::string_view bytes,
                             const RandomBelow& random) {
    std::string path = folder + std::to_string(random(kFirstRange)) + firstExt;
    // The document is complete under a hidden name before it gets its visible one; the visible
    // name is taken by a rename that never replaces, so a name another writer took meanwhile
    // only makes us draw again.
    std::string hidden = HiddenNameFor(path);
    try {
        platform::WriteWholeFile(hidden, std::string(bytes));
    } catch (const RuntimeError&) {
        CannotCreate(path);
    }
    for (int draw = 0; draw < kMaxDraws; ++draw) {
        try {
            platform::RenameFile(hidden, path, false);
            return path;
        } catch (const RuntimeError& e) {
            if (e.Number() != perr::kFileAlreadyExists) {
                platform::TryDeleteFile(hidden);
                CannotCreate(path);
            }
        }
        path = folder + std::to_string(random(kRetryRange)) + retryExt;
    }
    platform::TryDeleteFile(hidden);
    CannotCreate(path);
}

std::string MakeUniqueFileName(const std::string& folder, const std::string& extension,
                               std::string_view bytes, const RandomBelow& random) {
    return SaveToUniqueFile(folder, extension, extension, bytes, random);
}

std::string DocumentType(std::string_view text) {
    if (auto nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
    auto v = FindReplyValue(text, "DOCTYPE");
    return v ? platform::TrimBlanks(*v) : std::string();
}

std::string TestMessageText(const std::string& dateTime, const std::string& agentVersion) {
    return "[zelInfo]\r\n"
           "DOCTYPE=MESSAGE\r\n"
           "DOCVERSION=1.00\r\n"
           "DEALERNUMBER=self\r\n"
           "TRADEPARTNER=self\r\n"
           "DateTime=" +
           dateTime +
           "\r\n"
           "AgentVersion=" +
           agentVersion +
           "\r\n"
           "Test Message. Your connection to the ZelHUB is working correctly\r\n";
}

std::string NowAsText() {
    QLocale locale = QLocale::system();
    // The long time format without a time-zone name, as the desktop shows the clock.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t')).replace(QStringLiteral("  "), QStringLiteral(" "));
    QDateTime now = QDateTime::currentDateTime();
    return locale.toString(now.date(), QLocale::ShortFormat).toStdString() + " " +
           locale.toString(now.time(), timeFormat.trimmed()).toStdString();
}

AgentDocuments::AgentDocuments(const AgentIni& ini, TZELAgentCore& core, RandomBelow random)
    : ini_(ini), core_(core), random_(std::move(random)) {}

bool AgentDocuments::SendMessageFile(const std::string& path) {
    LastReceivedFile.clear();
    auto message = ReadDocumentFile(path, core_.AgentId);

    // The hub client takes the file over: it keeps the document under a name of its own until
    // the hub has taken the message, so nothing handed over is lost when the program ends.
    bool taken = core_.EnqueueAndSend(std::move(message), path);
    if (!taken) {
        try {
            platform::RenameFile(path, ChangeFileExt(path, ".err"), false);
        } catch (const RuntimeError&) {
            // The document stays under its own name.
        }
    }
    return taken;
}

void AgentDocuments::StoreReceivedMessage(const TZELMessage& message, bool& Delete) {
    Delete = true;
    const std::string& text = message.AsString();
    std::string folder = WorkingDir;
    std::string extension = ".zel";
    std::string type = DocumentType(text);
    if (!type.empty()) {
        extension = ini_.ReadString(ini::kDocTypeExt, type, ".zel");
        folder = ini_.ReadString(ini::kDocTypeDir, type, WorkingDir);
    }
    if (!platform::FolderExists(WorkingDir))
        throw RuntimeError(perr::kDeviceIO, "StoreReceivedMessage",
                           "I/O error " + std::to_string(ENOENT));
    folder = IncludeTrailingBackslash(ExpandFileName(folder, WorkingDir));

    std::string path;
    if (SameTextNoCase(type, "SUBSCRIPTION_INFO")) {
        path = folder + "sub" + extension;
        SaveTextToFile(path, text);
    } else {
        path = MakeUniqueFileName(folder, extension, TextAsLines(text), random_);
    }
    LastReceivedFile = path;
}

bool AgentDocuments::SendNewDocument(std::string_view text, const std::string& extension) {
    if (HasSeparator(extension))
        throw RuntimeError(perr::kPathFileAccess, "Send", "Bad file extension " + extension);
    std::string retryExt = ExtractFileExt("0" + extension);
    std::string path =
        SaveToUniqueFile(WorkingDir, extension, retryExt, TextAsLines(text), random_);
    return SendMessageFile(path);
}

}  // namespace zel::agent
