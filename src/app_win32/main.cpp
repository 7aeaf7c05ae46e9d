// `vexilo.exe`: the utility's window on Windows, attached to AutoCAD through COM, with its
// automation object `Vexilo.FormCAD` in the running object table while it runs.
//   vexilo.exe               the window
//   vexilo.exe /RegServer    registers Vexilo.FormCAD for the current user (the installer)
//   vexilo.exe /UnregServer  removes it (the uninstaller)
#include "app_win32/automation_object.h"
#include "app_win32/form_operations.h"
#include "app_win32/form_window.h"
#include "cad/com/com_backend.h"
#include "cad/com/dispatch.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cwchar>

namespace {

/// The registration switch of the command line: 1 register, -1 remove, 0 none.
int registrationSwitch() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    int found = 0;
    for (int i = 1; i < count; ++i) {
        const wchar_t* argument = arguments[i];
        if (argument[0] == L'/' || argument[0] == L'-') {
            ++argument;
        }
        if (_wcsicmp(argument, L"RegServer") == 0) {
            found = 1;
        } else if (_wcsicmp(argument, L"UnregServer") == 0) {
            found = -1;
        }
    }
    LocalFree(arguments);
    return found;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    if (const int registration = registrationSwitch(); registration != 0) {
        return vexilo::win32::registerProgId(registration < 0) ? 0 : 1;
    }
    vexilo::cad::com::ComApartment apartment;
    if (!apartment.ok()) {
        MessageBoxW(nullptr, L"COM could not be initialised.", L"Vexilo", MB_OK | MB_ICONERROR);
        return 1;
    }
    vexilo::win32::FormWindow window;
    if (!window.create(instance)) {
        return 1;
    }
    vexilo::cad::com::ComRegistry registry;
    vexilo::win32::FormOperations operations(window, registry);
    auto* automation = new vexilo::win32::FormAutomation(operations);
    HRESULT code = S_OK;
    if (!automation->registerActive(code)) {
        // The window works without it; only other programs' calls are lost.
        std::fprintf(stderr, "vexilo: Vexilo.FormCAD not in the running object table: 0x%08lX\n",
                     static_cast<unsigned long>(code));
    }
    ShowWindow(window.handle(), show);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (window.translateNavigation(message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    automation->revoke();
    automation->Release();
    return static_cast<int>(message.wParam);
}
