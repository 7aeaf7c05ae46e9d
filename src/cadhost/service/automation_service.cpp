// The automation members on the bus, forwarded to the drawing, the window and the request broker.
#include "cadhost/service/automation_service.h"

#include "cad/hresult.h"
#include "cad/prog_id.h"
#include "cadhost/geometry/coordinate_systems.h"
#include "cadhost/model/entity_members.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QVariantMap>

#include <array>

namespace vexilo::cadhost {

namespace {

constexpr const char* kErrorName = "org.vexilo.Cad.Error";
const QString kApplicationPath = QStringLiteral("/Application");
const QString kDocumentPath = QStringLiteral("/Document");
const QString kUtilityPath = QStringLiteral("/Document/Utility");
const QString kEntityPrefix = QStringLiteral("/Entity/");

// Properties an entity answers by name, and what Snapshot gathers.
constexpr std::array<const char*, 15> kEntityProperties = {
    "ObjectName", "EntityName", "Handle",   "Layer",      "Coordinates",
    "Elevation",  "Normal",     "Closed",   "Radius",     "ArcLength",
    "Center",     "StartPoint", "EndPoint", "StartAngle", "EndAngle"};

QVariant toVariant(const MemberValue& value) {
    return std::visit(
        [](const auto& v) -> QVariant {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return QString::fromStdString(v);
            } else if constexpr (std::is_same_v<T, std::vector<double>>) {
                return QVariant::fromValue(QList<double>(v.begin(), v.end()));
            } else {
                return QVariant::fromValue(v);
            }
        },
        value);
}

QList<double> toList(const WorldPoint& p) {
    return {p[0], p[1], p[2]};
}

QString entityPath(std::uint64_t handle) {
    return kEntityPrefix + QString::number(handle, 16).toUpper();
}

QString introspectionOf(const char* interface, const char* methods) {
    return QStringLiteral("<interface name=\"%1\">%2</interface>")
        .arg(QLatin1String(interface), QLatin1String(methods));
}

} // namespace

AutomationService::AutomationService(AutomationHost& host, QDBusConnection connection,
                                     QObject* parent)
    : QDBusVirtualObject(parent), m_host(host), m_connection(std::move(connection)) {
    qDBusRegisterMetaType<QList<double>>();
}

AutomationService::~AutomationService() {
    m_connection.unregisterObject(QStringLiteral("/"), QDBusConnection::UnregisterTree);
}

bool AutomationService::start(const QStringList& progIds, QStringList& problems) {
    if (!m_connection.isConnected()) {
        problems << tr("no D-Bus session bus: %1").arg(m_connection.lastError().message());
        return false;
    }
    if (!m_connection.registerVirtualObject(QStringLiteral("/"), this, QDBusConnection::SubPath)) {
        problems << tr("cannot register the automation objects on the bus");
        return false;
    }
    for (const QString& progId : progIds) {
        const QString name = QString::fromStdString(cad::busNameForProgId(progId.toStdString()));
        const auto result = m_connection.interface()->registerService(
            name, QDBusConnectionInterface::DontQueueService,
            QDBusConnectionInterface::DontAllowReplacement);
        if (!result.isValid() || result.value() != QDBusConnectionInterface::ServiceRegistered) {
            problems
                << tr("%1 (%2) is already owned by another program; skipped").arg(progId, name);
        }
    }
    return true;
}

QString AutomationService::introspect(const QString& path) const {
    if (path == QLatin1String("/")) {
        return QStringLiteral(
            "<node name=\"Application\"/><node name=\"Document\"/><node name=\"Entity\"/>");
    }
    if (path == kApplicationPath) {
        return introspectionOf("org.vexilo.Cad.Application",
                               "<method name=\"ActiveDocument\"><arg type=\"o\" direction=\"out\"/>"
                               "</method><method name=\"SetWindowState\"><arg type=\"i\" "
                               "direction=\"in\"/></method><method name=\"WindowState\"><arg "
                               "type=\"i\" direction=\"out\"/></method>");
    }
    if (path == kDocumentPath) {
        return introspectionOf("org.vexilo.Cad.Document",
                               "<method name=\"Utility\"><arg type=\"o\" direction=\"out\"/>"
                               "</method>") +
               QStringLiteral("<node name=\"Utility\"/>");
    }
    if (path == kUtilityPath) {
        return introspectionOf(
            "org.vexilo.Cad.Utility",
            "<method name=\"GetPoint\"><arg type=\"s\" direction=\"in\"/><arg type=\"ad\" "
            "direction=\"out\"/></method><method name=\"GetEntity\"><arg type=\"s\" "
            "direction=\"in\"/><arg type=\"o\" direction=\"out\"/><arg type=\"ad\" "
            "direction=\"out\"/></method><method name=\"GetString\"><arg type=\"b\" "
            "direction=\"in\"/><arg type=\"s\" direction=\"in\"/><arg type=\"s\" "
            "direction=\"out\"/></method><method name=\"TranslateCoordinates\"><arg type=\"ad\" "
            "direction=\"in\"/><arg type=\"i\" direction=\"in\"/><arg type=\"i\" "
            "direction=\"in\"/><arg type=\"b\" direction=\"in\"/><arg type=\"ad\" "
            "direction=\"in\"/><arg type=\"ad\" direction=\"out\"/></method><method "
            "name=\"UserSystem\"><arg type=\"ad\" direction=\"out\"/></method>");
    }
    if (path.startsWith(kEntityPrefix)) {
        QString methods;
        for (const char* name : kEntityProperties) {
            methods += QStringLiteral("<method name=\"%1\"><arg type=\"v\" direction=\"out\"/>"
                                      "</method>")
                           .arg(QLatin1String(name));
        }
        methods += QStringLiteral(
            "<method name=\"Coordinate\"><arg type=\"i\" direction=\"in\"/><arg type=\"ad\" "
            "direction=\"out\"/></method><method name=\"GetWidth\"><arg type=\"i\" "
            "direction=\"in\"/><arg type=\"d\" direction=\"out\"/><arg type=\"d\" "
            "direction=\"out\"/></method><method name=\"Snapshot\"><arg type=\"a{sv}\" "
            "direction=\"out\"/></method>");
        return introspectionOf("org.vexilo.Cad.Entity", methods.toLatin1().constData());
    }
    return {};
}

bool AutomationService::handleMessage(const QDBusMessage& message, const QDBusConnection&) {
    if (message.type() != QDBusMessage::MethodCallMessage) {
        return false;
    }
    const QString path = message.path();
    if (path == kApplicationPath) {
        handleApplication(message);
    } else if (path == kDocumentPath) {
        handleDocument(message);
    } else if (path == kUtilityPath) {
        handleUtility(message);
    } else if (path.startsWith(kEntityPrefix)) {
        handleEntity(message, path.mid(kEntityPrefix.size()));
    } else {
        return false;
    }
    return true;
}

void AutomationService::reply(const QDBusMessage& message, const QList<QVariant>& arguments) {
    m_connection.send(message.createReply(arguments));
}

void AutomationService::replyError(const QDBusMessage& message, std::int32_t code,
                                   const QString& what) {
    m_connection.send(message.createErrorReply(QLatin1String(kErrorName),
                                               QStringLiteral("%1 %2").arg(code).arg(what)));
}

void AutomationService::handleApplication(const QDBusMessage& message) {
    const QString member = message.member();
    if (member == QLatin1String("ActiveDocument")) {
        if (m_host.drawing() == nullptr) {
            replyError(message, cad::kNoDocumentCode, QStringLiteral("no drawing is open"));
            return;
        }
        reply(message, {QVariant::fromValue(QDBusObjectPath(kDocumentPath))});
    } else if (member == QLatin1String("SetWindowState") && message.arguments().size() == 1) {
        m_host.setWindowState(message.arguments().at(0).toInt());
        reply(message, {});
    } else if (member == QLatin1String("WindowState")) {
        reply(message, {m_host.windowState()});
    } else {
        replyError(message, cad::kUnknownMemberCode, QStringLiteral("no member ") + member);
    }
}

void AutomationService::handleDocument(const QDBusMessage& message) {
    if (m_host.drawing() == nullptr) {
        replyError(message, cad::kNoDocumentCode, QStringLiteral("no drawing is open"));
        return;
    }
    if (message.member() == QLatin1String("Utility")) {
        reply(message, {QVariant::fromValue(QDBusObjectPath(kUtilityPath))});
    } else {
        replyError(message, cad::kUnknownMemberCode,
                   QStringLiteral("no member ") + message.member());
    }
}

// A waiting request belongs to the client that asked; if that client leaves the bus, the
// request is dropped so that the window does not wait for an answer nobody will read.
void AutomationService::watchRequester(const QDBusMessage& message) {
    m_requester = message.service();
    if (m_watcher == nullptr) {
        m_watcher = new QDBusServiceWatcher(this);
        m_watcher->setConnection(m_connection);
        m_watcher->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
        connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this,
                [this](const QString& service) {
                    if (service == m_requester && m_host.requests().isWaiting()) {
                        m_host.requests().abandon();
                    }
                });
    }
    m_watcher->setWatchedServices({m_requester});
}

// A request that waits for the person is answered later, when the person answers; a second
// one while one waits is refused at once.
void AutomationService::waitForPerson(const QDBusMessage& message,
                                      const std::function<cad::HResult()>& start) {
    message.setDelayedReply(true);
    const cad::HResult started = start();
    if (started != 0) {
        replyError(message, started, QStringLiteral("another request is waiting"));
    } else {
        watchRequester(message);
    }
}

void AutomationService::handleUtility(const QDBusMessage& message) {
    const Drawing* drawing = m_host.drawing();
    if (drawing == nullptr) {
        replyError(message, cad::kNoDocumentCode, QStringLiteral("no drawing is open"));
        return;
    }
    const QString member = message.member();
    const QList<QVariant> args = message.arguments();
    RequestBroker& requests = m_host.requests();

    if (member == QLatin1String("GetPoint") && args.size() == 1) {
        waitForPerson(message, [&] {
            return requests.requestPoint(
                args.at(0).toString().toStdString(),
                [this, message](Expected<WorldPoint, cad::HResult> answer) {
                    if (answer) {
                        reply(message, {QVariant::fromValue(toList(*answer))});
                    } else {
                        replyError(message, answer.error(), QStringLiteral("no point"));
                    }
                });
        });
    } else if (member == QLatin1String("GetEntity") && args.size() == 1) {
        waitForPerson(message, [&] {
            return requests.requestEntity(
                args.at(0).toString().toStdString(),
                [this, message](Expected<EntityPick, cad::HResult> answer) {
                    if (answer) {
                        reply(message,
                              {QVariant::fromValue(QDBusObjectPath(entityPath(answer->handle))),
                               QVariant::fromValue(toList(answer->pickedPoint))});
                    } else {
                        replyError(message, answer.error(), QStringLiteral("no entity"));
                    }
                });
        });
    } else if (member == QLatin1String("GetString") && args.size() == 2) {
        waitForPerson(message, [&] {
            return requests.requestText(
                args.at(0).toBool(), args.at(1).toString().toStdString(),
                [this, message](Expected<std::string, cad::HResult> answer) {
                    if (answer) {
                        reply(message, {QString::fromStdString(*answer)});
                    } else {
                        replyError(message, answer.error(), QStringLiteral("no text"));
                    }
                });
        });
    } else if (member == QLatin1String("TranslateCoordinates") && args.size() == 5) {
        const QList<double> point = qdbus_cast<QList<double>>(args.at(0));
        const QList<double> normal = qdbus_cast<QList<double>>(args.at(4));
        if (point.size() != 3 || (!normal.isEmpty() && normal.size() != 3)) {
            replyError(message, cad::kInvalidArgumentCode,
                       QStringLiteral("a point is three doubles"));
            return;
        }
        std::optional<Vec3> ocsNormal;
        if (!normal.isEmpty()) {
            ocsNormal = Vec3{normal[0], normal[1], normal[2]};
        }
        const auto result = translateCoordinates({point[0], point[1], point[2]}, args.at(1).toInt(),
                                                 args.at(2).toInt(), args.at(3).toBool(),
                                                 drawing->ucs(), ocsNormal);
        if (!result) {
            replyError(message, result.error(), QStringLiteral("invalid argument"));
            return;
        }
        reply(message, {QVariant::fromValue(QList<double>{result->x, result->y, result->z})});
    } else if (member == QLatin1String("UserSystem")) {
        const Ucs& ucs = drawing->ucs();
        reply(message, {QVariant::fromValue(QList<double>{ucs.origin.x, ucs.origin.y, ucs.origin.z,
                                                          ucs.xAxis.x, ucs.xAxis.y, ucs.xAxis.z,
                                                          ucs.yAxis.x, ucs.yAxis.y, ucs.yAxis.z})});
    } else {
        replyError(message, cad::kUnknownMemberCode, QStringLiteral("no member ") + member);
    }
}

void AutomationService::handleEntity(const QDBusMessage& message, const QString& handleText) {
    const Drawing* drawing = m_host.drawing();
    bool ok = false;
    const std::uint64_t handle = handleText.toULongLong(&ok, 16);
    const Entity* entity = (drawing != nullptr && ok) ? drawing->findByHandle(handle) : nullptr;
    if (entity == nullptr) {
        replyError(message, cad::kObjectErasedCode,
                   QStringLiteral("the entity is not in the open drawing"));
        return;
    }
    const QString member = message.member();
    const QList<QVariant> args = message.arguments();

    if (member == QLatin1String("Snapshot")) {
        QVariantMap snapshot;
        for (const char* name : kEntityProperties) {
            const auto value = readProperty(*drawing, *entity, name);
            if (value) {
                snapshot.insert(QLatin1String(name), toVariant(*value));
            }
        }
        QList<double> widths;
        for (int segment = 0;; ++segment) {
            const auto width = getWidth(*drawing, *entity, segment);
            if (!width) {
                break;
            }
            widths << width->start << width->end;
        }
        if (!widths.isEmpty()) {
            snapshot.insert(QStringLiteral("Widths"), QVariant::fromValue(widths));
        }
        reply(message, {snapshot});
        return;
    }
    if (member == QLatin1String("Coordinate") && args.size() == 1) {
        const auto vertex = coordinate(*drawing, *entity, args.at(0).toInt());
        if (!vertex) {
            replyError(message, vertex.error(), QStringLiteral("no such vertex"));
            return;
        }
        reply(message, {QVariant::fromValue(QList<double>(vertex->begin(), vertex->end()))});
        return;
    }
    if (member == QLatin1String("GetWidth") && args.size() == 1) {
        const auto width = getWidth(*drawing, *entity, args.at(0).toInt());
        if (!width) {
            replyError(message, width.error(), QStringLiteral("no such segment"));
            return;
        }
        reply(message, {width->start, width->end});
        return;
    }
    const auto value = readProperty(*drawing, *entity, member.toStdString());
    if (!value) {
        replyError(message, value.error(), QStringLiteral("no member ") + member);
        return;
    }
    reply(message, {QVariant::fromValue(QDBusVariant(toVariant(*value)))});
}

} // namespace vexilo::cadhost
