// Point recording: numeric options, user-system translation, codes and the rows it appends.
#include "cad/point_recorder.h"

#include "cad/fake/fake_cad.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace vexilo::cad {
namespace {

using fake::FakeCad;
using Row = std::vector<std::string>;

class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.Attach(cad.window, errors));
        cad.log->clear();
        errors.clear();
    }

    /// One point through the whole pipeline, as the point picker runs it.
    RowOutcome record(const Point3& world, const std::string& code) {
        std::optional<Point3> user;
        recorder.ToUserSystem(world, user, errors);
        return recorder.AppendPointRow(world, user, code, errors);
    }

    Row row(int index) const {
        Row cells;
        for (int column = 0; column < CoordinateTable::kColumnCount; ++column) {
            cells.push_back(table.cell(index, column));
        }
        return cells;
    }

    Row lastRow() const { return row(table.rowCount() - 1); }

    FakeCad cad;
    CadSession session{cad.registry};
    CoordinateTable table;
    PointRecorder recorder{session, table, cad.options};
    ErrorState errors;
};

TEST_F(RecorderTest, StartsAtZeroUntilTheOptionsAreRead) {
    EXPECT_EQ(recorder.decimalPlaces(), 0);
    EXPECT_EQ(recorder.scale(), 0);
    EXPECT_EQ(recorder.rowIndex(), 0);
}

TEST_F(RecorderTest, DefaultsPutTheDrawingsYUnderXAndRoundToThreePlaces) {
    recorder.ReadNumericOptions(errors);
    ASSERT_EQ(record({500123.45678, 3012345.6789, 0.0}, "A1"), RowOutcome::Added);
    EXPECT_EQ(lastRow(), (Row{"1", "A1", "3012345.679", "500123.457"}));
    EXPECT_EQ(cad.log->entries(),
              (std::vector<std::string>{
                  "TranslateCoordinates((500123.45678,3012345.6789,0),0,1,false)"}));
}

TEST_F(RecorderTest, SwapPutsTheDrawingsXUnderXInBothSystems) {
    cad.options.swap = true;
    recorder.ReadNumericOptions(errors);
    for (bool userSystem : {true, false}) {
        cad.options.userSystem = userSystem;
        record({500123.45678, 3012345.6789, 0.0}, "A1");
        EXPECT_EQ(lastRow(),
                  (Row{std::to_string(table.rowCount() - 1), "A1", "500123.457", "3012345.679"}))
            << (userSystem ? "user system" : "world system");
    }
}

TEST_F(RecorderTest, UserSystemShowsTheShiftedPointAndWorldSystemTheWorldPoint) {
    cad.utility->ucsOrigin = {100.0, 200.0, 0.0};
    recorder.ReadNumericOptions(errors);
    const Point3 world{1100.5, 2200.25, 9.0};

    cad.options.userSystem = false;
    record(world, "W");
    EXPECT_EQ(lastRow(), (Row{"1", "W", "2200.25", "1100.5"}));

    cad.options.userSystem = true;
    record(world, "U");
    EXPECT_EQ(lastRow(), (Row{"2", "U", "2000.25", "1000.5"}));

    cad.options.swap = true;
    record(world, "S");
    EXPECT_EQ(lastRow(), (Row{"3", "S", "1000.5", "2000.25"}));
}

TEST_F(RecorderTest, TheUserPointIsRequestedWhicheverSystemIsSelected) {
    cad.options.userSystem = false;
    recorder.ReadNumericOptions(errors);
    record({1.0, 2.0, 3.0}, "A");
    EXPECT_EQ(cad.log->matching("TranslateCoordinates(").size(), 1U);
}

TEST_F(RecorderTest, DecimalPlacesRoundHalvesToEvenWithoutPadding) {
    struct Case {
        const char* places;
        double value;
        const char* text;
    };
    const Case cases[] = {{"0", 12.5, "12"},   {"0", 13.5, "14"},           {"3", 12.5, "12.5"},
                          {"3", 7.0, "7"},     {"2", 0.125, "0.12"},        {"1", -2.25, "-2.2"},
                          {"3", 100.0, "100"}, {"5", 1.23456789, "1.23457"}};
    cad.options.userSystem = false;
    for (const Case& c : cases) {
        cad.options.decimalPlaces = c.places;
        recorder.ReadNumericOptions(errors);
        record({c.value, c.value, 0.0}, "A");
        EXPECT_EQ(lastRow()[2], c.text) << c.value << " at " << c.places;
        EXPECT_EQ(lastRow()[3], c.text) << c.value << " at " << c.places;
    }
}

TEST_F(RecorderTest, ScaleMultipliesBeforeRoundingAndZeroOrEmptyActsAsOne) {
    struct Case {
        const char* scale;
        int expectedScale;
        const char* x;
    };
    // The drawing's Y is 1.25 (under "X坐标"), its X 10.
    const Case cases[] = {{"2", 2, "2.5"},     {"", 1, "1.25"},    {"0", 1, "1.25"},
                          {"-1", -1, "-1.25"}, {"0.4", 1, "1.25"}, {"2.5", 2, "2.5"},
                          {"3.5", 4, "5"},     {"abc", 1, "1.25"}};
    cad.options.userSystem = false;
    cad.options.decimalPlaces = "2";
    for (const Case& c : cases) {
        cad.options.scale = c.scale;
        recorder.ReadNumericOptions(errors);
        EXPECT_EQ(recorder.scale(), c.expectedScale) << "scale text \"" << c.scale << "\"";
        record({10.0, 1.25, 0.0}, "A");
        EXPECT_EQ(lastRow()[2], c.x) << "scale text \"" << c.scale << "\"";
    }
}

TEST_F(RecorderTest, TheProductIsFormedBeforeRounding) {
    cad.options.userSystem = false;
    cad.options.decimalPlaces = "0";
    cad.options.scale = "3";
    recorder.ReadNumericOptions(errors);
    record({0.5, 0.5, 0.0}, "A");
    EXPECT_EQ(lastRow()[2], "2") << "3 × 0.5 = 1.5 rounds to 2; rounding 0.5 first would give 0";
}

TEST_F(RecorderTest, ValuesBeyondSixteenBitsKeepThePreviousCommandsValue) {
    cad.options.decimalPlaces = "40000";
    cad.options.scale = "40000";
    recorder.ReadNumericOptions(errors);
    EXPECT_EQ(recorder.decimalPlaces(), 0) << "0 when no earlier command set it";
    EXPECT_EQ(recorder.scale(), 1) << "a 0 scale still becomes 1";
    EXPECT_EQ(errors.lastCode(), automation::kOverflowCode);

    cad.options.decimalPlaces = "2";
    cad.options.scale = "5";
    recorder.ReadNumericOptions(errors);
    cad.options.decimalPlaces = "40000";
    cad.options.scale = "-40000";
    recorder.ReadNumericOptions(errors);
    EXPECT_EQ(recorder.decimalPlaces(), 2);
    EXPECT_EQ(recorder.scale(), 5);

    cad.options.decimalPlaces = "32767";
    cad.options.scale = "-32768";
    recorder.ReadNumericOptions(errors);
    EXPECT_EQ(recorder.decimalPlaces(), 32767);
    EXPECT_EQ(recorder.scale(), -32768);
}

TEST_F(RecorderTest, ReadDecimalPlacesLeavesTheScale) {
    cad.options.scale = "7";
    recorder.ReadNumericOptions(errors);
    cad.options.decimalPlaces = "1";
    cad.options.scale = "9";
    recorder.ReadDecimalPlaces(errors);
    EXPECT_EQ(recorder.decimalPlaces(), 1);
    EXPECT_EQ(recorder.scale(), 7);
}

TEST_F(RecorderTest, NegativeDecimalPlacesLeaveBothCoordinateCellsEmpty) {
    cad.options.decimalPlaces = "-1";
    recorder.ReadNumericOptions(errors);
    ASSERT_EQ(recorder.decimalPlaces(), -1);
    EXPECT_EQ(record({1.0, 2.0, 3.0}, "A"), RowOutcome::Added);
    EXPECT_EQ(lastRow(), (Row{"1", "A", "", ""}));
    EXPECT_EQ(errors.lastCode(), automation::kInvalidCallCode);
}

TEST_F(RecorderTest, ZIsNeverWritten) {
    cad.options.userSystem = false;
    recorder.ReadNumericOptions(errors);
    record({1.0, 2.0, 987654.321}, "A");
    for (const std::string& cell : lastRow()) {
        EXPECT_EQ(cell.find("987654"), std::string::npos);
    }
}

TEST_F(RecorderTest, AFailedTranslationLeavesTheUserPointAsItWas) {
    std::optional<Point3> user;
    cad.utility->failures.failNext("TranslateCoordinates", automation::kCancelCode);
    recorder.ToUserSystem({1.0, 2.0, 3.0}, user, errors);
    EXPECT_FALSE(user.has_value());
    EXPECT_TRUE(errors.cancelled());

    recorder.ToUserSystem({1.0, 2.0, 3.0}, user, errors);
    ASSERT_TRUE(user.has_value());
    cad.utility->failures.failNext("TranslateCoordinates", automation::kBusyCode);
    recorder.ToUserSystem({5.0, 6.0, 7.0}, user, errors);
    EXPECT_EQ(*user, (Point3{1.0, 2.0, 3.0}));
}

TEST_F(RecorderTest, NoUserPointLeavesTheCoordinateCellsOfTheUserSystemEmpty) {
    recorder.ReadNumericOptions(errors);
    EXPECT_EQ(recorder.AppendPointRow({1.0, 2.0, 3.0}, std::nullopt, "A", errors),
              RowOutcome::Added);
    EXPECT_EQ(lastRow(), (Row{"1", "A", "", ""}));
}

/// Writes down every cell write, in order.
class CellWrites : public TableObserver {
public:
    std::vector<std::pair<int, int>> cells;
    void rowsAboutToBeInserted(int, int) override {}
    void rowsInserted() override {}
    void rowsAboutToBeRemoved(int, int) override {}
    void rowsRemoved() override {}
    void cellChanged(int row, int column) override { cells.emplace_back(row, column); }
    void currentRowChanged(int) override {}
};

TEST_F(RecorderTest, CellsAreWrittenNumberCodeXThenY) {
    CellWrites writes;
    table.setObserver(&writes);
    recorder.ReadNumericOptions(errors);
    for (bool swap : {false, true}) {
        cad.options.swap = swap;
        record({1.0, 2.0, 0.0}, "A");
    }
    table.setObserver(nullptr);
    EXPECT_EQ(writes.cells, (std::vector<std::pair<int, int>>{
                                {1, 0}, {1, 1}, {1, 2}, {1, 3}, {2, 0}, {2, 1}, {2, 2}, {2, 3}}));
}

TEST_F(RecorderTest, TheNextRowIsNumberedByTheRowCountAfterADeletion) {
    recorder.ReadNumericOptions(errors);
    for (const char* code : {"A", "B", "C"}) {
        record({1.0, 2.0, 0.0}, code);
    }
    ASSERT_TRUE(table.setCurrentRow(2));
    deleteRow(table);
    record({1.0, 2.0, 0.0}, "D");
    EXPECT_EQ(row(1)[0], "1");
    EXPECT_EQ(row(2)[0], "3");
    EXPECT_EQ(row(3), (Row{"3", "D", "2", "1"}));
    EXPECT_EQ(recorder.rowIndex(), 3);
}

TEST_F(RecorderTest, RowsPastTheSixteenBitLimitAreNumbered) {
    recorder.ReadNumericOptions(errors);
    ASSERT_TRUE(table.setRowCount(32767));
    EXPECT_EQ(record({1.0, 2.0, 0.0}, "A"), RowOutcome::Added);
    EXPECT_EQ(lastRow(), (Row{"32767", "A", "2", "1"}));
    EXPECT_EQ(record({1.0, 2.0, 0.0}, "B"), RowOutcome::Added);
    EXPECT_EQ(lastRow(), (Row{"32768", "B", "2", "1"}));
}

TEST_F(RecorderTest, AFullTableAddsNothingAndSaysSo) {
    recorder.ReadNumericOptions(errors);
    ASSERT_TRUE(table.setRowCount(CoordinateTable::kMaxRowCount - 1));
    EXPECT_EQ(record({1.0, 2.0, 0.0}, "LAST"), RowOutcome::Added);
    EXPECT_EQ(lastRow(), (Row{"1048574", "LAST", "2", "1"}));
    EXPECT_EQ(table.rowCount(), CoordinateTable::kMaxRowCount);

    EXPECT_EQ(record({3.0, 4.0, 0.0}, "MORE"), RowOutcome::TableFull);
    EXPECT_EQ(table.rowCount(), CoordinateTable::kMaxRowCount);
    EXPECT_EQ(lastRow(), (Row{"1048574", "LAST", "2", "1"}));
}

class NextCodeTest : public RecorderTest {
protected:
    /// Codes given to `points` points in one command, the first typed as `first`.
    std::vector<std::string> codes(const std::string& first, int points) {
        std::string pointCode;
        cad.utility->answerString(first);
        std::vector<std::string> result;
        for (int i = 0; i < points; ++i) {
            recorder.NextCode(pointCode, kPointCodePrompt, errors);
            result.push_back(pointCode);
        }
        return result;
    }
};

TEST_F(NextCodeTest, WithoutIncrementEveryPointIsAsked) {
    std::string pointCode;
    cad.utility->answerString("A1");
    cad.utility->answerString("A2");
    recorder.NextCode(pointCode, kPointCodePrompt, errors);
    EXPECT_EQ(pointCode, "A1");
    recorder.NextCode(pointCode, kPointCodePrompt, errors);
    EXPECT_EQ(pointCode, "A2");
    EXPECT_EQ(cad.log->entries(),
              (std::vector<std::string>{
                  "GetString(false,\"\r命令：请输入点的编码：<退出键取消输入>\")",
                  "GetString(false,\"\r命令：请输入点的编码：<退出键取消输入>\")"}));
}

TEST_F(NextCodeTest, IncrementAsksOnceThenAddsTheStep) {
    cad.options.codeIncrement = true;
    struct Case {
        const char* first;
        const char* step;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"5", "1", {"5", "6", "7"}},         {"007", "1", {"007", "8", "9"}},
        {"10", "2", {"10", "12", "14"}},     {"K1", "1", {"K1", "K1", "K1"}},
        {"1.5", "1", {"1.5", "2.5", "3.5"}}, {"5", "", {"5", "5", "5"}},
        {"-1", "1", {"-1", "0", "1"}},       {"0.1", "0.2", {"0.1", "0.3", "0.5"}},
    };
    for (const Case& c : cases) {
        cad.options.increment = c.step;
        cad.log->clear();
        EXPECT_EQ(codes(c.first, 3), c.expected) << c.first << " step \"" << c.step << "\"";
        EXPECT_EQ(cad.log->entries().size(), 1U) << "asked once only";
    }
}

TEST_F(NextCodeTest, TheStepIsReadForEveryPoint) {
    cad.options.codeIncrement = true;
    std::string pointCode = "10";
    recorder.NextCode(pointCode, kPointCodePrompt, errors);
    EXPECT_EQ(pointCode, "11");
    cad.options.increment = "5";
    recorder.NextCode(pointCode, kPointCodePrompt, errors);
    EXPECT_EQ(pointCode, "16");
}

TEST_F(NextCodeTest, ACodeThatIsNotANumberStaysWithAStepFailure) {
    cad.options.codeIncrement = true;
    std::string pointCode = "12A";
    recorder.NextCode(pointCode, kPointCodePrompt, errors);
    EXPECT_EQ(pointCode, "12A");
    EXPECT_EQ(errors.lastCode(), automation::kTypeMismatchCode);
    EXPECT_TRUE(cad.log->entries().empty());
}

TEST_F(NextCodeTest, EscKeepsTheCodeAndLeavesTheCancelCodeForTheCaller) {
    std::string pointCode = "A1";
    cad.utility->failRequest("GetString", automation::kCancelCode);
    recorder.NextCode(pointCode, kPointCodePrompt, errors);
    EXPECT_EQ(pointCode, "A1");
    EXPECT_TRUE(errors.cancelled());
}

TEST_F(NextCodeTest, EnterAloneEmptiesTheCode) {
    std::string pointCode = "A1";
    cad.utility->answerString("");
    recorder.NextCode(pointCode, kPointCodePrompt, errors);
    EXPECT_EQ(pointCode, "");
    EXPECT_TRUE(errors.isClear());
}

} // namespace
} // namespace vexilo::cad
