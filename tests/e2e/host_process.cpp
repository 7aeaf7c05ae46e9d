// vexilo-cad as a separate process for the end-to-end tests and benchmarks.
#include "host_process.h"

#include "automation/prog_id.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

namespace vexilo::e2e {

HostProcess::HostProcess(const QStringList& scriptLines, const QStringList& progIds,
                         const QString& drawing) {
    const QString script = m_dir.filePath(QStringLiteral("answers.scr"));
    QFile file(script);
    if (!file.open(QIODevice::WriteOnly)) {
        return;
    }
    file.write(scriptLines.join(QLatin1Char('\n')).toUtf8() + '\n');
    file.close();
    QStringList arguments;
    for (const QString& id : progIds) {
        arguments << QStringLiteral("--progid") << id;
    }
    arguments << QStringLiteral("--script") << script << QStringLiteral("--log")
              << m_dir.filePath(QStringLiteral("history.log"));
    if (!drawing.isEmpty()) {
        arguments << drawing;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // vexilo-cad keeps its object snap settings in the user's configuration: the host of a
    // test neither reads the user's nor changes them.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(VEXILO_CAD_EXECUTABLE), arguments);
    m_ready = m_process.waitForStarted(10000) && waitForNames(progIds);
}

HostProcess::~HostProcess() {
    kill();
}

void HostProcess::kill() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString HostProcess::history() const {
    QFile file(m_dir.filePath(QStringLiteral("history.log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool HostProcess::waitForNames(const QStringList& progIds) {
    QElapsedTimer clock;
    clock.start();
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    for (const QString& id : progIds) {
        const QString name = QString::fromStdString(automation::busNameForProgId(id.toStdString()));
        while (!bus->isServiceRegistered(name).value()) {
            if (clock.elapsed() > 20000 || m_process.state() == QProcess::NotRunning) {
                return false;
            }
            QThread::msleep(20);
        }
    }
    return true;
}

} // namespace vexilo::e2e
