// Tab-separated text and an HTML table of the table's rows.
#include "form/table_clip.h"

namespace vexilo::form {
namespace {

std::string tsvCell(const std::string& text) {
    if (text.find_first_of("\t\r\n\"") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    return quoted + '"';
}

std::string htmlText(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

} // namespace

ClipText clipRows(const cad::CoordinateTable& table, const std::vector<int>& rows) {
    std::vector<int> chosen;
    if (rows.empty()) {
        for (int row = 1; row < table.rowCount(); ++row) {
            chosen.push_back(row);
        }
    } else {
        for (const int row : rows) {
            if (row >= 1 && row < table.rowCount()) {
                chosen.push_back(row);
            }
        }
    }
    ClipText clip;
    clip.html = "<html xmlns:x=\"urn:schemas-microsoft-com:office:excel\"><head>"
                "<meta charset=\"utf-8\"></head><body><table>";
    for (const int row : chosen) {
        clip.html += "<tr>";
        for (int column = 0; column < table.columnCount(); ++column) {
            const std::string& text = table.cell(row, column);
            clip.tsv += tsvCell(text);
            clip.tsv += column + 1 < table.columnCount() ? '\t' : '\n';
            clip.html += column == 1
                             ? "<td x:str style=\"mso-number-format:'\\@'\" sdnum=\"2052;0;@\">"
                             : "<td>";
            clip.html += htmlText(text) + "</td>";
        }
        clip.html += "</tr>";
    }
    clip.html += "</table></body></html>";
    return clip;
}

} // namespace vexilo::form
