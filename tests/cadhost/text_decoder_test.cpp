// Decoding of DXF strings: code pages, AutoCAD escapes, damaged bytes, and the plain text of
// MTEXT and TEXT control codes.
#include "cadhost/dxf/text_decoder.h"

#include <gtest/gtest.h>

namespace vexilo::cadhost::dxf {
namespace {

struct DecodeCase {
    const char* name;
    const char* codePage; // "" for none, "UTF8" for a 2007+ file
    std::string raw;
    std::string expected;
};

class DecodeText : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeText, GivesUtf8) {
    const DecodeCase& c = GetParam();
    TextDecoder decoder;
    if (std::string(c.codePage) == "UTF8") {
        decoder.setUtf8(true);
    } else if (*c.codePage) {
        ASSERT_TRUE(decoder.setCodePage(c.codePage));
    }
    std::string out;
    decoder.decode(c.raw, out);
    EXPECT_EQ(out, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeText,
    ::testing::Values(
        DecodeCase{"EmptyString", "ANSI_936", "", ""},
        DecodeCase{"AsciiUnchanged", "ANSI_936", "J12 abc", "J12 abc"},
        DecodeCase{"Gbk", "ANSI_936", "\xBD\xE7\xD6\xB7\xB5\xE3J1", "界址点J1"},
        DecodeCase{"Big5", "ANSI_950", "\xAC\xC9\xA7}\xC2I", "界址點"},
        DecodeCase{"Windows1252", "ANSI_1252", "Caf\xE9 \xB1", "Café ±"},
        DecodeCase{"LowerCaseCodePageName", "ansi_936", "\xB2\xE2", "测"},
        DecodeCase{"UnicodeEscape", "ANSI_1252", "\\U+754c\\U+5740", "界址"},
        DecodeCase{"UnicodeEscapeLowerU", "ANSI_1252", "x\\u+00B0y", "x°y"},
        DecodeCase{"EscapeInUtf8File", "UTF8", "\xE7\x95\x8C\\U+5740", "界址"},
        DecodeCase{"ShortEscapeKept", "ANSI_1252", "\\U+12", "\\U+12"},
        DecodeCase{"BadHexEscapeKept", "ANSI_1252", "\\U+12G4", "\\U+12G4"},
        DecodeCase{"MultiByteEscapeGbk", "ANSI_1252", "\\M+5B2E2", "测"},
        DecodeCase{"MultiByteEscapeBadPageKept", "ANSI_1252", "\\M+9B2E2", "\\M+9B2E2"},
        DecodeCase{"CutGbkPairBecomesReplacement", "ANSI_936", "A\xB2", "A\xEF\xBF\xBD"},
        DecodeCase{"InvalidUtf8InUtf8FileReadAs1252", "UTF8", "Caf\xE9", "Café"},
        DecodeCase{"NoCodePageValidUtf8Kept", "", "\xE7\x95\x8C", "界"},
        DecodeCase{"NoCodePageOtherBytesAre1252", "", "\xB1", "±"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecodeText, UnknownCodePageIsRefusedAndDecodingGoesOn) {
    TextDecoder decoder;
    EXPECT_FALSE(decoder.setCodePage("ANSI_99999"));
    EXPECT_FALSE(decoder.setCodePage("nonsense"));
    std::string out;
    decoder.decode("\xB1", out);
    EXPECT_EQ(out, "±");
}

TEST(Utf8, ValidityBoundaries) {
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_TRUE(isValidUtf8("\xF4\x8F\xBF\xBF"));
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80")); // beyond U+10FFFF
    EXPECT_FALSE(isValidUtf8("\xC0\x80"));         // overlong
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(isValidUtf8("\xE7\x95"));         // cut
    std::string out;
    appendUtf8(0xD800, out);
    EXPECT_EQ(out, "\xEF\xBF\xBD");
}

struct PlainCase {
    const char* name;
    std::string raw;
    std::string expected;
};

class MTextPlain : public ::testing::TestWithParam<PlainCase> {};

TEST_P(MTextPlain, DropsFormattingKeepsText) {
    EXPECT_EQ(mtextPlainText(GetParam().raw), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MTextPlain,
    ::testing::Values(
        PlainCase{"Empty", "", ""}, PlainCase{"Paragraph", "a\\Pb", "a\nb"},
        PlainCase{"FontGroup", "{\\fArial|b1;bold} x", "bold x"},
        PlainCase{"HeightAndColour", "\\H2.5;\\C1;red", "red"},
        PlainCase{"EscapedBraces", "\\{x\\}", "{x}"}, PlainCase{"Backslash", "a\\\\b", "a\\b"},
        PlainCase{"Stacked", "\\S1^2;", "1/2"}, PlainCase{"UnderlineSwitches", "\\Lu\\l", "u"},
        PlainCase{"CutCodeAtEnd", "x\\H2.5", "x"}, PlainCase{"ColumnBreak", "a\\Nb", "a\nb"},
        PlainCase{"FractionSlash", "\\S3/4;", "3/4"},
        PlainCase{"FractionDiagonal", "\\S1#8;", "1/8"},
        PlainCase{"ToleranceStack", "\\S+0.1^ -0.2;", "+0.1/-0.2"},
        PlainCase{"NoBreakSpace", "1\\~m", "1\u00a0m"},
        PlainCase{"WidthAlignTrackingOblique", "\\W0.8;\\A1;\\T1.2;\\Q15;x", "x"},
        PlainCase{"RelativeHeight", "\\H0.7x;y", "y"},
        PlainCase{"OverlineSwitches", "\\Oo\\o", "o"},
        PlainCase{"CaretCodes", "a^Ib^Jc^ d", "a b\nc^d"},
        PlainCase{"ControlCodes", "%%c20 %%d %%p1", "\u00d820 \u00b0 \u00b11"},
        PlainCase{"TrailingBackslash", "x\\", "x\\"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TextPlain, ControlCodesBecomeSymbols) {
    EXPECT_EQ(textPlainText("45%%d30'"), "45°30'");
    EXPECT_EQ(textPlainText("%%c20 %%p0.5 100%%%"), "Ø20 ±0.5 100%");
    EXPECT_EQ(textPlainText("%%uJ1%%u"), "J1");
    EXPECT_EQ(textPlainText("50%%"), "50%%");
}

} // namespace
} // namespace vexilo::cadhost::dxf
