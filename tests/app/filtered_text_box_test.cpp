// The option text boxes of the window as built: key filters, paste, drop, input method, and
// the whole-text selection on focus by Tab and by click.
#include "app/filtered_text_box.h"
#include "app/form_cad.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMimeData>
#include <QTest>

namespace vexilo::app {

class FilteredTextBoxTest : public QObject {
    Q_OBJECT

private:
    /// Types each character as a key press; characters without a key of their own (full-width
    /// digits, Chinese) arrive as a key event carrying the text, as a keyboard layout sends them.
    static void typeText(QWidget* widget, const QString& text) {
        for (const QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClick(widget, static_cast<char>(c.unicode()));
            } else {
                QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c),
                                    Qt::NoModifier);
            }
        }
    }

    FilteredTextBox* box(FormCAD& window, const QString& name) {
        auto* found = window.controlAs<FilteredTextBox>(name.toStdString());
        Q_ASSERT(found != nullptr);
        return found;
    }

    /// Adds one data row per box and kind of input: which box, what arrives, what it holds.
    static void addBoxRows(const char* what, const QString& input, const QString& digitsBox,
                           const QString& minusBox) {
        for (const char* name : {"Text1(0)", "Text1(1)"}) {
            QTest::addRow("%s %s", name, what) << QString::fromLatin1(name) << input << digitsBox;
        }
        QTest::addRow("Text2 %s", what) << QStringLiteral("Text2") << input << minusBox;
    }

private slots:
    void typedKeyKeptOrDiscarded_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        // The box starts as "12" with the cursor at its end.
        addBoxRows("digit 0", "0", "120", "120");
        addBoxRows("digit 9", "9", "129", "129");
        addBoxRows("letter", "a", "12", "12");
        addBoxRows("capital letter", "Z", "12", "12");
        addBoxRows("decimal point", ".", "12", "12");
        addBoxRows("minus sign", "-", "12", "12-");
        addBoxRows("plus sign", "+", "12", "12");
        addBoxRows("space", " ", "12", "12");
        addBoxRows("slash, below digit 0", "/", "12", "12");
        addBoxRows("colon, above digit 9", ":", "12", "12");
        addBoxRows("full-width digit", QStringLiteral("１"), "12", "12");
        addBoxRows("Chinese character", QStringLiteral("坐"), "12", "12");
    }

    void typedKeyKeptOrDiscarded() {
        QFETCH(QString, name);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        FormCAD window;
        FilteredTextBox* edit = box(window, name);
        edit->setText(QStringLiteral("12"));
        edit->setCursorPosition(2);
        typeText(edit, input);
        QCOMPARE(edit->text(), expected);
    }

    void refusedKeyKeepsTheSelectedText() {
        for (const char* name : {"Text1(0)", "Text1(1)", "Text2"}) {
            FormCAD window;
            FilteredTextBox* edit = box(window, QString::fromLatin1(name));
            edit->setText(QStringLiteral("45"));
            edit->selectAll();
            QTest::keyClick(edit, 'x');
            QTest::keyClick(edit, '.');
            QCOMPARE(edit->text(), QStringLiteral("45"));
            QCOMPARE(edit->selectedText(), QStringLiteral("45"));
        }
    }

    void backspaceIsKept() {
        for (const char* name : {"Text1(0)", "Text1(1)", "Text2"}) {
            FormCAD window;
            FilteredTextBox* edit = box(window, QString::fromLatin1(name));
            edit->setText(QStringLiteral("45"));
            edit->setCursorPosition(2);
            QTest::keyClick(edit, Qt::Key_Backspace);
            QCOMPARE(edit->text(), QStringLiteral("4"));
        }
    }

    // Which texts a box takes is the core's rule (tests/form); these check that every way
    // text arrives goes through it: an accepted text goes in, a text with one refused
    // character leaves the box as it was.
    void pasteTakesOrRefusesTextWhole_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        // Pasted over the whole text "7", selected.
        addBoxRows("digits and a line end", "45\n", "45", "45");
        addBoxRows("negative decimal", "-0.5", "7", "7");
        addBoxRows("minus sign", "-3", "7", "-3");
    }

    void pasteTakesOrRefusesTextWhole() {
        QFETCH(QString, name);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        FormCAD window;
        FilteredTextBox* edit = box(window, name);
        edit->setText(QStringLiteral("7"));
        edit->selectAll();
        QGuiApplication::clipboard()->setText(input);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->text(), expected);
    }

    void contextMenuPasteTakesOrRefusesTextWhole_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        // Pasted over the whole text "7", selected.
        addBoxRows("digits", "91", "91", "91");
        addBoxRows("mixed text", "x-9.1", "7", "7");
    }

    void contextMenuPasteTakesOrRefusesTextWhole() {
        QFETCH(QString, name);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        FormCAD window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        FilteredTextBox* edit = box(window, name);
        edit->setText(QStringLiteral("7"));
        edit->selectAll();
        QGuiApplication::clipboard()->setText(input);
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, edit->rect().center(),
                                    edit->mapToGlobal(edit->rect().center()));
        QCoreApplication::sendEvent(edit, &menuEvent);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu != nullptr);
        QAction* paste = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->text().startsWith(QCoreApplication::translate("QLineEdit", "&Paste"))) {
                paste = action;
            }
        }
        QVERIFY(paste != nullptr);
        paste->trigger();
        menu->close();
        QCOMPARE(edit->text(), expected);
    }

    void dropTakesOrRefusesTextWhole_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        // Dropped into an empty box.
        addBoxRows("digits", "56", "56", "56");
        addBoxRows("decimal", "3.25", "", "");
    }

    void dropTakesOrRefusesTextWhole() {
        QFETCH(QString, name);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        FormCAD window;
        FilteredTextBox* edit = box(window, name);
        edit->clear();
        QMimeData data;
        data.setText(input);
        const QPointF at = edit->rect().center();
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(edit, &enter);
        QCOMPARE(enter.isAccepted(), !expected.isEmpty());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(edit, &drop);
        QCOMPARE(edit->text(), expected);
    }

    void inputMethodCommitTakesOrRefusesTextWhole() {
        FormCAD window;
        FilteredTextBox* edit = box(window, QStringLiteral("Text1(0)"));
        edit->setText(QStringLiteral("1"));
        edit->setCursorPosition(1);
        QInputMethodEvent digits(QString(), {});
        digits.setCommitString(QStringLiteral("23"));
        QCoreApplication::sendEvent(edit, &digits);
        QCOMPARE(edit->text(), QStringLiteral("123"));

        edit->selectAll();
        QInputMethodEvent mixed(QStringLiteral("zuo"), {});
        mixed.setCommitString(QStringLiteral("4坐"));
        QCoreApplication::sendEvent(edit, &mixed);
        QCOMPARE(edit->text(), QStringLiteral("123"));
        QCOMPARE(edit->selectedText(), QStringLiteral("123"));
    }

    void setTextDropsRefusedCharacters() {
        FormCAD window;
        FilteredTextBox* edit = box(window, QStringLiteral("Text2"));
        edit->setText(QStringLiteral("-1.5e3"));
        QCOMPARE(edit->text(), QStringLiteral("-153"));
    }

    void tabIntoABoxSelectsItsWholeText_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("backwards");
        QTest::newRow("Check1 to Text1(0)") << "Check1"
                                            << "Text1(0)" << false;
        QTest::newRow("Text1(0) to Text1(1)") << "Text1(0)"
                                              << "Text1(1)" << false;
        QTest::newRow("Check2 to Text2") << "Check2"
                                         << "Text2" << false;
        QTest::newRow("back from Check2 to Text1(1)") << "Check2"
                                                      << "Text1(1)" << true;
    }

    void tabIntoABoxSelectsItsWholeText() {
        QFETCH(QString, from);
        QFETCH(QString, name);
        QFETCH(bool, backwards);
        FormCAD window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        FilteredTextBox* edit = box(window, name);
        edit->setText(QStringLiteral("2468"));
        edit->setCursorPosition(1);
        QWidget* start = window.control(from.toStdString());
        start->setFocus();
        QTRY_VERIFY(start->hasFocus());
        QTest::keyClick(start, Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
        QVERIFY(edit->hasFocus());
        QCOMPARE(edit->selectedText(), QStringLiteral("2468"));
        QCOMPARE(edit->selectionStart(), 0);
        QTest::keyClick(edit, '5');
        QCOMPARE(edit->text(), QStringLiteral("5"));
    }

    void clickIntoABoxSelectsItsWholeText() {
        for (const char* name : {"Text1(0)", "Text1(1)", "Text2"}) {
            FormCAD window;
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            FilteredTextBox* edit = box(window, QString::fromLatin1(name));
            edit->setText(QStringLiteral("135"));
            edit->setCursorPosition(0);
            window.control("Command1")->setFocus();
            QTRY_VERIFY(!edit->hasFocus());
            const QPoint middle = edit->rect().center();
            QTest::mouseClick(edit, Qt::LeftButton, Qt::NoModifier, middle);
            QVERIFY(edit->hasFocus());
            QCOMPARE(edit->selectedText(), QStringLiteral("135"));
            QTest::keyClick(edit, '8');
            QCOMPARE(edit->text(), QStringLiteral("8"));
            // A click in a box that already has the focus places the cursor as usual.
            edit->selectAll();
            QTest::mouseClick(edit, Qt::LeftButton, Qt::NoModifier, middle);
            QVERIFY(edit->selectedText().isEmpty());
        }
    }
};

} // namespace vexilo::app

QTEST_MAIN(vexilo::app::FilteredTextBoxTest)
#include "filtered_text_box_test.moc"
