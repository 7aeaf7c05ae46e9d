// Clicks and keys on vexilo-cad's view and command line answer the waiting request.
#include "../recorded_reply.h"
#include "cadhost/ui/command_line_widget.h"
#include "cadhost/ui/drawing_view.h"
#include "cadhost/ui/main_window.h"
#include "cadhost/ui/scene_painter.h"
#include "cadhost/ui/snap_settings_dialog.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>

#include <optional>
#include <string>

using namespace vexilo::cadhost;

namespace {

const Vec3 kVertex{400.123456789, 400.987654321, 0.0};

Drawing testDrawing() {
    Drawing d;
    d.appendEntity(
        Entity{0x10, 0, kColorByLayer, EntityType::Line, LineData{{0, 0, 0}, {100, 0, 0}}});
    const std::vector<PolylineVertex> vertices{{kVertex, 0.0}, {{420.5, 380.25, 0}, 0.0}};
    PolylineData poly;
    poly.firstVertex = d.appendVertices(vertices);
    poly.vertexCount = 2;
    d.appendEntity(Entity{0x14, 0, kColorByLayer, EntityType::LwPolyline, poly});
    d.finish();
    return d;
}

// A drawing file of one line, written into `folder`.
QString writeDrawing(const QString& folder, const QString& name) {
    QDir().mkpath(folder);
    const QString path = folder + "/" + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return {};
    }
    file.write("0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n0\n20\n0\n11\n5\n21\n5\n"
               "0\nENDSEC\n0\nEOF\n");
    return path;
}

// What the client that asked received.
// A view of `width` × `height` pixels around `center`, `scale` pixels a drawing unit.
Viewport viewOf(int width, int height, Vec2 center, double scale) {
    Viewport view;
    view.width = width;
    view.height = height;
    view.center = center;
    view.scale = scale;
    return view;
}

// The colour of a picture of `view` at a point of the drawing.
QColor colourAt(const QImage& image, const Viewport& view, Vec2 world) {
    const Vec2 at = view.toScreen(world);
    return image.pixelColor(static_cast<int>(at.x), static_cast<int>(at.y));
}

using Reply = vexilo::cadhost::test_support::RecordedReply;
using vexilo::cadhost::test_support::recordEntity;
using vexilo::cadhost::test_support::recordPoint;
using vexilo::cadhost::test_support::recordText;

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<MainWindow> m_window;
    Reply m_reply;
    // The user's settings of this run (never the real ones) and files of the tests.
    QTemporaryDir m_dir;

    DrawingView* view() { return m_window->view(); }
    QLineEdit* input() { return m_window->commandLineWidget()->input(); }

    void askPoint() {
        QCOMPARE(
            m_window->requests().requestPoint("请选择点：<退出键取消选择> ", recordPoint(m_reply)),
            0);
    }
    void askEntity() {
        QCOMPARE(m_window->requests().requestEntity("请选择圆弧对象<退出键取消选择>：",
                                                    recordEntity(m_reply)),
                 0);
    }
    void askText(bool hasSpaces) {
        QCOMPARE(m_window->requests().requestText(
                     hasSpaces, "\r命令：请输入点的编码：<退出键取消输入>", recordText(m_reply)),
                 0);
    }
    // A plain move event: QTest's own skips positions it believes the cursor is already at.
    void moveTo(QPoint position, Qt::MouseButtons buttons = Qt::NoButton) {
        QMouseEvent move(QEvent::MouseMove, QPointF(position),
                         view()->mapToGlobal(QPointF(position)), Qt::NoButton, buttons,
                         Qt::NoModifier);
        QApplication::sendEvent(view(), &move);
    }
    QPoint at(Vec3 world, QPoint nudge = {}) { return view()->toWidget(world).toPoint() + nudge; }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           m_dir.filePath("settings"));
    }

    void init() {
        QSettings(QSettings::UserScope, QStringLiteral("vexilo"), QStringLiteral("vexilo-cad"))
            .clear();
        m_reply = {};
        m_window = std::make_unique<MainWindow>();
        m_window->setDocument(makeDocument(testDrawing(), "/data/test site.dxf"));
        m_window->resize(900, 700);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->zoomExtents();
        // The spatial index is built beside the first frames; the marker waits for it.
        QTRY_VERIFY(m_window->document()->index.ready());
    }
    void cleanup() { m_window.reset(); }

    void titleNamesTheDrawing() {
        QCOMPARE(m_window->windowTitle(), QStringLiteral("vexilo-cad — test site.dxf"));
    }

    void firstSizeFitsTheScreen() {
        // The offscreen platform's screen is 800 × 600, smaller than the 1200 × 800 this
        // window once always took.
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect available = window.screen()->availableGeometry();
        QVERIFY(available.width() < 1200);
        QVERIFY(available.contains(window.geometry()));
        QCOMPARE(window.size(), QSize(available.width() * 4 / 5, available.height() * 4 / 5));
    }

    void emptyViewSaysHowToOpenADrawing() {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QImage picture = window.view()->grab().toImage();
        int written = 0;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                written += picture.pixelColor(x, y) != kBackground ? 1 : 0;
            }
        }
        QVERIFY(written > 100);
    }

    void droppedDxfFileOpens() {
        const QString path = writeDrawing(m_dir.filePath("dropped"), "parcel.DXF");
        const QString text = m_dir.filePath("notes.txt");
        for (const QString& file : {text, path}) {
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(file)});
            const QPointF at = view()->mapTo(m_window.get(), view()->rect().center());
            QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton,
                                  Qt::NoModifier);
            QApplication::sendEvent(m_window->windowHandle(), &enter);
            QCOMPARE(enter.isAccepted(), file == path);
            QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(m_window->windowHandle(), &drop);
            QApplication::processEvents();
        }
        QCOMPARE(m_window->windowTitle(), QStringLiteral("vexilo-cad — parcel.DXF"));
    }

    void openStartsInTheDrawingsFolderAndRemembersTheLast() {
        QCOMPARE(m_window->openFolder(), QStringLiteral("/data"));
        const QString folder = m_dir.filePath("drawings");
        m_window->commandLine().openDrawing(writeDrawing(folder, "site.dxf").toStdString());
        QCOMPARE(m_window->openFolder(), folder);
        const MainWindow later;
        QCOMPARE(later.openFolder(), folder);
    }

    void spaceAtAnEmptyCommandRepeatsTheLastCommand() {
        QTest::keyClicks(input(), "ZOOM");
        QTest::keyClick(input(), Qt::Key_Space);
        QTest::keyClick(input(), Qt::Key_Escape);
        QTest::keyClick(input(), Qt::Key_Space);
        QCOMPARE(m_window->commandLineWidget()->promptLabel()->text(),
                 QStringLiteral("Enter an option [All/Extents] <Extents>: "));
    }

    void clickNearAVertexAnswersTheExactVertex() {
        askPoint();
        const QPoint near = at(kVertex, {4, -3});
        moveTo(near);
        QVERIFY(view()->snapMarker().has_value());
        QCOMPARE(view()->snapMarker()->kind, SnapKind::Endpoint);
        QTest::mouseClick(view(), Qt::LeftButton, {}, near);
        QCOMPARE(m_reply.calls, 1);
        QVERIFY(!m_reply.code);
        QCOMPARE(m_reply.point[0], kVertex.x);
        QCOMPARE(m_reply.point[1], kVertex.y);
        QCOMPARE(m_reply.point[2], 0.0);
    }

    void clickFarFromSnapsAnswersTheCursor() {
        askPoint();
        const QPoint empty = at({200, 200, 0});
        moveTo(empty);
        QVERIFY(!view()->snapMarker().has_value());
        QTest::mouseClick(view(), Qt::LeftButton, {}, empty);
        QCOMPARE(m_reply.calls, 1);
        const Vec2 expected = view()->viewport().toWorld({double(empty.x()), double(empty.y())});
        QCOMPARE(m_reply.point[0], expected.x);
        QCOMPARE(m_reply.point[1], expected.y);
    }

    void escCancelsFromEveryPane_data() {
        QTest::addColumn<QString>("pane");
        QTest::newRow("drawing view") << QStringLiteral("view");
        QTest::newRow("input line") << QStringLiteral("input");
        QTest::newRow("history") << QStringLiteral("history");
    }
    void escCancelsFromEveryPane() {
        QFETCH(QString, pane);
        QWidget* target = pane == "view"    ? static_cast<QWidget*>(view())
                          : pane == "input" ? static_cast<QWidget*>(input())
                                            : m_window->commandLineWidget()->historyView();
        askPoint();
        QTest::keyClick(target, Qt::Key_Escape);
        QCOMPARE(m_reply.calls, 1);
        QCOMPARE(m_reply.code,
                 std::optional<vexilo::automation::HResult>(vexilo::automation::kCancelCode));
    }

    void rightClickWithNothingAnswersEmpty() {
        askPoint();
        QTest::mouseClick(view(), Qt::RightButton, {}, at({50, 50, 0}));
        QCOMPARE(m_reply.calls, 1);
        QCOMPARE(m_reply.code,
                 std::optional<vexilo::automation::HResult>(vexilo::automation::kNoInputCode));
    }

    void entityRequestPicksUnderThePickBox() {
        askEntity();
        QTest::mouseClick(view(), Qt::LeftButton, {}, at({60, 0, 0}, {0, 2}));
        QCOMPARE(m_reply.handle, std::uint64_t{0x10});
        m_reply = {};
        askEntity();
        QTest::mouseClick(view(), Qt::LeftButton, {}, at({200, 200, 0}));
        QCOMPARE(m_reply.code, std::optional<vexilo::automation::HResult>(
                                   vexilo::automation::kNothingPickedCode));
    }

    void typedCoordinatesAnswerAPoint() {
        askPoint();
        QCOMPARE(m_window->commandLineWidget()->promptLabel()->text(),
                 QStringLiteral("请选择点：<退出键取消选择> "));
        QTest::keyClicks(input(), "10.5,20.25");
        QTest::keyClick(input(), Qt::Key_Return);
        QCOMPARE(m_reply.calls, 1);
        QCOMPARE(m_reply.point[0], 10.5);
        QCOMPARE(m_reply.point[1], 20.25);
        QVERIFY(m_window->commandLineWidget()->historyView()->toPlainText().contains(
            QStringLiteral("请选择点：<退出键取消选择> 10.5,20.25")));
    }

    void keysTypedOnTheViewGoToTheCommandLine() {
        askPoint();
        QTest::keyClicks(view(), "5,6");
        QTest::keyClick(view(), Qt::Key_Space);
        QCOMPARE(m_reply.calls, 1);
        QCOMPARE(m_reply.point[0], 5.0);
        QCOMPARE(m_reply.point[1], 6.0);
    }

    void spaceEndsATextUnlessSpacesAreAllowed() {
        askText(false);
        QCOMPARE(m_window->commandLineWidget()->promptLabel()->text(),
                 QStringLiteral("命令：请输入点的编码：<退出键取消输入>"));
        QTest::keyClicks(input(), "J1 ");
        QCOMPARE(m_reply.calls, 1);
        QCOMPARE(m_reply.text, std::string("J1"));
        m_reply = {};
        askText(true);
        QTest::keyClicks(input(), "J1 J2");
        QCOMPARE(m_reply.calls, 0);
        QTest::keyClick(input(), Qt::Key_Enter);
        QCOMPARE(m_reply.text, std::string("J1 J2"));
        m_reply = {};
        askText(false);
        QTest::keyClick(input(), Qt::Key_Return);
        QCOMPARE(m_reply.calls, 1);
        QVERIFY(!m_reply.code);
        QCOMPARE(m_reply.text, std::string());
    }

    void panAndZoomWhileARequestWaits() {
        askPoint();
        const double scale = view()->viewport().scale;
        const QPointF where(300, 200);
        QWheelEvent wheel(where, view()->mapToGlobal(where), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view(), &wheel);
        QVERIFY(view()->viewport().scale > scale);
        const Vec2 center = view()->viewport().center;
        QTest::mousePress(view(), Qt::MiddleButton, {}, QPoint(300, 200));
        moveTo(QPoint(340, 230), Qt::MiddleButton);
        QTest::mouseRelease(view(), Qt::MiddleButton, {}, QPoint(340, 230));
        QVERIFY(view()->viewport().center.x < center.x);
        QVERIFY(view()->viewport().center.y > center.y);
        QVERIFY(m_window->requests().isWaiting());
        QCOMPARE(m_reply.calls, 0);
        QTest::mouseDClick(view(), Qt::MiddleButton, {}, QPoint(340, 230));
        QCOMPARE(view()->viewport().scale, scale);
    }

    void f3SwitchesRunningSnaps() {
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QVERIFY(m_window->commandLine().snaps().enabled);
        QTest::keyClick(input(), Qt::Key_F3);
        QVERIFY(!m_window->commandLine().snaps().enabled);
        askPoint();
        moveTo(at(kVertex, {3, 2}));
        QVERIFY(!view()->snapMarker().has_value());
        QTest::keyClick(view(), Qt::Key_F3);
        QVERIFY(m_window->commandLine().snaps().enabled);
        QVERIFY(view()->snapMarker().has_value());
    }

    void snapStatusNamesTheRunningModes_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("status");
        QTest::newRow("AutoCAD's default") << QString() << QStringLiteral("OSNAP: END CEN INT");
        QTest::newRow("four modes")
            << QStringLiteral("-OSNAP END,MID,CEN,INT") << QStringLiteral("OSNAP: END MID CEN INT");
        QTest::newRow("the new modes")
            << QStringLiteral("-OSNAP qua,perp,nea") << QStringLiteral("OSNAP: QUA PER NEA");
        QTest::newRow("off") << QStringLiteral("-OSNAP OFF") << QStringLiteral("OSNAP off");
    }
    void snapStatusNamesTheRunningModes() {
        QFETCH(QString, command);
        QFETCH(QString, status);
        if (!command.isEmpty()) {
            m_window->commandLine().submit(command.toStdString());
        }
        const auto* label = m_window->findChild<QLabel*>(QStringLiteral("snapStatus"));
        QVERIFY(label != nullptr);
        QCOMPARE(label->text(), status);
    }

    void snapDialogChoicesOutliveTheWindow() {
        // The dialog is modal: it is answered from the event loop it runs.
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<SnapSettingsDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            dialog->modeBox(SnapKind::Endpoint)->setChecked(false);
            dialog->modeBox(SnapKind::Quadrant)->setChecked(true);
            dialog->modeBox(SnapKind::Nearest)->setChecked(true);
            dialog->apertureBox()->setValue(25);
            dialog->accept();
        });
        m_window->commandLine().submit("OSNAP");
        SnapSettings expected;
        expected.modes.endpoint = false;
        expected.modes.quadrant = true;
        expected.modes.nearest = true;
        expected.aperturePixels = 25;
        QVERIFY(m_window->commandLine().snaps() == expected);

        m_window = std::make_unique<MainWindow>();
        QVERIFY(m_window->commandLine().snaps() == expected);
        QCOMPARE(view()->aperture(), 25 / view()->viewport().scale);
    }

    void windowStateFollowsAutomationValues() {
        m_window->setWindowState(3);
        QCOMPARE(m_window->windowState(), 3);
        m_window->setWindowState(2);
        QCOMPARE(m_window->windowState(), 2);
        m_window->setWindowState(1);
        QCOMPARE(m_window->windowState(), 1);
        m_window->setWindowState(7);
        QCOMPARE(m_window->windowState(), 1);
    }

    void sceneDrawsLayerColoursAndLeavesHiddenLayersOut() {
        Drawing d;
        const std::uint32_t red = d.addLayer(Layer{"RED", 1, true, false, false});
        const std::uint32_t off = d.addLayer(Layer{"OFF", 3, false, false, false});
        const std::uint32_t frozen = d.addLayer(Layer{"FROZEN", 4, true, true, false});
        d.appendEntity(
            Entity{1, red, kColorByLayer, EntityType::Line, LineData{{0, 0, 0}, {100, 0, 0}}});
        d.appendEntity(
            Entity{2, off, kColorByLayer, EntityType::Line, LineData{{0, 50, 0}, {100, 50, 0}}});
        d.appendEntity(Entity{3, frozen, kColorByLayer, EntityType::Line,
                              LineData{{0, 100, 0}, {100, 100, 0}}});
        d.finish();
        const auto document = makeDocument(std::move(d));
        const Scene scene(*document);
        QCOMPARE(scene.segmentCount(), std::size_t{1});
        const Viewport view = viewOf(200, 200, {50, 50}, 1.5);
        QImage image;
        renderScene(scene, view, image);
        QCOMPARE(colourAt(image, view, {50, 0}), QColor(255, 0, 0));
        QCOMPARE(colourAt(image, view, {50, 50}), kBackground);
        QCOMPARE(colourAt(image, view, {50, 100}), kBackground);
        QCOMPARE(colourAt(image, view, {50, 25}), kBackground);
    }

    void zoomedInViewStillDrawsALongLineFromAFarBucket() {
        Drawing d;
        // A long line whose middle lies far from the zoomed-in view, among short ones that
        // spread the grid over the whole drawing.
        d.appendEntity(Entity{1, 0, 1, EntityType::Line, LineData{{0, 0, 0}, {1000, 0, 0}}});
        for (int i = 0; i < 50; ++i) {
            d.appendEntity(Entity{std::uint64_t(10 + i), 0, 3, EntityType::Line,
                                  LineData{{i * 20.0, 500, 0}, {i * 20.0 + 1, 501, 0}}});
        }
        d.finish();
        const auto document = makeDocument(std::move(d));
        const Scene scene(*document);
        const Viewport view = viewOf(100, 100, {950, 0}, 10.0);
        QImage image;
        const RasterStats stats = renderScene(scene, view, image);
        QVERIFY(stats.segments < scene.segmentCount());
        QCOMPARE(colourAt(image, view, {950, 0}), QColor(255, 0, 0));
    }

    void sceneBuiltInPartsDrawsWhatOnePartDraws() {
        // Lines stacked on one row, each in another colour: the last one drawn must be on top
        // whichever part tessellated it; and a filled square in every part, each with its own
        // loop of points.
        Drawing d;
        std::uint64_t handle = 1;
        for (int i = 0; i < 90; ++i) {
            d.appendEntity(Entity{handle++, 0, static_cast<std::int16_t>(1 + i % 7),
                                  EntityType::Line, LineData{{0, 0, 0}, {100, 0, 0}}});
            if (i % 30 == 10) {
                const std::vector<PolylineVertex> corners{
                    {{i + 0.0, 10, 0}}, {{i + 8.0, 10, 0}}, {{i + 0.0, 18, 0}}, {{i + 8.0, 18, 0}}};
                FaceData face;
                face.firstVertex = d.appendVertices(corners);
                d.appendEntity(Entity{handle++, 0, static_cast<std::int16_t>(1 + i % 5),
                                      EntityType::Solid, face});
            }
        }
        d.finish();
        const auto document = makeDocument(std::move(d));
        const Scene one(*document, 1);
        const Scene three(*document, 3);
        QCOMPARE(three.segmentCount(), one.segmentCount());
        Viewport view;
        view.width = 300;
        view.height = 200;
        view.fit(one.extents());
        QImage fromOne;
        QImage fromThree;
        renderScene(one, view, fromOne);
        renderScene(three, view, fromThree);
        QCOMPARE(fromThree, fromOne);
        QCOMPARE(colourAt(fromThree, view, {50, 0}), QColor(255, 0, 255));
    }

    void linesMeetingEndToEndKeepTheirColoursAndEveryPiece() {
        // A red line and a green one that goes on from its end; a yellow zigzag of 600 short
        // segments within one grid cell, longer than a block holds.
        Drawing d;
        d.appendEntity(Entity{1, 0, 1, EntityType::Line, LineData{{0, 0, 0}, {50, 0, 0}}});
        d.appendEntity(Entity{2, 0, 3, EntityType::Line, LineData{{50, 0, 0}, {100, 0, 0}}});
        std::vector<PolylineVertex> zigzag;
        for (int i = 0; i <= 600; ++i) {
            zigzag.push_back({{i / 6.0, 40.0 + (i % 2), 0}});
        }
        PolylineData poly;
        poly.firstVertex = d.appendVertices(zigzag);
        poly.vertexCount = static_cast<std::uint32_t>(zigzag.size());
        d.appendEntity(Entity{3, 0, 2, EntityType::LwPolyline, poly});
        d.finish();
        const auto document = makeDocument(std::move(d));
        const Scene scene(*document);
        QCOMPARE(scene.segmentCount(), std::size_t{602});
        const Viewport view = viewOf(1100, 500, {50, 20}, 10.0);
        QImage image;
        renderScene(scene, view, image);
        QCOMPARE(colourAt(image, view, {25, 0}), QColor(255, 0, 0));
        QCOMPARE(colourAt(image, view, {75, 0}), QColor(0, 255, 0));
        // Each piece of the zigzag ends on a vertex; the last ones too.
        QCOMPARE(colourAt(image, view, {99.0, 40.0}), QColor(255, 255, 0));
        QCOMPARE(colourAt(image, view, {100.0, 40.0}), QColor(255, 255, 0));
    }

    void pictureDrawnInBandsIsThePictureDrawnWhole() {
        // Lines at every slope crossing the rows where bands meet, and points beside them.
        Drawing d;
        std::uint32_t seed = 7;
        const auto next = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return (seed >> 8) / double(1u << 24);
        };
        for (int i = 0; i < 400; ++i) {
            const Vec3 a{next() * 120 - 10, next() * 120 - 10, 0};
            const Vec3 b{next() * 120 - 10, next() * 120 - 10, 0};
            d.appendEntity(Entity{std::uint64_t(1 + i), 0, static_cast<std::int16_t>(1 + i % 7),
                                  EntityType::Line, LineData{a, b}});
            d.appendEntity(Entity{std::uint64_t(1000 + i), 0, 3, EntityType::Point,
                                  PointData{{next() * 100, next() * 100, 0}}});
        }
        d.finish();
        const auto document = makeDocument(std::move(d));
        const Scene scene(*document);
        const Viewport view = viewOf(97, 101, {50, 50}, 0.93);
        std::vector<std::uint32_t> whole(97 * 101, 0);
        std::vector<std::uint32_t> banded(97 * 101, 0);
        scene.rasterize(view, whole.data(), 97, 4.0, nullptr, 1);
        scene.rasterize(view, banded.data(), 97, 4.0, nullptr, 3);
        QVERIFY(whole == banded);
    }

    void zoomedInViewOfASiteWithAStrayEntityDrawsOnlyWhatIsNear() {
        // A surveyed site far from 0,0, and one line left at the origin: the grid still spreads
        // over the site, so a close view of it draws a small share of the segments.
        Drawing d;
        d.appendEntity(Entity{1, 0, 1, EntityType::Line, LineData{{0, 0, 0}, {1, 0, 0}}});
        for (int i = 0; i < 4000; ++i) {
            const double x = 500000.0 + (i % 64) * 10.0;
            const double y = 3012000.0 + (i / 64) * 10.0;
            d.appendEntity(Entity{std::uint64_t(10 + i), 0, 3, EntityType::Line,
                                  LineData{{x, y, 0}, {x + 5, y + 5, 0}}});
        }
        d.finish();
        const auto document = makeDocument(std::move(d));
        const Scene scene(*document);
        const Viewport view = viewOf(100, 100, {500300, 3012300}, 5.0);
        QImage image;
        const RasterStats stats = renderScene(scene, view, image);
        QVERIFY(stats.segments > 0);
        QVERIFY(stats.segments < scene.segmentCount() / 20);
    }

    void hugeCoordinatesDoNotWritePastThePicture_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("line to 1e39") << 0;
        QTest::newRow("lwpolyline vertex at 1e39") << 1;
        QTest::newRow("unit line in a block inserted at scale 1e300") << 2;
        QTest::newRow("line from -1e300 to 1e300") << 3;
    }
    void hugeCoordinatesDoNotWritePastThePicture() {
        QFETCH(int, kind);
        Drawing d;
        const std::uint32_t block = d.addBlock("UNIT", {0, 0, 0});
        d.appendBlockEntity(Entity{0x20, 0, 1, EntityType::Line, LineData{{0, 0, 0}, {1, 1, 0}}});
        d.appendEntity(Entity{1, 0, 1, EntityType::Line, LineData{{0, 0, 0}, {100, 0, 0}}});
        if (kind == 0) {
            d.appendEntity(Entity{2, 0, 3, EntityType::Line, LineData{{0, 0, 0}, {1e39, 1e39, 0}}});
        } else if (kind == 1) {
            const std::vector<PolylineVertex> vertices{{{0, 0, 0}, 0.0}, {{1e39, 5, 0}, 0.0}};
            PolylineData poly;
            poly.firstVertex = d.appendVertices(vertices);
            poly.vertexCount = 2;
            d.appendEntity(Entity{2, 0, 3, EntityType::LwPolyline, poly});
        } else if (kind == 2) {
            InsertData insert;
            insert.block = block;
            insert.scale = {1e300, 1e300, 1};
            d.appendEntity(Entity{2, 0, 3, EntityType::Insert, insert});
        } else {
            d.appendEntity(Entity{2, 0, 3, EntityType::Line,
                                  LineData{{-1e300, -1e300, 0}, {1e300, 1e300, 0}}});
        }
        d.finish();
        const auto document = makeDocument(std::move(d), "far.dxf");
        QCOMPARE(QString::fromStdString(loadSummary(*document)),
                 QStringLiteral("Opened far.dxf: 2 entities, 0 skipped.\n"
                                "not shown 1: coordinates beyond ±1e20"));
        const Scene scene(*document);
        // The picture sits between guard rows; each row has a guard margin on its right.
        constexpr std::uint32_t kGuard = 0x5A5A5A5Au;
        Viewport view;
        view.width = 120;
        view.height = 80;
        const std::size_t stride = 128;
        view.fit(document->index->extents());
        for (const double zoom : {1.0, 1e-30, 1e30}) {
            Viewport zoomed = view;
            zoomed.scale *= zoom;
            std::vector<std::uint32_t> pixels((view.height + 2) * stride, kGuard);
            scene.rasterize(zoomed, pixels.data() + stride, stride, 6.0, nullptr);
            for (std::size_t i = 0; i < pixels.size(); ++i) {
                const std::size_t row = i / stride;
                const bool inPicture = row >= 1 && row <= std::size_t(view.height) &&
                                       i % stride < std::size_t(view.width);
                if (!inPicture) {
                    QCOMPARE(pixels[i], kGuard);
                }
            }
            if (zoom == 1.0) {
                const Vec2 s = view.toScreen({50, 0});
                QCOMPARE(pixels[(std::size_t(s.y) + 1) * stride + std::size_t(s.x)], 0xFFFF0000u);
            }
        }
    }

    // Found by fuzzing: the grid cell of a segment was a double converted to int unclamped; a
    // float vertex a rounding step off extents of no width was billions of cells away.
    void bucketOfAFloatRoundedSegmentStaysOnTheGrid() {
        Drawing d;
        const std::uint32_t off = d.addLayer(Layer{"OFF", 3, false, false, false});
        // Visible: a vertical line, extents of no width. Hidden but indexed: a point that
        // moves the scene's origin to x 500000015, which a float holds as 500000000.
        d.appendEntity(Entity{1, 0, 1, EntityType::Line, LineData{{0, 0, 0}, {0, 100, 0}}});
        d.appendEntity(
            Entity{2, off, 1, EntityType::Point, PointData{{1000000030.0, 50, 0}, {0, 0, 1}}});
        d.finish();
        const auto document = makeDocument(std::move(d));
        const Scene scene(*document);
        QCOMPARE(scene.segmentCount(), std::size_t{1});
    }

    void longPromptIsCutAndLeavesRoomForTheInput() {
        const QSize size = m_window->size();
        QCOMPARE(m_window->requests().requestPoint(std::string(1 << 16, 'x'), recordPoint(m_reply)),
                 0);
        QApplication::processEvents();
        const QLabel* prompt = m_window->commandLineWidget()->promptLabel();
        QVERIFY(prompt->text().endsWith(QStringLiteral("x…")));
        QVERIFY(prompt->text().size() <= qsizetype(CommandHistory::kMaxPromptCharacters + 20));
        QCOMPARE(m_window->size(), size);
        QVERIFY(input()->width() >= m_window->commandLineWidget()->width() / 5);
        QTest::keyClick(input(), Qt::Key_Escape);
    }

    void closingAnswersAWaitingClientWithCancel() {
        askPoint();
        m_window->close();
        QCOMPARE(m_reply.code,
                 std::optional<vexilo::automation::HResult>(vexilo::automation::kCancelCode));
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
