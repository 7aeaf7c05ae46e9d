// Code-page conversion with glibc's iconv and the escapes of AutoCAD strings.
#include "cadhost/dxf/text_decoder.h"

#include <cerrno>
#include <iconv.h>

namespace vexilo::cadhost::dxf {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

iconv_t asIconv(void* p) {
    return static_cast<iconv_t>(p);
}

bool isAscii(std::string_view s) {
    for (const char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

/// The iconv name of an AutoCAD code-page name, or empty.
std::string iconvName(std::string_view dwg) {
    std::string upper;
    for (const char c : dwg) {
        if (c != ' ') {
            upper.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
        }
    }
    if (upper == "ANSI_936") {
        return "GBK";
    }
    if (upper == "ANSI_950") {
        return "BIG5";
    }
    if (upper == "ANSI_1361") {
        return "JOHAB";
    }
    if (upper == "GB2312") {
        return "GBK";
    }
    if (upper == "BIG5" || upper == "JOHAB") {
        return upper;
    }
    for (const std::string_view prefix : {std::string_view("ANSI_"), std::string_view("DOS")}) {
        if (upper.size() > prefix.size() && upper.compare(0, prefix.size(), prefix) == 0) {
            const std::string digits = upper.substr(prefix.size());
            if (digits.find_first_not_of("0123456789") == std::string::npos) {
                return "CP" + digits;
            }
        }
    }
    if (upper.rfind("ISO8859-", 0) == 0) {
        return "ISO-8859-" + upper.substr(8);
    }
    return {};
}

/// The iconv name of the code page a "\M+c" escape names.
const char* multiByteCodePage(char c) {
    switch (c) {
    case '1':
        return "CP932";
    case '2':
        return "BIG5";
    case '3':
        return "CP949";
    case '4':
        return "JOHAB";
    case '5':
        return "GBK";
    default:
        return nullptr;
    }
}

} // namespace

void appendUtf8(char32_t cp, std::string& out) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        cp = kReplacement;
    }
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool isValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = 0;
        char32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if ((c & 0xE0) == 0xC0) {
            n = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            n = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            n = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (s.size() - i <= n) {
            return false;
        }
        for (std::size_t k = 1; k <= n; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        const char32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < minimum[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += n + 1;
    }
    return true;
}

TextDecoder::TextDecoder() {
    m_fallback = iconv_open("UTF-8", "CP1252");
    if (m_fallback == reinterpret_cast<void*>(-1)) {
        m_fallback = nullptr;
    }
}

TextDecoder::~TextDecoder() {
    if (m_converter) {
        iconv_close(asIconv(m_converter));
    }
    if (m_fallback) {
        iconv_close(asIconv(m_fallback));
    }
}

bool TextDecoder::setCodePage(std::string_view dwgCodePage) {
    const std::string name = iconvName(dwgCodePage);
    if (name.empty()) {
        return false;
    }
    iconv_t cd = iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    if (m_converter) {
        iconv_close(asIconv(m_converter));
    }
    m_converter = cd;
    m_guess = false;
    return true;
}

bool TextDecoder::convertWith(void* converter, std::string_view raw, std::string& out) {
    if (!converter) {
        return false;
    }
    iconv_t cd = asIconv(converter);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(raw.data());
    std::size_t inLeft = raw.size();
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) {
                continue;
            }
            // An invalid or cut multibyte sequence: mark it and go on after its first byte.
            appendUtf8(kReplacement, out);
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return true;
}

void TextDecoder::convert(std::string_view raw, std::string& out) {
    if (isAscii(raw) || m_utf8) {
        if (m_utf8 && !isValidUtf8(raw)) {
            // A UTF-8 file with bytes that are not UTF-8: keep what decodes.
            convertWith(m_fallback, raw, out);
            return;
        }
        out.append(raw);
        return;
    }
    if (m_guess) {
        if (isValidUtf8(raw)) {
            out.append(raw);
            return;
        }
        if (!convertWith(m_fallback, raw, out)) {
            out.append(raw.size(), '?');
        }
        return;
    }
    convertWith(m_converter, raw, out);
}

void TextDecoder::appendEscapes(std::string_view s, std::string& out) {
    std::size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '\\' && i + 7 <= s.size() && (s[i + 1] == 'U' || s[i + 1] == 'u') &&
            s[i + 2] == '+') {
            char32_t cp = 0;
            bool ok = true;
            for (std::size_t k = 3; k < 7; ++k) {
                const int h = hexValue(s[i + k]);
                ok = ok && h >= 0;
                cp = (cp << 4) | static_cast<char32_t>(h < 0 ? 0 : h);
            }
            if (ok) {
                appendUtf8(cp, out);
                i += 7;
                continue;
            }
        }
        if (c == '\\' && i + 8 <= s.size() && (s[i + 1] == 'M' || s[i + 1] == 'm') &&
            s[i + 2] == '+') {
            const char* page = multiByteCodePage(s[i + 3]);
            int value = 0;
            bool ok = page != nullptr;
            for (std::size_t k = 4; k < 8 && ok; ++k) {
                const int h = hexValue(s[i + k]);
                ok = h >= 0;
                value = (value << 4) | h;
            }
            if (ok) {
                const char bytes[2] = {static_cast<char>(value >> 8), static_cast<char>(value)};
                iconv_t cd = iconv_open("UTF-8", page);
                if (cd != reinterpret_cast<iconv_t>(-1)) {
                    convertWith(cd, std::string_view(bytes, 2), out);
                    iconv_close(cd);
                    i += 8;
                    continue;
                }
            }
        }
        out.push_back(c);
        ++i;
    }
}

void TextDecoder::decode(std::string_view raw, std::string& out) {
    out.clear();
    const bool hasBackslash = raw.find('\\') != std::string_view::npos;
    if (!hasBackslash) {
        convert(raw, out);
        return;
    }
    m_scratch.clear();
    convert(raw, m_scratch);
    appendEscapes(m_scratch, out);
}

std::string mtextPlainText(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '{' || c == '}') {
            ++i;
            continue;
        }
        // Control characters written as caret codes: ^I a tab, ^J a line feed, "^ " a caret.
        if (c == '^' && i + 1 < s.size() &&
            (s[i + 1] == 'I' || s[i + 1] == 'J' || s[i + 1] == ' ')) {
            out.push_back(s[i + 1] == 'I' ? ' ' : s[i + 1] == 'J' ? '\n' : '^');
            i += 2;
            continue;
        }
        if (c != '\\' || i + 1 >= s.size()) {
            out.push_back(c);
            ++i;
            continue;
        }
        const char code = s[i + 1];
        switch (code) {
        case 'P':
        case 'X':
        case 'N':
            out.push_back('\n');
            i += 2;
            break;
        case '~':
            appendUtf8(0xA0, out);
            i += 2;
            break;
        case '\\':
        case '{':
        case '}':
            out.push_back(code);
            i += 2;
            break;
        case 'L':
        case 'l':
        case 'O':
        case 'o':
        case 'K':
        case 'k':
            i += 2;
            break;
        case 'S': {
            const std::size_t end = s.find(';', i + 2);
            const std::string_view body =
                s.substr(i + 2, (end == std::string_view::npos ? s.size() : end) - (i + 2));
            // Shown on one line as a fraction; the space AutoCAD writes after the separator of
            // a tolerance stack is not part of the lower text.
            for (std::size_t k = 0; k < body.size(); ++k) {
                const char b = body[k];
                const bool separator = b == '^' || b == '#' || b == '/';
                out.push_back(separator ? '/' : b);
                if (separator && k + 1 < body.size() && body[k + 1] == ' ') {
                    ++k;
                }
            }
            i = end == std::string_view::npos ? s.size() : end + 1;
            break;
        }
        case 'f':
        case 'F':
        case 'H':
        case 'h':
        case 'C':
        case 'c':
        case 'T':
        case 't':
        case 'Q':
        case 'q':
        case 'W':
        case 'w':
        case 'A':
        case 'a':
        case 'p': {
            const std::size_t end = s.find(';', i + 2);
            i = end == std::string_view::npos ? s.size() : end + 1;
            break;
        }
        default:
            out.push_back(c);
            ++i;
            break;
        }
    }
    // MTEXT shows the control codes of TEXT too (%%c, %%d, %%p, %%%).
    return out.find("%%") == std::string::npos ? out : textPlainText(out);
}

std::string textPlainText(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        if (s[i] == '%' && i + 2 < s.size() && s[i + 1] == '%') {
            const char code = s[i + 2];
            switch (code) {
            case 'c':
            case 'C':
                appendUtf8(0x00D8, out);
                i += 3;
                continue;
            case 'd':
            case 'D':
                appendUtf8(0x00B0, out);
                i += 3;
                continue;
            case 'p':
            case 'P':
                appendUtf8(0x00B1, out);
                i += 3;
                continue;
            case '%':
                out.push_back('%');
                i += 3;
                continue;
            case 'u':
            case 'U':
            case 'o':
            case 'O':
                i += 3;
                continue;
            default:
                break;
            }
        }
        out.push_back(s[i]);
        ++i;
    }
    return out;
}

} // namespace vexilo::cadhost::dxf
