// The window's object on the session bus as another program sees it: the read-only `Rows`.
#include "app/form_cad.h"
#include "app/form_cad_bus.h"
#include "app/form_cad_operations.h"
#include "cad/fake/fake_cad.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QTest>

namespace vexilo::app {

class FormCadBusTest : public QObject {
    Q_OBJECT

private:
    /// Calls a member of org.freedesktop.DBus.Properties on /FormCAD from a connection of its
    /// own, as another program would, and waits without blocking the service's event loop.
    static QDBusMessage callProperties(const QString& member, const QVariantList& arguments) {
        QDBusConnection client =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("client"));
        QDBusMessage call = QDBusMessage::createMethodCall(
            QLatin1String(FormCadBus::kServiceName), QLatin1String(FormCadBus::kObjectPath),
            QStringLiteral("org.freedesktop.DBus.Properties"), member);
        call.setArguments(arguments);
        QDBusPendingCall pending = client.asyncCall(call);
        (void)QTest::qWaitFor([&] { return pending.isFinished(); }, 5000);
        return pending.reply();
    }

private slots:
    void rowsGiveTheTableTextsAndCannotBeWritten() {
        if (!QDBusConnection::sessionBus().isConnected()) {
            QSKIP("needs a session bus (run under dbus-run-session)");
        }
        FormCAD window;
        cad::fake::FakeRegistry registry(std::make_shared<cad::fake::CallLog>());
        FormCadOperations operations(window, registry);
        FormCadBus bus(operations);
        QString problem;
        QVERIFY2(bus.start(problem), qPrintable(problem));
        window.table().appendRow({"1", "P1", "3512.250", "870.125"});
        window.table().appendRow({"2", "界址点", "3513.000", "-1.5"});

        const QDBusMessage reply = callProperties(
            QStringLiteral("Get"), {QStringLiteral("org.vexilo.FormCAD"), QStringLiteral("Rows")});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        const auto argument = reply.arguments().at(0).value<QDBusVariant>().variant();
        QList<QStringList> rows;
        argument.value<QDBusArgument>() >> rows;
        const QList<QStringList> expected = {{"1", "P1", "3512.250", "870.125"},
                                             {"2", QStringLiteral("界址点"), "3513.000", "-1.5"}};
        QCOMPARE(rows, expected);

        const QDBusMessage write = callProperties(
            QStringLiteral("Set"), {QStringLiteral("org.vexilo.FormCAD"), QStringLiteral("Rows"),
                                    QVariant::fromValue(QDBusVariant(QVariant::fromValue(rows)))});
        QCOMPARE(write.type(), QDBusMessage::ErrorMessage);
        QCOMPARE(window.table().rowCount(), 3);
    }
};

} // namespace vexilo::app

QTEST_MAIN(vexilo::app::FormCadBusTest)
#include "form_cad_bus_test.moc"
