// The table's journal: the live table kept on disk as it changes, and the last ten tables as
// they were when they were cleared or the window closed, so that none is lost by one click.
#pragma once

#include "cad/coordinate_table.h"
#include "common/expected.h"
#include "form/atomic_file.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace vexilo::form {

/// One kept table, as 恢复上次的表格 lists it.
struct JournalEntry {
    std::filesystem::path file;
    std::string time; ///< local time it was kept, "2026-12-07 15:45:01"
    int rows = 0;     ///< data rows
};

/// The table's texts and kept points as journal text: a first line naming the format, the time
/// and the row count, then one line per data row of seven tab-separated fields (number, code,
/// the two coordinate texts, then east, north and height as exact decimals, empty when absent);
/// tabs, line breaks and backslashes in texts are escaped.
std::string journalText(const cad::CoordinateTable& table, const std::string& time);

/// Replaces the table's data rows with those of journal text, which is checked whole first: a
/// malformed text fails with a message and leaves the table as it was. After it the restored
/// rows are nobody's capture: an undo takes none of them.
Status<std::string> restoreJournalText(const std::string& text, cad::CoordinateTable& table);

/// A journal in one folder (created when first written): "current" holds the live table;
/// "table-<time>-<n>" files hold kept tables, of which the newest kMaxKept stay.
class TableJournal {
public:
    static constexpr int kMaxKept = 10;

    explicit TableJournal(std::filesystem::path folder) : m_folder(std::move(folder)) {}

    const std::filesystem::path& folder() const { return m_folder; }

    /// Writes the live table atomically.
    Status<FileFailure> writeCurrent(const cad::CoordinateTable& table);
    /// Keeps the table as it is now (nothing for a table without data rows), drops the oldest
    /// beyond kMaxKept and removes the live file: what is kept before a clear and at closing.
    Status<FileFailure> keep(const cad::CoordinateTable& table,
                             std::chrono::system_clock::time_point when);
    /// At start-up: a live file left by a window that did not close (a crash, a killed
    /// session) becomes a kept table, with the time it was last written.
    Status<FileFailure> keepUnclosed();
    /// The kept tables, newest first; unreadable files are left out.
    std::vector<JournalEntry> entries() const;
    /// Brings a kept table back into `table`. The table as it was, when it has rows, is kept
    /// first, so that nothing is lost. Fails with a message, the table unchanged.
    Status<std::string> restore(const JournalEntry& entry, cad::CoordinateTable& table,
                                std::chrono::system_clock::time_point now);

private:
    Status<FileFailure> keepText(const std::string& text, const std::string& stamp);

    std::filesystem::path m_folder;
};

} // namespace vexilo::form
