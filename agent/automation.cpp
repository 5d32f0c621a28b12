#include "agent/automation.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusReply>
#include <QFile>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <system_error>

#include "agent/message.h"
#include "platform/error.h"
#include "platform/files.h"

namespace zel::agent {
namespace {

std::string QuoteForExec(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\' || c == '$' || c == '`') out += '\\';
        out += c;
    }
    return out + "\"";
}

// Why the bus did not let this program own the service name. The bus answers a name that is
// taken without an error, so the owner is asked for.
QString NameRefused(QDBusConnection& bus) {
    const QString name = QString::fromLatin1(kServiceName);
    QDBusConnectionInterface* iface = bus.interface();
    if (!iface) return QStringLiteral("the bus refused the name %1").arg(name);
    const QDBusError requestError = iface->lastError();
    const QDBusReply<QString> owner = iface->serviceOwner(name);
    if (owner.isValid() && !owner.value().isEmpty()) {
        QString who = QStringLiteral("bus connection %1").arg(owner.value());
        const QDBusReply<uint> pid = iface->servicePid(name);
        if (pid.isValid()) {
            who += QStringLiteral(", process %1").arg(pid.value());
            QFile comm(QStringLiteral("/proc/%1/comm").arg(pid.value()));
            if (comm.open(QIODevice::ReadOnly)) {
                const QString program = QString::fromLocal8Bit(comm.readAll()).trimmed();
                if (!program.isEmpty()) who += QStringLiteral(" ") + program;
            }
        }
        return QStringLiteral("the name %1 is owned by another program (%2)").arg(name, who);
    }
    if (requestError.isValid())
        return QStringLiteral("the bus refused the name %1: %2").arg(name, requestError.message());
    return QStringLiteral("the bus refused the name %1").arg(name);
}

}  // namespace

TZelAgent::TZelAgent(IAgentAutomation& impl, QObject* parent) : QObject(parent), impl_(impl) {}

template <typename F>
void TZelAgent::Guard(F&& op) {
    try {
        op();
    } catch (const std::exception& e) {
        if (!calledFromDBus()) throw;
        sendErrorReply(QDBusError::Failed, QString::fromStdString(e.what()));
    } catch (...) {
        if (!calledFromDBus()) throw;
        sendErrorReply(QDBusError::Failed, QStringLiteral("Unknown error"));
    }
}

QString TZelAgent::ResultFile() { return QString::fromStdString(impl_.ResultFile()); }

void TZelAgent::SendFile(const QString& filename) {
    Guard([&] { impl_.SendFile(filename.toStdString()); });
}

void TZelAgent::ExecuteQuery(const QString& filename) {
    Guard([&] { impl_.ExecuteQuery(filename.toStdString()); });
}

void TZelAgent::Subscribe(const QString& filename) {
    Guard([&] { impl_.Subscribe(filename.toStdString()); });
}

QString TZelAgent::Send(const QString& sData, const QString& sExt) {
    try {
        // Documents are ISO-8859-1 text, as the hub is told; the bus carries Unicode.
        impl_.Send(sData.toLatin1().toStdString(), sExt.toStdString());
    } catch (...) {
        // Send reports success whatever happened inside.
    }
    return {};
}

void TZelAgent::CheckMail() {
    Guard([&] { impl_.CheckMail(); });
}

bool RegisterAutomation(QDBusConnection bus, TZelAgent* object, std::string* why) {
    auto fail = [&](const QString& text) {
        if (why) *why = text.toStdString();
        return false;
    };
    if (!bus.isConnected()) {
        const QString why = bus.lastError().message();
        return fail(why.isEmpty() ? QStringLiteral("no session bus") : why);
    }
    if (!bus.registerObject(kObjectPath, kInterfaceName, object,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties))
        return fail(QStringLiteral("object path %1 is taken").arg(kObjectPath));
    if (!bus.registerService(kServiceName)) {
        const QString why = NameRefused(bus);
        bus.unregisterObject(kObjectPath);
        return fail(why);
    }
    return true;
}

ServerSwitches ParseServerSwitches(const std::vector<std::string>& args) {
    ServerSwitches out;
    for (const auto& a : args) {
        if (a.size() < 2 || (a[0] != '/' && a[0] != '-')) continue;
        const std::string_view name = std::string_view(a).substr(1);
        if (SameTextNoCase(name, "REGSERVER"))
            out.mode = ServerMode::RegServer;
        else if (SameTextNoCase(name, "UNREGSERVER"))
            out.mode = ServerMode::UnregServer;
        else if (SameTextNoCase(name, "AUTOMATION") || SameTextNoCase(name, "EMBEDDING"))
            out.automation = true;
    }
    return out;
}

std::string ActivationFilePath() {
    std::string base;
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/') {
        base = data;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home ? home : "") + "/.local/share";
    }
    return base + "/dbus-1/services/" + kServiceName + ".service";
}

std::string ActivationFileText(const std::string& programPath) {
    return std::string("[D-BUS Service]\n") + "Name=" + kServiceName + "\n" +
           "Exec=" + QuoteForExec(programPath) + " -AUTOMATION\n";
}

void RegisterServer(const std::string& programPath) {
    std::string file = ActivationFilePath();
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
    if (ec)
        throw platform::RuntimeError(platform::err::kPathNotFound, "RegisterServer",
                                     "Cannot create " + file + ": " + ec.message());
    platform::WriteWholeFile(file, ActivationFileText(programPath));
}

void UnregisterServer() {
    std::string file = ActivationFilePath();
    if (!platform::TryDeleteFile(file))
        throw platform::RuntimeError(platform::err::kPathFileAccess, "UnregisterServer",
                                     "Cannot delete " + file);
}

}  // namespace zel::agent
