// The window's public operations on the D-Bus session bus, so that other programs can call the
// ones no control invokes: org.vexilo.Vexilo, object /FormCAD, interface org.vexilo.FormCAD.
#pragma once

#include "app/form_cad_operations.h"

#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QStringList>

namespace vexilo::app {

/// Forwards each call to FormCadOperations. The interactive operations reply when they have
/// ended, so a caller that waits sees them through; while another command of the window runs
/// they fail with org.vexilo.FormCAD.Busy. The survey calculations reply with their result or
/// an org.vexilo.FormCAD.ArithmeticError that names the failure. The read-only property `Rows`
/// (D-Bus type aas) gives the table's data rows as four texts each, so a macro can take the
/// table without exporting it.
class FormCadBus : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.vexilo.FormCAD")
    Q_PROPERTY(QList<QStringList> Rows READ Rows)
public:
    /// The bus name the utility owns while it runs.
    static constexpr const char* kServiceName = "org.vexilo.Vexilo";
    static constexpr const char* kObjectPath = "/FormCAD";

    explicit FormCadBus(FormCadOperations& operations, QObject* parent = nullptr);

    /// Registers the object and owns kServiceName on the session bus. False, with the reason,
    /// when there is no session bus or the name is owned by another program.
    bool start(QString& problem);

    /// The table's data rows: "序号", "编码", "X坐标", "Y坐标" texts of each.
    QList<QStringList> Rows() const;

public slots:
    void Command1_Click();
    void yh();
    void Example_GetWidth();
    double XJHD(double xiaoshuJD);
    double fansuanJL(double x, double Y);
    double DMS(double x);
    double fansuanJD(double x, double Y);

private:
    void runLater(std::function<bool()> operation);
    double answer(const survey::SurveyResult& result);

    FormCadOperations& m_operations;
};

} // namespace vexilo::app
