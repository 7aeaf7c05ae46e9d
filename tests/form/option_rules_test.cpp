// The option boxes' rules: typed keys, text arriving at once, and focus.
#include "form/control_table.h"
#include "form/option_rules.h"

#include <gtest/gtest.h>

namespace vexilo::form {
namespace {

using Kind = InsertVerdict::Kind;

struct KeyCase {
    char32_t key;
    KeyVerdict digits;
    KeyVerdict digitsAndMinus;
};

TEST(OptionRules, TypedKeyInsertedDiscardedOrPassedOn) {
    const OptionRules digits(kDigits);
    const OptionRules scale(kDigitsAndMinus);
    const KeyCase cases[] = {
        {U'0', KeyVerdict::Insert, KeyVerdict::Insert},
        {U'9', KeyVerdict::Insert, KeyVerdict::Insert},
        {U'-', KeyVerdict::Discard, KeyVerdict::Insert},
        {U'a', KeyVerdict::Discard, KeyVerdict::Discard},
        {U'.', KeyVerdict::Discard, KeyVerdict::Discard},
        {U'/', KeyVerdict::Discard, KeyVerdict::Discard},
        {U':', KeyVerdict::Discard, KeyVerdict::Discard},
        {U' ', KeyVerdict::Discard, KeyVerdict::Discard},
        {U'１', KeyVerdict::Discard, KeyVerdict::Discard},
        {U'坐', KeyVerdict::Discard, KeyVerdict::Discard},
        {0xD83D, KeyVerdict::Discard, KeyVerdict::Discard},           // half of a surrogate pair
        {0x08, KeyVerdict::NotACharacter, KeyVerdict::NotACharacter}, // backspace
        {0x01, KeyVerdict::NotACharacter, KeyVerdict::NotACharacter}, // Ctrl+A
        {0x0D, KeyVerdict::NotACharacter, KeyVerdict::NotACharacter}, // Enter
    };
    for (const KeyCase& c : cases) {
        EXPECT_EQ(digits.typed(c.key), c.digits) << static_cast<unsigned>(c.key);
        EXPECT_EQ(scale.typed(c.key), c.digitsAndMinus) << static_cast<unsigned>(c.key);
    }
}

struct InsertCase {
    const char* text;
    Kind kind;
    const char* inserted;
};

TEST(OptionRules, ArrivingTextIsTakenOrRefusedWhole) {
    const OptionRules scale(kDigitsAndMinus);
    const InsertCase cases[] = {
        {"25", Kind::Insert, "25"},     {"-3", Kind::Insert, "-3"},
        {"-0.5", Kind::Refuse, ""}, // not "-05": the value would change
        {"2.5", Kind::Refuse, ""},      {"1 000", Kind::Refuse, ""},
        {"１２", Kind::Refuse, ""},     {"比例", Kind::Refuse, ""},
        {"12\n", Kind::Insert, "12"},   // a copied spreadsheet cell
        {"12\r\n", Kind::Insert, "12"}, // the same from Windows
        {"12\n\n", Kind::Refuse, ""},   {"1\n2", Kind::Refuse, ""},
        {"", Kind::Nothing, ""},        {"\r\n", Kind::Nothing, ""},
    };
    for (const InsertCase& c : cases) {
        const InsertVerdict utf8 = scale.inserted(std::string_view(c.text));
        EXPECT_EQ(utf8.kind, c.kind) << c.text;
        EXPECT_EQ(utf8.text, c.inserted) << c.text;
    }
    // The same text as UTF-16 gets the same verdict.
    EXPECT_EQ(scale.inserted(std::u16string_view(u"-3\r\n")).text, "-3");
    EXPECT_EQ(scale.inserted(std::u16string_view(u"-0.5")).kind, Kind::Refuse);
    EXPECT_EQ(scale.inserted(std::u16string_view(u"坐")).kind, Kind::Refuse);
    EXPECT_EQ(scale.inserted(std::u16string_view(u"")).kind, Kind::Nothing);
}

TEST(OptionRules, ReadOnlyBoxTakesNothingSilently) {
    const OptionRules digits(kDigits);
    EXPECT_EQ(digits.inserted(std::string_view("12"), true).kind, Kind::Nothing);
    EXPECT_EQ(digits.inserted(std::string_view("x"), true).kind, Kind::Nothing);
    EXPECT_EQ(digits.inserted(std::u16string_view(u"12"), true).kind, Kind::Nothing);
}

TEST(OptionRules, KeptDropsEveryRefusedCharacter) {
    EXPECT_EQ(OptionRules(kDigits).kept("1a2-３4坐"), "124");
    EXPECT_EQ(OptionRules(kDigitsAndMinus).kept("-1.5"), "-15");
}

TEST(OptionRules, FocusSelectsAllUnlessComingBack) {
    for (const FocusReason reason : {FocusReason::Tab, FocusReason::Backtab, FocusReason::Shortcut,
                                     FocusReason::MouseClick, FocusReason::Programmatic}) {
        EXPECT_TRUE(selectsAllOnFocus(reason)) << static_cast<int>(reason);
    }
    EXPECT_FALSE(selectsAllOnFocus(FocusReason::Returning));
}

} // namespace
} // namespace vexilo::form
