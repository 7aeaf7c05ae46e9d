// Registration of the stand-in spreadsheet in the test prefix's registry, and its sheet files.
#include "spreadsheet_registration.h"

#include "export/excel_report.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace vexilo::report::testing {
namespace {

void setDefault(const std::wstring& key, const std::wstring& value) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                        nullptr) == ERROR_SUCCESS) {
        RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(handle);
    }
}

std::wstring quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

std::wstring serverExecutable() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring own(path);
    return own.substr(0, own.find_last_of(L"\\/") + 1) + L"stand_in_spreadsheet.exe";
}

} // namespace

void unregisterSpreadsheets() {
    for (const std::wstring_view progId : kSpreadsheetProgIds) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\" + std::wstring(progId)).c_str());
    }
}

void registerSpreadsheet(const SpreadsheetServer& server) {
    unregisterSpreadsheets();
    std::wstring command = quoted(serverExecutable()) + L" --class " + server.classId + L" --out " +
                           quoted(sheetFolder()) + L" --name " + server.name;
    if (server.rows > 0) {
        command += L" --rows " + std::to_wstring(server.rows);
    }
    if (!server.refuse.empty()) {
        command += L" --refuse " + server.refuse;
    }
    setDefault(L"Software\\Classes\\CLSID\\" + server.classId + L"\\LocalServer32", command);
    for (const std::wstring& progId : server.progIds) {
        setDefault(L"Software\\Classes\\" + progId + L"\\CLSID", server.classId);
    }
}

std::wstring sheetFolder() {
    std::wstring folder = L"Z:" VEXILO_SHEET_FOLDER;
    std::replace(folder.begin(), folder.end(), L'/', L'\\');
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::vector<std::wstring> sheetFiles() {
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW found;
    const std::wstring folder = sheetFolder();
    HANDLE search = FindFirstFileW((folder + L"\\book-*.json").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return files;
    }
    do {
        files.push_back(folder + L"\\" + found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(files.begin(), files.end());
    return files;
}

std::string readFile(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

namespace {

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        if (ch == '"' || ch == '\\') {
            out += '\\';
        }
        out += ch;
    }
    return out + "\"";
}

} // namespace

void writeExpectation(const std::wstring& path, const std::vector<std::vector<std::string>>& rows) {
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

} // namespace vexilo::report::testing
