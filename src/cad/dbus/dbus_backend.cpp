// Proxies for the drawing host's application, document, utility and entities on the bus.
#include "cad/dbus/dbus_backend.h"

#include "automation/dbus_protocol.h"
#include "automation/prog_id.h"
#include "cad/local_conversion.h"
#include "geometry/coordinate_systems.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QEventLoop>
#include <QVariantMap>

#include <limits>
#include <map>
#include <string>
#include <utility>
#include <variant>

namespace vexilo::cad::dbus {

namespace {

namespace protocol = automation::protocol;

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// libdbus reads INT_MAX as "no timeout": a person may take as long as they like.
constexpr int kNoTimeout = std::numeric_limits<int>::max();

// A reply argument that should hold three doubles.
CadResult<Point3> toPoint(const QVariant& value) {
    const QList<double> list = qdbus_cast<QList<double>>(value);
    if (list.size() != 3) {
        return unexpected(automation::kDisconnectedCode);
    }
    return Point3{list[0], list[1], list[2]};
}

// One connection to one host: every proxy of a binding shares it.
class Channel {
public:
    Channel(QDBusConnection connection, QString service)
        : m_connection(std::move(connection)), m_service(std::move(service)) {}

    // Calls a member of the protocol and returns the reply's arguments, or the code of the
    // failure. A reply whose signature is not the member's counts as a broken link. Requests
    // that wait for the person have no timeout.
    CadResult<QList<QVariant>> call(const QString& path, const protocol::Interface& interface,
                                    const protocol::Member& member,
                                    const QList<QVariant>& arguments = {}) {
        const bool waitsForPerson = member.waitsForPerson;
        QDBusMessage message = QDBusMessage::createMethodCall(
            m_service, path, toQString(interface.name), toQString(member.name));
        message.setArguments(arguments);
        // Even a quick call waits in a local event loop rather than blocking the thread: the
        // window keeps painting, and a host served by this same thread (the tests) can answer.
        QDBusPendingCallWatcher watcher(
            m_connection.asyncCall(message, waitsForPerson ? kNoTimeout : -1));
        if (!watcher.isFinished()) {
            QEventLoop loop;
            QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop,
                             &QEventLoop::quit);
            loop.exec();
        }
        const QDBusMessage reply = watcher.reply();
        if (reply.type() == QDBusMessage::ErrorMessage) {
            return unexpected(codeOfErrorReply(reply.errorName(), reply.errorMessage()));
        }
        if (reply.type() != QDBusMessage::ReplyMessage ||
            reply.signature() != toQString(member.out)) {
            return unexpected(automation::kDisconnectedCode);
        }
        return reply.arguments();
    }

private:
    QDBusConnection m_connection;
    QString m_service;
};

using ChannelPtr = std::shared_ptr<Channel>;

// A member's value as the snapshot brought it.
using MemberValue = std::variant<bool, double, std::string, std::vector<double>>;

// The snapshot's values in C++ form, converted once: a command reads a polyline's vertex
// array once per vertex, and converting it from the bus form each time would cost more than
// all the rest of the listing.
std::map<std::string, MemberValue, std::less<>> toMembers(const QVariantMap& snapshot) {
    std::map<std::string, MemberValue, std::less<>> members;
    for (auto it = snapshot.constBegin(); it != snapshot.constEnd(); ++it) {
        const QVariant& value = it.value();
        MemberValue converted;
        if (value.typeId() == QMetaType::Bool) {
            converted = value.toBool();
        } else if (value.typeId() == QMetaType::Double) {
            converted = value.toDouble();
        } else if (value.typeId() == QMetaType::QString) {
            converted = value.toString().toStdString();
        } else {
            const QList<double> list = qdbus_cast<QList<double>>(value);
            converted = std::vector<double>(list.begin(), list.end());
        }
        members.emplace(it.key().toStdString(), std::move(converted));
    }
    return members;
}

class DbusEntity : public Entity {
public:
    DbusEntity(ChannelPtr channel, QString path)
        : m_channel(std::move(channel)), m_path(std::move(path)) {}

    CadResult<std::string> objectName() override { return get<std::string>("ObjectName"); }
    CadResult<std::string> entityName() override { return get<std::string>("EntityName"); }
    CadResult<std::vector<double>> coordinates() override {
        return get<std::vector<double>>("Coordinates");
    }

    CadResult<std::vector<double>> coordinate(std::int32_t index) override {
        const std::vector<double>* all = find<std::vector<double>>("Coordinates");
        const std::string* kind = find<std::string>("ObjectName");
        if (all != nullptr && kind != nullptr && index >= 0) {
            const std::size_t stride = *kind == "AcDbPolyline" ? 2 : 3;
            const auto first = static_cast<std::size_t>(index) * stride;
            if (first + stride <= all->size()) {
                const auto begin = all->begin() + static_cast<std::ptrdiff_t>(first);
                return std::vector<double>(begin, begin + static_cast<std::ptrdiff_t>(stride));
            }
        }
        // Outside what the snapshot holds: the host's own answer (its failure code).
        const auto reply =
            m_channel->call(m_path, protocol::kEntity, protocol::kCoordinate, {index});
        if (!reply) {
            return unexpected(reply.error());
        }
        const QList<double> vertex = qdbus_cast<QList<double>>(reply->value(0));
        return std::vector<double>(vertex.begin(), vertex.end());
    }

    CadResult<double> elevation() override { return get<double>("Elevation"); }
    CadResult<Point3> normal() override { return point("Normal"); }
    CadResult<bool> closed() override { return get<bool>("Closed"); }

    CadResult<SegmentWidth> getWidth(std::int32_t segment) override {
        const std::vector<double>* widths = find<std::vector<double>>("Widths");
        if (widths != nullptr && segment >= 0 &&
            static_cast<std::size_t>(segment) * 2 + 1 < widths->size()) {
            const auto i = static_cast<std::size_t>(segment) * 2;
            return SegmentWidth{(*widths)[i], (*widths)[i + 1]};
        }
        const auto reply =
            m_channel->call(m_path, protocol::kEntity, protocol::kGetWidth, {segment});
        if (!reply) {
            return unexpected(reply.error());
        }
        if (reply->size() != 2) {
            return unexpected(automation::kDisconnectedCode);
        }
        return SegmentWidth{reply->at(0).toDouble(), reply->at(1).toDouble()};
    }

    CadResult<double> radius() override { return get<double>("Radius"); }
    CadResult<double> arcLength() override { return get<double>("ArcLength"); }
    CadResult<Point3> center() override { return point("Center"); }
    CadResult<Point3> startPoint() override { return point("StartPoint"); }
    CadResult<Point3> endPoint() override { return point("EndPoint"); }
    CadResult<double> startAngle() override { return get<double>("StartAngle"); }
    CadResult<double> endAngle() override { return get<double>("EndAngle"); }

private:
    // The whole entity, fetched by the first read.
    automation::HResult fetch() {
        if (!m_members) {
            const auto reply = m_channel->call(m_path, protocol::kEntity, protocol::kSnapshot);
            if (!reply) {
                return reply.error();
            }
            m_members = toMembers(qdbus_cast<QVariantMap>(reply->value(0)));
        }
        return 0;
    }
    // The member's value; nullptr when the snapshot cannot be had, the entity lacks the member
    // or it has another type.
    template <class T> const T* find(std::string_view name) {
        if (fetch() != 0) {
            return nullptr;
        }
        const auto found = m_members->find(name);
        return found == m_members->end() ? nullptr : std::get_if<T>(&found->second);
    }
    template <class T> CadResult<T> get(std::string_view name) {
        if (const automation::HResult failed = fetch(); failed != 0) {
            return unexpected(failed);
        }
        const T* value = find<T>(name);
        if (value == nullptr) {
            return unexpected(automation::kUnknownMemberCode);
        }
        return *value;
    }
    CadResult<Point3> point(std::string_view name) {
        const auto value = get<std::vector<double>>(name);
        if (!value) {
            return unexpected(value.error());
        }
        if (value->size() != 3) {
            return unexpected(automation::kDisconnectedCode);
        }
        return Point3{(*value)[0], (*value)[1], (*value)[2]};
    }

    ChannelPtr m_channel;
    QString m_path;
    std::optional<std::map<std::string, MemberValue, std::less<>>> m_members;
};

class DbusUtility : public Utility {
public:
    DbusUtility(ChannelPtr channel, QString path)
        : m_channel(std::move(channel)), m_path(std::move(path)) {}

    CadResult<Point3> getPoint(std::string_view prompt) override {
        m_ucs.reset();
        const auto reply =
            m_channel->call(m_path, protocol::kUtilityInterface, protocol::kGetPoint,
                            {QString::fromUtf8(prompt.data(), static_cast<int>(prompt.size()))});
        if (!reply) {
            return unexpected(reply.error());
        }
        return toPoint(reply->value(0));
    }

    CadResult<PickedEntity> getEntity(std::string_view prompt) override {
        m_ucs.reset();
        const auto reply =
            m_channel->call(m_path, protocol::kUtilityInterface, protocol::kGetEntity,
                            {QString::fromUtf8(prompt.data(), static_cast<int>(prompt.size()))});
        if (!reply) {
            return unexpected(reply.error());
        }
        const auto picked = toPoint(reply->value(1));
        if (!picked) {
            return unexpected(picked.error());
        }
        const QString path = qdbus_cast<QDBusObjectPath>(reply->value(0)).path();
        return PickedEntity{std::make_shared<DbusEntity>(m_channel, path), *picked};
    }

    CadResult<std::string> getString(bool hasSpaces, std::string_view prompt) override {
        m_ucs.reset();
        const auto reply = m_channel->call(
            m_path, protocol::kUtilityInterface, protocol::kGetString,
            {hasSpaces, QString::fromUtf8(prompt.data(), static_cast<int>(prompt.size()))});
        if (!reply) {
            return unexpected(reply.error());
        }
        return reply->value(0).toString().toStdString();
    }

    CadResult<Point3> translateCoordinates(const Point3& point, int from, int to, bool displacement,
                                           const std::optional<Point3>& normal) override {
        return translateLocally(point, from, to, displacement, normal,
                                [this] { return userSystem(); });
    }

private:
    CadResult<geometry::Ucs> userSystem() {
        if (!m_ucs) {
            const auto reply =
                m_channel->call(m_path, protocol::kUtilityInterface, protocol::kUserSystem);
            if (!reply) {
                return unexpected(reply.error());
            }
            const QList<double> v = qdbus_cast<QList<double>>(reply->value(0));
            if (v.size() != 9) {
                return unexpected(automation::kDisconnectedCode);
            }
            geometry::Ucs ucs;
            ucs.origin = {v[0], v[1], v[2]};
            ucs.xAxis = {v[3], v[4], v[5]};
            ucs.yAxis = {v[6], v[7], v[8]};
            m_ucs = ucs;
        }
        return *m_ucs;
    }

    ChannelPtr m_channel;
    QString m_path;
    std::optional<geometry::Ucs> m_ucs;
};

class DbusDocument : public Document {
public:
    DbusDocument(ChannelPtr channel, QString path)
        : m_channel(std::move(channel)), m_path(std::move(path)) {}

    // A document has one Utility for its whole life, so it is asked for once: the commands
    // read it before every request and every conversion, and a round trip each time would
    // cost more than the conversions themselves.
    CadResult<std::shared_ptr<Utility>> utility() override {
        if (!m_utility) {
            const auto reply = m_channel->call(m_path, protocol::kDocument, protocol::kUtility);
            if (!reply) {
                return unexpected(reply.error());
            }
            const QString path = qdbus_cast<QDBusObjectPath>(reply->value(0)).path();
            m_utility = std::make_shared<DbusUtility>(m_channel, path);
        }
        return std::shared_ptr<Utility>(m_utility);
    }

private:
    ChannelPtr m_channel;
    QString m_path;
    std::shared_ptr<DbusUtility> m_utility;
};

class DbusApplication : public Application {
public:
    explicit DbusApplication(ChannelPtr channel) : m_channel(std::move(channel)) {}

    CadResult<std::shared_ptr<Document>> activeDocument() override {
        const auto reply = m_channel->call(toQString(protocol::kApplication.path),
                                           protocol::kApplication, protocol::kActiveDocument);
        if (!reply) {
            return unexpected(reply.error());
        }
        const QString path = qdbus_cast<QDBusObjectPath>(reply->value(0)).path();
        return std::shared_ptr<Document>(std::make_shared<DbusDocument>(m_channel, path));
    }

    CadStatus setWindowState(int state) override {
        const auto reply =
            m_channel->call(toQString(protocol::kApplication.path), protocol::kApplication,
                            protocol::kSetWindowState, {state});
        if (!reply) {
            return unexpected(reply.error());
        }
        return {};
    }

private:
    ChannelPtr m_channel;
};

} // namespace

automation::HResult codeOfErrorReply(const QString& errorName, const QString& errorMessage) {
    if (errorName == toQString(protocol::kErrorName)) {
        bool ok = false;
        const automation::HResult code = errorMessage.section(QLatin1Char(' '), 0, 0).toInt(&ok);
        if (ok && code != 0) {
            return code;
        }
    }
    if (errorName == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod") ||
        errorName == QLatin1String("org.freedesktop.DBus.Error.UnknownObject") ||
        errorName == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface")) {
        return automation::kUnknownMemberCode;
    }
    return automation::kDisconnectedCode;
}

DbusRegistry::DbusRegistry(QDBusConnection connection) : m_connection(std::move(connection)) {}

CadResult<std::shared_ptr<Application>> DbusRegistry::bind(std::string_view progId) {
    if (!m_connection.isConnected()) {
        return unexpected(automation::kNotRunningCode);
    }
    const std::string name = automation::busNameForProgId(progId);
    const QDBusReply<QString> owner =
        m_connection.interface()->serviceOwner(QString::fromStdString(name));
    if (!owner.isValid() || owner.value().isEmpty()) {
        return unexpected(automation::kNotRunningCode);
    }
    auto channel = std::make_shared<Channel>(m_connection, owner.value());
    return std::shared_ptr<Application>(std::make_shared<DbusApplication>(std::move(channel)));
}

} // namespace vexilo::cad::dbus
