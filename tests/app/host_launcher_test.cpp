// Starting vexilo-cad from vexilo's menu entry: only when no CAD owns one of the bus names the
// window attaches to. Runs on a private session bus (dbus-run-session).
#include "app/host_launcher.h"

#include <QDBusConnectionInterface>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace vexilo::app {

class HostLauncherTest : public QObject {
    Q_OBJECT

private slots:
    void startsOnlyWhenNoCadOwnsAName_data() {
        QTest::addColumn<QString>("ownedName");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QString>("program");
        QTest::addColumn<int>("expected");
        const QString sh = QStringLiteral("/bin/sh");
        QTest::newRow("no CAD: started") << QString() << true << sh << int(HostStart::Started);
        QTest::newRow("latest release running")
            << QStringLiteral("org.vexilo.ProgId.AutoCAD.Application") << true << sh
            << int(HostStart::Running);
        QTest::newRow("an older release running")
            << QStringLiteral("org.vexilo.ProgId.AutoCAD.Application._18") << true << sh
            << int(HostStart::Running);
        QTest::newRow("other name only")
            << QStringLiteral("org.vexilo.ProgId.Other") << true << sh << int(HostStart::Started);
        QTest::newRow("not installed") << QString() << true << QString() << int(HostStart::Failed);
        QTest::newRow("program missing")
            << QString() << true << QStringLiteral("/nonexistent/vexilo-cad")
            << int(HostStart::Failed);
        QTest::newRow("no bus") << QString() << false << sh << int(HostStart::Failed);
    }

    void startsOnlyWhenNoCadOwnsAName() {
        QFETCH(QString, ownedName);
        QFETCH(bool, connected);
        QFETCH(QString, program);
        QFETCH(int, expected);
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.isConnected());
        if (!ownedName.isEmpty()) {
            QVERIFY(bus.registerService(ownedName));
        }
        const QDBusConnection none(QStringLiteral("not connected"));
        QTemporaryDir dir;
        const QString marker = dir.filePath(QStringLiteral("started"));

        QString problem;
        const HostStart result = startHostUnlessRunning(
            connected ? bus : none, program,
            {QStringLiteral("-c"), QStringLiteral("touch \"$0\""), marker}, problem);
        if (!ownedName.isEmpty()) {
            bus.unregisterService(ownedName);
        }

        QCOMPARE(int(result), expected);
        QCOMPARE(problem.isEmpty(), result != HostStart::Failed);
        if (result == HostStart::Started) {
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 5000);
        } else {
            QTest::qWait(200);
            QVERIFY(!QFile::exists(marker));
        }
    }
};

} // namespace vexilo::app

QTEST_GUILESS_MAIN(vexilo::app::HostLauncherTest)
#include "host_launcher_test.moc"
