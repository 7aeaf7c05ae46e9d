// Test support: the openpyxl read-back and scratch folders.
#include "report_check.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

namespace vexilo::report::testing {
namespace {

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            std::array<char, 8> escaped{};
            std::snprintf(escaped.data(), escaped.size(), "\\u%04x", c);
            out += escaped.data();
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (const char ch : text) {
        out += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    }
    return out + "'";
}

} // namespace

int runCommand(const std::string& command, std::string& output) {
    output.clear();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        output = "popen failed";
        return -1;
    }
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        output.append(buffer.data(), n);
    }
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string checkReport(const std::string& workbook, const std::vector<ExpectedRow>& rows,
                        const std::string& decimalSeparator) {
    const std::string expectation = workbook + ".expected.json";
    {
        std::ofstream out(expectation, std::ios::binary);
        out << "{\"rows\": [";
        for (std::size_t i = 0; i < rows.size(); ++i) {
            out << (i ? ",\n[" : "[");
            for (std::size_t j = 0; j < rows[i].texts.size(); ++j) {
                out << (j ? ", " : "") << jsonString(rows[i].texts[j]);
            }
            out << "]";
        }
        out << "],\n\"numbers\": [";
        for (std::size_t i = 0; i < rows.size(); ++i) {
            out << (i ? ",\n[" : "[");
            for (std::size_t j = 0; j < rows[i].numbers.size(); ++j) {
                out << (j ? ", " : "") << (rows[i].numbers[j] ? "true" : "false");
            }
            out << "]";
        }
        out << "],\n\"decimal\": " << jsonString(decimalSeparator) << "}\n";
    }
    std::string output;
    const int status = runCommand(
        "/usr/bin/python3 " +
            shellQuoted(std::string(VEXILO_SOURCE_DIR) + "/tests/export/check_report.py") + " " +
            shellQuoted(workbook) + " " + shellQuoted(expectation),
        output);
    std::filesystem::remove(expectation);
    if (status == 0) {
        return {};
    }
    if (output.empty()) {
        output = "checker exited with " + std::to_string(status);
    }
    return output;
}

ScratchFolder::ScratchFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vexilo-export-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) {
        m_path = pattern;
    }
}

ScratchFolder::~ScratchFolder() {
    if (!m_path.empty()) {
        std::error_code ignored;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(m_path, ignored);
    }
}

std::vector<std::string> ScratchFolder::entries() const {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(m_path, ignored)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace vexilo::report::testing
