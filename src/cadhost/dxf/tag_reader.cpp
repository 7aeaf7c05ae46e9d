// The tag scanner: one pass over the bytes, no allocation, numbers parsed on demand.
#include "cadhost/dxf/tag_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace vexilo::cadhost::dxf {

namespace {

constexpr std::string_view kBinarySentinel{"AutoCAD Binary DXF\r\n\x1a\0", 22};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

/// Value types of binary DXF, fixed by the group code.
enum class BinaryType { String, Double, Int16, Int32, Int64, Bool, Chunk, Unknown };

BinaryType binaryType(int code) {
    struct Range {
        int first;
        int last;
        BinaryType type;
    };
    static constexpr Range kRanges[] = {
        {0, 9, BinaryType::String},       {10, 59, BinaryType::Double},
        {60, 79, BinaryType::Int16},      {90, 99, BinaryType::Int32},
        {100, 109, BinaryType::String},   {110, 149, BinaryType::Double},
        {160, 169, BinaryType::Int64},    {170, 179, BinaryType::Int16},
        {210, 239, BinaryType::Double},   {270, 289, BinaryType::Int16},
        {290, 299, BinaryType::Bool},     {300, 309, BinaryType::String},
        {310, 319, BinaryType::Chunk},    {320, 369, BinaryType::String},
        {370, 389, BinaryType::Int16},    {390, 399, BinaryType::String},
        {400, 409, BinaryType::Int16},    {410, 419, BinaryType::String},
        {420, 429, BinaryType::Int32},    {430, 439, BinaryType::String},
        {440, 459, BinaryType::Int32},    {460, 469, BinaryType::Double},
        {470, 481, BinaryType::String},   {999, 1003, BinaryType::String},
        {1004, 1004, BinaryType::Chunk},  {1005, 1009, BinaryType::String},
        {1010, 1059, BinaryType::Double}, {1060, 1070, BinaryType::Int16},
        {1071, 1071, BinaryType::Int32},
    };
    for (const Range& r : kRanges) {
        if (code >= r.first && code <= r.last) {
            return r.type;
        }
    }
    return BinaryType::Unknown;
}

template <class T> T readLittleEndian(const char* p) {
    T value;
    std::memcpy(&value, p, sizeof(T));
    return value;
}

} // namespace

bool Tag::toDouble(double& out) const {
    if (binaryNumber) {
        out = number;
        return std::isfinite(out);
    }
    std::string_view s = trimBlanks(text);
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
    }
    if (s.empty()) {
        return false;
    }
    double value = 0.0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(value)) {
        return false;
    }
    out = value;
    return true;
}

bool Tag::toInt(std::int64_t& out) const {
    if (binaryNumber) {
        out = integer;
        return true;
    }
    std::string_view s = trimBlanks(text);
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
    }
    if (s.empty()) {
        return false;
    }
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec == std::errc() && end == s.data() + s.size()) {
        out = value;
        return true;
    }
    // Some writers put a real where DXF asks for an integer ("1.0").
    double real = 0.0;
    if (!toDouble(real) || std::fabs(real) >= 9.2e18) {
        return false;
    }
    out = static_cast<std::int64_t>(real);
    return true;
}

std::string_view Tag::trimmed() const {
    return binaryNumber ? text : trimBlanks(text);
}

TagReader::TagReader(std::string_view data) : m_data(data) {
    if (m_data.substr(0, kBinarySentinel.size()) == kBinarySentinel) {
        m_binary = true;
        m_pos = kBinarySentinel.size();
        // The first tag is (0, "SECTION"): two zero bytes when codes take two bytes.
        m_oneByteCodes = m_data.size() > m_pos + 1 && m_data[m_pos + 1] != '\0';
    } else if (m_data.substr(0, 3) == "\xEF\xBB\xBF") {
        m_pos = 3;
    }
}

TagReader::TagReader(std::string_view piece, std::size_t firstLine)
    : m_data(piece), m_line(firstLine) {}

void TagReader::skipTo(std::size_t offset, std::size_t line) {
    m_pos = std::min(offset, m_data.size());
    m_line = line;
}

bool TagReader::fail(TagError error, std::size_t location) {
    m_error = error;
    m_errorLocation = location;
    m_pos = m_data.size();
    return false;
}

bool TagReader::next(Tag& tag) {
    for (;;) {
        const bool ok = m_binary ? nextBinary(tag) : nextAscii(tag);
        if (!ok || tag.code != 999) {
            return ok;
        }
    }
}

bool TagReader::nextAscii(Tag& tag) {
    const char* base = m_data.data();
    const std::size_t size = m_data.size();
    // Fast path for the usual shape: blanks, up to four digits, a line end, a short value.
    {
        std::size_t p = m_pos;
        m_tagStart = m_pos;
        while (p < size && base[p] == ' ') {
            ++p;
        }
        int code = 0;
        const std::size_t digitsStart = p;
        while (p < size && p - digitsStart < 4 && base[p] >= '0' && base[p] <= '9') {
            code = code * 10 + (base[p] - '0');
            ++p;
        }
        if (p > digitsStart && p < size && base[p] == '\r') {
            ++p;
        }
        if (p > digitsStart && p < size && base[p] == '\n' && code <= 1071) {
            const std::size_t valueStart = p + 1;
            std::size_t q = valueStart;
            while (q < size && base[q] != '\n') {
                ++q;
            }
            if (q < size) {
                std::size_t valueEnd = q;
                if (valueEnd > valueStart && base[valueEnd - 1] == '\r') {
                    --valueEnd;
                }
                tag.code = code;
                tag.text = m_data.substr(valueStart, valueEnd - valueStart);
                tag.binaryNumber = false;
                tag.location = m_line;
                m_line += 2;
                m_pos = q + 1;
                return true;
            }
        }
    }
    // Blank lines between tags are tolerated (some writers end the file with one).
    for (;;) {
        if (m_pos >= size) {
            return false;
        }
        const char* eol = static_cast<const char*>(std::memchr(base + m_pos, '\n', size - m_pos));
        const std::size_t lineEnd = eol ? static_cast<std::size_t>(eol - base) : size;
        std::string_view codeText = trimBlanks(m_data.substr(m_pos, lineEnd - m_pos));
        const std::size_t codeLine = m_line;
        m_tagStart = m_pos;
        if (codeText.empty()) {
            if (!eol) {
                return false;
            }
            m_pos = lineEnd + 1;
            ++m_line;
            continue;
        }
        int code = 0;
        const auto [end, ec] =
            std::from_chars(codeText.data(), codeText.data() + codeText.size(), code);
        if (ec == std::errc::result_out_of_range && end == codeText.data() + codeText.size()) {
            return fail(TagError::GroupCodeOutOfRange, codeLine);
        }
        if (ec != std::errc() || end != codeText.data() + codeText.size()) {
            return fail(TagError::BadGroupCode, codeLine);
        }
        if (code < 0 || code > 1071) {
            return fail(TagError::GroupCodeOutOfRange, codeLine);
        }
        if (!eol) {
            return fail(TagError::Truncated, codeLine);
        }
        m_pos = lineEnd + 1;
        ++m_line;
        const char* veol =
            m_pos < size ? static_cast<const char*>(std::memchr(base + m_pos, '\n', size - m_pos))
                         : nullptr;
        std::size_t valueEnd = veol ? static_cast<std::size_t>(veol - base) : size;
        if (!veol && m_pos >= size) {
            return fail(TagError::Truncated, codeLine);
        }
        const std::size_t valueStart = m_pos;
        m_pos = veol ? valueEnd + 1 : size;
        ++m_line;
        if (valueEnd > valueStart && base[valueEnd - 1] == '\r') {
            --valueEnd;
        }
        tag.code = code;
        tag.text = m_data.substr(valueStart, valueEnd - valueStart);
        tag.binaryNumber = false;
        tag.location = codeLine;
        return true;
    }
}

bool TagReader::nextBinary(Tag& tag) {
    const std::size_t size = m_data.size();
    const char* base = m_data.data();
    if (m_pos >= size) {
        return false;
    }
    const std::size_t start = m_pos;
    int code = 0;
    if (m_oneByteCodes) {
        code = static_cast<unsigned char>(base[m_pos]);
        ++m_pos;
        if (code == 255) {
            if (size - m_pos < 2) {
                return fail(TagError::Truncated, start);
            }
            code = readLittleEndian<std::uint16_t>(base + m_pos);
            m_pos += 2;
        }
    } else {
        if (size - m_pos < 2) {
            return fail(TagError::Truncated, start);
        }
        code = readLittleEndian<std::uint16_t>(base + m_pos);
        m_pos += 2;
    }
    tag.code = code;
    tag.location = start;
    tag.text = {};
    tag.binaryNumber = true;
    const auto need = [&](std::size_t n) { return size - m_pos >= n; };
    switch (binaryType(code)) {
    case BinaryType::String: {
        const char* nul = static_cast<const char*>(std::memchr(base + m_pos, '\0', size - m_pos));
        if (!nul) {
            return fail(TagError::Truncated, start);
        }
        const auto len = static_cast<std::size_t>(nul - (base + m_pos));
        tag.text = m_data.substr(m_pos, len);
        tag.binaryNumber = false;
        m_pos += len + 1;
        return true;
    }
    case BinaryType::Double:
        if (!need(8)) {
            return fail(TagError::Truncated, start);
        }
        tag.number = readLittleEndian<double>(base + m_pos);
        tag.integer = std::isfinite(tag.number) && std::fabs(tag.number) < 9.2e18
                          ? static_cast<std::int64_t>(tag.number)
                          : 0;
        m_pos += 8;
        return true;
    case BinaryType::Int16:
        if (!need(2)) {
            return fail(TagError::Truncated, start);
        }
        tag.integer = readLittleEndian<std::int16_t>(base + m_pos);
        m_pos += 2;
        break;
    case BinaryType::Int32:
        if (!need(4)) {
            return fail(TagError::Truncated, start);
        }
        tag.integer = readLittleEndian<std::int32_t>(base + m_pos);
        m_pos += 4;
        break;
    case BinaryType::Int64:
        if (!need(8)) {
            return fail(TagError::Truncated, start);
        }
        tag.integer = readLittleEndian<std::int64_t>(base + m_pos);
        m_pos += 8;
        break;
    case BinaryType::Bool:
        if (!need(1)) {
            return fail(TagError::Truncated, start);
        }
        tag.integer = static_cast<unsigned char>(base[m_pos]);
        m_pos += 1;
        break;
    case BinaryType::Chunk: {
        if (!need(1)) {
            return fail(TagError::Truncated, start);
        }
        const std::size_t len = static_cast<unsigned char>(base[m_pos]);
        ++m_pos;
        if (!need(len)) {
            return fail(TagError::Truncated, start);
        }
        tag.text = m_data.substr(m_pos, len);
        tag.binaryNumber = false;
        m_pos += len;
        return true;
    }
    case BinaryType::Unknown:
        return fail(TagError::BadGroupCode, start);
    }
    tag.number = static_cast<double>(tag.integer);
    return true;
}

std::string_view describe(TagError error) {
    switch (error) {
    case TagError::None:
        return "no error";
    case TagError::Truncated:
        return "truncated";
    case TagError::BadGroupCode:
        return "a group code that is not a number, or not one DXF defines";
    case TagError::GroupCodeOutOfRange:
        return "a group code outside the 0 to 1071 DXF defines";
    }
    return "unknown tag error";
}

} // namespace vexilo::cadhost::dxf
