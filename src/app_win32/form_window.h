// `FormCAD` as a Win32 window: a shell over the toolkit-free form core that creates the
// controls of the control table, turns messages into calls on the core, and paints the grid.
#pragma once

#include "cad/coordinate_table.h"
#include "cad/ports.h"
#include "form/command_guard.h"
#include "form/option_rules.h"

#include <windows.h>

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vexilo::win32 {

/// The main window on Windows. A fixed client area of 5625 × 5700 twips (375 × 380 px at
/// 96 DPI, scaled with the monitor's DPI), titled "Vexilo", always on top, minimise box only.
/// Buttons run their commands through the form core's command guard; the grid `zbxsc` is a
/// virtual (owner-data), owner-drawn list view over the coordinate table, so appending rows
/// costs no item storage. The option boxes apply the core's option rules to typed keys, pasted
/// text and input-method text. Closing by any way unloads once, after a running command.
class FormWindow : public cad::OptionsPort, public cad::WindowPort, private cad::TableObserver {
public:
    /// The buttons whose commands later code supplies.
    enum class Command { Command1, Command2, Command4 };

    /// The window class name, for other programs and the tests to find the window.
    static constexpr const wchar_t* kClassName = L"VexiloFormCAD";

    FormWindow();
    ~FormWindow() override;
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

    /// Creates the window and its controls, hidden; false (with GetLastError's code) on failure.
    bool create(HINSTANCE instance);
    /// The window; null before create and after it was destroyed.
    HWND handle() const { return m_window; }
    /// The control with this name ("Command1", "Text1(0)", "zbxsc", ...); null for none.
    HWND control(std::string_view name) const;

    /// The coordinate table behind `zbxsc`.
    cad::CoordinateTable& table() { return m_table; }
    const cad::CoordinateTable& table() const { return m_table; }

    /// Sets what the button runs when clicked.
    void setCommand(Command button, std::function<void()> command);
    /// Called once when the window unloads, however it is closed.
    void setUnloadHandler(std::function<void()> handler);
    /// Runs an action as a command of this window (see form::CommandGuard); false when another
    /// command runs.
    bool runCommand(const std::function<void()>& action);

    /// Handles the message loop's keyboard navigation (Tab, Shift+Tab between the controls in
    /// their tab order); true when the message was taken.
    bool translateNavigation(const MSG& message);

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

private:
    struct Control {
        std::string_view name;
        HWND handle = nullptr;
        int tabIndex = 0;
        bool tabStop = false;
    };

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK optionBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR id, DWORD_PTR data);
    static LRESULT CALLBACK gridProc(HWND grid, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT optionBox(HWND box, const form::OptionRules& rules, UINT message, WPARAM wParam,
                      LPARAM lParam);
    void createControls();
    void layout(int dpi);
    void makeFonts(int dpi);
    void onCommand(int id);
    void drawGridRow(const DRAWITEMSTRUCT& item);
    LRESULT onGridNotify(const NMHDR& header);
    bool isChecked(std::string_view name) const;
    std::string textOf(std::string_view name) const;
    void insertIntoBox(HWND box, const form::InsertVerdict& verdict);
    void showMessage(std::string_view title, std::string_view text, UINT icon);
    void scheduleSync();
    void syncGrid();

    // TableObserver: the list view follows the table.
    void rowsAboutToBeInserted(int first, int last) override;
    void rowsInserted() override;
    void rowsAboutToBeRemoved(int first, int last) override;
    void rowsRemoved() override;
    void cellChanged(int row, int column) override;
    void currentRowChanged(int row) override;

    cad::CoordinateTable m_table;
    HWND m_window = nullptr;
    HWND m_grid = nullptr;
    std::vector<Control> m_controls;
    std::vector<form::OptionRules> m_rules;
    std::array<std::function<void()>, 3> m_commands;
    form::CommandGuard m_guard;
    HFONT m_boxFont = nullptr;
    HFONT m_gridFont = nullptr;
    int m_dpi = 96;
    bool m_selectingFromTable = false;
    bool m_syncPending = false;
    /// The list view's own window procedure, which gridProc passes messages on to.
    WNDPROC m_gridBaseProc = nullptr;
    /// Data rows the list view was last given.
    int m_gridRows = 0;
    /// Rows appended since the last update: the update brings the last row into view.
    bool m_rowsAppended = false;
    /// The list view item this window last selected as the current row; -1 for none.
    int m_gridCurrent = -1;
    /// The table rows, among those the list view already had, whose cells changed since the
    /// last update, m_dirtyFirst to m_dirtyLast; none when m_dirtyLast is 0.
    int m_dirtyFirst = 0;
    int m_dirtyLast = 0;
    /// The option box whose focus came with a mouse press: its press, drag and release do not
    /// place the cursor, so the whole text stays selected.
    HWND m_swallowMouseOf = nullptr;
};

/// The face of the boxes' and the grid's font: SimSun when installed, else the first installed
/// of a few other CJK faces, else the system's message font face.
std::wstring songFace();

/// UTF-8 to UTF-16 and back.
std::wstring wide(std::string_view text);
std::string narrow(std::wstring_view text);

} // namespace vexilo::win32
