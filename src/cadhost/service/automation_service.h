// vexilo-cad's automation service: AutoCAD's application, document, utility and entity members
// on the D-Bus session bus, forwarded to the drawing host.
#pragma once

#include "automation/codes.h"
#include "cadhost/requests/automation_host.h"

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QString>
#include <QStringList>

#include <functional>

class QDBusServiceWatcher;

namespace vexilo::cadhost {

class AutomationDispatch;

/// Answers the members of the protocol tables (automation/dbus_protocol.h) for one host. It
/// only forwards: the drawing, the window state and the waiting request belong to the host.
/// Introspection and dispatch both come from the tables; a call whose interface, member or
/// argument signature is not the table's fails with a named error. Requests that wait for the
/// person get a delayed reply when the person answers; the host's event loop never blocks.
/// Failures are error replies named org.vexilo.Cad.Error whose message starts with the code.
class AutomationService : public QDBusVirtualObject {
    Q_OBJECT
public:
    AutomationService(AutomationHost& host, QDBusConnection connection, QObject* parent = nullptr);
    ~AutomationService() override;

    /// Registers the objects and owns the bus name of every identifier. A name that is already
    /// owned is reported in `problems` and skipped; the others are still taken. Returns false
    /// when the objects could not be registered at all (no session bus).
    bool start(const QStringList& progIds, QStringList& problems);

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    friend class AutomationDispatch;

    void replyError(const QDBusMessage& message, automation::HResult code, const QString& what);
    void reply(const QDBusMessage& message, const QList<QVariant>& arguments);
    void watchRequester(const QDBusMessage& message);
    void waitForPerson(const QDBusMessage& message,
                       const std::function<automation::HResult()>& start);

    AutomationHost& m_host;
    QDBusConnection m_connection;
    QDBusServiceWatcher* m_watcher = nullptr;
    QString m_requester;
};

} // namespace vexilo::cadhost
