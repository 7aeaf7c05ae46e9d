// Starting and ending the stand-in AutoCAD, and reading its log.
#include "stand_in_process.h"

#include "cad/com/variant.h"
#include "stand_in_ids.h"

#include <fstream>
#include <sstream>

namespace vexilo::cad::com::testing {

namespace {

std::wstring temporaryDirectory() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static int counter = 0;
    const std::wstring path = std::wstring(base) + L"vexilo-stand-in-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++counter);
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

void writeLines(const std::wstring& path, const std::vector<std::string>& lines) {
    std::ofstream out(path.c_str(), std::ios::binary);
    for (const std::string& line : lines) {
        out << line << '\n';
    }
}

std::wstring quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

} // namespace

std::wstring standInExecutable() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring self(path);
    return self.substr(0, self.find_last_of(L"\\/") + 1) + L"stand_in_autocad.exe";
}

std::string writeLongPolylineDrawing(int vertices) {
    std::ifstream tests(VEXILO_COM_TEST_DATA "/drawing.txt");
    std::string ucs;
    std::getline(tests, ucs);
    const std::wstring path = temporaryDirectory() + L"\\long.txt";
    std::ofstream out(path.c_str(), std::ios::binary);
    out.precision(17);
    out << ucs << "\nlwpolyline L 0 2.5 0 0 -1 0 " << vertices;
    for (int v = 0; v < vertices; ++v) {
        out << ' ' << -500000.0 - v * 1.25 << ' ' << 3012000.0 + (v % 7) * 0.5 << " 0 0";
    }
    out << '\n';
    return toUtf8(path);
}

void registerProgId(const std::string& progId, bool otherVersion) {
    const std::wstring key = L"Software\\Classes\\" + toWide(progId) + L"\\CLSID";
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                        nullptr) == ERROR_SUCCESS) {
        const std::wstring value = otherVersion ? kOtherVersionClassIdText : kStandInClassIdText;
        RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(handle);
    }
}

void unregisterProgId(const std::string& progId) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\" + toWide(progId)).c_str());
}

StandIn::StandIn(std::vector<std::string> script, StandInOptions options)
    : m_script(std::move(script)), m_options(std::move(options)) {
    m_directory = temporaryDirectory();
    writeLines(m_directory + L"\\script.txt", m_script);
    for (const std::string& progId : m_options.progIds) {
        registerProgId(progId, m_options.otherVersion);
    }
    const std::wstring name = L"vexilo-stand-in-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(GetTickCount64());
    m_quitName = name + L"-quit";
    const std::wstring readyName = name + L"-ready";
    m_quit = CreateEventW(nullptr, TRUE, FALSE, m_quitName.c_str());
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
    const std::wstring drawing = m_options.drawing.empty()
                                     ? toWide(VEXILO_COM_TEST_DATA "/drawing.txt")
                                     : toWide(m_options.drawing);
    std::wstring command = quoted(standInExecutable()) + L" --drawing " + quoted(drawing) +
                           L" --script " + quoted(m_directory + L"\\script.txt") + L" --log " +
                           quoted(m_directory + L"\\log.txt") + L" --ready " + readyName +
                           L" --quit " + m_quitName;
    if (m_options.busyMilliseconds > 0) {
        command += L" --busy-ms " + std::to_wstring(m_options.busyMilliseconds);
    }
    if (m_options.variantArrays) {
        command += L" --variant-arrays";
    }
    if (m_options.lowerBound != 0) {
        command += L" --lower-bound " + std::to_wstring(m_options.lowerBound);
    }
    if (m_options.noDrawing) {
        command += L" --no-drawing";
    }
    if (m_options.otherVersion) {
        command += L" --other-version";
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &m_process)) {
        HANDLE waits[] = {ready, m_process.hProcess};
        m_ready = WaitForMultipleObjects(2, waits, FALSE, 60000) == WAIT_OBJECT_0;
    }
    CloseHandle(ready);
}

StandIn::~StandIn() {
    end();
    for (const std::string& progId : m_options.progIds) {
        unregisterProgId(progId);
    }
    if (m_quit != nullptr) {
        CloseHandle(m_quit);
    }
    DeleteFileW((m_directory + L"\\script.txt").c_str());
    DeleteFileW((m_directory + L"\\log.txt").c_str());
    RemoveDirectoryW(m_directory.c_str());
}

bool StandIn::end() {
    if (m_process.hProcess == nullptr) {
        return true;
    }
    const bool endedBefore = WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0;
    SetEvent(m_quit);
    DWORD code = 0;
    bool clean = WaitForSingleObject(m_process.hProcess, 20000) == WAIT_OBJECT_0;
    if (!clean) {
        TerminateProcess(m_process.hProcess, 1);
        WaitForSingleObject(m_process.hProcess, 5000);
    } else if (!endedBefore) {
        clean = GetExitCodeProcess(m_process.hProcess, &code) != 0 && code == 0;
    }
    CloseHandle(m_process.hProcess);
    CloseHandle(m_process.hThread);
    m_process = PROCESS_INFORMATION{};
    return clean;
}

bool StandIn::exited() const {
    return m_process.hProcess == nullptr ||
           WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0;
}

std::vector<std::string> StandIn::log() const {
    std::ifstream in((m_directory + L"\\log.txt").c_str(), std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> StandIn::logged(const std::string& prefix) const {
    std::vector<std::string> matching;
    for (const std::string& line : log()) {
        if (line.starts_with(prefix)) {
            matching.push_back(line);
        }
    }
    return matching;
}

} // namespace vexilo::cad::com::testing
