// The polyline width report: segments of open and closed polylines, the texts of its boxes, and
// every way of not picking a lightweight polyline.
#include "widthreport/width_report.h"

#include "cad/fake/fake_cad.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vexilo::widthreport {
namespace {

using cad::SegmentWidth;
using Log = std::vector<std::string>;

const std::string kNoPolyline = "plain[]:You did not select a polyline";

std::string box(const std::string& text) {
    return "plain[GetWidth Example]:" + text;
}

class WidthReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        cad::ErrorState errors;
        ASSERT_TRUE(session.Attach(cad.window, errors));
        cad.log->clear();
    }

    void TearDown() override {
        EXPECT_TRUE(cad.log->unscripted().empty());
        EXPECT_EQ(cad.utility->pendingAnswers(), 0U);
    }

    /// Message boxes shown, in order.
    Log boxes() const { return cad.log->matching("plain["); }

    std::shared_ptr<cad::fake::FakeEntity> triangle(bool closed) {
        auto polyline = cad.lwPolyline("P", {{1.0, 2.0}, {3.5, -4.25}, {100.0, 0.0}}, closed);
        polyline->widths = {SegmentWidth{0.5, 0.5}, SegmentWidth{0.0, 0.0},
                            SegmentWidth{1.25, 2.0}};
        return polyline;
    }

    cad::fake::FakeCad cad;
    cad::CadSession session{cad.registry};
};

TEST_F(WidthReportTest, AnOpenPolylineOfThreeVerticesGivesTwoBoxes) {
    cad.utility->answerEntity(triangle(false));
    Example_GetWidth(session, cad.window);
    EXPECT_EQ(boxes(),
              (Log{box("The segment that begins at 1,2 has a start width of 0.5 and an end width "
                       "of 0.5"),
                   box("The segment that begins at 3.5,-4.25 has a start width of 0 and an end "
                       "width of 0")}));
}

TEST_F(WidthReportTest, AClosedPolylineOfThreeVerticesGivesThreeBoxesTheLastAtTheThirdVertex) {
    cad.utility->answerEntity(triangle(true));
    Example_GetWidth(session, cad.window);
    ASSERT_EQ(boxes().size(), 3U);
    EXPECT_EQ(boxes()[2], box("The segment that begins at 100,0 has a start width of 1.25 and an "
                              "end width of 2"));
}

TEST_F(WidthReportTest, AnOpenPolylineOfTwoVerticesGivesOneBox) {
    cad.utility->answerEntity(cad.lwPolyline("P", {{0.0, 0.0}, {1.0, 1.0}}));
    Example_GetWidth(session, cad.window);
    EXPECT_EQ(boxes(), (Log{box("The segment that begins at 0,0 has a start width of 0 and an end "
                                "width of 0")}));
}

TEST_F(WidthReportTest, EachSegmentsWidthIsReadJustBeforeItsBox) {
    cad.utility->answerEntity(triangle(false));
    Example_GetWidth(session, cad.window);
    const Log expected{"ActiveDocument",
                       "GetEntity(\"Select a polyline\")",
                       "P.EntityName",
                       "P.Coordinates",
                       "P.Closed",
                       "P.GetWidth(0)",
                       box("The segment that begins at 1,2 has a start width of 0.5 and an end "
                           "width of 0.5"),
                       "P.GetWidth(1)",
                       box("The segment that begins at 3.5,-4.25 has a start width of 0 and an "
                           "end width of 0")};
    EXPECT_EQ(cad.log->entries(), expected);
}

TEST_F(WidthReportTest, ASegmentWhoseWidthsAreNotDeliveredSaysSoInsteadOfRepeatingOthers) {
    auto polyline = triangle(false);
    polyline->widths[1].reset();
    cad.utility->answerEntity(polyline);
    Example_GetWidth(session, cad.window);
    ASSERT_EQ(boxes().size(), 2U);
    EXPECT_EQ(boxes()[1], box("The segment that begins at 3.5,-4.25 has a start width of unknown "
                              "and an end width of unknown"));
}

TEST_F(WidthReportTest, EveryFailedPickShowsTheMessageAndNothingElse) {
    struct Case {
        const char* name;
        std::function<void()> script;
    };
    const Case cases[] = {
        {"Esc", [this] { cad.utility->failRequest("GetEntity", automation::kCancelCode); }},
        {"a miss",
         [this] { cad.utility->failRequest("GetEntity", automation::kNothingPickedCode); }},
        {"a line", [this] { cad.utility->answerEntity(cad.other("L", "AcDbLine")); }},
        {"a circle", [this] { cad.utility->answerEntity(cad.other("C", "AcDbCircle")); }},
        {"a 3D polyline",
         [this] {
             cad.utility->answerEntity(cad.polyline3d("D", {{0.0, 0.0, 0.0}}));
         }},
        {"an old-style 2D polyline",
         [this] { cad.utility->answerEntity(cad.other("O", "AcDb2dPolyline")); }},
        {"an entity name that differs from the object name",
         [this] {
             auto polyline = cad.lwPolyline("P", {{0.0, 0.0}, {1.0, 1.0}});
             polyline->entityNameValue = "AcDbPolyline2";
             cad.utility->answerEntity(polyline);
         }},
        {"no drawing", [this] { cad.application->active.reset(); }},
        {"no utility",
         [this] { cad.document->failures.failNext("Utility", automation::kBusyCode); }},
    };
    for (const Case& c : cases) {
        cad.log->clear();
        c.script();
        Example_GetWidth(session, cad.window);
        EXPECT_EQ(boxes(), (Log{kNoPolyline})) << c.name;
    }
}

TEST_F(WidthReportTest, BeforeAnyAttachShowsTheMessageWithoutAskingTheCad) {
    cad::fake::FakeCad other;
    cad::CadSession fresh(other.registry);
    Example_GetWidth(fresh, other.window);
    EXPECT_EQ(other.log->entries(), (Log{kNoPolyline}));
}

TEST_F(WidthReportTest, WorksOnTheDrawingActiveNowNotTheOneOfTheAttach) {
    auto second = std::make_shared<cad::fake::FakeDocument>(cad.log, "Drawing2");
    cad.application->active = second;
    second->fakeUtility->answerEntity(cad.lwPolyline("P", {{0.0, 0.0}, {1.0, 1.0}}));
    Example_GetWidth(session, cad.window);
    EXPECT_EQ(boxes().size(), 1U);
    EXPECT_EQ(second->fakeUtility->pendingAnswers(), 0U);
}

TEST_F(WidthReportTest, ANonPolylineOrEmptyCoordinatesGiveNoBox) {
    auto polyline = cad.lwPolyline("P", {}, true);
    cad.utility->answerEntity(polyline);
    Example_GetWidth(session, cad.window);
    EXPECT_TRUE(boxes().empty());

    auto unreadable = cad.lwPolyline("Q", {{0.0, 0.0}, {1.0, 1.0}}, true);
    unreadable->failures.failNext("Coordinates", automation::kBusyCode);
    cad.utility->answerEntity(unreadable);
    Example_GetWidth(session, cad.window);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(WidthReportTest, AnUnreadableClosedFlagCountsAsOpen) {
    auto polyline = triangle(true);
    polyline->failures.failNext("Closed", automation::kBusyCode);
    cad.utility->answerEntity(polyline);
    Example_GetWidth(session, cad.window);
    EXPECT_EQ(boxes().size(), 2U);
}

TEST(SegmentText, WritesNumbersInTheGeneralFormAndUnknownForMissingOnes) {
    EXPECT_EQ(segmentText(0.1 + 0.2, -1234.5, 100.0, 0.25),
              "The segment that begins at 0.3,-1234.5 has a start width of 100 and an end width "
              "of 0.25");
    EXPECT_EQ(segmentText(std::nullopt, 2.0, std::nullopt, std::nullopt),
              "The segment that begins at unknown,2 has a start width of unknown and an end "
              "width of unknown");
}

} // namespace
} // namespace vexilo::widthreport
