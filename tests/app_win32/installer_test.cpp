// The Windows installer as a user runs it, silently: what it installs and registers, the
// installed vexilo.exe answering as Vexilo.FormCAD, and the uninstaller leaving nothing behind.
#include "app_win32/automation_object.h"
#include "app_win32/form_window.h"
#include "survey/angles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <oleauto.h>
#include <shlobj.h>

#include <string>

namespace vexilo::win32 {
namespace {

constexpr const wchar_t* kUninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vexilo";
constexpr const wchar_t* kProgIdKey = L"Software\\Classes\\Vexilo.FormCAD";

std::wstring folder(int which) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, which, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool keyExists(HKEY root, const wchar_t* key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(handle);
    return true;
}

std::wstring value(HKEY root, const std::wstring& key, const wchar_t* name) {
    wchar_t text[512] = {};
    DWORD size = sizeof text;
    if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS) {
        return {};
    }
    return text;
}

/// Starts a program; its exit code, or -1 when it did not start or end within `seconds`.
/// `process` receives the running process instead of waiting when given.
long run(const std::wstring& commandLine, int seconds, PROCESS_INFORMATION* process = nullptr) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
        ADD_FAILURE() << "not started (error " << GetLastError() << "): " << narrow(commandLine);
        return -1;
    }
    CloseHandle(started.hThread);
    if (process != nullptr) {
        *process = started;
        return 0;
    }
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(started.hProcess, static_cast<DWORD>(seconds) * 1000) ==
        WAIT_OBJECT_0) {
        GetExitCodeProcess(started.hProcess, &code);
    }
    CloseHandle(started.hProcess);
    return static_cast<long>(code);
}

/// Waits up to `seconds` for `done` to hold.
template <typename Condition> bool waitFor(int seconds, Condition done) {
    for (int tick = 0; tick < seconds * 10; ++tick) {
        if (done()) {
            return true;
        }
        Sleep(100);
    }
    return done();
}

/// Calls `DMS(30.5)` on the running Vexilo.FormCAD found through its ProgID, as
/// GetObject(, "Vexilo.FormCAD").DMS(30.5) would; the HRESULT of the first failing step.
HRESULT callDms(double& answer) {
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(kFormProgId, &clsid);
    if (FAILED(hr)) {
        return hr;
    }
    IUnknown* unknown = nullptr;
    if (!waitFor(30, [&] { return SUCCEEDED(hr = GetActiveObject(clsid, nullptr, &unknown)); })) {
        return hr;
    }
    IDispatch* form = nullptr;
    hr = unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&form));
    unknown->Release();
    if (FAILED(hr)) {
        return hr;
    }
    wchar_t name[] = L"DMS";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    hr = form->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_R8;
    argument.dblVal = 30.5;
    DISPPARAMS parameters{&argument, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    if (SUCCEEDED(hr)) {
        hr = form->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, &result,
                          nullptr, nullptr);
    }
    if (SUCCEEDED(hr)) {
        hr = VariantChangeType(&result, &result, 0, VT_R8);
        answer = result.dblVal;
    }
    VariantClear(&result);
    form->Release();
    return hr;
}

TEST(Installer, InstallsRunsAndUninstallsWithoutATrace) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    const std::wstring home = folder(CSIDL_LOCAL_APPDATA) + L"\\Programs\\Vexilo";
    const std::wstring menu = folder(CSIDL_PROGRAMS) + L"\\Vexilo";
    const std::wstring program = home + L"\\vexilo.exe";

    ASSERT_EQ(run(L"\"" + std::wstring(VEXILO_INSTALLER) + L"\" /S", 120), 0);
    EXPECT_TRUE(exists(program));
    EXPECT_TRUE(exists(home + L"\\LICENSE.txt"));
    EXPECT_TRUE(exists(menu + L"\\Vexilo.lnk"));
    EXPECT_EQ(value(HKEY_CURRENT_USER, kUninstallKey, L"DisplayName"), L"Vexilo");
    EXPECT_EQ(value(HKEY_CURRENT_USER, kUninstallKey, L"UninstallString"),
              L"\"" + home + L"\\Uninstall.exe\"");
    EXPECT_EQ(value(HKEY_CURRENT_USER, std::wstring(kProgIdKey) + L"\\CLSID", nullptr),
              L"{6F1D2C3A-5B7E-4F0A-9C1D-3E5A7B9C0D21}");

    // Started from where the installer put it, the window answers other programs.
    PROCESS_INFORMATION vexilo{};
    ASSERT_EQ(run(L"\"" + program + L"\"", 0, &vexilo), 0);
    HWND window = nullptr;
    EXPECT_TRUE(
        waitFor(30, [&] { return (window = FindWindowW(FormWindow::kClassName, nullptr)); }));
    double answer = 0;
    EXPECT_EQ(callDms(answer), S_OK);
    EXPECT_DOUBLE_EQ(answer, survey::DMS(30.5).value());
    // A running vexilo.exe could not be replaced: the installer stops before touching it.
    EXPECT_NE(run(L"\"" + std::wstring(VEXILO_INSTALLER) + L"\" /S", 120), 0);
    EXPECT_TRUE(exists(program));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(vexilo.hProcess, 30'000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(vexilo.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(vexilo.hProcess);

    // The uninstaller copies itself away and ends at once; the copy removes the program, and
    // its entry in Add/Remove Programs last.
    ASSERT_EQ(run(L"\"" + home + L"\\Uninstall.exe\" /S", 120), 0);
    EXPECT_TRUE(waitFor(60, [&] { return !keyExists(HKEY_CURRENT_USER, kUninstallKey); }));
    EXPECT_FALSE(exists(home));
    EXPECT_FALSE(exists(menu));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, kProgIdKey));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kProgIdKey));
    CLSID clsid{};
    EXPECT_TRUE(FAILED(CLSIDFromProgID(kFormProgId, &clsid)));
    CoUninitialize();
}

} // namespace
} // namespace vexilo::win32
