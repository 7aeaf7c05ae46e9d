// Saving the coordinate report into the user's folder under a fresh name, and opening it.
#include "export/report_export.h"

#include "export/xlsx_report_writer.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace vexilo::report {
namespace {

/// Later attempts at a free name within one second; more exports than this in one second
/// would be a fault of the caller.
constexpr int kMaxAttempts = 1000;

enum class Move { Done, NameTaken, Failed };

/// Gives the file at `from` the name `to` unless a file already holds it; never replaces one,
/// even one that appears meanwhile.
Move moveWithoutReplacing(const QString& from, const QString& to, QString& reason) {
#ifdef Q_OS_UNIX
    // link() fails with EEXIST instead of replacing, atomically.
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::link(source.constData(), target.constData()) == 0) {
        ::unlink(source.constData());
        return Move::Done;
    }
    if (errno == EEXIST) {
        return Move::NameTaken;
    }
    // File systems without hard links (FAT, some network shares) go on to QFile::rename.
#endif
    // QFile::rename refuses an existing target; only a file made in the instant between its
    // check and its rename could be lost, on file systems without hard links.
    if (QFileInfo::exists(to)) {
        return Move::NameTaken;
    }
    QFile file(from);
    if (file.rename(to)) {
        return Move::Done;
    }
    if (QFileInfo::exists(to)) {
        return Move::NameTaken;
    }
    reason = file.errorString();
    return Move::Failed;
}

void tellNotSaved(cad::WindowPort& window, const QString& path, const QString& reason) {
    const QString text = QStringLiteral("无法保存坐标数据成果表：%1\n%2")
                             .arg(QDir::toNativeSeparators(path), reason);
    window.showInformation(text.toStdString());
}

} // namespace

QString reportFileName(const QDateTime& time, int attempt) {
    QString name =
        QStringLiteral("坐标数据成果表-") + time.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (attempt > 1) {
        name += QStringLiteral("-%1").arg(attempt);
    }
    return name + QStringLiteral(".xlsx");
}

QString defaultReportFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir()) {
        return documents;
    }
    return QDir::homePath();
}

bool hasDesktopApplicationFor(const QString& mimeType) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // xdg-open, behind QDesktopServices::openUrl, counts as a success as soon as it has
    // started, even when no application takes the file; the desktop's MIME database knows.
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    if (query.waitForFinished(5000) && query.exitStatus() == QProcess::NormalExit &&
        query.exitCode() == 0) {
        return !query.readAllStandardOutput().trimmed().isEmpty();
    }
    // No xdg-mime, or it failed: let openUrl decide.
#else
    Q_UNUSED(mimeType);
#endif
    return true;
}

bool openWithDesktop(const QUrl& url) {
    return hasDesktopApplicationFor(QLatin1String(kWorkbookMimeType)) &&
           QDesktopServices::openUrl(url);
}

QString exportReport(const cad::CoordinateTable& table, cad::WindowPort& window,
                     const ExportSettings& settings) {
    if (table.rowCount() <= 1) {
        return {};
    }
    const QString folder = settings.folder.isEmpty() ? defaultReportFolder() : settings.folder;
    const QDateTime time = settings.time.isValid() ? settings.time : QDateTime::currentDateTime();
    const QDir dir(folder);
    const QString firstName = dir.filePath(reportFileName(time, 1));

    // The temporary file is created exclusively, so that no other file is ever written over;
    // it lies in the target folder so that the final rename stays on one file system.
    QTemporaryFile temporary(dir.filePath(QStringLiteral(".坐标数据成果表-XXXXXX.part")));
    temporary.setAutoRemove(false);
    if (!temporary.open()) {
        QString reason = temporary.errorString();
        if (!QFileInfo(folder).isDir()) {
            reason = QStringLiteral("文件夹不存在：%1").arg(QDir::toNativeSeparators(folder));
        }
        tellNotSaved(window, firstName, reason);
        return {};
    }
    const QString temporaryPath = temporary.fileName();
    temporary.close();

    const Status<ReportFailure> written =
        writeReportWorkbook(table, QFile::encodeName(temporaryPath).toStdString());
    if (!written) {
        QFile::remove(temporaryPath);
        tellNotSaved(window, firstName, QString::fromStdString(written.error().message));
        return {};
    }
    // The temporary file was made for its owner alone; a report is read like any document.
    QFile::setPermissions(temporaryPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ReadGroup | QFileDevice::ReadOther);

    // Two exports in the same second take two names; no file is ever replaced.
    QString saved;
    QString reason;
    for (int attempt = 1; attempt <= kMaxAttempts && saved.isEmpty() && reason.isEmpty();
         ++attempt) {
        const QString candidate = dir.filePath(reportFileName(time, attempt));
        if (moveWithoutReplacing(temporaryPath, candidate, reason) == Move::Done) {
            saved = candidate;
        }
    }
    if (saved.isEmpty()) {
        QFile::remove(temporaryPath);
        tellNotSaved(window, firstName,
                     reason.isEmpty() ? QStringLiteral("同一秒内的报表名称已用完") : reason);
        return {};
    }

    const QUrl url = QUrl::fromLocalFile(saved);
    const bool opened = settings.openFile ? settings.openFile(url) : openWithDesktop(url);
    if (!opened) {
        window.showInformation(
            QStringLiteral("坐标数据成果表已保存到：%1\n系统中没有可以打开它的程序。")
                .arg(QDir::toNativeSeparators(saved))
                .toStdString());
    }
    return saved;
}

} // namespace vexilo::report
