// The automation members on the bus: the protocol tables drive both introspection and dispatch;
// each handler forwards to the drawing, the window or the request broker.
#include "cadhost/service/automation_service.h"

#include "automation/dbus_protocol.h"
#include "automation/prog_id.h"
#include "cadhost/host_geometry.h"
#include "cadhost/model/entity_members.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QVariantMap>

#include <array>

namespace vexilo::cadhost {

namespace protocol = automation::protocol;

namespace {

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

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

// The one spelling of an entity's path: upper-case hexadecimal without leading zeros.
QString entityPath(std::uint64_t handle) {
    return toQString(protocol::kEntity.path) + QString::number(handle, 16).toUpper();
}

// The handle a path names, or nothing when the text is not the handle's one spelling
// (/Entity/0x30 and /Entity/030 are not /Entity/30).
std::optional<std::uint64_t> handleOfPath(const QString& path) {
    const QString text = path.mid(static_cast<qsizetype>(protocol::kEntity.path.size()));
    bool ok = false;
    const std::uint64_t handle = text.toULongLong(&ok, 16);
    if (!ok || entityPath(handle) != path) {
        return std::nullopt;
    }
    return handle;
}

const protocol::Interface* interfaceOfPath(const QString& path) {
    for (const protocol::Interface* interface : protocol::kInterfaces) {
        if (interface == &protocol::kEntity) {
            if (path.startsWith(toQString(interface->path))) {
                return interface;
            }
        } else if (path == toQString(interface->path)) {
            return interface;
        }
    }
    return nullptr;
}

} // namespace

/// One call on its way to its handler: the message, the service, and what the object needs.
struct Call {
    AutomationService& service;
    const QDBusMessage& message;
    const QList<QVariant> args;
    const Drawing* drawing;
    const Entity* entity;
};

/// The handlers, one per member or kind of member, reached through the route tables.
class AutomationDispatch {
public:
    using Handler = void (*)(Call&);
    struct Route {
        const protocol::Member* member;
        Handler handle;
    };

    static void reply(Call& call, const QList<QVariant>& values) {
        call.service.reply(call.message, values);
    }
    static void fail(Call& call, automation::HResult code, const QString& what) {
        call.service.replyError(call.message, code, what);
    }

    static void activeDocument(Call& call) {
        if (call.drawing == nullptr) {
            fail(call, automation::kNoDocumentCode, QStringLiteral("no drawing is open"));
            return;
        }
        reply(call, {QVariant::fromValue(QDBusObjectPath(toQString(protocol::kDocument.path)))});
    }
    static void windowState(Call& call) { reply(call, {call.service.m_host.windowState()}); }
    static void setWindowState(Call& call) {
        const int state = call.args.at(0).toInt();
        if (state < 1 || state > 3) {
            fail(call, automation::kInvalidArgumentCode,
                 QStringLiteral("a window state is 1, 2 or 3"));
            return;
        }
        call.service.m_host.setWindowState(state);
        reply(call, {});
    }

    static void utility(Call& call) {
        reply(call,
              {QVariant::fromValue(QDBusObjectPath(toQString(protocol::kUtilityInterface.path)))});
    }

    static void getPoint(Call& call) {
        AutomationService& service = call.service;
        const QDBusMessage message = call.message;
        service.waitForPerson(message, [&] {
            return service.m_host.requests().requestPoint(
                call.args.at(0).toString().toStdString(),
                [&service, message](Expected<WorldPoint, automation::HResult> answer) {
                    if (answer) {
                        service.reply(message, {QVariant::fromValue(toList(*answer))});
                    } else {
                        service.replyError(message, answer.error(), QStringLiteral("no point"));
                    }
                });
        });
    }
    static void getEntity(Call& call) {
        AutomationService& service = call.service;
        const QDBusMessage message = call.message;
        service.waitForPerson(message, [&] {
            return service.m_host.requests().requestEntity(
                call.args.at(0).toString().toStdString(),
                [&service, message](Expected<EntityPick, automation::HResult> answer) {
                    if (answer) {
                        service.reply(message, {QVariant::fromValue(
                                                    QDBusObjectPath(entityPath(answer->handle))),
                                                QVariant::fromValue(toList(answer->pickedPoint))});
                    } else {
                        service.replyError(message, answer.error(), QStringLiteral("no entity"));
                    }
                });
        });
    }
    static void getString(Call& call) {
        AutomationService& service = call.service;
        const QDBusMessage message = call.message;
        service.waitForPerson(message, [&] {
            return service.m_host.requests().requestText(
                call.args.at(0).toBool(), call.args.at(1).toString().toStdString(),
                [&service, message](Expected<std::string, automation::HResult> answer) {
                    if (answer) {
                        service.reply(message, {QString::fromStdString(*answer)});
                    } else {
                        service.replyError(message, answer.error(), QStringLiteral("no text"));
                    }
                });
        });
    }
    static void translate(Call& call) {
        const QList<double> point = qdbus_cast<QList<double>>(call.args.at(0));
        const QList<double> normal = qdbus_cast<QList<double>>(call.args.at(4));
        if (point.size() != 3 || (!normal.isEmpty() && normal.size() != 3)) {
            fail(call, automation::kInvalidArgumentCode,
                 QStringLiteral("a point and a normal are three doubles"));
            return;
        }
        std::optional<Vec3> ocsNormal;
        if (!normal.isEmpty()) {
            ocsNormal = Vec3{normal[0], normal[1], normal[2]};
        }
        const auto result = translateCoordinates(
            {point[0], point[1], point[2]}, call.args.at(1).toInt(), call.args.at(2).toInt(),
            call.args.at(3).toBool(), call.drawing->ucs(), ocsNormal);
        if (!result) {
            fail(call, result.error(), QStringLiteral("invalid argument"));
            return;
        }
        reply(call, {QVariant::fromValue(QList<double>{result->x, result->y, result->z})});
    }
    static void userSystem(Call& call) {
        const Ucs& ucs = call.drawing->ucs();
        reply(call, {QVariant::fromValue(QList<double>{ucs.origin.x, ucs.origin.y, ucs.origin.z,
                                                       ucs.xAxis.x, ucs.xAxis.y, ucs.xAxis.z,
                                                       ucs.yAxis.x, ucs.yAxis.y, ucs.yAxis.z})});
    }

    static void property(Call& call) {
        const auto value =
            readProperty(*call.drawing, *call.entity, call.message.member().toStdString());
        if (!value) {
            fail(call, value.error(), QStringLiteral("no member ") + call.message.member());
            return;
        }
        reply(call, {QVariant::fromValue(QDBusVariant(toVariant(*value)))});
    }
    static void coordinate(Call& call) {
        const auto vertex =
            vexilo::cadhost::coordinate(*call.drawing, *call.entity, call.args.at(0).toInt());
        if (!vertex) {
            fail(call, vertex.error(), QStringLiteral("no such vertex"));
            return;
        }
        reply(call, {QVariant::fromValue(QList<double>(vertex->begin(), vertex->end()))});
    }
    static void width(Call& call) {
        const auto width = getWidth(*call.drawing, *call.entity, call.args.at(0).toInt());
        if (!width) {
            fail(call, width.error(), QStringLiteral("no such segment"));
            return;
        }
        reply(call, {width->start, width->end});
    }
    static void snapshot(Call& call) {
        QVariantMap snapshot;
        for (const protocol::Property& property : protocol::kEntityProperties) {
            const auto value = readProperty(*call.drawing, *call.entity, property.name);
            if (value) {
                snapshot.insert(toQString(property.name), toVariant(*value));
            }
        }
        QList<double> widths;
        for (int segment = 0;; ++segment) {
            const auto width = getWidth(*call.drawing, *call.entity, segment);
            if (!width) {
                break;
            }
            widths << width->start << width->end;
        }
        if (!widths.isEmpty()) {
            snapshot.insert(QStringLiteral("Widths"), QVariant::fromValue(widths));
        }
        reply(call, {snapshot});
    }
};

using Route = AutomationDispatch::Route;
using D = AutomationDispatch;

constexpr std::array kApplicationRoutes{
    Route{&protocol::kActiveDocument, D::activeDocument},
    Route{&protocol::kWindowState, D::windowState},
    Route{&protocol::kSetWindowState, D::setWindowState},
};
constexpr std::array kDocumentRoutes{Route{&protocol::kUtility, D::utility}};
constexpr std::array kUtilityRoutes{
    Route{&protocol::kGetPoint, D::getPoint},
    Route{&protocol::kGetEntity, D::getEntity},
    Route{&protocol::kGetString, D::getString},
    Route{&protocol::kTranslateCoordinates, D::translate},
    Route{&protocol::kUserSystem, D::userSystem},
};

// Every property goes to one handler; the three methods to their own.
constexpr auto entityRoutes() {
    std::array<Route, protocol::kEntityMembers.size()> routes{};
    for (std::size_t i = 0; i < routes.size(); ++i) {
        const protocol::Member& m = protocol::kEntityMembers[i];
        routes[i] = Route{&m, m.name == protocol::kCoordinate.name ? D::coordinate
                              : m.name == protocol::kGetWidth.name ? D::width
                              : m.name == protocol::kSnapshot.name ? D::snapshot
                                                                   : D::property};
    }
    return routes;
}
constexpr auto kEntityRoutes = entityRoutes();

// A route table serves exactly its interface's members, in the table's order, with the
// table's signatures.
template <std::size_t N>
constexpr bool serves(const std::array<Route, N>& routes, const protocol::Interface& interface) {
    if (routes.size() != interface.members.size()) {
        return false;
    }
    for (std::size_t i = 0; i < N; ++i) {
        if (routes[i].member->name != interface.members[i].name ||
            routes[i].member->in != interface.members[i].in ||
            routes[i].member->out != interface.members[i].out) {
            return false;
        }
    }
    return true;
}
static_assert(serves(kApplicationRoutes, protocol::kApplication));
static_assert(serves(kDocumentRoutes, protocol::kDocument));
static_assert(serves(kUtilityRoutes, protocol::kUtilityInterface));
static_assert(serves(kEntityRoutes, protocol::kEntity));

std::span<const Route> routesOf(const protocol::Interface& interface) {
    if (&interface == &protocol::kApplication) {
        return kApplicationRoutes;
    }
    if (&interface == &protocol::kDocument) {
        return kDocumentRoutes;
    }
    if (&interface == &protocol::kUtilityInterface) {
        return kUtilityRoutes;
    }
    return kEntityRoutes;
}

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
        const QString name =
            QString::fromStdString(automation::busNameForProgId(progId.toStdString()));
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
    // The tree: / → Application, Document (→ Utility), Entity (→ one node per entity of the
    // open drawing would be millions; entities are reached through GetEntity, not listed).
    if (path == QLatin1String("/")) {
        return QStringLiteral(
            "<node name=\"Application\"/><node name=\"Document\"/><node name=\"Entity\"/>");
    }
    if (path == QLatin1String("/Entity")) {
        return {};
    }
    const protocol::Interface* interface = interfaceOfPath(path);
    if (interface == nullptr) {
        return {};
    }
    if (interface == &protocol::kEntity) {
        const Drawing* drawing = m_host.drawing();
        const auto handle = handleOfPath(path);
        if (drawing == nullptr || !handle || drawing->findByHandle(*handle) == nullptr) {
            return {};
        }
    }
    QString xml = QString::fromStdString(protocol::introspectionXml(*interface));
    if (interface == &protocol::kDocument) {
        xml += QStringLiteral("<node name=\"Utility\"/>");
    }
    return xml;
}

bool AutomationService::handleMessage(const QDBusMessage& message, const QDBusConnection&) {
    if (message.type() != QDBusMessage::MethodCallMessage) {
        return false;
    }
    const protocol::Interface* interface = interfaceOfPath(message.path());
    // The bus's own interfaces (Introspectable, Peer, Properties) are answered by Qt, which
    // asks introspect() for the objects' part.
    if (interface == nullptr ||
        message.interface().startsWith(QLatin1String("org.freedesktop.DBus."))) {
        return false;
    }
    const QString member = message.member();
    if (!message.interface().isEmpty() && message.interface() != toQString(interface->name)) {
        replyError(message, automation::kUnknownMemberCode,
                   QStringLiteral("no member %1 on interface %2 at %3")
                       .arg(member, message.interface(), message.path()));
        return true;
    }
    const auto routes = routesOf(*interface);
    const auto route = std::find_if(routes.begin(), routes.end(), [&](const auto& r) {
        return toQString(r.member->name) == member;
    });
    if (route == routes.end()) {
        replyError(message, automation::kUnknownMemberCode, QStringLiteral("no member ") + member);
        return true;
    }
    if (message.signature() != toQString(route->member->in)) {
        replyError(message, automation::kInvalidArgumentCode,
                   QStringLiteral("%1 takes (%2), not (%3)")
                       .arg(member, toQString(route->member->in), message.signature()));
        return true;
    }
    const Drawing* drawing = m_host.drawing();
    const Entity* entity = nullptr;
    if (interface != &protocol::kApplication && drawing == nullptr) {
        replyError(message, automation::kNoDocumentCode, QStringLiteral("no drawing is open"));
        return true;
    }
    if (interface == &protocol::kEntity) {
        const auto handle = handleOfPath(message.path());
        entity = handle ? drawing->findByHandle(*handle) : nullptr;
        if (entity == nullptr) {
            replyError(message, automation::kObjectErasedCode,
                       QStringLiteral("no entity at %1 in the open drawing").arg(message.path()));
            return true;
        }
    }
    Call call{*this, message, message.arguments(), drawing, entity};
    route->handle(call);
    return true;
}

void AutomationService::reply(const QDBusMessage& message, const QList<QVariant>& arguments) {
    m_connection.send(message.createReply(arguments));
}

void AutomationService::replyError(const QDBusMessage& message, automation::HResult code,
                                   const QString& what) {
    m_connection.send(message.createErrorReply(toQString(protocol::kErrorName),
                                               QStringLiteral("%1 %2").arg(code).arg(what)));
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
                                      const std::function<automation::HResult()>& start) {
    message.setDelayedReply(true);
    const automation::HResult started = start();
    if (started != 0) {
        replyError(message, started, QStringLiteral("another request is waiting"));
    } else {
        watchRequester(message);
    }
}

} // namespace vexilo::cadhost
