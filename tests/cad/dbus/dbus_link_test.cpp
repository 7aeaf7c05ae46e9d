// The automation link over a real bus: vexilo's client backend against vexilo-cad's service,
// both in this process, with a person's answers given to the service's request broker.
#include "automation/dbus_protocol.h"
#include "automation/prog_id.h"
#include "cad/dbus/dbus_backend.h"
#include "cadhost/dxf/dxf_reader.h"
#include "cadhost/model/entity_members.h"
#include "cadhost/service/automation_service.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <functional>

namespace vexilo {
namespace {

using cadhost::RequestBroker;

namespace protocol = automation::protocol;

// A raw call on the client connection, as any program on the bus could send it, waiting in a
// local loop so that the service in this thread can answer.
QDBusMessage rawCall(QDBusConnection& connection, const QString& path, const QString& interface,
                     const QString& member, const QList<QVariant>& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        QString::fromStdString(automation::busNameForProgId("AutoCAD.Application.18")), path,
        interface, member);
    message.setArguments(arguments);
    QDBusPendingCallWatcher watcher(connection.asyncCall(message, 10000));
    if (!watcher.isFinished()) {
        QEventLoop loop;
        QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return watcher.reply();
}

// The code an error reply carries; 0 for a reply that is not an error.
automation::HResult codeOf(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ErrorMessage) {
        return 0;
    }
    return cad::dbus::codeOfErrorReply(reply.errorName(), reply.errorMessage());
}

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A drawing host without a window: a drawing, a window state and the broker, with a queue of
// answers that a "person" gives, one per request, as soon as the request is shown.
class TestHost : public cadhost::AutomationHost {
public:
    TestHost() {
        m_broker.setChangeListener([this] {
            if (m_broker.isWaiting() && !m_answers.empty()) {
                auto answer = std::move(m_answers.front());
                m_answers.pop_front();
                QTimer::singleShot(0, [this, answer = std::move(answer)] { answer(m_broker); });
            }
        });
    }
    const cadhost::Drawing* drawing() const override { return m_drawing ? &*m_drawing : nullptr; }
    int windowState() const override { return m_windowState; }
    void setWindowState(int state) override { m_windowState = state; }
    RequestBroker& requests() override { return m_broker; }

    void open(const std::string& file) {
        auto loaded = cadhost::dxf::readDxfFile(std::string(VEXILO_TEST_DATA) + "/cadhost/" + file);
        ASSERT_TRUE(loaded) << loaded.error().message;
        m_drawing = std::move(loaded->drawing);
    }
    void close() { m_drawing.reset(); }
    void then(std::function<void(RequestBroker&)> answer) {
        m_answers.push_back(std::move(answer));
    }

    std::optional<cadhost::Drawing> m_drawing;
    int m_windowState = 1;
    RequestBroker m_broker;
    std::deque<std::function<void(RequestBroker&)>> m_answers;
};

class DbusLink : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected())
            << "needs a session bus (run under dbus-run-session)";
        host.open("drawing_r2010.dxf");
        service = std::make_unique<cadhost::AutomationService>(host, QDBusConnection::sessionBus());
        QStringList problems;
        ASSERT_TRUE(service->start({"AutoCAD.Application.18"}, problems))
            << problems.join("; ").toStdString();
        ASSERT_TRUE(problems.isEmpty()) << problems.join("; ").toStdString();
    }
    void TearDown() override {
        service.reset();
        QDBusConnection::sessionBus().interface()->unregisterService(
            "org.vexilo.ProgId.AutoCAD.Application._18");
    }

    std::shared_ptr<cad::Utility> utility() {
        cad::dbus::DbusRegistry registry(client);
        auto application = registry.bind("AutoCAD.Application.18");
        EXPECT_TRUE(application);
        auto document = (*application)->activeDocument();
        EXPECT_TRUE(document);
        auto utility = (*document)->utility();
        EXPECT_TRUE(utility);
        return *utility;
    }

    TestHost host;
    std::unique_ptr<cadhost::AutomationService> service;
    QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "client");
};

TEST_F(DbusLink, BindsOnlyToANameWithAnOwner) {
    cad::dbus::DbusRegistry registry(client);
    EXPECT_TRUE(registry.bind("AutoCAD.Application.18"));
    const auto missing = registry.bind("AutoCAD.Application.19");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error(), automation::kNotRunningCode);
}

TEST_F(DbusLink, ApplicationAndDocument) {
    cad::dbus::DbusRegistry registry(client);
    auto application = registry.bind("AutoCAD.Application.18");
    ASSERT_TRUE(application);
    ASSERT_TRUE((*application)->setWindowState(3));
    EXPECT_EQ(host.m_windowState, 3);

    host.close();
    const auto none = (*application)->activeDocument();
    ASSERT_FALSE(none);
    EXPECT_EQ(none.error(), automation::kNoDocumentCode);
}

TEST_F(DbusLink, RequestsCarryTheAnswersAndTheirCodes) {
    auto u = utility();
    host.then([](RequestBroker& b) { b.answerPoint({500123.45678, 3012345.6789, 0}); });
    const auto point = u->getPoint("请选择点：<退出键取消选择> ");
    ASSERT_TRUE(point);
    EXPECT_EQ((*point)[0], 500123.45678);
    EXPECT_EQ((*point)[1], 3012345.6789);

    host.then([](RequestBroker& b) { b.answerText("K 1"); });
    const auto text = u->getString(false, "\r命令：请输入点的编码：<退出键取消输入>");
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, "K 1");

    struct Failure {
        const char* name;
        std::function<void(RequestBroker&)> answer;
        automation::HResult code;
    };
    const Failure failures[] = {
        {"Esc", [](RequestBroker& b) { b.cancel(); }, automation::kCancelCode},
        {"Enter", [](RequestBroker& b) { b.answerEmpty(); }, automation::kNoInputCode},
    };
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.name);
        host.then(f.answer);
        const auto failed = u->getPoint("p");
        ASSERT_FALSE(failed);
        EXPECT_EQ(failed.error(), f.code);
    }
    host.then([](RequestBroker& b) { b.answerNothingPicked(); });
    const auto miss = u->getEntity("e");
    ASSERT_FALSE(miss);
    EXPECT_EQ(miss.error(), automation::kNothingPickedCode);
}

TEST_F(DbusLink, PromptsArriveCharacterForCharacter) {
    auto u = utility();
    std::string seen;
    host.then([&seen](RequestBroker& b) {
        seen = b.pending()->prompt;
        b.answerText("");
    });
    const auto text = u->getString(false, "\r命令：请输入多段线编码<退出键取消输入>：");
    ASSERT_TRUE(text);
    EXPECT_EQ(*text, "");
    EXPECT_EQ(seen, "\r命令：请输入多段线编码<退出键取消输入>：");
}

TEST_F(DbusLink, EntityMembersMatchTheHostExactly) {
    auto u = utility();
    const cadhost::Drawing& drawing = *host.drawing();
    for (const cadhost::Entity& e : drawing.entities()) {
        SCOPED_TRACE(cadhost::objectName(e));
        host.then([&e](RequestBroker& b) { b.answerEntity({e.handle, {1, 2, 0}}); });
        const auto picked = u->getEntity("e");
        ASSERT_TRUE(picked);
        cad::Entity& proxy = *picked->entity;
        EXPECT_EQ(proxy.objectName().value_or(""), cadhost::objectName(e));

        const auto hostCoordinates = cadhost::coordinates(drawing, e);
        const auto coordinates = proxy.coordinates();
        ASSERT_EQ(coordinates.has_value(), hostCoordinates.has_value());
        if (hostCoordinates) {
            EXPECT_EQ(*coordinates, *hostCoordinates);
            const int stride = cadhost::objectName(e) == "AcDbPolyline" ? 2 : 3;
            const int vertices = static_cast<int>(hostCoordinates->size()) / stride;
            for (int v = -1; v <= vertices; ++v) {
                const auto mine = proxy.coordinate(v);
                const auto theirs = cadhost::coordinate(drawing, e, v);
                ASSERT_EQ(mine.has_value(), theirs.has_value()) << "vertex " << v;
                if (theirs) {
                    EXPECT_EQ(*mine, *theirs);
                } else {
                    EXPECT_EQ(mine.error(), theirs.error());
                }
            }
            for (int s = -1; s <= vertices; ++s) {
                const auto mine = proxy.getWidth(s);
                const auto theirs = cadhost::getWidth(drawing, e, s);
                ASSERT_EQ(mine.has_value(), theirs.has_value()) << "segment " << s;
                if (theirs) {
                    EXPECT_EQ(mine->start, theirs->start);
                    EXPECT_EQ(mine->end, theirs->end);
                }
            }
        }
        const auto elevation = proxy.elevation();
        const auto hostElevation = cadhost::elevation(e);
        ASSERT_EQ(elevation.has_value(), hostElevation.has_value());
        if (!hostElevation) {
            EXPECT_EQ(elevation.error(), automation::kUnknownMemberCode);
        }
        const auto radius = proxy.radius();
        ASSERT_EQ(radius.has_value(), cadhost::radius(e).has_value());
    }
}

TEST_F(DbusLink, ObjectToUserConversionMatchesEzdxf) {
    // drawing_r2010.dxf: the LWPOLYLINE 3E has extrusion (0, 0, -1) and elevation 5 under a UCS
    // at (100, 200) turned 30°; ezdxf puts its first vertex at these user coordinates.
    auto u = utility();
    const cadhost::Entity* e = host.drawing()->findByHandle(0x3E);
    ASSERT_NE(e, nullptr);
    host.then([e](RequestBroker& b) { b.answerEntity({e->handle, {0, 0, 0}}); });
    const auto picked = u->getEntity("e");
    ASSERT_TRUE(picked);
    const auto vertex = picked->entity->coordinate(0);
    const auto elevation = picked->entity->elevation();
    const auto normal = picked->entity->normal();
    ASSERT_TRUE(vertex && elevation && normal);
    const auto user = u->translateCoordinates({(*vertex)[0], (*vertex)[1], *elevation},
                                              cad::kEntitySystem, cad::kUserSystem, false, *normal);
    ASSERT_TRUE(user);
    EXPECT_NEAR((*user)[0], -190.26279441628824, 1e-9);
    EXPECT_NEAR((*user)[1], -109.54482671904336, 1e-9);
    EXPECT_NEAR((*user)[2], -5.0, 1e-9);

    const auto noNormal = u->translateCoordinates({1, 2, 3}, cad::kEntitySystem, cad::kUserSystem,
                                                  false, std::nullopt);
    ASSERT_FALSE(noNormal);
    EXPECT_EQ(noNormal.error(), automation::kInvalidArgumentCode);
}

// Every member of the protocol tables is served, with the table's reply signature; the same
// member with one argument too many, or on another interface, is refused with a named code.
TEST_F(DbusLink, EveryMemberOfTheTablesAnswersAsTheTableSays) {
    const QString entityPath = qs(protocol::kEntity.path) + "3E"; // an LWPOLYLINE with widths
    for (const protocol::Interface* interface : protocol::kInterfaces) {
        const QString path = interface == &protocol::kEntity ? entityPath : qs(interface->path);
        for (const protocol::Member& member : interface->members) {
            SCOPED_TRACE(qs(member.name).toStdString());
            QList<QVariant> args;
            for (QChar c : qs(member.in)) {
                if (c == 's') {
                    args << QString("p");
                } else if (c == 'b') {
                    args << false;
                } else if (c == 'i') {
                    args << 1;
                } else if (c == 'd') {
                    args << QVariant::fromValue(QList<double>{1, 2, 3}); // the "d" of "ad"
                }
            }
            if (member.name == protocol::kGetPoint.name) {
                host.then([](RequestBroker& b) { b.answerPoint({1, 2, 3}); });
            } else if (member.name == protocol::kGetEntity.name) {
                host.then([](RequestBroker& b) { b.answerEntity({0x3E, {1, 2, 0}}); });
            } else if (member.name == protocol::kGetString.name) {
                host.then([](RequestBroker& b) { b.answerText("t"); });
            }
            const QDBusMessage reply =
                rawCall(client, path, qs(interface->name), qs(member.name), args);
            if (reply.type() == QDBusMessage::ErrorMessage) {
                // A property the polyline does not have.
                EXPECT_EQ(member.out, "v");
                EXPECT_EQ(codeOf(reply), automation::kUnknownMemberCode);
            } else {
                EXPECT_EQ(reply.signature(), qs(member.out));
            }

            const QDBusMessage extra =
                rawCall(client, path, qs(interface->name), qs(member.name), args << 7);
            EXPECT_EQ(codeOf(extra), automation::kInvalidArgumentCode);
            const QDBusMessage elsewhere =
                rawCall(client, path, "org.vexilo.Cad.Other", qs(member.name), {});
            EXPECT_EQ(codeOf(elsewhere), automation::kUnknownMemberCode);
        }
    }
    EXPECT_FALSE(host.m_broker.isWaiting());
}

TEST_F(DbusLink, LaxArgumentsGetTheInvalidArgumentCode) {
    struct Case {
        const char* name;
        const char* path;
        const char* member;
        QList<QVariant> args;
    };
    const Case cases[] = {
        {"Coordinate(1.9)", "/Entity/3E", "Coordinate", {1.9}},
        {"Coordinate(2^32+1)", "/Entity/3E", "Coordinate", {qlonglong(4294967297LL)}},
        {"Coordinate(\"abc\")", "/Entity/3E", "Coordinate", {QString("abc")}},
        {"GetWidth(\"abc\")", "/Entity/3E", "GetWidth", {QString("abc")}},
        {"SetWindowState(\"max\")", "/Application", "SetWindowState", {QString("max")}},
        {"SetWindowState(7)", "/Application", "SetWindowState", {7}},
        {"GetPoint()", "/Document/Utility", "GetPoint", {}},
        {"GetString(\"p\")", "/Document/Utility", "GetString", {QString("p")}},
    };
    for (const Case& c : cases) {
        const QDBusMessage reply = rawCall(client, c.path, "", c.member, c.args);
        EXPECT_EQ(codeOf(reply), automation::kInvalidArgumentCode) << c.name;
    }
    EXPECT_EQ(host.m_windowState, 1);
    EXPECT_FALSE(host.m_broker.isWaiting());
}

TEST_F(DbusLink, AnEntityHasOnePathSpelling) {
    EXPECT_EQ(codeOf(rawCall(client, "/Entity/3E", "", "Handle", {})), 0);
    for (const char* path : {"/Entity/03E", "/Entity/3e", "/Entity/0x3E", "/Entity/0000003E"}) {
        EXPECT_EQ(codeOf(rawCall(client, path, "", "Handle", {})), automation::kObjectErasedCode)
            << path;
    }
}

TEST_F(DbusLink, EveryObjectCanBeIntrospected) {
    const std::pair<const char*, const char*> cases[] = {
        {"/", "<node name=\"Application\"/>"},
        {"/Application", "<interface name=\"org.vexilo.Cad.Application\">"},
        {"/Document", "<node name=\"Utility\"/>"},
        {"/Document/Utility", "<arg name=\"normal\" type=\"ad\" direction=\"in\"/>"},
        {"/Entity", "<node"},
        {"/Entity/3E", "<method name=\"GetWidth\">"},
    };
    for (const auto& [path, part] : cases) {
        const QDBusMessage reply =
            rawCall(client, path, "org.freedesktop.DBus.Introspectable", "Introspect", {});
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << path;
        EXPECT_TRUE(reply.arguments().value(0).toString().contains(part)) << path;
    }
}

TEST_F(DbusLink, ASecondRequestWhileOneWaitsIsBusy) {
    auto u = utility();
    auto second = utility();
    cad::CadResult<cad::Point3> inner = cad::Point3{};
    host.then([&](RequestBroker& b) {
        inner = second->getPoint("second");
        b.answerPoint({1, 1, 0});
    });
    const auto outer = u->getPoint("first");
    EXPECT_TRUE(outer);
    ASSERT_FALSE(inner);
    EXPECT_EQ(inner.error(), automation::kBusyCode);
}

TEST_F(DbusLink, AClientThatLeavesHasItsRequestDropped) {
    QEventLoop loop;
    host.m_broker.setChangeListener([&] { loop.quit(); });
    {
        QDBusConnection leaving =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, "leaving");
        QDBusMessage call = QDBusMessage::createMethodCall(
            QString::fromStdString(automation::busNameForProgId("AutoCAD.Application.18")),
            "/Document/Utility", "org.vexilo.Cad.Utility", "GetPoint");
        call << QString("p");
        leaving.asyncCall(call, std::numeric_limits<int>::max());
        QTimer timeout;
        QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        timeout.start(5000);
        loop.exec();
        ASSERT_TRUE(host.m_broker.isWaiting());
    }
    // The connection closes when its last handle goes.
    QDBusConnection::disconnectFromBus("leaving");
    QTimer timeout;
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    timeout.start(5000);
    loop.exec();
    EXPECT_FALSE(host.m_broker.isWaiting());
}

} // namespace
} // namespace vexilo

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
