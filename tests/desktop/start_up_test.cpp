// Start-up shared by both programs: which command lines need no display, and the translations
// reaching Qt's own texts, the programs' widgets and the Qt-free cores.
#include "desktop/start_up.h"

#include "common/ui_text.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTest>

#include <string>
#include <vector>

namespace vexilo::desktop {

class StartUpTest : public QObject {
    Q_OBJECT

private slots:
    void textOnlyCommandLines_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("textOnly");
        QTest::newRow("nothing") << QStringList{} << false;
        QTest::newRow("drawing") << QStringList{"site.dxf"} << false;
        QTest::newRow("--version") << QStringList{"--version"} << true;
        QTest::newRow("-v") << QStringList{"-v"} << true;
        QTest::newRow("--help after options") << QStringList{"--progid", "X", "--help"} << true;
        QTest::newRow("-h") << QStringList{"-h"} << true;
        QTest::newRow("--help-all") << QStringList{"--help-all"} << true;
        QTest::newRow("a file named --help") << QStringList{"--", "--help"} << false;
        QTest::newRow("--helpful") << QStringList{"--helpful"} << false;
    }

    void textOnlyCommandLines() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, textOnly);
        std::vector<std::string> storage{"vexilo-cad"};
        for (const QString& a : arguments) {
            storage.push_back(a.toStdString());
        }
        std::vector<char*> argv;
        for (std::string& s : storage) {
            argv.push_back(s.data());
        }
        QCOMPARE(asksOnlyForText(static_cast<int>(argv.size()), argv.data()), textOnly);
    }

    // Chinese for Qt's standard buttons, the widgets' tr() and the cores' uiText(); the cores'
    // placeholders are filled after the lookup.
    void chineseReachesEveryLayer() {
        QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
        installTranslations(*QCoreApplication::instance());
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "OK"), QStringLiteral("确定"));
        QCOMPARE(QCoreApplication::translate("vexilo::cadhost::MainWindow", "&File"),
                 QStringLiteral("文件(&F)"));
        QCOMPARE(uiText("CommandLine", "Command: "), std::string("命令: "));
        QCOMPARE(fillText(uiText("CommandLine", "Unknown command \"%1\"."), {"FOO"}),
                 std::string("未知命令“FOO”。"));
    }
};

} // namespace vexilo::desktop

QTEST_GUILESS_MAIN(vexilo::desktop::StartUpTest)
#include "start_up_test.moc"
