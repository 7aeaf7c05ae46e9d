// The command line's history: closed lines above, and the open line that holds the prompt
// being answered, as AutoCAD's command window shows them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

namespace vexilo::cadhost {

/// Lines of the command window. Text is UTF-8. A prompt is shown as received, except that its
/// line breaks (CR, LF or CR LF) end lines: a leading carriage return moves the prompt off a
/// line that already holds text ("Command: ") onto a fresh one, as in AutoCAD; and a prompt
/// longer than kMaxPromptCharacters keeps its start, marked as cut with kCutMark.
class CommandHistory {
public:
    /// The most lines kept; older ones are dropped.
    static constexpr std::size_t kMaxLines = 5000;
    /// The most characters (code points) of one prompt shown; AutoCAD's command line shows
    /// prompts of a few hundred characters, and any client may send a longer one.
    static constexpr std::size_t kMaxPromptCharacters = 512;
    /// Ends a prompt that was cut.
    static constexpr std::string_view kCutMark = "…";

    /// Appends a prompt to the open line. Leading breaks close the open line when it holds
    /// text (never make an empty line); breaks inside the prompt end lines.
    void prompt(std::string_view text);
    /// Appends what the person typed to the open line and closes it (Enter).
    void echo(std::string_view typed);
    /// Closes the open line if it holds text.
    void endLine();
    /// Drops the open line without keeping it (a prompt that another one replaces).
    void discardOpenLine() { m_open.clear(); }
    /// A message of the host on lines of its own (breaks inside end lines).
    void message(std::string_view text);

    /// Closed lines, oldest first (at most kMaxLines).
    const std::deque<std::string>& lines() const { return m_lines; }
    /// The line being written: the pending prompt and nothing typed.
    const std::string& openLine() const { return m_open; }
    /// How many lines were closed since the start, dropped ones included; lets a view append
    /// only what is new.
    std::uint64_t closedCount() const { return m_closedCount; }

    /// Hears every line as it is closed, before it joins lines(): a log of the session.
    void setLineSink(std::function<void(std::string_view)> sink) { m_lineSink = std::move(sink); }

private:
    void append(std::string_view text);
    void close();

    std::deque<std::string> m_lines;
    std::string m_open;
    std::uint64_t m_closedCount = 0;
    std::function<void(std::string_view)> m_lineSink;
};

} // namespace vexilo::cadhost
