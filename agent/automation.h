#pragma once
// The automation interface on the session bus: the object /ZelAgent of the service
// net.zel.ZelAgent with the interface net.zel.IZelAgent.
#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <string>

#include "agent/automation_interface.h"

namespace zel::agent {

// The automation object. Calls arrive on the thread that owns it (the window's), one at a
// time; an error that escapes an operation becomes an error reply to the caller, except for
// Send, which always succeeds.
class TZelAgent : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "net.zel.IZelAgent")
    // Written out rather than generated: ResultFile is read from the agent's last stored
    // document at each request and no change of it is ever signalled, which the bus must say
    // (its default promises PropertiesChanged), so that clients that cache properties ask
    // again instead of keeping a stale path. Keep it in step with the slots below.
    Q_CLASSINFO("D-Bus Introspection",
                "  <interface name=\"net.zel.IZelAgent\">\n"
                "    <property name=\"ResultFile\" type=\"s\" access=\"read\">\n"
                "      <annotation name=\"org.freedesktop.DBus.Property.EmitsChangedSignal\" "
                "value=\"false\"/>\n"
                "    </property>\n"
                "    <method name=\"SendFile\">\n"
                "      <arg name=\"filename\" type=\"s\" direction=\"in\"/>\n"
                "    </method>\n"
                "    <method name=\"ExecuteQuery\">\n"
                "      <arg name=\"filename\" type=\"s\" direction=\"in\"/>\n"
                "    </method>\n"
                "    <method name=\"Subscribe\">\n"
                "      <arg name=\"filename\" type=\"s\" direction=\"in\"/>\n"
                "    </method>\n"
                "    <method name=\"Send\">\n"
                "      <arg name=\"sData\" type=\"s\" direction=\"in\"/>\n"
                "      <arg name=\"sExt\" type=\"s\" direction=\"in\"/>\n"
                "      <arg type=\"s\" direction=\"out\"/>\n"
                "    </method>\n"
                "    <method name=\"CheckMail\"/>\n"
                "  </interface>\n")
    Q_PROPERTY(QString ResultFile READ ResultFile)

public:
    explicit TZelAgent(IAgentAutomation& impl, QObject* parent = nullptr);

    QString ResultFile();

public slots:
    void SendFile(const QString& filename);
    void ExecuteQuery(const QString& filename);
    void Subscribe(const QString& filename);
    QString Send(const QString& sData, const QString& sExt);
    void CheckMail();

private:
    template <typename F>
    void Guard(F&& op);

    IAgentAutomation& impl_;
};

// Exports `object` at /ZelAgent and takes the service name. False (with a reason) when the
// bus is not there or the name is taken; a taken name is reported with its owner.
bool RegisterAutomation(QDBusConnection bus, TZelAgent* object, std::string* why = nullptr);

}  // namespace zel::agent
