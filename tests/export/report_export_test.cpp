// The export as the window runs it: where the workbook goes, its name, the desktop hand-over
// and the message when it cannot be saved.
#include "export/report_export.h"

#include "report_check.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace vexilo::report {
namespace {

using testing::ExpectedRow;
using testing::ScratchFolder;

class RecordingWindow : public cad::WindowPort {
public:
    void minimise() override { ++minimised; }
    void restore() override { ++restored; }
    void showInformation(std::string_view text) override { messages.emplace_back(text); }
    void showPlain(std::string_view, std::string_view text) override {
        plainMessages.emplace_back(text);
    }
    int minimised = 0;
    int restored = 0;
    std::vector<std::string> messages;
    std::vector<std::string> plainMessages;
};

const std::vector<ExpectedRow> kRows = {
    {{"1", "007", "3012345.679", "500123.457"}, {1, 0, 1, 1}},
    {{"3", "K3", "3012346.5", "500124"}, {1, 0, 1, 1}},
};

cad::CoordinateTable table() {
    cad::CoordinateTable t;
    for (const ExpectedRow& row : kRows) {
        EXPECT_TRUE(t.appendRow({row.texts[0], row.texts[1], row.texts[2], row.texts[3]}));
    }
    return t;
}

std::vector<std::vector<std::string>> contents(const cad::CoordinateTable& t) {
    std::vector<std::vector<std::string>> cells;
    for (int row = 0; row < t.rowCount(); ++row) {
        cells.push_back({t.cell(row, 0), t.cell(row, 1), t.cell(row, 2), t.cell(row, 3)});
    }
    return cells;
}

const QDateTime kTime(QDate(2026, 12, 7), QTime(15, 45, 1));

struct Export {
    ExportSettings settings;
    std::vector<QUrl> opened;
};

ExportSettings settingsFor(const std::string& folder, std::vector<QUrl>& opened,
                           bool canOpen = true) {
    ExportSettings settings;
    settings.folder = QString::fromStdString(folder);
    settings.time = kTime;
    settings.openFile = [&opened, canOpen](const QUrl& url) {
        opened.push_back(url);
        return canOpen;
    };
    return settings;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(ReportFileName, TimestampThenANumberForLaterAttempts) {
    EXPECT_EQ(reportFileName(kTime, 1), QStringLiteral("坐标数据成果表-20261207-154501.xlsx"));
    EXPECT_EQ(reportFileName(kTime, 2), QStringLiteral("坐标数据成果表-20261207-154501-2.xlsx"));
    EXPECT_EQ(reportFileName(QDateTime(QDate(2027, 1, 2), QTime(3, 4, 5)), 12),
              QStringLiteral("坐标数据成果表-20270102-030405-12.xlsx"));
}

TEST(ExportReport, HeaderOnlyTableDoesNothing) {
    const ScratchFolder folder;
    RecordingWindow window;
    std::vector<QUrl> opened;
    EXPECT_TRUE(
        exportReport(cad::CoordinateTable{}, window, settingsFor(folder.path(), opened)).isEmpty());
    EXPECT_TRUE(folder.entries().empty());
    EXPECT_TRUE(window.messages.empty());
    EXPECT_TRUE(opened.empty());
}

TEST(ExportReport, SavesTheReportUnderATimestampedNameAndOpensIt) {
    const ScratchFolder folder;
    RecordingWindow window;
    std::vector<QUrl> opened;
    const QString saved = exportReport(table(), window, settingsFor(folder.path(), opened));

    const std::string name = "坐标数据成果表-20261207-154501.xlsx";
    EXPECT_EQ(saved.toStdString(), folder.path() + "/" + name);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{name});
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(saved));
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(testing::checkReport(saved.toStdString(), kRows), "");
    EXPECT_TRUE(QFileInfo(saved).permissions().testFlag(QFileDevice::ReadOther));
}

TEST(ExportReport, TwoExportsInOneSecondGiveTwoWorkbooksAndLeaveTheFirstAlone) {
    const ScratchFolder folder;
    RecordingWindow window;
    std::vector<QUrl> opened;
    const cad::CoordinateTable first = table();
    const QString firstPath = exportReport(first, window, settingsFor(folder.path(), opened));
    const QByteArray firstBytes = readAll(firstPath);
    ASSERT_FALSE(firstBytes.isEmpty());

    cad::CoordinateTable second = table();
    ASSERT_TRUE(second.appendRow({"4", "K4", "1", "2"}));
    const QString secondPath = exportReport(second, window, settingsFor(folder.path(), opened));

    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"坐标数据成果表-20261207-154501-2.xlsx",
                                                          "坐标数据成果表-20261207-154501.xlsx"}));
    EXPECT_EQ(QFileInfo(secondPath).fileName(),
              QStringLiteral("坐标数据成果表-20261207-154501-2.xlsx"));
    EXPECT_EQ(readAll(firstPath), firstBytes);
    EXPECT_EQ(testing::checkReport(firstPath.toStdString(), kRows), "");
    std::vector<ExpectedRow> secondRows = kRows;
    secondRows.push_back({{"4", "K4", "1", "2"}, {1, 0, 1, 1}});
    EXPECT_EQ(testing::checkReport(secondPath.toStdString(), secondRows), "");
    EXPECT_EQ(opened.size(), 2u);
}

TEST(ExportReport, NeverReplacesAFileThatHoldsTheName) {
    const ScratchFolder folder;
    const std::string taken = folder.path() + "/坐标数据成果表-20261207-154501.xlsx";
    std::ofstream(taken) << "someone else's";
    RecordingWindow window;
    std::vector<QUrl> opened;
    const QString saved = exportReport(table(), window, settingsFor(folder.path(), opened));
    EXPECT_EQ(QFileInfo(saved).fileName(), QStringLiteral("坐标数据成果表-20261207-154501-2.xlsx"));
    EXPECT_EQ(readAll(QString::fromStdString(taken)), QByteArray("someone else's"));
}

TEST(ExportReport, WhenNothingCanOpenItTellsWhereTheReportWasSaved) {
    const ScratchFolder folder;
    RecordingWindow window;
    std::vector<QUrl> opened;
    const QString saved =
        exportReport(table(), window, settingsFor(folder.path(), opened, /*canOpen=*/false));
    ASSERT_FALSE(saved.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(saved));
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0],
              "坐标数据成果表已保存到：" + saved.toStdString() + "\n系统中没有可以打开它的程序。");
}

struct UnwritableCase {
    const char* name;
    std::string (*folderIn)(const std::string& scratch);
    const char* reason; // part of the system's reason, or "" when it varies
};

std::ostream& operator<<(std::ostream& out, const UnwritableCase& c) {
    return out << c.name;
}

class UnwritableFolder : public ::testing::TestWithParam<UnwritableCase> {};

// Run as root, a read-only folder does not stop the writing; these folders stop everyone.
TEST_P(UnwritableFolder, ShowsTheMessageWithThePathAndLeavesTheTable) {
    const ScratchFolder scratch;
    const std::string folder = GetParam().folderIn(scratch.path());
    RecordingWindow window;
    std::vector<QUrl> opened;
    const cad::CoordinateTable t = table();
    const auto before = contents(t);

    EXPECT_TRUE(exportReport(t, window, settingsFor(folder, opened)).isEmpty());

    ASSERT_EQ(window.messages.size(), 1u);
    const std::string& message = window.messages[0];
    const std::string head =
        "无法保存坐标数据成果表：" + folder + "/坐标数据成果表-20261207-154501.xlsx\n";
    EXPECT_EQ(message.rfind(head, 0), 0u) << message;
    EXPECT_GT(message.size(), head.size()) << "no reason given";
    EXPECT_NE(message.find(GetParam().reason), std::string::npos) << message;
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(contents(t), before);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, UnwritableFolder,
    ::testing::Values(UnwritableCase{"Missing",
                                     [](const std::string& scratch) {
                                         return scratch + "/no/such/folder";
                                     },
                                     "文件夹不存在"},
                      UnwritableCase{"AFileInPlaceOfTheFolder",
                                     [](const std::string& scratch) {
                                         const std::string file = scratch + "/plain-file";
                                         std::ofstream(file) << "x";
                                         return file;
                                     },
                                     "文件夹不存在"},
                      UnwritableCase{"KernelFileSystem",
                                     [](const std::string&) { return std::string("/proc"); }, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// A full disk, made by a file-size limit in a child process: the workbook cannot be written
// although its folder is fine, and nothing is left in the folder.
TEST(ExportReport, FullDiskShowsTheMessageAndLeavesNoFile) {
    const ScratchFolder folder;
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(channel[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        cad::CoordinateTable big;
        for (int i = 1; i <= 2000; ++i) {
            big.appendRow({std::to_string(i), "K" + std::to_string(i), "3012345.679", "1.5"});
        }
        RecordingWindow window;
        std::vector<QUrl> opened;
        const QString saved = exportReport(big, window, settingsFor(folder.path(), opened));
        const std::string report =
            (saved.isEmpty() ? "" : "saved ") + (window.messages.empty() ? "" : window.messages[0]);
        const ssize_t written = write(channel[1], report.data(), report.size());
        _exit(written == static_cast<ssize_t>(report.size()) ? 0 : 1);
    }
    close(channel[1]);
    std::string report;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(channel[0], buffer, sizeof buffer)) > 0) {
        report.append(buffer, static_cast<std::size_t>(n));
    }
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(report.rfind("无法保存坐标数据成果表：" + folder.path(), 0), 0u) << report;
    EXPECT_NE(report.find("File too large"), std::string::npos) << report;
    EXPECT_TRUE(folder.entries().empty());
}

// Regression: with no application for .xlsx, xdg-open still started and the export counted as
// opened, so the person never learned where the report went.
TEST(DesktopApplication, AMimeTypeNoApplicationClaimsHasNone) {
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty()) {
        GTEST_SKIP() << "xdg-mime (xdg-utils) is not installed";
    }
    EXPECT_FALSE(hasDesktopApplicationFor(QStringLiteral("application/x-vexilo-no-such-type")));
}

TEST(DefaultReportFolder, DocumentsFolderWhenItExistsElseHome) {
    const ScratchFolder home;
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QByteArray::fromStdString(home.path()));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home.path() + "/.config"));

    EXPECT_EQ(defaultReportFolder().toStdString(), home.path());
    std::filesystem::create_directory(home.path() + "/Documents");
    EXPECT_EQ(defaultReportFolder().toStdString(), home.path() + "/Documents");

    qputenv("HOME", oldHome);
    if (oldConfig.isNull()) {
        qunsetenv("XDG_CONFIG_HOME");
    } else {
        qputenv("XDG_CONFIG_HOME", oldConfig);
    }
}

} // namespace
} // namespace vexilo::report
