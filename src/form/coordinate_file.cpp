// The CASS point file and the PNEZD CSV: fields, quoting, encoding.
#include "form/coordinate_file.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <iconv.h>

namespace vexilo::form {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

/// UTF-8 to GBK with the C library's converter, opened once per file.
class GbkEncoder {
public:
    GbkEncoder() : m_converter(iconv_open("GBK", "UTF-8")) {}
    ~GbkEncoder() {
        if (m_converter != invalid()) {
            iconv_close(m_converter);
        }
    }
    GbkEncoder(const GbkEncoder&) = delete;
    GbkEncoder& operator=(const GbkEncoder&) = delete;

    /// Appends the text in GBK to `out`; false (out unchanged) when a character has no GBK form.
    bool append(std::string_view text, std::string& out) {
        if (m_converter == invalid()) {
            return false;
        }
        iconv(m_converter, nullptr, nullptr, nullptr, nullptr);
        std::string input(text);
        const std::size_t start = out.size();
        out.resize(start + input.size() * 2 + 4);
        char* in = input.data();
        std::size_t inLeft = input.size();
        char* to = out.data() + start;
        std::size_t outLeft = out.size() - start;
        const std::size_t converted = iconv(m_converter, &in, &inLeft, &to, &outLeft);
        if (converted == static_cast<std::size_t>(-1) || inLeft != 0) {
            out.resize(start);
            return false;
        }
        out.resize(out.size() - outLeft);
        return true;
    }

private:
    static iconv_t invalid() { return reinterpret_cast<iconv_t>(-1); }
    iconv_t m_converter;
};

std::string csvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

Unexpected<FileFailure> rowFailure(const cad::CoordinateTable& table, int row,
                                   const std::string& why) {
    return unexpected(FileFailure{"序号 " + table.cell(row, 0) + " 的点" + why});
}

} // namespace

std::string fileNumber(const std::optional<double>& value) {
    if (!value) {
        return {};
    }
    if (*value == 0.0) {
        return "0";
    }
    std::array<char, 32> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), *value,
                                            std::chars_format::fixed);
    if (error != std::errc()) {
        const auto [shortEnd, shortError] =
            std::to_chars(buffer.data(), buffer.data() + buffer.size(), *value);
        return shortError == std::errc() ? std::string(buffer.data(), shortEnd) : std::string();
    }
    return std::string(buffer.data(), end);
}

Expected<std::string, FileFailure> coordinateFileBytes(const cad::CoordinateTable& table,
                                                       const CoordinateFileOptions& options) {
    std::string bytes;
    if (options.format == CoordinateFileFormat::PnezdCsv) {
        bytes += kUtf8Mark;
        bytes += kPnezdHeader;
        bytes += kLineEnd;
        for (int row = 1; row < table.rowCount(); ++row) {
            const cad::RowPoint& point = table.point(row);
            bytes += csvField(table.cell(row, 0)) + ',' + fileNumber(point.y) + ',' +
                     fileNumber(point.x) + ',' + fileNumber(point.z) + ',' +
                     csvField(table.cell(row, 1));
            bytes += kLineEnd;
        }
        return bytes;
    }
    GbkEncoder gbk;
    for (int row = 1; row < table.rowCount(); ++row) {
        const cad::RowPoint& point = table.point(row);
        std::string name = table.cell(row, 1);
        if (options.name == PointName::Number || name.empty()) {
            name = table.cell(row, 0);
        }
        if (name.find_first_of(",\r\n") != std::string::npos) {
            return rowFailure(table, row, "名“" + name + "”含有逗号或换行，CASS 坐标文件无法容纳");
        }
        const std::string line = name + ",," + fileNumber(point.x) + ',' + fileNumber(point.y) +
                                 ',' + fileNumber(point.z);
        if (options.encoding == TextEncoding::Utf8) {
            bytes += line;
        } else if (!gbk.append(line, bytes)) {
            return rowFailure(table, row, "名“" + name + "”含有 GBK 编码无法表示的字符");
        }
        bytes += kLineEnd;
    }
    return bytes;
}

Status<FileFailure> writeCoordinateFile(const cad::CoordinateTable& table,
                                        const CoordinateFileOptions& options,
                                        const std::filesystem::path& path) {
    const Expected<std::string, FileFailure> bytes = coordinateFileBytes(table, options);
    if (!bytes) {
        return unexpected(bytes.error());
    }
    return writeFileAtomically(path, bytes.value());
}

} // namespace vexilo::form
