// Drives vexilo.exe under Wine as a person and another program do: starts it, finds its window
// and controls, clicks and types with real input, answers its message boxes, and calls the
// object it puts in the running object table. VEXILO_EXE names the program.
#pragma once

#include "app_win32/automation_object.h"
#include "app_win32/form_window.h"
#include "form/control_table.h"

#include <windows.h>

#include <commctrl.h>
#include <oleauto.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vexilo::win32::driver {

using Rows = std::vector<std::vector<std::wstring>>;

/// Waits up to `seconds` for `done`, pumping this thread's messages.
inline bool waitFor(const std::function<bool()>& done, double seconds = 10) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (done()) {
            return true;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

/// vexilo.exe started for one test, ended with it.
class Vexilo {
public:
    explicit Vexilo(const wchar_t* arguments = L"") {
        std::wstring command = std::wstring(L"\"") + VEXILO_EXE + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        m_started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &m_process) != 0;
    }
    ~Vexilo() {
        if (m_started) {
            if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(m_process.hProcess, 1);
                WaitForSingleObject(m_process.hProcess, 5000);
            }
            CloseHandle(m_process.hThread);
            CloseHandle(m_process.hProcess);
        }
    }
    Vexilo(const Vexilo&) = delete;
    Vexilo& operator=(const Vexilo&) = delete;

    /// The exit code once it ended within `seconds`; -1 otherwise.
    long exitCode(double seconds) {
        if (!m_started ||
            WaitForSingleObject(m_process.hProcess, static_cast<DWORD>(seconds * 1000)) !=
                WAIT_OBJECT_0) {
            return -1;
        }
        DWORD code = 0;
        GetExitCodeProcess(m_process.hProcess, &code);
        return static_cast<long>(code);
    }
    bool started() const { return m_started; }
    DWORD id() const { return m_process.dwProcessId; }

private:
    PROCESS_INFORMATION m_process{};
    bool m_started = false;
};

/// The top-level window of the process with this class (and title, when given).
inline HWND findWindowOf(DWORD process, const wchar_t* className, const wchar_t* title = nullptr) {
    struct Search {
        DWORD process;
        const wchar_t* className;
        const wchar_t* title;
        HWND found = nullptr;
    } search{process, className, title};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            wchar_t caption[64] = {};
            GetWindowTextW(window, caption, 64);
            if (owner == s.process && wcscmp(name, s.className) == 0 && IsWindowVisible(window) &&
                (s.title == nullptr || wcscmp(caption, s.title) == 0)) {
                s.found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

/// The window's control by name: the control table's order gives the control identifiers.
inline HWND controlOf(HWND window, std::string_view name) {
    for (std::size_t i = 0; i < form::kControls.size(); ++i) {
        if (form::kControls[i].name == name) {
            return GetDlgItem(window, 100 + static_cast<int>(i));
        }
    }
    return nullptr;
}

/// A left click at a point of the screen, as the mouse makes it.
inline void clickAt(HWND window, int x, int y) {
    SetForegroundWindow(window);
    const double width = GetSystemMetrics(SM_CXSCREEN) - 1;
    const double height = GetSystemMetrics(SM_CYSCREEN) - 1;
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = static_cast<LONG>(x * 65535 / width);
        input.mi.dy = static_cast<LONG>(y * 65535 / height);
        input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    }
    inputs[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    SendInput(3, inputs, sizeof(INPUT));
    waitFor([] { return false; }, 0.3);
}

/// A left click in the middle of the control.
inline void click(HWND window, std::string_view name) {
    RECT place{};
    GetWindowRect(controlOf(window, name), &place);
    clickAt(window, (place.left + place.right) / 2, (place.top + place.bottom) / 2);
}

/// A left click in the middle of the grid's data row `row` (from 1), below its header row.
inline void clickGridRow(HWND window, int row) {
    HWND grid = controlOf(window, "zbxsc");
    RECT header{};
    GetWindowRect(FindWindowExW(grid, nullptr, L"SysHeader32", nullptr), &header);
    RECT client{};
    GetClientRect(window, &client);
    const int dpi = client.right * form::kTwipsPerInch / form::kClientWidthTwips;
    const int height = form::twipsToPixels(form::kGridRowHeightTwips, dpi);
    clickAt(window, (header.left + header.right) / 2,
            header.bottom + (row - 1) * height + height / 2);
}

/// The grid's selected data row (from 1); 0 for none.
inline int selectedGridRow(HWND window) {
    return static_cast<int>(SendMessageW(controlOf(window, "zbxsc"), LVM_GETNEXTITEM,
                                         static_cast<WPARAM>(-1), LVNI_SELECTED)) +
           1;
}

/// Types text key by key into whatever has the focus.
inline void type(const std::wstring& text) {
    for (const wchar_t c : text) {
        INPUT keys[2] = {};
        keys[0].type = keys[1].type = INPUT_KEYBOARD;
        keys[0].ki.wScan = keys[1].ki.wScan = c;
        keys[0].ki.dwFlags = KEYEVENTF_UNICODE;
        keys[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        SendInput(2, keys, sizeof(INPUT));
    }
    waitFor([] { return false; }, 0.3);
}

inline std::wstring textOf(HWND control) {
    // WM_GETTEXT: GetWindowText does not ask another process's controls.
    wchar_t text[256] = {};
    SendMessageW(control, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    return text;
}

/// Waits for a message box of the process, returns its text and presses its OK button.
inline std::wstring answerMessageBox(DWORD process, const wchar_t* title) {
    HWND box = nullptr;
    waitFor([&] { return (box = findWindowOf(process, L"#32770", title)) != nullptr; }, 15);
    if (box == nullptr) {
        return L"(no box)";
    }
    const std::wstring text = textOf(GetDlgItem(box, 0xFFFF));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    // Gone, and its owner taking input again, before the person goes on.
    waitFor([&] { return IsWindow(box) == FALSE; }, 15);
    return text;
}

/// The object vexilo.exe registered, as GetObject(, "Vexilo.FormCAD") finds it.
inline IDispatch* bindVexilo() {
    CLSID id{};
    if (FAILED(CLSIDFromProgID(kFormProgId, &id))) {
        return nullptr;
    }
    IUnknown* unknown = nullptr;
    if (FAILED(GetActiveObject(id, nullptr, &unknown))) {
        return nullptr;
    }
    IDispatch* dispatch = nullptr;
    unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    unknown->Release();
    return dispatch;
}

inline HRESULT call(IDispatch* object, const wchar_t* name, WORD flags,
                    std::vector<VARIANT> arguments, VARIANT& result, std::wstring& description) {
    DISPID id = 0;
    auto* names = const_cast<LPOLESTR>(name);
    HRESULT code = object->GetIDsOfNames(IID_NULL, &names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(code)) {
        return code;
    }
    std::reverse(arguments.begin(), arguments.end());
    DISPPARAMS parameters{arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
    EXCEPINFO exception{};
    VariantInit(&result);
    code = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, &result,
                          &exception, nullptr);
    if (exception.bstrDescription != nullptr) {
        description = exception.bstrDescription;
    }
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrHelpFile);
    return code;
}

inline VARIANT number(double value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_R8;
    v.dblVal = value;
    return v;
}

/// `Rows` as texts, row by row.
inline std::vector<std::vector<std::wstring>> rowsOf(IDispatch* object) {
    VARIANT result;
    std::wstring description;
    std::vector<std::vector<std::wstring>> rows;
    if (FAILED(call(object, L"Rows", DISPATCH_PROPERTYGET, {}, result, description)) ||
        result.vt != (VT_ARRAY | VT_VARIANT) || SafeArrayGetDim(result.parray) != 2) {
        VariantClear(&result);
        return rows;
    }
    LONG last = -1;
    SafeArrayGetUBound(result.parray, 1, &last);
    for (LONG row = 0; row <= last; ++row) {
        std::vector<std::wstring>& texts = rows.emplace_back();
        for (LONG column = 0; column < 4; ++column) {
            LONG index[2] = {row, column};
            VARIANT cell;
            VariantInit(&cell);
            SafeArrayGetElement(result.parray, index, &cell);
            texts.push_back(cell.vt == VT_BSTR ? cell.bstrVal : L"?");
            VariantClear(&cell);
        }
    }
    VariantClear(&result);
    return rows;
}

/// vexilo.exe started with the stand-in AutoCAD, its window found and its object bound.
class RunningVexilo {
public:
    bool start() {
        if (!m_vexilo.started() || !waitFor([&] {
                return (m_window = findWindowOf(m_vexilo.id(), FormWindow::kClassName));
            })) {
            return false;
        }
        return waitFor([&] { return (m_object = bindVexilo()) != nullptr; });
    }
    ~RunningVexilo() {
        if (m_object != nullptr) {
            m_object->Release();
        }
    }
    RunningVexilo() = default;
    RunningVexilo(const RunningVexilo&) = delete;
    RunningVexilo& operator=(const RunningVexilo&) = delete;

    Vexilo& process() { return m_vexilo; }
    HWND window() const { return m_window; }
    IDispatch* object() const { return m_object; }
    /// Releases the object, as a client that is done with it does.
    void releaseObject() {
        m_object->Release();
        m_object = nullptr;
    }

private:
    Vexilo m_vexilo;
    HWND m_window = nullptr;
    IDispatch* m_object = nullptr;
};

} // namespace vexilo::win32::driver
