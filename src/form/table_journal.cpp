// The table journal: text form, live file, kept tables.
#include "form/table_journal.h"

#include "form/coordinate_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <ctime>
#include <fstream>
#include <sstream>
#include <system_error>

namespace vexilo::form {
namespace {

constexpr std::string_view kMagic = "vexilo-table-journal 1";
constexpr std::string_view kCurrentName = "current";
constexpr std::string_view kKeptPrefix = "table-";

std::string localTime(std::chrono::system_clock::time_point when, const char* format) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm parts{};
#ifdef _WIN32
    localtime_s(&parts, &seconds);
#else
    localtime_r(&seconds, &parts);
#endif
    std::array<char, 64> buffer{};
    const std::size_t length = std::strftime(buffer.data(), buffer.size(), format, &parts);
    return std::string(buffer.data(), length);
}

std::string escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool unescaped(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) {
            return false;
        }
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return false;
        }
    }
    return true;
}

std::vector<std::string_view> split(std::string_view line, char separator) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find(separator, start);
        fields.push_back(line.substr(start, end - start));
        if (end == std::string_view::npos) {
            return fields;
        }
        start = end + 1;
    }
}

bool readNumber(std::string_view text, std::optional<double>& value) {
    if (text.empty()) {
        value.reset();
        return true;
    }
    double number = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) {
        return false;
    }
    value = number;
    return true;
}

struct Header {
    std::string time;
    int rows = 0;
};

std::optional<Header> readHeader(std::string_view line) {
    const std::vector<std::string_view> fields = split(line, '\t');
    if (fields.size() != 3 || fields[0] != kMagic) {
        return std::nullopt;
    }
    Header header{std::string(fields[1]), 0};
    const auto [end, error] =
        std::from_chars(fields[2].data(), fields[2].data() + fields[2].size(), header.rows);
    if (error != std::errc() || end != fields[2].data() + fields[2].size() || header.rows < 0) {
        return std::nullopt;
    }
    return header;
}

std::optional<std::string> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

} // namespace

std::string journalText(const cad::CoordinateTable& table, const std::string& time) {
    std::string text(kMagic);
    text += '\t' + time + '\t' + std::to_string(table.rowCount() - 1) + '\n';
    for (int row = 1; row < table.rowCount(); ++row) {
        for (int column = 0; column < table.columnCount(); ++column) {
            text += escaped(table.cell(row, column)) + '\t';
        }
        const cad::RowPoint& point = table.point(row);
        text +=
            fileNumber(point.x) + '\t' + fileNumber(point.y) + '\t' + fileNumber(point.z) + '\n';
    }
    return text;
}

Status<std::string> restoreJournalText(const std::string& text, cad::CoordinateTable& table) {
    std::vector<std::string_view> lines = split(text, '\n');
    if (!lines.empty() && lines.back().empty()) {
        lines.pop_back();
    }
    const std::optional<Header> header = lines.empty() ? std::nullopt : readHeader(lines.front());
    if (!header || header->rows != static_cast<int>(lines.size()) - 1 ||
        header->rows >= cad::CoordinateTable::kMaxRowCount) {
        return unexpected(std::string("不是完整的表格记录"));
    }
    std::vector<std::pair<cad::CoordinateRow, cad::RowPoint>> rows;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string_view> fields = split(lines[i], '\t');
        cad::CoordinateRow row;
        cad::RowPoint point;
        if (fields.size() != 7 || !unescaped(fields[0], row.number) ||
            !unescaped(fields[1], row.code) || !unescaped(fields[2], row.x) ||
            !unescaped(fields[3], row.y) || !readNumber(fields[4], point.x) ||
            !readNumber(fields[5], point.y) || !readNumber(fields[6], point.z)) {
            return unexpected("表格记录第 " + std::to_string(i + 1) + " 行有误");
        }
        rows.emplace_back(std::move(row), point);
    }
    table.setRowCount(1);
    for (const auto& [row, point] : rows) {
        table.appendRow(row, point);
    }
    table.markCommandStart(table.rowCount());
    return {};
}

Status<FileFailure> TableJournal::writeCurrent(const cad::CoordinateTable& table) {
    std::error_code ignored;
    std::filesystem::create_directories(m_folder, ignored);
    return writeFileAtomically(
        m_folder / kCurrentName,
        journalText(table, localTime(std::chrono::system_clock::now(), "%Y-%m-%d %H:%M:%S")));
}

Status<FileFailure> TableJournal::keepText(const std::string& text, const std::string& stamp) {
    std::error_code ignored;
    std::filesystem::create_directories(m_folder, ignored);
    std::filesystem::path path;
    for (int n = 1;; ++n) {
        path = m_folder / (std::string(kKeptPrefix) + stamp + "-" + std::to_string(n));
        if (!std::filesystem::exists(path, ignored)) {
            break;
        }
    }
    if (const Status<FileFailure> written = writeFileAtomically(path, text); !written) {
        return written;
    }
    std::filesystem::remove(m_folder / kCurrentName, ignored);
    const std::vector<JournalEntry> kept = entries();
    for (std::size_t i = kMaxKept; i < kept.size(); ++i) {
        std::filesystem::remove(kept[i].file, ignored);
    }
    return {};
}

Status<FileFailure> TableJournal::keep(const cad::CoordinateTable& table,
                                       std::chrono::system_clock::time_point when) {
    if (table.rowCount() <= 1) {
        std::error_code ignored;
        std::filesystem::remove(m_folder / kCurrentName, ignored);
        return {};
    }
    return keepText(journalText(table, localTime(when, "%Y-%m-%d %H:%M:%S")),
                    localTime(when, "%Y%m%d-%H%M%S"));
}

Status<FileFailure> TableJournal::keepUnclosed() {
    const std::filesystem::path current = m_folder / kCurrentName;
    const std::optional<std::string> text = readFile(current);
    if (!text) {
        return {};
    }
    const std::size_t lineEnd = text->find('\n');
    const std::optional<Header> header = readHeader(std::string_view(*text).substr(0, lineEnd));
    if (!header || header->rows == 0) {
        std::error_code ignored;
        std::filesystem::remove(current, ignored);
        return {};
    }
    std::string stamp = header->time;
    std::erase_if(stamp, [](char c) { return c == '-' || c == ':'; });
    std::replace(stamp.begin(), stamp.end(), ' ', '-');
    return keepText(*text, stamp);
}

std::vector<JournalEntry> TableJournal::entries() const {
    std::vector<JournalEntry> found;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(m_folder, error)) {
        const std::string name = item.path().filename().string();
        if (!name.starts_with(kKeptPrefix) || name.find(".tmp-") != std::string::npos) {
            continue;
        }
        std::ifstream in(item.path(), std::ios::binary);
        std::string first;
        if (!std::getline(in, first)) {
            continue;
        }
        if (const std::optional<Header> header = readHeader(first)) {
            found.push_back({item.path(), header->time, header->rows});
        }
    }
    // Names hold the time as yyyymmdd-hhmmss and a counter within the second.
    const auto key = [](const JournalEntry& entry) {
        const std::string name = entry.file.filename().string();
        const std::size_t dash = name.rfind('-');
        int n = 0;
        std::from_chars(name.data() + dash + 1, name.data() + name.size(), n);
        return std::pair{name.substr(0, dash), n};
    };
    std::sort(found.begin(), found.end(),
              [&key](const JournalEntry& a, const JournalEntry& b) { return key(a) > key(b); });
    return found;
}

Status<std::string> TableJournal::restore(const JournalEntry& entry, cad::CoordinateTable& table,
                                          std::chrono::system_clock::time_point now) {
    const std::optional<std::string> text = readFile(entry.file);
    if (!text) {
        return unexpected("无法读取 " + entry.file.string());
    }
    cad::CoordinateTable check;
    if (Status<std::string> parsed = restoreJournalText(*text, check); !parsed) {
        return parsed;
    }
    if (const Status<FileFailure> kept = keep(table, now); !kept) {
        return unexpected(kept.error().message);
    }
    return restoreJournalText(*text, table);
}

} // namespace vexilo::form
