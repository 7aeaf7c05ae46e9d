// `FormCAD`, the utility's only window: option controls, the coordinate grid and the buttons
// that run the commands; it implements the two ports through which commands reach it.
#pragma once

#include "cad/coordinate_table.h"
#include "cad/ports.h"
#include "form/command_guard.h"
#include "form/control_table.h"
#include "form/table_journal.h"

#include <QMessageBox>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QAbstractButton;
class QButtonGroup;

namespace vexilo::app {

class CoordinateGrid;
class FilteredTextBox;
class GridMenu;

/// The main window. Built from the control table in form/control_table.h: a fixed client area
/// of 5625 × 5700 twips titled "Vexilo", kept above other windows where the window manager
/// honours the request. It owns the coordinate table shown in `zbxsc`.
///
/// Buttons: `Command5` deletes a row and `Command6` clears the table; `Command3` closes the
/// window; `Command1`, `Command2` and `Command4` run the commands set with setCommand (nothing
/// until set). A command runs to completion inside its click; while one runs (a command may
/// wait in a local event loop), clicks on any button are ignored, and a close request is held
/// back and carried out when the command returns.
///
/// Closing the window by any way calls the unload handler exactly once, then the window
/// closes; the application ends when its last window closes.
///
/// The grid's context menu (GridMenu) offers what surveyors do next with the table; with a
/// journal folder set, the table is journaled there: every change is written, and the table as
/// it was before 清空 and when the window closes is kept for 恢复上次的表格.
class FormCAD : public QWidget, public cad::OptionsPort, public cad::WindowPort {
    Q_OBJECT
public:
    /// The buttons whose commands later code supplies.
    enum class Command { Command1, Command2, Command4, ArcDivision, PolylineWidth };

    /// A message box as it is to be shown: title, text, icon; every box has one OK button.
    struct Message {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
    };
    /// Shows a message box modally and returns when it is dismissed.
    using MessagePresenter = std::function<void(const Message&)>;

    /// The program's name: the window title, and the title of a plain box given none.
    static constexpr std::string_view kProgramName = form::kProgramName;
    /// Title of the information boxes.
    static constexpr std::string_view kInformationTitle = form::kInformationTitle;

    explicit FormCAD(QWidget* parent = nullptr);
    ~FormCAD() override;

    /// The coordinate table behind `zbxsc`.
    cad::CoordinateTable& table() { return m_table; }
    const cad::CoordinateTable& table() const { return m_table; }
    /// The grid `zbxsc`.
    CoordinateGrid* grid() const { return m_grid; }
    /// The grid's context menu and its commands.
    GridMenu* gridMenu() const { return m_gridMenu; }

    /// Journals the table in this folder from now on (created when first written). A live
    /// table left there by a window that did not close is kept first. Nothing is shown.
    void setJournalFolder(const QString& folder);
    /// The journal; nothing until a folder is set.
    form::TableJournal* journal() { return m_journal ? &*m_journal : nullptr; }
    /// Keeps the table as it is now in the journal (nothing without a journal or rows).
    void keepTable();

    /// The control with this name ("Command1", "Text1(0)", "zbxsc", ...); nullptr for none.
    QWidget* control(std::string_view name) const;
    /// The control with this name as a T; nullptr when there is none or it is no T.
    template <class T> T* controlAs(std::string_view name) const {
        return qobject_cast<T*>(control(name));
    }

    /// Sets what the button (or menu entry) runs when clicked; an empty function makes it do
    /// nothing.
    void setCommand(Command button, std::function<void()> command);
    /// Runs what was set for the button as a command of the window (runCommand); false when
    /// another command was running.
    bool run(Command button);
    /// Called once when the window unloads, however it is closed: the place where the CAD
    /// references are released (the application's first, then the document's).
    void setUnloadHandler(std::function<void()> handler);
    /// Replaces the modal QMessageBox that showInformation and showPlain open (tests capture
    /// the boxes this way). An empty presenter restores the QMessageBox.
    void setMessagePresenter(MessagePresenter presenter);

    /// True while a button's command runs.
    bool isCommandRunning() const { return m_guard.isRunning(); }
    /// Runs an action as a command of this window: not at all while another command runs
    /// (returns false then), and a close that arrives meanwhile is carried out afterwards. The
    /// buttons and the public operations called by other programs go through here.
    bool runCommand(const std::function<void()>& action);

    // OptionsPort: the controls' state at the moment of the call.
    bool userSystemSelected() const override;
    bool swapSelected() const override;
    bool codeIncrementSelected() const override;
    bool letterCodeIncrementSelected() const override;
    std::string incrementText() const override;
    std::string decimalPlacesText() const override;
    std::string scaleText() const override;

    // WindowPort.
    void minimise() override;
    void restore() override;
    void showInformation(std::string_view text) override;
    void showPlain(std::string_view title, std::string_view text) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void wireButtons();
    void present(const Message& message);
    void scheduleJournal();
    void writeJournal();
    bool isChecked(std::string_view name) const;
    std::string textOf(std::string_view name) const;

    cad::CoordinateTable m_table;
    CoordinateGrid* m_grid = nullptr;
    GridMenu* m_gridMenu = nullptr;
    std::optional<form::TableJournal> m_journal;
    bool m_journalPending = false;
    bool m_journalWarned = false;
    QButtonGroup* m_options = nullptr;
    std::map<std::string, QWidget*, std::less<>> m_controls;
    std::array<std::function<void()>, 5> m_commands;
    std::function<void()> m_unloadHandler;
    MessagePresenter m_presenter;
    form::CommandGuard m_guard;
};

} // namespace vexilo::app
