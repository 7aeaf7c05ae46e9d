// The whole main job end to end: vexilo's window and commands in this process, the real
// vexilo-cad as a separate process (offscreen, answering from a script), and a private session
// bus between them. Expected coordinates come from ezdxf (tests/e2e/make_expected.py).
#include "app/form_cad.h"
#include "app/form_cad_operations.h"
#include "cad/dbus/dbus_backend.h"
#include "export/report_export.h"
#include "host_process.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace vexilo {
namespace {

using app::FormCAD;

using e2e::kDefaultProgId;

QJsonObject expectedPicks() {
    QFile file(QStringLiteral(VEXILO_SOURCE_DIR "/tests/data/e2e/site_expected.json"));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read site_expected.json";
        return {};
    }
    return QJsonDocument::fromJson(file.readAll()).object().value("picks").toObject();
}

QJsonObject pick(const char* name) {
    return expectedPicks().value(name).toObject();
}

// The script line that picks `name`: its point in the user system, as typed.
QString typedPoint(const QJsonObject& entry) {
    const QJsonArray p = entry.value("pick_user").toArray();
    return QStringLiteral("%1,%2").arg(p[0].toDouble(), 0, 'f', 9).arg(p[1].toDouble(), 0, 'f', 9);
}

// vexilo-cad on the sample drawing, answering from a script, on this test's bus.
class Host : public e2e::HostProcess {
public:
    explicit Host(const QStringList& scriptLines, const QStringList& progIds = {kDefaultProgId},
                  bool withDrawing = true)
        : HostProcess(scriptLines, progIds,
                      withDrawing ? QStringLiteral(VEXILO_SOURCE_DIR "/samples/site.dxf")
                                  : QString()) {
        EXPECT_TRUE(ready()) << "vexilo-cad did not register on the bus";
    }
};

// vexilo's window with its commands over the session bus; message boxes are recorded.
class Utility {
public:
    Utility() : m_operations(m_window, m_registry) {
        m_window.setMessagePresenter(
            [this](const FormCAD::Message& m) { messages.push_back(m.title + "|" + m.text); });
        m_window.show();
    }
    app::FormCadOperations& operations() { return m_operations; }
    FormCAD& window() { return m_window; }
    std::vector<std::vector<std::string>> rows() const {
        std::vector<std::vector<std::string>> result;
        const cad::CoordinateTable& t = m_window.table();
        for (int r = 1; r < t.rowCount(); ++r) {
            result.push_back({t.cell(r, 0), t.cell(r, 1), t.cell(r, 2), t.cell(r, 3)});
        }
        return result;
    }
    void check(const char* name, bool on) { m_window.controlAs<QCheckBox>(name)->setChecked(on); }
    void worldSystem() { m_window.controlAs<QRadioButton>("Option1(1)")->setChecked(true); }

    std::vector<QString> messages;

private:
    FormCAD m_window;
    cad::dbus::DbusRegistry m_registry;
    app::FormCadOperations m_operations;
};

// A coordinate cell holds the value rounded to three places.
void expectCoordinate(const std::string& cell, double expected) {
    char* end = nullptr;
    const double value = std::strtod(cell.c_str(), &end);
    ASSERT_TRUE(!cell.empty() && *end == '\0') << "not a number: " << cell;
    EXPECT_NEAR(value, expected, 0.0005 + 1e-9) << cell;
}

// Rows of one polyline: codes K-1, K-2, ... and, unswapped, "X坐标" = Y and "Y坐标" = X.
void expectVertexRows(const std::vector<std::vector<std::string>>& rows, std::size_t first,
                      const QJsonArray& vertices, const std::string& code) {
    ASSERT_GE(rows.size(), first + static_cast<std::size_t>(vertices.size()));
    for (int v = 0; v < vertices.size(); ++v) {
        SCOPED_TRACE(v);
        const auto& row = rows[first + static_cast<std::size_t>(v)];
        EXPECT_EQ(row[1], code + "-" + std::to_string(v + 1));
        const QJsonArray p = vertices[v].toArray();
        expectCoordinate(row[2], p[1].toDouble());
        expectCoordinate(row[3], p[0].toDouble());
    }
}

TEST(PickPoints, TypedCodesThenEsc) {
    Host host({"12.3456,45.6789", "A1", "-20.5,7.25", "A2", "^C"});
    Utility vexilo;
    ASSERT_TRUE(vexilo.operations().Command1_Click());
    const auto rows = vexilo.rows();
    ASSERT_EQ(rows.size(), 2U);
    EXPECT_EQ(rows[0][0], "1");
    EXPECT_EQ(rows[0][1], "A1");
    EXPECT_EQ(rows[0][2], "45.679");
    EXPECT_EQ(rows[0][3], "12.346");
    EXPECT_EQ(rows[1][0], "2");
    EXPECT_EQ(rows[1][1], "A2");
    EXPECT_EQ(rows[1][2], "7.25");
    EXPECT_EQ(rows[1][3], "-20.5");
    EXPECT_TRUE(vexilo.messages.empty());
    EXPECT_FALSE(vexilo.window().isMinimized());
    EXPECT_TRUE(host.history().contains(QStringLiteral("请选择点：<退出键取消选择> ")));
    EXPECT_TRUE(host.history().contains(QStringLiteral("命令：请输入点的编码：<退出键取消输入>")));
}

TEST(PickPoints, CodeIncrementAndEscAtTheCodePrompt) {
    Host host({"1,1", "10", "2,2", "3,3", "^C", "4,4", "B7", "5,5", "^C"});
    Utility vexilo;
    vexilo.check("Check2", true);
    ASSERT_TRUE(vexilo.operations().Command1_Click());
    vexilo.check("Check2", false);
    ASSERT_TRUE(vexilo.operations().Command1_Click());
    const auto rows = vexilo.rows();
    ASSERT_EQ(rows.size(), 4U);
    EXPECT_EQ(rows[0][1], "10");
    EXPECT_EQ(rows[1][1], "11");
    EXPECT_EQ(rows[2][1], "12");
    EXPECT_EQ(rows[3][1], "B7");
    EXPECT_EQ(rows[3][0], "4");
}

TEST(PickPoints, EnterAtThePointPromptRecordsNothing) {
    Host host({""});
    Utility vexilo;
    ASSERT_TRUE(vexilo.operations().Command1_Click());
    EXPECT_TRUE(vexilo.rows().empty());
    EXPECT_TRUE(vexilo.messages.empty());
    EXPECT_FALSE(vexilo.window().isMinimized());
}

TEST(PickPolylines, TwoDimensionalAndThreeDimensionalInTheUserSystem) {
    const QJsonObject parcel = pick("parcel");
    const QJsonObject mirrored = pick("mirrored_parcel");
    const QJsonObject ditch = pick("ditch");
    Host host({typedPoint(parcel), "K", typedPoint(mirrored), "M", typedPoint(ditch), "D", "^C"});
    Utility vexilo;
    ASSERT_TRUE(vexilo.operations().Command2_Click());
    const auto rows = vexilo.rows();
    const QJsonArray a = parcel.value("user").toArray();
    const QJsonArray b = mirrored.value("user").toArray();
    const QJsonArray c = ditch.value("user").toArray();
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(a.size() + b.size() + c.size()));
    expectVertexRows(rows, 0, a, "K");
    expectVertexRows(rows, static_cast<std::size_t>(a.size()), b, "M");
    expectVertexRows(rows, static_cast<std::size_t>(a.size() + b.size()), c, "D");
    EXPECT_TRUE(host.history().contains(QStringLiteral("请选择多段线对象<退出键取消选择>：")));
    EXPECT_TRUE(
        host.history().contains(QStringLiteral("命令：请输入多段线编码<退出键取消输入>：")));
}

TEST(PickPolylines, WorldSystemListsEveryVertexInWorldCoordinates) {
    const QJsonObject parcel = pick("parcel");
    const QJsonObject mirrored = pick("mirrored_parcel");
    const QJsonObject ditch = pick("ditch");
    Host host({typedPoint(parcel), "K", typedPoint(mirrored), "M", typedPoint(ditch), "D", "^C"});
    Utility vexilo;
    vexilo.worldSystem();
    ASSERT_TRUE(vexilo.operations().Command2_Click());
    const auto rows = vexilo.rows();
    // A lightweight polyline's Coordinate is in its own system; the mirrored lot's (normal
    // 0,0,-1) has the world X negated, and is converted: it used to list Y = -500170.6.
    const QJsonArray a = parcel.value("world").toArray();
    const QJsonArray b = mirrored.value("world").toArray();
    const QJsonArray c = ditch.value("world").toArray();
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(a.size() + b.size() + c.size()));
    expectVertexRows(rows, 0, a, "K");
    expectVertexRows(rows, static_cast<std::size_t>(a.size()), b, "M");
    expectVertexRows(rows, static_cast<std::size_t>(a.size() + b.size()), c, "D");
}

TEST(PickPolylines, ALineEndsTheCommandWithTheMessage) {
    const QJsonObject parcel = pick("parcel");
    Host host({typedPoint(parcel), "K", typedPoint(pick("line"))});
    Utility vexilo;
    ASSERT_TRUE(vexilo.operations().Command2_Click());
    EXPECT_EQ(vexilo.rows().size(),
              static_cast<std::size_t>(parcel.value("user").toArray().size()));
    ASSERT_EQ(vexilo.messages.size(), 1U);
    EXPECT_EQ(vexilo.messages[0], QStringLiteral("提示信息|选择的不是多段线！"));
    EXPECT_FALSE(vexilo.window().isMinimized());
}

TEST(PickPolylines, AMissThenAPolylineListsItOnce) {
    const QJsonObject parcel = pick("parcel");
    Host host({typedPoint(pick("empty")), typedPoint(parcel), "K", "^C"});
    Utility vexilo;
    ASSERT_TRUE(vexilo.operations().Command2_Click());
    const auto rows = vexilo.rows();
    EXPECT_EQ(rows.size(), static_cast<std::size_t>(parcel.value("user").toArray().size()));
    expectVertexRows(rows, 0, parcel.value("user").toArray(), "K");
}

TEST(ArcOperation, TheCountPromptShowsTheArcLength) {
    const QJsonObject arc = pick("arc");
    Host host({typedPoint(arc), "8"});
    Utility vexilo;
    const auto run = vexilo.operations().yh();
    ASSERT_TRUE(run.has_value());
    EXPECT_TRUE(run->answered);
    EXPECT_NEAR(run->arcLength, arc.value("length").toDouble(), 1e-9);
    const QString shown = QStringLiteral("提示：圆弧长为：%1请输入圆弧线点数<退出键取消输入>：")
                              .arg(QString::number(arc.value("length").toDouble(), 'f', 3));
    EXPECT_TRUE(host.history().contains(shown)) << host.history().toStdString();
    EXPECT_TRUE(vexilo.rows().empty());
    EXPECT_TRUE(vexilo.messages.empty());
}

TEST(ArcOperation, APolylineIsNoArc) {
    Host host({typedPoint(pick("parcel"))});
    Utility vexilo;
    ASSERT_TRUE(vexilo.operations().yh().has_value());
    ASSERT_EQ(vexilo.messages.size(), 1U);
    EXPECT_EQ(vexilo.messages[0], QStringLiteral("提示信息|选择的不是圆弧！"));
}

TEST(WidthReport, OneBoxPerSegmentAfterAnAttach) {
    const QJsonObject edge = pick("road_edge");
    Host host({"^C", typedPoint(edge)});
    Utility vexilo;
    // Before any attach there is no drawing.
    ASSERT_TRUE(vexilo.operations().Example_GetWidth());
    ASSERT_EQ(vexilo.messages.size(), 1U);
    EXPECT_EQ(vexilo.messages[0], QStringLiteral("Vexilo|You did not select a polyline"));
    vexilo.messages.clear();
    ASSERT_TRUE(vexilo.operations().Command1_Click()); // attaches; Esc at once
    ASSERT_TRUE(vexilo.operations().Example_GetWidth());
    const QJsonArray world = edge.value("world").toArray();
    const QJsonArray widths = edge.value("widths").toArray();
    ASSERT_EQ(vexilo.messages.size(), static_cast<std::size_t>(world.size() - 1));
    for (int s = 0; s + 1 < world.size(); ++s) {
        const QString text =
            QStringLiteral("GetWidth Example|The segment that begins at %1,%2 has a start width "
                           "of %3 and an end width of %4")
                .arg(QString::number(world[s].toArray()[0].toDouble(), 'g', 15),
                     QString::number(world[s].toArray()[1].toDouble(), 'g', 15),
                     QString::number(widths[s].toArray()[0].toDouble(), 'g', 15),
                     QString::number(widths[s].toArray()[1].toDouble(), 'g', 15));
        EXPECT_EQ(vexilo.messages[static_cast<std::size_t>(s)], text);
    }
}

TEST(Attach, NoHostShowsTheMessage) {
    Utility vexilo;
    ASSERT_TRUE(vexilo.operations().Command1_Click());
    ASSERT_EQ(vexilo.messages.size(), 1U);
    EXPECT_EQ(vexilo.messages[0], QStringLiteral("提示信息|请先打开CAD软件！"));
    EXPECT_FALSE(vexilo.window().isMinimized());
}

TEST(Attach, AHostRegisteredOnlyAsRelease18) {
    Host host({"1,2", "P", "^C"}, {QStringLiteral("AutoCAD.Application.18")});
    Utility vexilo;
    ASSERT_TRUE(vexilo.operations().Command1_Click());
    EXPECT_TRUE(vexilo.messages.empty());
    ASSERT_EQ(vexilo.rows().size(), 1U);
    EXPECT_EQ(vexilo.rows()[0][1], "P");
}

TEST(Attach, AHostWithoutADrawingEndsSilently) {
    Host host({}, {kDefaultProgId}, false);
    Utility vexilo;
    ASSERT_TRUE(vexilo.operations().Command1_Click());
    EXPECT_TRUE(vexilo.rows().empty());
    EXPECT_TRUE(vexilo.messages.empty());
    EXPECT_FALSE(vexilo.window().isMinimized());
}

TEST(Attach, AHostKilledMidPickKeepsTheRowsAndTheNextHostIsAttached) {
    auto host = std::make_unique<Host>(QStringList{"3,4", "Q1"});
    Utility vexilo;
    // The script runs out at the second point request; the host dies while it waits.
    QTimer::singleShot(1500, [&host] { host->kill(); });
    ASSERT_TRUE(vexilo.operations().Command1_Click());
    ASSERT_EQ(vexilo.rows().size(), 1U);
    EXPECT_EQ(vexilo.rows()[0][1], "Q1");
    EXPECT_TRUE(vexilo.messages.empty());
    EXPECT_FALSE(vexilo.window().isMinimized());

    host = std::make_unique<Host>(QStringList{"5,6", "Q2", "^C"});
    ASSERT_TRUE(vexilo.operations().Command1_Click());
    ASSERT_EQ(vexilo.rows().size(), 2U);
    EXPECT_EQ(vexilo.rows()[1][1], "Q2");
}

TEST(Export, PickedRowsReachTheWorkbook) {
    Host host({"500.125,3000.5", "007", "-1,2", "K2", "^C"});
    Utility vexilo;
    ASSERT_TRUE(vexilo.operations().Command1_Click());
    QTemporaryDir folder;
    report::ExportSettings settings;
    settings.folder = folder.path();
    settings.openFile = [](const QUrl&) { return true; };
    const QString saved = report::exportReport(vexilo.window().table(), vexilo.window(), settings);
    ASSERT_FALSE(saved.isEmpty());
    QProcess reader;
    reader.start("/usr/bin/python3",
                 {"-c",
                  "import openpyxl,sys\n"
                  "ws=openpyxl.load_workbook(sys.argv[1]).worksheets[0]\n"
                  "for r in ws.iter_rows(min_row=1,max_row=4,values_only=True):print(repr(r))",
                  saved});
    ASSERT_TRUE(reader.waitForFinished(30000));
    const QString out = QString::fromUtf8(reader.readAllStandardOutput());
    EXPECT_EQ(out, QStringLiteral("('坐 标 数 据 成 果 表', None, None, None)\n"
                                  "('序号', '编码', '坐标X', '坐标Y')\n"
                                  "(1, '007', 3000.5, 500.125)\n"
                                  "(2, 'K2', 2, -1)\n"))
        << QString::fromUtf8(reader.readAllStandardError()).toStdString();
}

} // namespace
} // namespace vexilo

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
