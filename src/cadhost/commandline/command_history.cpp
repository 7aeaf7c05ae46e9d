// The command window's lines: prompts with their line breaks, echoes and messages.
#include "cadhost/commandline/command_history.h"

namespace vexilo::cadhost {

namespace {

bool isBreak(char c) {
    return c == '\r' || c == '\n';
}

// Byte length of the first `count` characters of UTF-8 `text` (all of it when shorter).
std::size_t prefixOfCharacters(std::string_view text, std::size_t count) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        // A byte that does not continue a sequence starts a character.
        if ((static_cast<unsigned char>(text[i]) & 0xC0u) != 0x80u && seen++ == count) {
            return i;
        }
    }
    return text.size();
}

} // namespace

void CommandHistory::close() {
    if (m_lineSink) {
        m_lineSink(m_open);
    }
    m_lines.push_back(std::move(m_open));
    m_open.clear();
    ++m_closedCount;
    if (m_lines.size() > kMaxLines) {
        m_lines.pop_front();
    }
}

void CommandHistory::endLine() {
    if (!m_open.empty()) {
        close();
    }
}

void CommandHistory::prompt(std::string_view text) {
    const std::size_t kept = prefixOfCharacters(text, kMaxPromptCharacters);
    if (kept < text.size()) {
        std::string cut(text.substr(0, kept));
        cut += kCutMark;
        append(cut);
        return;
    }
    append(text);
}

void CommandHistory::append(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && isBreak(text[i])) {
        endLine();
        while (i < text.size() && isBreak(text[i])) {
            ++i;
        }
    }
    while (i < text.size()) {
        const char c = text[i];
        if (!isBreak(c)) {
            m_open.push_back(c);
            ++i;
            continue;
        }
        close();
        // CR LF is one break.
        i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
    }
}

void CommandHistory::echo(std::string_view typed) {
    m_open.append(typed);
    close();
}

void CommandHistory::message(std::string_view text) {
    endLine();
    append(text);
    endLine();
}

} // namespace vexilo::cadhost
