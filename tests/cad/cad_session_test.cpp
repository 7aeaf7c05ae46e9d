// Attaching through the identifier chain, ThisDrawing, releasing, and the error state.
#include "cad/cad_session.h"

#include "cad/error_state.h"
#include "cad/fake/fake_cad.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vexilo::cad {
namespace {

using fake::FakeCad;
using fake::FakeDocument;
using Log = std::vector<std::string>;

TEST(ErrorState, AssignLeavesTheTargetWhenTheStepFails) {
    ErrorState errors;
    int target = 7;
    EXPECT_FALSE(errors.assign(target, CadResult<int>(unexpected(automation::kCancelCode))));
    EXPECT_EQ(target, 7);
    EXPECT_TRUE(errors.cancelled());
    EXPECT_TRUE(errors.assign(target, CadResult<int>(9)));
    EXPECT_EQ(target, 9);
    EXPECT_EQ(errors.lastCode(), automation::kCancelCode)
        << "a later success does not clear the state";
    errors.clear();
    EXPECT_TRUE(errors.isClear());
    EXPECT_EQ(errors.lastCode(), 0);
}

TEST(ErrorState, KeepsTheLastFailureAndNeverReadsAFailureAsSuccess) {
    ErrorState errors;
    EXPECT_FALSE(errors.check(CadStatus(unexpected(automation::kNoDocumentCode))));
    EXPECT_FALSE(errors.check(CadStatus(unexpected(automation::kNotRunningCode))));
    EXPECT_EQ(errors.lastCode(), automation::kNotRunningCode);
    EXPECT_TRUE(errors.check(CadStatus()));
    EXPECT_EQ(errors.lastCode(), automation::kNotRunningCode);
    errors.record(0);
    EXPECT_EQ(errors.lastCode(), automation::kGenericFailureCode);
}

class AttachTest : public ::testing::Test {
protected:
    FakeCad cad;
    CadSession session{cad.registry};
    ErrorState errors;

    const Log& log() const { return cad.log->entries(); }
};

TEST_F(AttachTest, FoundOnTheFirstTryTriesNoVersionedIdentifier) {
    EXPECT_TRUE(session.Attach(cad.window, errors));
    EXPECT_EQ(log(), (Log{"bind(AutoCAD.Application)", "ActiveDocument", "WindowState=3"}));
    EXPECT_EQ(session.application(), cad.application);
    EXPECT_EQ(session.document(), cad.document);
    EXPECT_EQ(cad.application->windowState, kWindowMaximised);
    EXPECT_TRUE(errors.isClear());
}

TEST_F(AttachTest, AttachesOnTheFourthTryAndTriesNeitherNineteenNorTwenty) {
    cad.registry.running.clear();
    cad.registry.running["AutoCAD.Application.18"] = cad.application;
    EXPECT_TRUE(session.Attach(cad.window, errors));
    EXPECT_EQ(log(), (Log{"bind(AutoCAD.Application)", "bind(AutoCAD.Application.16)",
                          "bind(AutoCAD.Application.17)", "bind(AutoCAD.Application.18)",
                          "ActiveDocument", "WindowState=3"}));
    EXPECT_TRUE(errors.isClear()) << "the state is cleared before each try";
}

TEST_F(AttachTest, AttachesOnTheLastTry) {
    cad.registry.running.clear();
    cad.registry.running["AutoCAD.Application.20"] = cad.application;
    EXPECT_TRUE(session.Attach(cad.window, errors));
    EXPECT_EQ(cad.log->matching("bind(").size(), 6U);
    EXPECT_TRUE(cad.log->matching("information:").empty());
}

TEST_F(AttachTest, NoCadShowsTheMessageOnceAndChangesNothingElse) {
    cad.registry.running.clear();
    EXPECT_FALSE(session.Attach(cad.window, errors));
    EXPECT_EQ(log(), (Log{"bind(AutoCAD.Application)", "bind(AutoCAD.Application.16)",
                          "bind(AutoCAD.Application.17)", "bind(AutoCAD.Application.18)",
                          "bind(AutoCAD.Application.19)", "bind(AutoCAD.Application.20)",
                          "information:请先打开CAD软件！"}));
    EXPECT_EQ(session.application(), nullptr);
    EXPECT_EQ(session.document(), nullptr);
    EXPECT_EQ(errors.lastCode(), automation::kNotRunningCode);
}

TEST_F(AttachTest, AFailedAttachKeepsTheReferencesOfAnEarlierOne) {
    ASSERT_TRUE(session.Attach(cad.window, errors));
    cad.registry.running.clear();
    EXPECT_FALSE(session.Attach(cad.window, errors));
    EXPECT_EQ(session.application(), cad.application);
    EXPECT_EQ(session.document(), cad.document);
}

TEST_F(AttachTest, NoDrawingIsSkippedAndTheWindowIsStillMaximised) {
    cad.application->active.reset();
    EXPECT_TRUE(session.Attach(cad.window, errors));
    EXPECT_EQ(session.document(), nullptr);
    EXPECT_EQ(log(), (Log{"bind(AutoCAD.Application)", "ActiveDocument", "WindowState=3"}));
    EXPECT_EQ(errors.lastCode(), automation::kNoDocumentCode);
    EXPECT_TRUE(cad.log->matching("information:").empty());
}

TEST_F(AttachTest, NoDrawingKeepsTheDocumentOfAnEarlierAttach) {
    ASSERT_TRUE(session.Attach(cad.window, errors));
    cad.application->failures.failNext("ActiveDocument", automation::kNoDocumentCode);
    EXPECT_TRUE(session.Attach(cad.window, errors));
    EXPECT_EQ(session.document(), cad.document);
}

TEST_F(AttachTest, AFailedWindowStateIsIgnored) {
    cad.application->failures.failNext("WindowState", automation::kBusyCode);
    EXPECT_TRUE(session.Attach(cad.window, errors));
    EXPECT_EQ(session.document(), cad.document);
    EXPECT_EQ(errors.lastCode(), automation::kBusyCode);
}

TEST_F(AttachTest, ThisDrawingBeforeAnyAttachIsNothingAndAsksNothing) {
    const auto drawing = session.ThisDrawing();
    ASSERT_TRUE(drawing.has_value());
    EXPECT_EQ(drawing.value(), nullptr);
    EXPECT_TRUE(log().empty());
}

TEST_F(AttachTest, ThisDrawingReturnsTheDrawingActiveAtTheMomentOfTheCall) {
    ASSERT_TRUE(session.Attach(cad.window, errors));
    auto second = std::make_shared<FakeDocument>(cad.log, "Drawing2");
    cad.application->active = second;
    cad.log->clear();
    const auto drawing = session.ThisDrawing();
    ASSERT_TRUE(drawing.has_value());
    EXPECT_EQ(drawing.value(), second);
    EXPECT_EQ(session.document(), cad.document) << "the held document is not replaced";
    EXPECT_EQ(log(), (Log{"ActiveDocument"}));
}

TEST_F(AttachTest, ThisDrawingPassesAFailureToTheCaller) {
    ASSERT_TRUE(session.Attach(cad.window, errors));
    cad.application->active.reset();
    const auto drawing = session.ThisDrawing();
    ASSERT_FALSE(drawing.has_value());
    EXPECT_EQ(drawing.error(), automation::kNoDocumentCode);
}

TEST_F(AttachTest, RequestsWithoutADocumentFailWithoutReachingTheCad) {
    const auto point = session.onUtility([](Utility& utility) { return utility.getPoint("p"); });
    ASSERT_FALSE(point.has_value());
    EXPECT_EQ(point.error(), automation::kObjectNotSetCode);
    EXPECT_TRUE(log().empty());
}

TEST_F(AttachTest, AFailedUtilityReadFailsTheRequestWithItsCode) {
    ASSERT_TRUE(session.Attach(cad.window, errors));
    cad.document->failures.failNext("Utility", automation::kDisconnectedCode);
    const auto point = session.onUtility([](Utility& utility) { return utility.getPoint("p"); });
    ASSERT_FALSE(point.has_value());
    EXPECT_EQ(point.error(), automation::kDisconnectedCode);
    EXPECT_TRUE(cad.log->matching("GetPoint").empty());
}

/// Records the order in which the session lets go of its references.
struct ReleaseOrder {
    std::vector<std::string> released;
};

class TrackedDocument : public Document {
public:
    explicit TrackedDocument(ReleaseOrder& order) : m_order(order) {}
    ~TrackedDocument() override { m_order.released.push_back("document"); }
    CadResult<std::shared_ptr<Utility>> utility() override {
        return unexpected(automation::kBusyCode);
    }

private:
    ReleaseOrder& m_order;
};

class TrackedApplication : public Application {
public:
    TrackedApplication(ReleaseOrder& order, std::shared_ptr<Document> document)
        : m_order(order), m_document(std::move(document)) {}
    ~TrackedApplication() override { m_order.released.push_back("application"); }
    CadResult<std::shared_ptr<Document>> activeDocument() override {
        auto document = std::move(m_document);
        return document;
    }
    CadStatus setWindowState(int) override { return {}; }

private:
    ReleaseOrder& m_order;
    std::shared_ptr<Document> m_document;
};

class OneApplicationRegistry : public RunningObjectRegistry {
public:
    explicit OneApplicationRegistry(std::shared_ptr<Application> application)
        : m_application(std::move(application)) {}
    CadResult<std::shared_ptr<Application>> bind(std::string_view) override {
        auto application = std::move(m_application);
        return application;
    }

private:
    std::shared_ptr<Application> m_application;
};

TEST(CadSessionRelease, ReleasesTheApplicationFirstThenTheDocument) {
    ReleaseOrder order;
    OneApplicationRegistry registry(
        std::make_shared<TrackedApplication>(order, std::make_shared<TrackedDocument>(order)));
    FakeCad cad;
    CadSession session(registry);
    ErrorState errors;
    ASSERT_TRUE(session.Attach(cad.window, errors));
    EXPECT_TRUE(order.released.empty());
    session.release();
    EXPECT_EQ(order.released, (std::vector<std::string>{"application", "document"}));
}

} // namespace
} // namespace vexilo::cad
