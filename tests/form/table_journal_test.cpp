// The table journal: the last ten kept tables newest first, restore with the kept points, the
// live table of a window that did not close, malformed records.
#include "form/table_journal.h"

#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace vexilo::form {
namespace {

using namespace std::chrono_literals;
using testing::ScratchFolder;

cad::CoordinateTable tableOf(int rows, const std::string& code) {
    cad::CoordinateTable table;
    for (int i = 1; i <= rows; ++i) {
        table.appendRow({std::to_string(i), code, std::to_string(i) + ".5", "7"},
                        {7.0, i + 0.5, i == 1 ? std::nullopt : std::optional<double>(-0.125)});
    }
    return table;
}

const std::chrono::system_clock::time_point kNoon =
    std::chrono::sys_days{std::chrono::year{2026} / 12 / 7} + 12h;

TEST(TableJournal, KeepsTheLastTenNewestFirstWithTheirTimeAndRowCount) {
    ScratchFolder scratch;
    TableJournal journal(scratch.path() / "journal");
    EXPECT_TRUE(journal.entries().empty());
    EXPECT_TRUE(journal.keep(cad::CoordinateTable(), kNoon));
    EXPECT_TRUE(journal.entries().empty()) << "an empty table is not kept";
    for (int i = 1; i <= 12; ++i) {
        // Two within the same second as well.
        ASSERT_TRUE(journal.keep(tableOf(i, "K"), kNoon + std::chrono::seconds(i / 2)));
    }
    const std::vector<JournalEntry> entries = journal.entries();
    ASSERT_EQ(entries.size(), 10U);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].rows, 12 - static_cast<int>(i));
    }
    EXPECT_EQ(entries.front().time.size(), std::string("2026-12-07 12:00:06").size());
}

TEST(TableJournal, RestoreBringsBackTextsAndPointsAndKeepsTheTableItReplaces) {
    ScratchFolder scratch;
    TableJournal journal(scratch.path());
    cad::CoordinateTable kept = tableOf(3, "J\t1\\");
    ASSERT_TRUE(journal.keep(kept, kNoon));
    cad::CoordinateTable table = tableOf(2, "now");
    ASSERT_TRUE(journal.restore(journal.entries().front(), table, kNoon + 1s));

    ASSERT_EQ(table.rowCount(), 4);
    for (int row = 1; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            EXPECT_EQ(table.cell(row, column), kept.cell(row, column));
        }
        EXPECT_EQ(table.point(row), kept.point(row));
    }
    const std::vector<JournalEntry> entries = journal.entries();
    ASSERT_EQ(entries.size(), 2U);
    EXPECT_EQ(entries.front().rows, 2) << "the replaced table is kept first";
}

TEST(TableJournal, TheLiveTableOfAWindowThatDidNotCloseIsKeptAtStart) {
    ScratchFolder scratch;
    {
        TableJournal journal(scratch.path());
        ASSERT_TRUE(journal.writeCurrent(tableOf(5, "K")));
    }
    TableJournal journal(scratch.path());
    ASSERT_TRUE(journal.keepUnclosed());
    ASSERT_EQ(journal.entries().size(), 1U);
    EXPECT_EQ(journal.entries().front().rows, 5);
    ASSERT_TRUE(journal.keepUnclosed());
    EXPECT_EQ(journal.entries().size(), 1U) << "kept once only";
}

TEST(TableJournal, AMalformedRecordIsRefusedAndTheTableStaysAsItWas) {
    const std::string good = journalText(tableOf(2, "K"), "2026-12-07 12:00:00");
    const std::string cases[] = {
        "",
        "not a journal\n",
        good.substr(0, good.size() - 10),
        good + "extra\tline\n",
        "vexilo-table-journal 1\t2026-12-07 12:00:00\t1\n1\tK\t1\t2\tx\t2\t\n",
        "vexilo-table-journal 1\t2026-12-07 12:00:00\t1\n1\tK\\q\t1\t2\t1\t2\t\n",
    };
    for (const std::string& text : cases) {
        cad::CoordinateTable table = tableOf(1, "now");
        EXPECT_FALSE(restoreJournalText(text, table)) << text;
        EXPECT_EQ(table.rowCount(), 2);
        EXPECT_EQ(table.cell(1, 1), "now");
    }
    cad::CoordinateTable table;
    EXPECT_TRUE(restoreJournalText(good, table));
    EXPECT_EQ(table.rowCount(), 3);
}

} // namespace
} // namespace vexilo::form
