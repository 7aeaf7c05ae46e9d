// "导出" in vexilo.exe under Wine, as a person uses it: points picked from the stand-in AutoCAD
// fill the table, a click on 导出 makes the report in the stand-in spreadsheet, and the sheet it
// wrote is left as export.json with export.expected.json (the table's rows, read through
// Vexilo.FormCAD's `Rows`) beside it for check_report.py, which ctest runs after this program.
// (Without a spreadsheet application the click's message is checked in vexilo_exe_test.cpp.)
#include "app_win32/automation_object.h"
#include "app_win32/form_window.h"
#include "cad/com/variant.h"
#include "form/control_table.h"
#include "spreadsheet_registration.h"
#include "stand_in_process.h"

#include <windows.h>

#include <oleauto.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vexilo::win32 {
namespace {

using Rows = std::vector<std::vector<std::wstring>>;

/// Waits up to `seconds` for `done`, pumping this thread's messages.
bool waitFor(const std::function<bool()>& done, double seconds = 10) {
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

/// Runs vexilo.exe with `arguments`; ends it when destroyed if it still runs.
class Process {
public:
    explicit Process(const wchar_t* arguments = L"") {
        std::wstring command = std::wstring(L"\"") + VEXILO_EXE + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        m_started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &m_process) != 0;
    }
    ~Process() {
        if (m_started) {
            if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(m_process.hProcess, 1);
                WaitForSingleObject(m_process.hProcess, 5000);
            }
            CloseHandle(m_process.hThread);
            CloseHandle(m_process.hProcess);
        }
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    /// The exit code once it ended within `seconds`; -1 otherwise.
    long exitCode(double seconds) {
        DWORD code = 0;
        if (!m_started ||
            WaitForSingleObject(m_process.hProcess, static_cast<DWORD>(seconds * 1000)) !=
                WAIT_OBJECT_0 ||
            !GetExitCodeProcess(m_process.hProcess, &code)) {
            return -1;
        }
        return static_cast<long>(code);
    }
    DWORD id() const { return m_started ? m_process.dwProcessId : 0; }

private:
    PROCESS_INFORMATION m_process{};
    bool m_started = false;
};

/// The visible top-level window of `process` with this class (and title, when given).
HWND findWindowOf(DWORD process, const wchar_t* className, const wchar_t* title = nullptr) {
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

/// A left click in the middle of the window's control `name`, as the mouse makes it (the
/// control table's order gives the control identifiers).
void click(HWND window, std::string_view name) {
    const auto control =
        std::find_if(form::kControls.begin(), form::kControls.end(),
                     [&](const form::ControlSpec& entry) { return entry.name == name; });
    RECT place{};
    GetWindowRect(GetDlgItem(window, 100 + static_cast<int>(control - form::kControls.begin())),
                  &place);
    SetForegroundWindow(window);
    const double width = GetSystemMetrics(SM_CXSCREEN) - 1;
    const double height = GetSystemMetrics(SM_CYSCREEN) - 1;
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = static_cast<LONG>((place.left + place.right) / 2 * 65535 / width);
        input.mi.dy = static_cast<LONG>((place.top + place.bottom) / 2 * 65535 / height);
        input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    }
    inputs[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    SendInput(3, inputs, sizeof(INPUT));
}

/// The table's rows through `Rows` of the object vexilo.exe put in the running object table;
/// nothing when it cannot be read.
std::optional<Rows> tableRows() {
    CLSID id{};
    IUnknown* unknown = nullptr;
    if (FAILED(CLSIDFromProgID(kFormProgId, &id)) ||
        FAILED(GetActiveObject(id, nullptr, &unknown))) {
        return std::nullopt;
    }
    IDispatch* object = nullptr;
    unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&object));
    unknown->Release();
    DISPID member = 0;
    auto* name = const_cast<LPOLESTR>(L"Rows");
    DISPPARAMS none{};
    VARIANT result;
    VariantInit(&result);
    const bool read =
        object != nullptr &&
        SUCCEEDED(object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &member)) &&
        SUCCEEDED(object->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                 &result, nullptr, nullptr)) &&
        result.vt == (VT_ARRAY | VT_VARIANT) && SafeArrayGetDim(result.parray) == 2;
    if (object != nullptr) {
        object->Release();
    }
    if (!read) {
        VariantClear(&result);
        return std::nullopt;
    }
    Rows rows;
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

std::string jsonString(const std::wstring& text) {
    std::string out = "\"";
    for (const char ch : cad::com::toUtf8(text)) {
        if (ch == '"' || ch == '\\') {
            out += '\\';
        }
        out += ch;
    }
    return out + "\"";
}

/// The checker's expectation: the rows, and which cells must hold numbers (the number and the
/// coordinates are plain decimal numbers here; the codes are text).
void writeExpectation(const std::wstring& path, const Rows& rows) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out << "{\"rows\": [";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        out << (i ? ",\n[" : "[");
        for (std::size_t j = 0; j < rows[i].size(); ++j) {
            out << (j ? ", " : "") << jsonString(rows[i][j]);
        }
        out << "]";
    }
    out << "],\n\"numbers\": [";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        out << (i ? ",\n" : "") << "[true, false, true, true]";
    }
    out << "]}\n";
}

TEST(VexiloExeExportTest, ExportShowsThePickedRowsInTheSpreadsheet) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    {
        Process registration(L"/RegServer");
        ASSERT_EQ(registration.exitCode(30), 0);
    }
    report::testing::SpreadsheetServer excel;
    excel.classId = L"{3C1F5E27-8B40-4D0A-9E6B-51A7C2D08F21}";
    report::testing::registerSpreadsheet(excel);

    // Three points with their codes typed; Esc at the fourth point ends the pick.
    cad::com::testing::StandIn autocad(
        {"12.3456,45.6789", "007", "-20.5,7.25", "K2", "100,200", "K3", "^C"});
    ASSERT_TRUE(autocad.ready());
    Process vexilo;
    HWND window = nullptr;
    ASSERT_TRUE(
        waitFor([&] { return (window = findWindowOf(vexilo.id(), FormWindow::kClassName)); }));
    ASSERT_TRUE(waitFor([] { return tableRows() == Rows{}; }));
    click(window, "Command1");
    ASSERT_TRUE(waitFor([&] { return autocad.logged("Utility.GetPoint").size() == 4; }, 60))
        << ::testing::PrintToString(autocad.log());
    Rows rows;
    ASSERT_TRUE(waitFor([&] { return (rows = tableRows().value_or(Rows{})).size() == 3; }))
        << rows.size() << " rows; the stand-in's log:\n"
        << ::testing::PrintToString(autocad.log());
    EXPECT_EQ(rows[0][1], L"007");

    const std::vector<std::wstring> before = report::testing::sheetFiles();
    click(window, "Command4");
    std::vector<std::wstring> sheets;
    ASSERT_TRUE(waitFor(
        [&] {
            sheets.clear();
            for (const auto& file : report::testing::sheetFiles()) {
                if (std::find(before.begin(), before.end(), file) == before.end()) {
                    sheets.push_back(file);
                }
            }
            return !sheets.empty();
        },
        60));
    ASSERT_EQ(sheets.size(), 1U);
    const std::wstring named = report::testing::sheetFolder() + L"\\export.json";
    DeleteFileW(named.c_str());
    ASSERT_TRUE(MoveFileW(sheets[0].c_str(), named.c_str()));
    writeExpectation(report::testing::sheetFolder() + L"\\export.expected.json", rows);
    EXPECT_EQ(tableRows(), rows);

    click(window, "Command3");
    EXPECT_EQ(vexilo.exitCode(30), 0);
    CoUninitialize();
}

} // namespace
} // namespace vexilo::win32
