// The grid's context menu: copy onto the clipboard, coordinate files, undo, remembered
// settings, the journal with 清空 and closing, repeated codes, new rows in view.
#include "app/coordinate_grid.h"
#include "app/coordinate_table_model.h"
#include "app/form_cad.h"
#include "app/grid_menu.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <sstream>

namespace vexilo::app {

class GridMenuTest : public QObject {
    Q_OBJECT

private:
    static void appendRows(FormCAD& window, const std::vector<std::string>& codes) {
        for (const std::string& code : codes) {
            const int row = window.table().rowCount();
            window.table().appendRow({std::to_string(row), code, std::to_string(row) + ".5", "7"},
                                     {7.0, row + 0.5, 1.25});
        }
    }

    static std::vector<std::string> codes(const FormCAD& window) {
        std::vector<std::string> result;
        for (int row = 1; row < window.table().rowCount(); ++row) {
            result.push_back(window.table().cell(row, 1));
        }
        return result;
    }

    static void selectRows(FormCAD& window, const std::vector<int>& tableRows) {
        CoordinateGrid* grid = window.grid();
        grid->clearSelection();
        for (const int row : tableRows) {
            grid->selectionModel()->select(grid->model()->index(row - 1, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    static void trigger(FormCAD& window, const char* name) {
        QAction* action = window.gridMenu()->action(name);
        QVERIFY(action != nullptr);
        action->trigger();
    }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QSettings(QSettings::UserScope, QStringLiteral("vexilo"), QStringLiteral("vexilo")).clear();
    }

    void menuHoldsTheEntriesWithTheirShortcuts() {
        FormCAD window;
        QStringList texts;
        for (QAction* action : window.gridMenu()->menu()->actions()) {
            if (!action->isSeparator()) {
                texts << action->text() + "|" + action->shortcut().toString();
            }
        }
        QCOMPARE(texts, (QStringList{"复制|Ctrl+C", "导出坐标文件…|Ctrl+S", "撤销上一点|Ctrl+Z",
                                     "圆弧等分…|Ctrl+D", "多段线宽度|Ctrl+L", "测量计算…|Ctrl+M",
                                     "恢复上次的表格|", "字母编码也递增|"}));
        QVERIFY(!window.gridMenu()->action("letterCodes")->isChecked());
    }

    void copyPutsTabsAndHtmlOfTheSelectedRowsOrAllOnTheClipboard() {
        FormCAD window;
        appendRows(window, {"007", "J2", "J3"});
        selectRows(window, {3, 1});
        trigger(window, "copy");
        const QMimeData* data = QApplication::clipboard()->mimeData();
        QCOMPARE(data->text(), QStringLiteral("1\t007\t1.5\t7\n3\tJ3\t3.5\t7\n"));
        QVERIFY(data->hasHtml());
        QVERIFY(data->html().contains(
            QStringLiteral("mso-number-format:'\\@'\" sdnum=\"2052;0;@\">007</td>")));

        window.grid()->clearSelection();
        trigger(window, "copy");
        QCOMPARE(QApplication::clipboard()->text().count('\n'), 3);

        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.grid()->setFocus();
        selectRows(window, {1, 2});
        QTest::keyClick(window.grid(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(),
                 QStringLiteral("1\t007\t1.5\t7\n2\tJ2\t2.5\t7\n"));
    }

    void undoTakesBackTheLastRowOfTheCommandOnly() {
        FormCAD window;
        appendRows(window, {"A1", "A2", "A3"});
        window.table().markCommandStart(3);
        trigger(window, "undo");
        trigger(window, "undo");
        QCOMPARE(codes(window), (std::vector<std::string>{"A1", "A2"}));
    }

    void coordinateFileIsWrittenAndItsFolderRemembered() {
        QTemporaryDir folder;
        FormCAD window;
        appendRows(window, {"J1", "J2"});
        QStringList offered;
        window.gridMenu()->setFileChooser([&](const QString& start) {
            offered << start;
            return CoordinateFileChoice{folder.filePath("points.dat"),
                                        {form::CoordinateFileFormat::CassDat, form::PointName::Code,
                                         form::TextEncoding::Utf8}};
        });
        trigger(window, "exportFile");
        trigger(window, "exportFile");
        std::ifstream in(folder.filePath("points.dat").toStdString(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        QCOMPARE(QString::fromStdString(text.str()),
                 QStringLiteral("J1,,7,1.5,1.25\r\nJ2,,7,2.5,1.25\r\n"));
        QCOMPARE(offered.last(), folder.path());
    }

    void aFailedCoordinateFileIsToldAndTheTableStays() {
        FormCAD window;
        appendRows(window, {"J,1"});
        std::vector<FormCAD::Message> messages;
        window.setMessagePresenter([&](const FormCAD::Message& m) { messages.push_back(m); });
        QTemporaryDir folder;
        window.gridMenu()->setFileChooser([&](const QString&) {
            return CoordinateFileChoice{folder.filePath("points.dat"), {}};
        });
        trigger(window, "exportFile");
        QCOMPARE(messages.size(), std::size_t{1});
        QVERIFY(messages.front().text.startsWith(
            QStringLiteral("坐标文件没有保存：序号 1 的点名“J,1”")));
        QCOMPARE(codes(window), (std::vector<std::string>{"J,1"}));
        QVERIFY(!QFile::exists(folder.filePath("points.dat")));
    }

    void letterCodesOptionIsOffByDefaultAndRemembered() {
        {
            FormCAD window;
            QVERIFY(!window.letterCodeIncrementSelected());
            window.gridMenu()->action("letterCodes")->trigger();
            QVERIFY(window.letterCodeIncrementSelected());
        }
        FormCAD again;
        QVERIFY(again.letterCodeIncrementSelected());
        again.gridMenu()->action("letterCodes")->trigger();
    }

    void clearedAndClosedTablesComeBackFromTheMenu() {
        QTemporaryDir folder;
        {
            FormCAD window;
            window.setJournalFolder(folder.path());
            appendRows(window, {"A1", "A2", "A3"});
            window.controlAs<QAbstractButton>("Command6")->click();
            QCOMPARE(window.table().rowCount(), 1);
            appendRows(window, {"B1"});
            QTest::qWait(1); // the live table is written after the burst of changes
            window.close();
        }
        FormCAD window;
        window.setJournalFolder(folder.path());
        QMenu* restore = window.gridMenu()->action("restore")->menu();
        window.gridMenu()->fillRestoreMenu();
        const QList<QAction*> entries = restore->actions();
        QCOMPARE(entries.size(), 2);
        QVERIFY(entries[0]->text().endsWith(QStringLiteral("（1 行）")));
        QVERIFY(entries[1]->text().endsWith(QStringLiteral("（3 行）")));
        entries[1]->trigger();
        QCOMPARE(codes(window), (std::vector<std::string>{"A1", "A2", "A3"}));
        QCOMPARE(window.table().point(2), (cad::RowPoint{7.0, 2.5, 1.25}));
    }

    void aRepeatedCodeIsTintedAndNamedInItsTooltip() {
        FormCAD window;
        appendRows(window, {"J1", "J2", "J1"});
        const QAbstractItemModel* model = window.grid()->model();
        QCOMPARE(model->index(2, 1).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("编码“J1”与序号 1 的点重复"));
        QCOMPARE(model->index(2, 2).data(Qt::BackgroundRole).value<QColor>(),
                 CoordinateTableModel::kRepeatTint);
        QVERIFY(!model->index(0, 2).data(Qt::BackgroundRole).isValid());
        window.table().setCurrentRow(1);
        window.controlAs<QAbstractButton>("Command5")->click();
        QVERIFY(!model->index(1, 2).data(Qt::BackgroundRole).isValid());
    }

    void measureDialogAnswersAsItIsTyped() {
        MeasureDialog dialog(QString{});
        dialog.input("degrees")->setText(QStringLiteral("30.5"));
        QCOMPARE(dialog.result("dms")->text(), QStringLiteral("30.3（30°30′00″）"));
        dialog.input("radians")->setText(QStringLiteral("3.14159265358979"));
        QCOMPARE(dialog.result("toDegrees")->text(), QStringLiteral("180"));
        dialog.input("north")->setText(QStringLiteral("-40"));
        dialog.input("east")->setText(QStringLiteral("30"));
        QCOMPARE(dialog.result("distance")->text(), QStringLiteral("50"));
        QVERIFY(dialog.result("azimuth")->text().startsWith(QStringLiteral("143.1301")));
        QVERIFY(dialog.result("azimuth")->text().endsWith(QStringLiteral("（143°07′48″）")));
        dialog.input("north")->setText(QStringLiteral("x"));
        QCOMPARE(dialog.result("distance")->text(), QString());
    }

    void newRowsScrollIntoView() {
        FormCAD window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        std::vector<std::string> many(60, "K");
        appendRows(window, many);
        QCoreApplication::processEvents();
        CoordinateGrid* grid = window.grid();
        const QRect last = grid->visualRect(grid->model()->index(59, 1));
        QVERIFY(grid->viewport()->rect().contains(last));
    }
};

} // namespace vexilo::app

QTEST_MAIN(vexilo::app::GridMenuTest)
#include "grid_menu_test.moc"
