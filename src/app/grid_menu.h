// The grid's context menu: what surveyors do next with the table (copy, coordinate files, undo,
// arc division, polyline widths, survey calculations, earlier tables), with its shortcuts.
#pragma once

#include "form/coordinate_file.h"

#include <QDialog>
#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <string_view>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;

namespace vexilo::app {

class CoordinateGrid;
class FormCAD;

/// One entry of the menu; an empty name is a separator.
struct MenuEntrySpec {
    std::string_view name;     ///< how the code refers to it
    std::string_view text;     ///< what the menu shows
    std::string_view shortcut; ///< QKeySequence text; empty for none
};

/// The menu in order. The shortcuts work anywhere in the window, except that a text box keeps
/// its own Ctrl+C and Ctrl+Z.
inline constexpr std::array<MenuEntrySpec, 10> kGridMenu = {{
    {"copy", "复制", "Ctrl+C"},
    {"exportFile", "导出坐标文件…", "Ctrl+S"},
    {"undo", "撤销上一点", "Ctrl+Z"},
    {"", "", ""},
    {"divideArc", "圆弧等分…", "Ctrl+D"},
    {"polylineWidth", "多段线宽度", "Ctrl+L"},
    {"measure", "测量计算…", "Ctrl+M"},
    {"", "", ""},
    {"restore", "恢复上次的表格", ""},
    {"letterCodes", "字母编码也递增", ""},
}};

/// Where and how a coordinate file is to be written, as the save dialog returns it.
struct CoordinateFileChoice {
    QString path;
    form::CoordinateFileOptions options;
};

/// The grid's context menu (right click on the grid) and the commands behind it. Each command
/// runs as a command of the window (not while another one runs). Settings that are remembered
/// (the last folder of a coordinate file, "字母编码也递增") live in the user's QSettings.
class GridMenu : public QObject {
    Q_OBJECT
public:
    /// Asks where and how to write a coordinate file, starting in `folder`; nothing when the
    /// user cancels.
    using FileChooser = std::function<std::optional<CoordinateFileChoice>(const QString& folder)>;

    GridMenu(FormCAD& window, CoordinateGrid& grid);

    QMenu* menu() const { return m_menu; }
    /// The entry of kGridMenu with this name; nullptr for none.
    QAction* action(std::string_view name) const;

    /// Replaces the save dialog (tests answer it this way); empty restores the dialog.
    void setFileChooser(FileChooser chooser) { m_chooser = std::move(chooser); }
    /// "字母编码也递增" is ticked.
    bool letterCodesIncrement() const;

    /// 复制: the selected rows, or all rows when none is selected, onto the clipboard as
    /// tab-separated text and as an HTML table.
    void copyRows();
    /// 导出坐标文件…: asks, then writes; a failure is told, the table is never changed.
    void exportCoordinateFile();
    /// 撤销上一点.
    void undoLastPoint();
    /// 测量计算…: the survey calculations, and the distance and azimuth between two selected
    /// rows.
    void measure();
    /// Fills the 恢复上次的表格 submenu: one entry per kept table, newest first, with its time
    /// and row count.
    void fillRestoreMenu();

private:
    void run(const std::function<void()>& command);

    FormCAD& m_window;
    CoordinateGrid& m_grid;
    QMenu* m_menu;
    QMenu* m_restoreMenu;
    std::array<QAction*, kGridMenu.size()> m_actions{};
    FileChooser m_chooser;
};

/// 测量计算: degrees ↔ radians, degrees-minutes-seconds, distance and azimuth of a typed
/// difference, and the distance and azimuth between two rows when two were selected.
class MeasureDialog : public QDialog {
    Q_OBJECT
public:
    /// `rows` is the text shown about the two selected rows; empty when there are not two.
    MeasureDialog(const QString& rows, QWidget* parent = nullptr);

    /// The inputs and results, by name: "degrees", "radians", "north", "east" (inputs),
    /// "toRadians", "toDegrees", "dms", "distance", "azimuth" (results), "rows".
    QLineEdit* input(std::string_view name) const;
    QLabel* result(std::string_view name) const;

private:
    void update();
};

} // namespace vexilo::app
