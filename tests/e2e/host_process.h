// Test and benchmark support: vexilo-cad started as a separate process on this process's
// session bus, answering from a script.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace vexilo::e2e {

/// The identifier vexilo-cad registers by default.
inline const QString kDefaultProgId = QStringLiteral("AutoCAD.Application");

/// vexilo-cad, offscreen, with a script of answers (one line per answer) and a log of its
/// command history. Killed when the object goes.
class HostProcess {
public:
    /// Starts the host on `drawing` (none when empty) under the identifiers, and waits until
    /// it owns each of their bus names; ready() tells whether it did within 20 seconds.
    HostProcess(const QStringList& scriptLines, const QStringList& progIds, const QString& drawing);
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    bool ready() const { return m_ready; }
    /// Kills the host at once, as a crash would.
    void kill();
    /// The host's command history so far: prompts as shown, with the answers typed.
    QString history() const;

private:
    bool waitForNames(const QStringList& progIds);

    QTemporaryDir m_dir;
    QProcess m_process;
    bool m_ready = false;
};

} // namespace vexilo::e2e
