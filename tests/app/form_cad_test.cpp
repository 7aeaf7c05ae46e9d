// The main window as built: controls, tab order, fonts, window hints, the buttons (delete,
// clear, commands, exit), unloading, the re-entrancy guard and the two ports.
#include "app/coordinate_grid.h"
#include "app/coordinate_table_model.h"
#include "app/filtered_text_box.h"
#include "app/form_cad.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRawFont>
#include <QTest>
#include <QTimer>

#include <string>
#include <vector>

namespace vexilo::app {

class FormCADTest : public QObject {
    Q_OBJECT

private:
    static QAbstractButton* button(FormCAD& window, const char* name) {
        auto* found = window.controlAs<QAbstractButton>(name);
        Q_ASSERT(found != nullptr);
        return found;
    }

    static void appendRows(FormCAD& window, int count) {
        for (int i = 1; i <= count; ++i) {
            window.table().appendRow({std::to_string(i), "K" + std::to_string(i), "10.5", "20.5"});
        }
    }

    static std::vector<std::string> numbers(const FormCAD& window) {
        std::vector<std::string> result;
        for (int row = 1; row < window.table().rowCount(); ++row) {
            result.push_back(window.table().cell(row, 0));
        }
        return result;
    }

    /// Clicks the grid cell of a table row, as the user makes a row current.
    static void clickRow(FormCAD& window, int tableRow) {
        CoordinateGrid* grid = window.grid();
        const QModelIndex cell = grid->model()->index(tableRow - 1, 2);
        grid->scrollTo(cell);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier,
                          grid->visualRect(cell).center());
    }

    /// What the window system sends when the user presses the window's close box.
    static void pressCloseBox(FormCAD& window) {
        QCloseEvent close;
        QCoreApplication::sendEvent(window.windowHandle(), &close);
    }

private slots:
    void controlsAreBuiltAsTheLayoutSays_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("pixels");
        QTest::addColumn<QString>("parent");
        // Pixels are twips / 15, rounded to the nearest pixel; parents are frames or the window.
        const auto row = [](const char* name, const char* kind, const char* caption, QRect pixels,
                            const char* parent) {
            QTest::newRow(name) << QString::fromUtf8(name) << QString::fromLatin1(kind)
                                << QString::fromUtf8(caption) << pixels
                                << QString::fromLatin1(parent);
        };
        row("Frame1", "QGroupBox", "", QRect(8, 0, 361, 49), "FormCAD");
        row("Command1", "QPushButton", "拾取点", QRect(48, 14, 97, 25), "FormCAD");
        row("Command2", "QPushButton", "拾取多段线", QRect(224, 14, 97, 25), "FormCAD");
        row("Frame2", "QGroupBox", "", QRect(8, 48, 361, 73), "FormCAD");
        row("Check1", "QCheckBox", "X、Y坐标互换", QRect(16, 18, 97, 17), "Frame2");
        row("Option1(0)", "QRadioButton", "用户坐标系", QRect(136, 19, 89, 12), "Frame2");
        row("Option1(1)", "QRadioButton", "世界坐标系", QRect(248, 19, 105, 12), "Frame2");
        row("Check2", "QCheckBox", "编码递增", QRect(16, 42, 73, 17), "Frame2");
        row("Text1(1)", "QLineEdit", "1", QRect(88, 40, 33, 21), "Frame2");
        row("Label1", "QLabel", "小数位数", QRect(136, 44, 49, 17), "Frame2");
        row("Text1(0)", "QLineEdit", "3", QRect(192, 40, 41, 21), "Frame2");
        row("Label2", "QLabel", "比例", QRect(240, 44, 33, 17), "Frame2");
        row("Text2", "QLineEdit", "1", QRect(272, 40, 49, 21), "Frame2");
        row("zbxsc", "QTableView", "", QRect(8, 128, 361, 209), "FormCAD");
        row("Command4", "QPushButton", "导出", QRect(16, 344, 65, 25), "FormCAD");
        row("Command5", "QPushButton", "删除一行", QRect(107, 344, 65, 25), "FormCAD");
        row("Command6", "QPushButton", "清空", QRect(197, 344, 65, 25), "FormCAD");
        row("Command3", "QPushButton", "退出", QRect(288, 344, 65, 25), "FormCAD");
    }

    void controlsAreBuiltAsTheLayoutSays() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QString, caption);
        QFETCH(QRect, pixels);
        QFETCH(QString, parent);
        FormCAD window;
        window.setObjectName(QStringLiteral("FormCAD"));
        auto* widget = window.findChild<QWidget*>(name);
        QVERIFY(widget != nullptr);
        QVERIFY2(widget->inherits(kind.toLatin1().constData()), widget->metaObject()->className());
        QCOMPARE(widget->geometry(), pixels);
        QCOMPARE(widget->parentWidget()->objectName(), parent);
        QString text;
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            text = button->text();
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            text = edit->text();
            QCOMPARE(edit->alignment(), Qt::AlignCenter);
            QCOMPARE(edit->font().pointSizeF(), 10.5);
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            text = label->text();
        } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
            text = frame->title();
        }
        QCOMPARE(text, caption);
    }

    void windowIsFixedTopmostAndTitledVexilo() {
        FormCAD window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Vexilo"));
        QCOMPARE(window.minimumSize(), QSize(375, 380));
        QCOMPARE(window.maximumSize(), QSize(375, 380));
        QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    }

    void initialOptionsAndOneExclusiveOptionGroup() {
        FormCAD window;
        QVERIFY(window.userSystemSelected());
        QVERIFY(!window.swapSelected());
        QVERIFY(!window.codeIncrementSelected());
        QCOMPARE(window.incrementText(), "1");
        QCOMPARE(window.decimalPlacesText(), "3");
        QCOMPARE(window.scaleText(), "1");
        button(window, "Option1(1)")->click();
        QVERIFY(!button(window, "Option1(0)")->isChecked());
        QVERIFY(!window.userSystemSelected());
        button(window, "Option1(0)")->click();
        QVERIFY(!button(window, "Option1(1)")->isChecked());
        QVERIFY(window.userSystemSelected());
    }

    void optionsAreReadAtTheMomentOfTheCall() {
        FormCAD window;
        button(window, "Check1")->click();
        button(window, "Check2")->click();
        button(window, "Option1(1)")->click();
        window.controlAs<QLineEdit>("Text1(1)")->setText(QStringLiteral("25"));
        window.controlAs<QLineEdit>("Text1(0)")->setText(QStringLiteral("0"));
        window.controlAs<QLineEdit>("Text2")->setText(QStringLiteral("-1000"));
        QVERIFY(window.swapSelected());
        QVERIFY(window.codeIncrementSelected());
        QVERIFY(!window.userSystemSelected());
        QCOMPARE(window.incrementText(), "25");
        QCOMPARE(window.decimalPlacesText(), "0");
        QCOMPARE(window.scaleText(), "-1000");
        window.controlAs<QLineEdit>("Text1(0)")->clear();
        QCOMPARE(window.decimalPlacesText(), "");
    }

    void focusChainFollowsTheTabIndices() {
        FormCAD window;
        const QStringList expected = {
            "Command1",   "Command2",   "zbxsc",  "Command3", "Command4", "Command5", "Command6",
            "Option1(0)", "Option1(1)", "Check1", "Text1(0)", "Text1(1)", "Check2",   "Text2"};
        QStringList chain;
        QWidget* start = window.control("Command1");
        QWidget* widget = start;
        do {
            if ((widget->focusPolicy() & Qt::TabFocus) != 0 &&
                window.control(widget->objectName().toStdString()) == widget) {
                chain << widget->objectName();
            }
            widget = widget->nextInFocusChain();
        } while (widget != start);
        QCOMPARE(chain, expected);
    }

    void tabKeyWalksTheControlsInTabOrder() {
        FormCAD window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTRY_COMPARE(QApplication::focusWidget(), window.control("Command1"));
        // Tab enters an exclusive group at its selected button only.
        const QStringList expected = {"Command2", "zbxsc",      "Command3", "Command4", "Command5",
                                      "Command6", "Option1(0)", "Check1",   "Text1(0)", "Text1(1)",
                                      "Check2",   "Text2",      "Command1"};
        QStringList walked;
        for (int i = 0; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            walked << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(walked, expected);
    }

    void everyChineseTextHasGlyphs() {
        FormCAD window;
        QList<QWidget*> widgets = window.findChildren<QWidget*>();
        int checked = 0;
        for (QWidget* widget : widgets) {
            QString text;
            if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
                text = button->text();
            } else if (auto* label = qobject_cast<QLabel*>(widget)) {
                text = label->text();
            }
            const QRawFont raw =
                QRawFont::fromFont(widget->font(), QFontDatabase::SimplifiedChinese);
            for (const QChar c : text) {
                if (c.unicode() >= 0x3000) {
                    QVERIFY2(raw.supportsCharacter(c),
                             qPrintable(widget->objectName() + QStringLiteral(": ") + c));
                    ++checked;
                }
            }
        }
        QVERIFY(checked > 30);
        const QFont gridFont = window.grid()->horizontalHeader()->font();
        QCOMPARE(gridFont.pointSizeF(), 9.0);
        QCOMPARE(gridFont.families().value(0), QStringLiteral("SimSun"));
        const QRawFont raw = QRawFont::fromFont(gridFont, QFontDatabase::SimplifiedChinese);
        for (const QChar c : QStringLiteral("序号编码坐标")) {
            QVERIFY(raw.supportsCharacter(c));
        }
    }

    void deleteAndClearEdgeCases_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("current");
        QTest::addColumn<QString>("press");
        QTest::addColumn<QStringList>("remaining");
        QTest::newRow("delete on an empty table") << 0 << 0 << "Command5" << QStringList{};
        QTest::newRow("delete the only row, header current")
            << 1 << 0 << "Command5" << QStringList{};
        QTest::newRow("delete the only row, row current") << 1 << 1 << "Command5" << QStringList{};
        QTest::newRow("delete with header current of two")
            << 2 << 0 << "Command5" << QStringList{"1", "2"};
        QTest::newRow("delete the second of three")
            << 3 << 2 << "Command5" << QStringList{"1", "3"};
        QTest::newRow("delete the first of three") << 3 << 1 << "Command5" << QStringList{"2", "3"};
        QTest::newRow("delete the last of three") << 3 << 3 << "Command5" << QStringList{"1", "2"};
        QTest::newRow("clear an empty table") << 0 << 0 << "Command6" << QStringList{};
        QTest::newRow("clear three rows") << 3 << 2 << "Command6" << QStringList{};
    }

    void deleteAndClearEdgeCases() {
        QFETCH(int, rows);
        QFETCH(int, current);
        QFETCH(QString, press);
        QFETCH(QStringList, remaining);
        FormCAD window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        appendRows(window, rows);
        if (current > 0) {
            clickRow(window, current);
        }
        QCOMPARE(window.table().currentRow(), current);
        QTest::mouseClick(button(window, press.toLatin1().constData()), Qt::LeftButton);
        QStringList left;
        for (const std::string& number : numbers(window)) {
            left << QString::fromStdString(number);
        }
        QCOMPARE(left, remaining);
        QCOMPARE(window.grid()->model()->rowCount(), remaining.size());
        const QStringList header = {"序号", "编码", "X坐标", "Y坐标"};
        for (int column = 0; column < 4; ++column) {
            QCOMPARE(window.grid()->model()->headerData(column, Qt::Horizontal).toString(),
                     header[column]);
        }
        // The row the table holds as current is the row the grid shows as current.
        const int shown =
            window.grid()->currentIndex().isValid() ? window.grid()->currentIndex().row() + 1 : 0;
        QCOMPARE(shown, window.table().currentRow());
    }

    void appendAfterClearStartsAtRowOne() {
        FormCAD window;
        appendRows(window, 4);
        button(window, "Command6")->click();
        window.table().appendRow({std::to_string(window.table().rowCount()), "A", "1", "2"});
        QCOMPARE(window.table().rowCount(), 2);
        QCOMPARE(window.table().cell(1, 0), "1");
        QCOMPARE(window.grid()->model()->index(0, 0).data().toString(), QStringLiteral("1"));
    }

    void commandButtonsDoNothingUntilSetThenRunTheirCommand() {
        FormCAD window;
        appendRows(window, 2);
        for (const char* name : {"Command1", "Command2", "Command4"}) {
            button(window, name)->click();
        }
        QCOMPARE(window.table().rowCount(), 3);
        QVERIFY(!window.isCommandRunning());

        QStringList ran;
        window.setCommand(FormCAD::Command::Command1, [&] { ran << "Command1"; });
        window.setCommand(FormCAD::Command::Command2, [&] { ran << "Command2"; });
        window.setCommand(FormCAD::Command::Command4, [&] { ran << "Command4"; });
        for (const char* name : {"Command4", "Command1", "Command2"}) {
            button(window, name)->click();
        }
        QCOMPARE(ran, (QStringList{"Command4", "Command1", "Command2"}));
    }

    void buttonsAreIgnoredWhileACommandRuns() {
        FormCAD window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        appendRows(window, 3);
        clickRow(window, 2);
        int unloads = 0;
        window.setUnloadHandler([&] { ++unloads; });
        QStringList ran;
        window.setCommand(FormCAD::Command::Command2, [&] { ran << "Command2"; });
        window.setCommand(FormCAD::Command::Command4, [&] { ran << "Command4"; });
        window.setCommand(FormCAD::Command::Command1, [&] {
            ran << "Command1";
            QVERIFY(window.isCommandRunning());
            // Clicks that arrive while the command waits in a local event loop.
            for (const char* name :
                 {"Command1", "Command2", "Command4", "Command5", "Command6", "Command3"}) {
                QTest::mouseClick(button(window, name), Qt::LeftButton);
            }
        });
        QTest::mouseClick(button(window, "Command1"), Qt::LeftButton);
        QCOMPARE(ran, QStringList{"Command1"});
        QCOMPARE(window.table().rowCount(), 4);
        QCOMPARE(unloads, 0);
        QVERIFY(window.isVisible());
        QVERIFY(!window.isCommandRunning());
        // Once the command has returned, the buttons work again.
        QTest::mouseClick(button(window, "Command5"), Qt::LeftButton);
        QCOMPARE(window.table().rowCount(), 3);
        QTest::mouseClick(button(window, "Command2"), Qt::LeftButton);
        QCOMPARE(ran, (QStringList{"Command1", "Command2"}));
    }

    void closingCallsTheUnloadHandlerOnce_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Command3") << "Command3";
        QTest::newRow("close box") << "close box";
        QTest::newRow("close box while a command runs") << "close box during command";
    }

    void closingCallsTheUnloadHandlerOnce() {
        QFETCH(QString, how);
        FormCAD window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        int unloads = 0;
        window.setUnloadHandler([&] { ++unloads; });
        if (how == QLatin1String("Command3")) {
            QTest::mouseClick(button(window, "Command3"), Qt::LeftButton);
        } else if (how == QLatin1String("close box")) {
            pressCloseBox(window);
        } else {
            window.setCommand(FormCAD::Command::Command1, [&] {
                pressCloseBox(window);
                QCOMPARE(unloads, 0); // the command still holds what unloading releases
                QVERIFY(window.isVisible());
            });
            QTest::mouseClick(button(window, "Command1"), Qt::LeftButton);
        }
        QCOMPARE(unloads, 1);
        QVERIFY(!window.isVisible());
        window.show();
        window.close();
        QCOMPARE(unloads, 1);
    }

    void closingWithoutAnUnloadHandlerCloses() {
        FormCAD window;
        window.show();
        QVERIFY(window.close());
        QVERIFY(!window.isVisible());
    }

    void minimiseAndRestore() {
        FormCAD window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.minimise();
        QTRY_VERIFY(window.isMinimized());
        window.restore();
        QTRY_VERIFY(!window.isMinimized());
        QVERIFY(window.isVisible());
        QCOMPARE(window.windowState() & (Qt::WindowMinimized | Qt::WindowMaximized),
                 Qt::WindowNoState);
    }

    void messagesGoToThePresenter_data() {
        QTest::addColumn<bool>("information");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shownTitle");
        QTest::addColumn<int>("icon");
        QTest::newRow("information") << true << ""
                                     << "请先打开CAD软件！"
                                     << "提示信息" << int(QMessageBox::Information);
        QTest::newRow("plain with a title") << false << "宽度"
                                            << "Width: 0.5"
                                            << "宽度" << int(QMessageBox::NoIcon);
        QTest::newRow("plain without a title") << false << ""
                                               << "Width: 0.5"
                                               << "Vexilo" << int(QMessageBox::NoIcon);
    }

    void messagesGoToThePresenter() {
        QFETCH(bool, information);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(QString, shownTitle);
        QFETCH(int, icon);
        FormCAD window;
        std::vector<FormCAD::Message> shown;
        window.setMessagePresenter(
            [&](const FormCAD::Message& message) { shown.push_back(message); });
        if (information) {
            window.showInformation(text.toStdString());
        } else {
            window.showPlain(title.toStdString(), text.toStdString());
        }
        QCOMPARE(shown.size(), std::size_t{1});
        QCOMPARE(shown[0].title, shownTitle);
        QCOMPARE(shown[0].text, text);
        QCOMPARE(int(shown[0].icon), icon);
    }

    void defaultMessageBoxIsModalWithOneOkButton() {
        FormCAD window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QList<QAbstractButton*> buttons;
        bool modal = false;
        QTimer::singleShot(0, &window, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->buttons();
            modal = box->isModal();
            box->button(QMessageBox::Ok)->click();
        });
        window.showInformation("请先打开CAD软件！");
        QCOMPARE(title, QStringLiteral("提示信息"));
        QCOMPARE(text, QStringLiteral("请先打开CAD软件！"));
        QCOMPARE(icon, QMessageBox::Information);
        QCOMPARE(buttons.size(), 1);
        QVERIFY(modal);
    }
};

} // namespace vexilo::app

QTEST_MAIN(vexilo::app::FormCADTest)
#include "form_cad_test.moc"
