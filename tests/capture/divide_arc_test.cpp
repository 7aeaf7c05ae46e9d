// 圆弧等分: the division's answers, the points against ezdxf's for arcs of either extrusion in
// both systems, and the command's ends.
#include "capture/divide_arc.h"

#include "../support/json_value.h"
#include "capture/arc_division.h"
#include "capture_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vexilo::capture {
namespace {

using automation::kCancelCode;
using test::Json;

TEST(ParseDivision, TakesWholePartsOrASpacingAfterAt) {
    struct Case {
        const char* answer;
        int parts;
        double spacing; // no count and no spacing: refused
    };
    const Case cases[] = {
        {"8", 8, 0},   {" 1 ", 1, 0}, {"@2.5", 0, 2.5}, {"@ 10", 0, 10}, {"0", 0, 0},
        {"-3", 0, 0},  {"1.5", 0, 0}, {"@0", 0, 0},     {"@-1", 0, 0},   {"@x", 0, 0},
        {"abc", 0, 0}, {"@", 0, 0},   {"8a", 0, 0},     {"@inf", 0, 0},
    };
    for (const Case& c : cases) {
        const std::optional<Division> division = parseDivision(c.answer);
        if (c.parts == 0 && c.spacing == 0) {
            EXPECT_FALSE(division) << c.answer;
            continue;
        }
        ASSERT_TRUE(division) << c.answer;
        EXPECT_EQ(division->parts, c.parts) << c.answer;
        EXPECT_EQ(division->spacing, c.spacing) << c.answer;
    }
}

cad::Point3 point(const Json& json) {
    return {json[0].number, json[1].number, json[2].number};
}

class DivideArcTest : public CaptureTest {
protected:
    std::shared_ptr<cad::fake::FakeEntity> arcOf(const Json& c) {
        auto arc = cad.arc("A", point(c["center"]), c["radius"].number, c["startAngle"].number,
                           c["endAngle"].number);
        arc->startPointValue = point(c["startPoint"]);
        arc->normalValue = point(c["normal"]);
        arc->arcLengthValue = c["arcLength"].number;
        return arc;
    }
};

TEST_F(DivideArcTest, PointsAreEzdxfsForEitherExtrusionInBothSystems) {
    const Json data = test::readJsonFile(VEXILO_TEST_DATA "/capture/arc_division.json");
    ASSERT_FALSE(data["cases"].array.empty());
    cad.utility->ucsOrigin = point(data["user"]["origin"]);
    cad.utility->ucsXAxis = point(data["user"]["x"]);
    cad.utility->ucsYAxis = point(data["user"]["y"]);
    cad.options.decimalPlaces = "9";
    for (const Json& c : data["cases"].array) {
        SCOPED_TRACE(c["name"].string);
        cad::clearTable(table);
        cad.options.userSystem = c["userSystem"].boolean;
        cad.utility->answerEntity(arcOf(c));
        cad.utility->answerString(c["answer"].string);
        cad.utility->answerString("HD");
        divideArc(context);

        const std::vector<Json>& expected = c["points"].array;
        ASSERT_EQ(table.rowCount() - 1, static_cast<int>(expected.size()));
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const int row = static_cast<int>(i) + 1;
            EXPECT_EQ(table.cell(row, 1), "HD-" + std::to_string(row));
            const cad::RowPoint& kept = table.point(row);
            ASSERT_TRUE(kept.x && kept.y && kept.z);
            EXPECT_NEAR(*kept.x, expected[i][0].number, 2e-9) << "point " << row;
            EXPECT_NEAR(*kept.y, expected[i][1].number, 2e-9) << "point " << row;
            EXPECT_NEAR(*kept.z, expected[i][2].number, 2e-9) << "point " << row;
        }
    }
}

TEST_F(DivideArcTest, RowsFollowTheOptionsAndTheLengthIsShownAsYhShowsIt) {
    cad.options.userSystem = false;
    cad.options.decimalPlaces = "2";
    cad.options.scale = "2";
    cad.utility->answerEntity(cad.arc("A", {10.0, 20.0, 0.0}, 5.0, 0.0, 3.141592653589793));
    cad.utility->answerString("2");
    cad.utility->answerString("K");
    divideArc(context);

    EXPECT_EQ(rows(),
              (std::vector<Row>{
                  {"1", "K-1", "40", "30"}, {"2", "K-2", "50", "20"}, {"3", "K-3", "40", "10"}}));
    EXPECT_EQ(prompts(), (Log{std::string(kArcPrompt), pointCountPrompt(5.0 * 3.141592653589793),
                              std::string(kArcCodePrompt)}));
    EXPECT_EQ(afterAttach().front(), "minimise");
    EXPECT_EQ(afterAttach().back(), "restore");
}

TEST_F(DivideArcTest, EveryEndRestoresTheWindowAndAddsNothing) {
    struct Case {
        const char* what;
        std::function<void(cad::fake::FakeCad&)> script;
        const char* message; // nullptr: none
    };
    const auto arc = [](cad::fake::FakeCad& t) {
        t.utility->answerEntity(t.arc("A", {0.0, 0.0, 0.0}, 5.0, 0.0, 1.0));
    };
    const Case cases[] = {
        {"Esc at the arc",
         [](cad::fake::FakeCad& t) { t.utility->failRequest("GetEntity", kCancelCode); }, nullptr},
        {"a line", [](cad::fake::FakeCad& t) { t.utility->answerEntity(t.other("L", "AcDbLine")); },
         "选择的不是圆弧！"},
        {"Esc at the count",
         [&arc](cad::fake::FakeCad& t) {
             arc(t);
             t.utility->failRequest("GetString", kCancelCode);
         },
         nullptr},
        {"an empty count",
         [&arc](cad::fake::FakeCad& t) {
             arc(t);
             t.utility->answerString("");
         },
         nullptr},
        {"a count that is no division",
         [&arc](cad::fake::FakeCad& t) {
             arc(t);
             t.utility->answerString("0");
         },
         "请输入等分数（正整数），或 @ 加点的间距（正数）！"},
        {"Esc at the code",
         [&arc](cad::fake::FakeCad& t) {
             arc(t);
             t.utility->answerString("3");
             t.utility->failRequest("GetString", kCancelCode);
         },
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        cad.log->clear();
        c.script(cad);
        divideArc(context);
        EXPECT_EQ(table.rowCount(), 1);
        const Log calls = afterAttach();
        EXPECT_EQ(calls.back(), "restore");
        const Log boxes = cad.log->matching("information");
        if (c.message == nullptr) {
            EXPECT_TRUE(boxes.empty());
        } else {
            EXPECT_EQ(boxes.size(), 1U);
            EXPECT_NE(boxes.front().find(c.message), std::string::npos);
        }
    }
}

} // namespace
} // namespace vexilo::capture
