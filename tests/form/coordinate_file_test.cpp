// Coordinate files read back by Python's csv module: CASS .dat in GBK and UTF-8, PNEZD CSV with
// its byte order mark; east and north in their places with and without the swap; failures.
#include "form/coordinate_file.h"

#include "cad/fake/fake_cad.h"
#include "cad/point_recorder.h"
#include "scratch_folder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace vexilo::form {
namespace {

using testing::ScratchFolder;

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

/// The checker's findings (empty when the file holds exactly `expectedJson`).
std::string check(const std::filesystem::path& file, const std::string& encoding,
                  const std::string& expectedJson, const ScratchFolder& scratch) {
    const std::filesystem::path expected = scratch.path() / "expected.json";
    std::ofstream(expected) << expectedJson;
    const std::string command =
        "/usr/bin/python3 " VEXILO_SOURCE_DIR "/tests/form/check_coordinate_file.py '" +
        file.string() + "' " + encoding + " '" + expected.string() + "' 2>&1";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    std::array<char, 512> buffer{};
    while (std::fgets(buffer.data(), buffer.size(), pipe) != nullptr) {
        output += buffer.data();
    }
    const int status = pclose(pipe);
    if (status != 0 && output.empty()) {
        output = "checker failed with status " + std::to_string(status);
    }
    return output;
}

/// Three points picked in the world system with the options given, as the point picker
/// records them.
cad::CoordinateTable picked(bool swap) {
    cad::fake::FakeCad cad;
    cad::CadSession session{cad.registry};
    cad::CoordinateTable table;
    cad::PointRecorder recorder{session, table, cad.options};
    cad::ErrorState errors;
    cad.options.userSystem = false;
    cad.options.swap = swap;
    recorder.ReadNumericOptions(errors);
    recorder.AppendPointRow({500123.45678, 3012345.6789, 12.3456}, std::nullopt, "界址点J1",
                            errors);
    recorder.AppendPointRow({500130.5, 3012340.25, -1.5}, std::nullopt, "007", errors);
    recorder.AppendPointRow({500140.0, 3012350.0, 0.0}, std::nullopt, "", errors);
    return table;
}

TEST(CoordinateFile, ReadBackByPythonsCsvEastAndNorthInPlaceWithAndWithoutTheSwap) {
    struct Case {
        const char* what;
        CoordinateFileOptions options;
        const char* encoding;
        const char* expected;
    };
    const Case cases[] = {
        {"CASS, GBK, named by code",
         {CoordinateFileFormat::CassDat, PointName::Code, TextEncoding::Gbk},
         "gbk",
         R"([["界址点J1", "", 500123.457, 3012345.679, 12.346], ["007", "", 500130.5, 3012340.25, -1.5],
             ["3", "", 500140, 3012350, 0]])"},
        {"CASS, UTF-8, named by number",
         {CoordinateFileFormat::CassDat, PointName::Number, TextEncoding::Utf8},
         "utf-8",
         R"([["1", "", 500123.457, 3012345.679, 12.346], ["2", "", 500130.5, 3012340.25, -1.5],
             ["3", "", 500140, 3012350, 0]])"},
        {"PNEZD CSV",
         {CoordinateFileFormat::PnezdCsv, PointName::Code, TextEncoding::Gbk},
         "utf-8-sig",
         R"([["点号", "北坐标", "东坐标", "高程", "编码"],
             ["1", 3012345.679, 500123.457, 12.346, "界址点J1"],
             ["2", 3012340.25, 500130.5, -1.5, "007"], ["3", 3012350, 500140, 0, ""]])"},
    };
    ScratchFolder scratch;
    for (const bool swap : {false, true}) {
        const cad::CoordinateTable table = picked(swap);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (swap ? ", swapped" : ""));
            const std::filesystem::path file = scratch.path() / "points";
            ASSERT_TRUE(writeCoordinateFile(table, c.options, file));
            EXPECT_EQ(check(file, c.encoding, c.expected, scratch), "");
        }
    }
}

TEST(CoordinateFile, CsvFieldsWithCommasAndQuotesReadBackWhole) {
    cad::CoordinateTable table;
    table.appendRow({"1", "A,\"B\"", "2", "1"}, {1.0, 2.0, std::nullopt});
    ScratchFolder scratch;
    const std::filesystem::path file = scratch.path() / "points.csv";
    ASSERT_TRUE(writeCoordinateFile(table, {CoordinateFileFormat::PnezdCsv}, file));
    EXPECT_EQ(check(file, "utf-8-sig",
                    R"([["点号", "北坐标", "东坐标", "高程", "编码"], ["1", 2, 1, "", "A,\"B\""]])",
                    scratch),
              "");
}

TEST(CoordinateFile, AFailureSaysWhyWritesNothingAndLeavesTheEarlierFile) {
    struct Case {
        const char* what;
        const char* code;
        TextEncoding encoding;
        bool missingFolder;
        const char* message;
    };
    const Case cases[] = {
        {"a comma in a CASS name", "J,1", TextEncoding::Gbk, false, "序号 1 的点名“J,1”含有逗号"},
        {"a name GBK cannot hold", "J\xF0\x9F\x98\x80", TextEncoding::Gbk, false,
         "GBK 编码无法表示"},
        {"a folder that is not there", "J1", TextEncoding::Utf8, true, "cannot create"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchFolder scratch;
        const std::filesystem::path file = c.missingFolder
                                               ? scratch.path() / "missing" / "points.dat"
                                               : scratch.path() / "points.dat";
        if (!c.missingFolder) {
            std::ofstream(file) << "earlier";
        }
        cad::CoordinateTable table;
        table.appendRow({"1", c.code, "2", "1"}, {1.0, 2.0, 3.0});
        const Status<FileFailure> written = writeCoordinateFile(
            table, {CoordinateFileFormat::CassDat, PointName::Code, c.encoding}, file);
        ASSERT_FALSE(written);
        EXPECT_NE(written.error().message.find(c.message), std::string::npos)
            << written.error().message;
        if (!c.missingFolder) {
            EXPECT_EQ(readAll(file), "earlier");
            EXPECT_EQ(scratch.count(), 1U) << "a temporary file was left behind";
        }
        EXPECT_EQ(table.cell(1, 1), c.code);
    }
}

TEST(CoordinateFile, ReplacesAnEarlierFileWhole) {
    ScratchFolder scratch;
    const std::filesystem::path file = scratch.path() / "points.dat";
    std::ofstream(file) << std::string(1000, 'x');
    cad::CoordinateTable table;
    table.appendRow({"1", "J1", "2", "1"}, {1.0, 2.0, 3.0});
    ASSERT_TRUE(writeCoordinateFile(
        table, {CoordinateFileFormat::CassDat, PointName::Code, TextEncoding::Utf8}, file));
    EXPECT_EQ(readAll(file), "J1,,1,2,3\r\n");
    EXPECT_EQ(scratch.count(), 1U);
}

} // namespace
} // namespace vexilo::form
