// Typed coordinates, keywords and script files.
#include "cadhost/commandline/coordinate_input.h"
#include "cadhost/commandline/script_runner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vexilo::cadhost {
namespace {

struct CoordinateCase {
    const char* name;
    const char* text;
    std::optional<Vec3> expected;
};

TEST(ParseCoordinates, AcceptsTwoOrThreeNumbersAndNothingElse) {
    const std::vector<CoordinateCase> cases{
        {"empty", "", std::nullopt},
        {"one number", "5", std::nullopt},
        {"lone comma", ",", std::nullopt},
        {"missing y", "5,", std::nullopt},
        {"four numbers", "1,2,3,4", std::nullopt},
        {"words", "a,b", std::nullopt},
        {"trailing junk", "1,2x", std::nullopt},
        {"not finite", "nan,1", std::nullopt},
        {"infinite", "1,inf", std::nullopt},
        {"x and y", "1,2", Vec3{1, 2, 0}},
        {"x y and z", "1,2,3", Vec3{1, 2, 3}},
        {"blanks around numbers", " 1.5 , -2.25 ", Vec3{1.5, -2.25, 0}},
        {"plus signs and exponent", "+1e3,-2E-1", Vec3{1000, -0.2, 0}},
        {"survey size", "3012345.678,500123.456", Vec3{3012345.678, 500123.456, 0}},
    };
    for (const CoordinateCase& c : cases) {
        EXPECT_EQ(parseCoordinates(c.text), c.expected) << c.name;
    }
}

TEST(IsCancelLine, OnlyCaretCInEitherCase) {
    EXPECT_TRUE(isCancelLine("^C"));
    EXPECT_TRUE(isCancelLine(" ^c "));
    EXPECT_FALSE(isCancelLine("^"));
    EXPECT_FALSE(isCancelLine("C"));
    EXPECT_FALSE(isCancelLine("^C^C"));
}

TEST(SplitScriptLines, KeepsEmptyLinesAndEveryBreakStyle) {
    EXPECT_EQ(splitScriptLines(""), std::vector<std::string>{});
    EXPECT_EQ(splitScriptLines("\xEF\xBB\xBF"
                               "a\r\n\r\nb\rc\n\nd"),
              (std::vector<std::string>{"a", "", "b", "c", "", "d"}));
    EXPECT_EQ(splitScriptLines("x\n"), std::vector<std::string>{"x"});
    EXPECT_EQ(splitScriptLines("\n"), std::vector<std::string>{""});
}

TEST(ReadScriptFile, ReadsUtf8AndRefusesOtherBytes) {
    const std::string good = testing::TempDir() + "/good.scr";
    const std::string bad = testing::TempDir() + "/bad.scr";
    {
        std::ofstream(good, std::ios::binary) << "UCS\nW\n界址点J1\n";
        // "界" in GBK, as a script saved in the wrong code page would hold it.
        std::ofstream(bad, std::ios::binary) << "\xBD\xE7\n";
    }
    const auto lines = readScriptFile(good);
    ASSERT_TRUE(lines);
    EXPECT_EQ(*lines, (std::vector<std::string>{"UCS", "W", "界址点J1"}));
    EXPECT_FALSE(readScriptFile(bad));
    std::remove(good.c_str());
    std::remove(bad.c_str());
}

TEST(ReadScriptFile, RefusesWhatIsNotARegularFileAndSaysWhy) {
    const std::string missing = testing::TempDir() + "/missing.scr";
    const std::string fifo = testing::TempDir() + "/pipe.scr";
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string path;
        std::string message;
    } cases[] = {
        {missing, "cannot open script file \"" + missing + "\": No such file or directory"},
        // Opening a FIFO used to wait for a writer forever.
        {fifo, "cannot open script file \"" + fifo + "\": not a regular file"},
    };
    for (const auto& c : cases) {
        const auto lines = readScriptFile(c.path);
        ASSERT_FALSE(lines);
        EXPECT_EQ(lines.error().message, c.message);
    }
    ::unlink(fifo.c_str());
}

} // namespace
} // namespace vexilo::cadhost
