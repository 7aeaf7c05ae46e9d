// The grid's model and view over the coordinate table: model contract under appends, removes
// and clears, row-by-row signals (no reset), cell presentation, and the current row.
#include "app/coordinate_grid.h"
#include "app/coordinate_table_model.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

#include <string>

namespace vexilo::app {

class CoordinateTableModelTest : public QObject {
    Q_OBJECT

private:
    static void appendRows(cad::CoordinateTable& table, int count) {
        for (int i = 0; i < count; ++i) {
            const std::string number = std::to_string(table.rowCount());
            table.appendRow({number, "K" + number, "3512345.678", "-12.5"});
        }
    }

private slots:
    void modelKeepsItsContractThroughEveryChange() {
        cad::CoordinateTable table;
        CoordinateTableModel model(table);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        appendRows(table, 1);
        cad::deleteRow(table); // the only row
        appendRows(table, 5);
        table.setCurrentRow(5);
        cad::deleteRow(table); // the last row, current
        table.setCurrentRow(2);
        cad::deleteRow(table); // a middle row
        table.setRowCount(8);  // empty rows at the end
        table.setCell(7, 1, "P7");
        table.setCell(0, 1, "code"); // the header row
        cad::clearTable(table);
        cad::clearTable(table); // already empty
        appendRows(table, 3);
        QCOMPARE(model.rowCount(), 3);
    }

    void appendingARowInsertsOneRowWithoutReset() {
        cad::CoordinateTable table;
        CoordinateTableModel model(table);
        appendRows(table, 2);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QSignalSpy layout(&model, &QAbstractItemModel::layoutChanged);
        table.appendRow({"3", "J3", "1.000", "2.000"});
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(inserted[0][1].toInt(), 2);
        QCOMPARE(inserted[0][2].toInt(), 2);
        QCOMPARE(reset.size(), 0);
        QCOMPARE(layout.size(), 0);
        QCOMPARE(model.index(2, 3).data().toString(), QStringLiteral("2.000"));
    }

    void deleteAndClearRemoveRowsWithoutReset_data() {
        QTest::addColumn<bool>("clear");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::newRow("delete the current second row") << false << 1 << 1;
        QTest::newRow("clear four rows") << true << 0 << 3;
    }

    void deleteAndClearRemoveRowsWithoutReset() {
        QFETCH(bool, clear);
        QFETCH(int, first);
        QFETCH(int, last);
        cad::CoordinateTable table;
        CoordinateTableModel model(table);
        appendRows(table, 4);
        table.setCurrentRow(2);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        if (clear) {
            cad::clearTable(table);
        } else {
            cad::deleteRow(table);
        }
        QCOMPARE(removed.size(), 1);
        QCOMPARE(removed[0][1].toInt(), first);
        QCOMPARE(removed[0][2].toInt(), last);
        QCOMPARE(reset.size(), 0);
    }

    void cellsAndHeaderAreTheTableTextsCentred() {
        cad::CoordinateTable table;
        CoordinateTableModel model(table);
        table.appendRow({"1", "控制点", "0.100", "-0.000"});
        const QStringList header = {"序号", "编码", "X坐标", "Y坐标"};
        const QStringList cells = {"1", "控制点", "0.100", "-0.000"};
        for (int column = 0; column < 4; ++column) {
            QCOMPARE(model.headerData(column, Qt::Horizontal).toString(), header[column]);
            QCOMPARE(model.index(0, column).data().toString(), cells[column]);
            QCOMPARE(model.index(0, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>(),
                     Qt::Alignment(Qt::AlignCenter));
            QVERIFY(!(model.flags(model.index(0, column)) & Qt::ItemIsEditable));
        }
        QSignalSpy headerChanged(&model, &QAbstractItemModel::headerDataChanged);
        table.setCell(0, 2, "北坐标");
        QCOMPARE(headerChanged.size(), 1);
        QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("北坐标"));
    }

    void gridHasTheColumnWidthsAndRowHeight() {
        cad::CoordinateTable table;
        CoordinateGrid grid(table);
        appendRows(table, 2);
        // 600 and 1450 twips wide, 350 twips high, at 15 twips a pixel.
        const int widths[] = {40, 97, 97, 97};
        for (int column = 0; column < 4; ++column) {
            QCOMPARE(grid.columnWidth(column), widths[column]);
        }
        QCOMPARE(grid.rowHeight(0), 23);
        QCOMPARE(grid.rowHeight(1), 23);
        QCOMPARE(grid.horizontalHeader()->height(), 23);
        QVERIFY(grid.verticalHeader()->isHidden());
        QCOMPARE(grid.font().pointSizeF(), 9.0);
    }

    void clickingACellMakesItsRowCurrent_data() {
        QTest::addColumn<int>("column");
        QTest::newRow("first column") << 0;
        QTest::newRow("code column") << 1;
        QTest::newRow("last column") << 3;
    }

    void clickingACellMakesItsRowCurrent() {
        QFETCH(int, column);
        cad::CoordinateTable table;
        CoordinateGrid grid(table);
        grid.resize(361, 209);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        appendRows(table, 3);
        QCOMPARE(table.currentRow(), 0);
        const QModelIndex cell = grid.model()->index(2, column);
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier,
                          grid.visualRect(cell).center());
        QCOMPARE(table.currentRow(), 3);
        QTest::keyClick(grid.viewport(), Qt::Key_Up);
        QCOMPARE(table.currentRow(), 2);
    }

    void gridFollowsTheCurrentRowTheTableKeeps() {
        cad::CoordinateTable table;
        CoordinateGrid grid(table);
        appendRows(table, 3);
        table.setCurrentRow(3);
        QCOMPARE(grid.currentIndex().row(), 2);
        cad::deleteRow(table); // the last row goes; the new last row is current
        QCOMPARE(table.currentRow(), 2);
        QCOMPARE(grid.currentIndex().row(), 1);
        table.setCurrentRow(1);
        cad::deleteRow(table); // the first goes; the row below moves up into place
        QCOMPARE(table.currentRow(), 1);
        QCOMPARE(grid.currentIndex().row(), 0);
        QCOMPARE(grid.currentIndex().siblingAtColumn(0).data().toString(), QStringLiteral("2"));
        cad::clearTable(table);
        QCOMPARE(table.currentRow(), 0);
        QVERIFY(!grid.currentIndex().isValid());
    }
};

} // namespace vexilo::app

QTEST_MAIN(vexilo::app::CoordinateTableModelTest)
#include "coordinate_table_model_test.moc"
