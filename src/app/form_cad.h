// `FormCAD`, the utility's only window: option controls, the coordinate grid and the buttons
// that run the commands; it implements the two ports through which commands reach it.
#pragma once

#include "cad/coordinate_table.h"
#include "cad/ports.h"
#include "form/command_guard.h"
#include "form/control_table.h"

#include <QMessageBox>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <map>
#include <string>
#include <string_view>

class QAbstractButton;
class QButtonGroup;

namespace vexilo::app {

class CoordinateGrid;
class FilteredTextBox;

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
class FormCAD : public QWidget, public cad::OptionsPort, public cad::WindowPort {
    Q_OBJECT
public:
    /// The buttons whose commands later code supplies.
    enum class Command { Command1, Command2, Command4 };

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

    /// The control with this name ("Command1", "Text1(0)", "zbxsc", ...); nullptr for none.
    QWidget* control(std::string_view name) const;
    /// The control with this name as a T; nullptr when there is none or it is no T.
    template <class T> T* controlAs(std::string_view name) const {
        return qobject_cast<T*>(control(name));
    }

    /// Sets what the button runs when clicked; an empty function makes it do nothing.
    void setCommand(Command button, std::function<void()> command);
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
    bool isChecked(std::string_view name) const;
    std::string textOf(std::string_view name) const;

    cad::CoordinateTable m_table;
    CoordinateGrid* m_grid = nullptr;
    QButtonGroup* m_options = nullptr;
    std::map<std::string, QWidget*, std::less<>> m_controls;
    std::array<std::function<void()>, 3> m_commands;
    MessagePresenter m_presenter;
    form::CommandGuard m_guard;
};

} // namespace vexilo::app
