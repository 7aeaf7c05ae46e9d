// Script files: lines fed to the command line as if typed, one per answer.
#pragma once

#include "common/expected.h"

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace vexilo::cadhost {

/// Why a script file could not be read.
enum class ScriptError {
    CannotOpen, ///< the file could not be opened
    CannotRead, ///< reading it failed part way
    NotUtf8,    ///< its text is not valid UTF-8
};

/// A short English description ("cannot open", "not UTF-8 text", …).
std::string_view describe(ScriptError error);

/// A script file that could not be read: why, and a message naming the file.
struct ScriptFailure {
    ScriptError kind = ScriptError::CannotOpen;
    std::string message;
};

/// Splits UTF-8 script text into lines: a leading byte-order mark is dropped, lines end at LF,
/// CR LF or CR, and a last line without a break counts. Empty lines are kept (they mean Enter).
std::vector<std::string> splitScriptLines(std::string_view text);

/// Reads a script file (UTF-8). Fails when it cannot be opened or is not valid UTF-8.
Expected<std::vector<std::string>, ScriptFailure> readScriptFile(const std::string& path);

/// The lines of the running script that are still to be fed.
class ScriptRunner {
public:
    /// Starts a script; the lines of one still running are dropped, as a SCRIPT command inside
    /// a script replaces it in AutoCAD.
    void start(std::vector<std::string> lines);
    /// Stops the script (Esc with nothing else to cancel).
    void stop() { m_lines.clear(); }
    bool running() const { return !m_lines.empty(); }
    /// The next line to feed; only while running().
    const std::string& peek() const { return m_lines.front(); }
    /// Takes the next line; only while running().
    std::string take();
    std::size_t remaining() const { return m_lines.size(); }
    /// The number of the next line in its file, from 1 (empty lines count).
    std::size_t nextLineNumber() const { return m_nextLineNumber; }

private:
    std::deque<std::string> m_lines;
    std::size_t m_nextLineNumber = 1;
};

} // namespace vexilo::cadhost
