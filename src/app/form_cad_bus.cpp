// The window's public operations on the session bus.
#include "app/form_cad_bus.h"

#include "form/grid_text.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QTimer>

namespace vexilo::app {

FormCadBus::FormCadBus(FormCadOperations& operations, QObject* parent)
    : QObject(parent), m_operations(operations) {
    qDBusRegisterMetaType<QList<QStringList>>();
}

bool FormCadBus::start(QString& problem) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        problem = QStringLiteral("no D-Bus session bus: %1").arg(bus.lastError().message());
        return false;
    }
    if (!bus.registerObject(QLatin1String(kObjectPath), this,
                            QDBusConnection::ExportAllSlots |
                                QDBusConnection::ExportAllProperties)) {
        problem = QStringLiteral("cannot register %1").arg(QLatin1String(kObjectPath));
        return false;
    }
    const auto owned = bus.interface()->registerService(
        QLatin1String(kServiceName), QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (!owned.isValid() || owned.value() != QDBusConnectionInterface::ServiceRegistered) {
        problem = QStringLiteral("%1 is owned by another program").arg(QLatin1String(kServiceName));
        return false;
    }
    return true;
}

// An interactive operation waits for the person at the CAD, so it runs from the event loop
// after this call has returned to it, and the reply goes out when it has ended.
void FormCadBus::runLater(std::function<bool()> operation) {
    setDelayedReply(true);
    QDBusMessage call = message();
    QDBusConnection bus = connection();
    QTimer::singleShot(0, this, [call, bus, operation = std::move(operation)]() mutable {
        if (operation()) {
            bus.send(call.createReply());
        } else {
            bus.send(call.createErrorReply(QStringLiteral("org.vexilo.FormCAD.Busy"),
                                           QStringLiteral("another command is running")));
        }
    });
}

void FormCadBus::Command1_Click() {
    runLater([this] { return m_operations.Command1_Click(); });
}

void FormCadBus::yh() {
    runLater([this] { return m_operations.yh().has_value(); });
}

void FormCadBus::Example_GetWidth() {
    runLater([this] { return m_operations.Example_GetWidth(); });
}

QList<QStringList> FormCadBus::Rows() const {
    QList<QStringList> rows;
    for (const auto& row : form::tableRows(m_operations.window().table())) {
        QStringList texts;
        for (const std::string& text : row) {
            texts.append(QString::fromStdString(text));
        }
        rows.append(texts);
    }
    return rows;
}

double FormCadBus::answer(const survey::SurveyResult& result) {
    if (!result) {
        sendErrorReply(QStringLiteral("org.vexilo.FormCAD.ArithmeticError"),
                       QString::fromUtf8(survey::describe(result.error()).data()));
        return 0;
    }
    return *result;
}

double FormCadBus::XJHD(double xiaoshuJD) {
    return answer(FormCadOperations::XJHD(xiaoshuJD));
}
double FormCadBus::fansuanJL(double x, double Y) {
    return answer(FormCadOperations::fansuanJL(x, Y));
}
double FormCadBus::DMS(double x) {
    return answer(FormCadOperations::DMS(x));
}
double FormCadBus::fansuanJD(double x, double Y) {
    return answer(FormCadOperations::fansuanJD(x, Y));
}

} // namespace vexilo::app
