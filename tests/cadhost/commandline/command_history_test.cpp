// The command window's lines: prompts shown as received, line breaks, echoes and messages.
#include "cadhost/commandline/command_history.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vexilo::cadhost {
namespace {

std::vector<std::string> closed(const CommandHistory& h) {
    return {h.lines().begin(), h.lines().end()};
}

TEST(CommandHistory, PromptWithoutBreakContinuesTheOpenLine) {
    CommandHistory h;
    h.prompt("Command: ");
    h.prompt("请选择点：<退出键取消选择> ");
    EXPECT_TRUE(h.lines().empty());
    EXPECT_EQ(h.openLine(), "Command: 请选择点：<退出键取消选择> ");
}

TEST(CommandHistory, LeadingCarriageReturnStartsANewLine) {
    CommandHistory h;
    h.prompt("Command: ");
    h.prompt("\r命令：请输入点的编码：<退出键取消输入>");
    EXPECT_EQ(closed(h), std::vector<std::string>{"Command: "});
    EXPECT_EQ(h.openLine(), "命令：请输入点的编码：<退出键取消输入>");
}

TEST(CommandHistory, LeadingBreakOnAnEmptyLineMakesNoBlankLine) {
    CommandHistory h;
    h.prompt("\r\nprompt");
    EXPECT_TRUE(h.lines().empty());
    EXPECT_EQ(h.openLine(), "prompt");
}

TEST(CommandHistory, BreaksInsideAPromptEndLinesAndCrLfIsOneBreak) {
    CommandHistory h;
    h.prompt("a\r\nb\nc\rd");
    EXPECT_EQ(closed(h), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(h.openLine(), "d");
}

TEST(CommandHistory, EchoAppendsTheAnswerAndClosesTheLine) {
    CommandHistory h;
    h.prompt("请选择点：<退出键取消选择> ");
    h.echo("100,200");
    EXPECT_EQ(closed(h), std::vector<std::string>{"请选择点：<退出键取消选择> 100,200"});
    EXPECT_EQ(h.openLine(), "");
    EXPECT_EQ(h.closedCount(), 1u);
}

TEST(CommandHistory, MessageStandsOnItsOwnLines) {
    CommandHistory h;
    h.prompt("Command: ");
    h.message("one\ntwo");
    EXPECT_EQ(closed(h), (std::vector<std::string>{"Command: ", "one", "two"}));
    EXPECT_EQ(h.openLine(), "");
}

TEST(CommandHistory, LongPromptKeepsItsStartAndMarksTheCut) {
    const auto times = [](std::string_view piece, std::size_t n) {
        std::string s;
        for (std::size_t i = 0; i < n; ++i) {
            s += piece;
        }
        return s;
    };
    const std::size_t cap = CommandHistory::kMaxPromptCharacters;
    const struct {
        std::string prompt;
        std::string shown;
    } cases[] = {
        {times("点", cap), times("点", cap)},
        {times("点", cap + 1), times("点", cap) + "…"},
        {times("x", 1 << 20), times("x", cap) + "…"},
    };
    for (const auto& c : cases) {
        CommandHistory h;
        h.prompt(c.prompt);
        EXPECT_EQ(h.openLine(), c.shown);
    }
    CommandHistory h;
    h.message(times("m", cap * 2));
    EXPECT_EQ(h.lines().back().size(), cap * 2) << "the host's own messages are not cut";
}

TEST(CommandHistory, KeepsAtMostTheLimitAndCountsEveryLine) {
    CommandHistory h;
    for (std::size_t i = 0; i < CommandHistory::kMaxLines + 3; ++i) {
        h.echo(std::to_string(i));
    }
    EXPECT_EQ(h.lines().size(), CommandHistory::kMaxLines);
    EXPECT_EQ(h.lines().front(), "3");
    EXPECT_EQ(h.closedCount(), CommandHistory::kMaxLines + 3);
}

} // namespace
} // namespace vexilo::cadhost
