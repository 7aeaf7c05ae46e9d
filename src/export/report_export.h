// The export behind `Command4` "导出": saves the coordinate report into the documents folder
// under a new name and asks the desktop to open it.
#pragma once

#include "cad/coordinate_table.h"
#include "cad/ports.h"

#include <QDateTime>
#include <QString>
#include <QUrl>

#include <functional>

namespace vexilo::report {

/// Where and how an export saves and shows the report; the defaults are the program's.
struct ExportSettings {
    /// Folder of the workbook. Empty: the documents folder (QStandardPaths), or the home
    /// folder when there is none or it does not exist.
    QString folder;
    /// Hands the saved workbook to the desktop; false when nothing could open it. Empty:
    /// QDesktopServices::openUrl.
    std::function<bool(const QUrl&)> openFile;
    /// The time in the file name. Invalid: the current local time.
    QDateTime time;
};

/// The MIME type of an .xlsx workbook.
inline constexpr const char* kWorkbookMimeType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";

/// Whether the desktop names a default application for files of the MIME type. On X11 desktops
/// asks xdg-mime; true where that cannot be asked, leaving the answer to the opening itself.
bool hasDesktopApplicationFor(const QString& mimeType);

/// Opens the file with the desktop's default application; false when none is set up or the
/// desktop refuses.
bool openWithDesktop(const QUrl& url);

/// The file name of a report made at the given time: "坐标数据成果表-20261207-154501.xlsx"
/// for attempt 1, then "…-154501-2.xlsx", "…-154501-3.xlsx" for later attempts in the same
/// second.
QString reportFileName(const QDateTime& time, int attempt);

/// The folder the report goes to when ExportSettings::folder is empty.
QString defaultReportFolder();

/// Exports the table as a new workbook and opens it. A table with only its header row: nothing
/// happens. The workbook is first written under a temporary name in the target folder, then
/// given the first free report name without replacing any file, so that an earlier report is
/// never touched, even by an export in the same second. When the desktop cannot open it, the
/// user is told where it was saved. When it cannot be written (folder missing or read-only,
/// disk full), an information box "提示信息" says so, with the path and the system's reason,
/// and no file is left behind. The table is only read. Returns the saved workbook's path, or
/// an empty text when none was saved.
QString exportReport(const cad::CoordinateTable& table, cad::WindowPort& window,
                     const ExportSettings& settings = {});

} // namespace vexilo::report
