// Reading and holding script lines.
#include "cadhost/commandline/script_runner.h"

#include "common/ui_text.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace vexilo::cadhost {

namespace {

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool isValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        std::uint32_t cp = 0;
        if (b < 0x80) {
            ++i;
            continue;
        }
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
            cp = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            cp = b & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size()) {
            return false;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

} // namespace

std::vector<std::string> splitScriptLines(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    std::vector<std::string> lines;
    std::string current;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(current));
            current.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            continue;
        }
        current.push_back(c);
    }
    if (!current.empty()) {
        lines.push_back(std::move(current));
    }
    return lines;
}

std::string_view describe(ScriptError error) {
    switch (error) {
    case ScriptError::CannotOpen:
        return "cannot open";
    case ScriptError::CannotRead:
        return "cannot read";
    case ScriptError::NotUtf8:
        return "not UTF-8 text";
    }
    return "unknown script error";
}

Expected<std::vector<std::string>, ScriptFailure> readScriptFile(const std::string& path) {
    const auto cannotOpen = [&](const std::string& why) {
        return unexpected(ScriptFailure{
            ScriptError::CannotOpen,
            fillText(uiText("ScriptRunner", "cannot open script file \"%1\": %2"), {path, why})});
    };
    const auto reason = [] { return std::error_code(errno, std::generic_category()).message(); };
    // Non-blocking, so that a FIFO is refused at once instead of waiting for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return cannotOpen(reason());
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const std::string why = reason();
        ::close(fd);
        return cannotOpen(why);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return cannotOpen(uiText("ScriptRunner", "not a regular file"));
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            const std::string why = reason();
            ::close(fd);
            return unexpected(
                ScriptFailure{ScriptError::CannotRead,
                              fillText(uiText("ScriptRunner", "cannot read script file \"%1\": %2"),
                                       {path, why})});
        }
        if (n == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (!isValidUtf8(text)) {
        return unexpected(ScriptFailure{
            ScriptError::NotUtf8,
            fillText(uiText("ScriptRunner", "script file \"%1\" is not UTF-8 text"), {path})});
    }
    return splitScriptLines(text);
}

void ScriptRunner::start(std::vector<std::string> lines) {
    m_lines.assign(std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
    m_nextLineNumber = 1;
}

std::string ScriptRunner::take() {
    std::string line = std::move(m_lines.front());
    m_lines.pop_front();
    ++m_nextLineNumber;
    return line;
}

} // namespace vexilo::cadhost
