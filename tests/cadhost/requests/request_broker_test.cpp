// The host's waiting request: each answer of each kind, busy, cancel, abandon, the text cap.
#include "cadhost/requests/request_broker.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace vexilo::cadhost {
namespace {

// What a reply callback received: a value rendered as text, or the failure code.
struct Received {
    int calls = 0;
    std::optional<automation::HResult> code;
    std::string value;
};

template <class T> auto recorder(Received& received) {
    return [&received](Expected<T, automation::HResult> result) {
        ++received.calls;
        if (result) {
            if constexpr (std::is_same_v<T, std::string>) {
                received.value = *result;
            } else if constexpr (std::is_same_v<T, EntityPick>) {
                received.value = std::to_string(result->handle);
            } else {
                received.value = std::to_string((*result)[0]) + "," + std::to_string((*result)[1]);
            }
        } else {
            received.code = result.error();
        }
    };
}

enum class Answer { Point, Entity, Nothing, Text, Empty, Cancel };

void give(RequestBroker& broker, Answer answer) {
    switch (answer) {
    case Answer::Point:
        broker.answerPoint({1.5, 2.5, 0});
        break;
    case Answer::Entity:
        broker.answerEntity({0x2A, {1, 1, 0}});
        break;
    case Answer::Nothing:
        broker.answerNothingPicked();
        break;
    case Answer::Text:
        broker.answerText("A1");
        break;
    case Answer::Empty:
        broker.answerEmpty();
        break;
    case Answer::Cancel:
        broker.cancel();
        break;
    }
}

struct AnswerCase {
    const char* name;
    RequestKind kind;
    Answer answer;
    bool answered;
    std::optional<automation::HResult> code;
    std::string value;
};

TEST(RequestBroker, EachAnswerOfEachKind) {
    const AnswerCase cases[] = {
        {"point: a click", RequestKind::Point, Answer::Point, true, std::nullopt,
         "1.500000,2.500000"},
        {"point: Enter", RequestKind::Point, Answer::Empty, true, automation::kNoInputCode, ""},
        {"point: Esc", RequestKind::Point, Answer::Cancel, true, automation::kCancelCode, ""},
        {"point: a text is not an answer", RequestKind::Point, Answer::Text, false, std::nullopt,
         ""},
        {"entity: a hit", RequestKind::Entity, Answer::Entity, true, std::nullopt, "42"},
        {"entity: a miss", RequestKind::Entity, Answer::Nothing, true,
         automation::kNothingPickedCode, ""},
        {"entity: Enter", RequestKind::Entity, Answer::Empty, true, automation::kNoInputCode, ""},
        {"entity: Esc", RequestKind::Entity, Answer::Cancel, true, automation::kCancelCode, ""},
        {"entity: a point is not an answer", RequestKind::Entity, Answer::Point, false,
         std::nullopt, ""},
        {"text: typed", RequestKind::Text, Answer::Text, true, std::nullopt, "A1"},
        {"text: Enter alone is the empty text", RequestKind::Text, Answer::Empty, true,
         std::nullopt, ""},
        {"text: Esc", RequestKind::Text, Answer::Cancel, true, automation::kCancelCode, ""},
        {"text: a miss is not an answer", RequestKind::Text, Answer::Nothing, false, std::nullopt,
         ""},
    };
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.name);
        RequestBroker broker;
        Received received;
        automation::HResult started = 0;
        switch (c.kind) {
        case RequestKind::Point:
            started = broker.requestPoint("p", recorder<WorldPoint>(received));
            break;
        case RequestKind::Entity:
            started = broker.requestEntity("e", recorder<EntityPick>(received));
            break;
        case RequestKind::Text:
            started = broker.requestText(false, "t", recorder<std::string>(received));
            break;
        }
        ASSERT_EQ(started, 0);
        give(broker, c.answer);
        EXPECT_EQ(received.calls, c.answered ? 1 : 0);
        EXPECT_EQ(broker.isWaiting(), !c.answered);
        EXPECT_EQ(received.code, c.code);
        EXPECT_EQ(received.value, c.value);
    }
}

TEST(RequestBroker, ASecondRequestWhileOneWaitsIsBusy) {
    RequestBroker broker;
    Received first;
    Received second;
    ASSERT_EQ(broker.requestPoint("first", recorder<WorldPoint>(first)), 0);
    EXPECT_EQ(broker.requestText(true, "second", recorder<std::string>(second)),
              automation::kBusyCode);
    EXPECT_EQ(broker.pending()->prompt, "first");
    broker.answerPoint({1, 2, 3});
    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(second.calls, 0);
}

TEST(RequestBroker, AReplyMayAskTheNextQuestionAtOnce) {
    RequestBroker broker;
    Received text;
    automation::HResult next = -1;
    ASSERT_EQ(broker.requestPoint("point",
                                  [&](Expected<WorldPoint, automation::HResult>) {
                                      next = broker.requestText(false, "\r命令：请输入点的编码：",
                                                                recorder<std::string>(text));
                                  }),
              0);
    broker.answerPoint({0, 0, 0});
    EXPECT_EQ(next, 0);
    ASSERT_TRUE(broker.isWaiting());
    EXPECT_EQ(broker.pending()->kind, RequestKind::Text);
    EXPECT_EQ(broker.pending()->prompt, "\r命令：请输入点的编码：");
}

TEST(RequestBroker, AListenerMayAnswerTheMomentARequestStarts) {
    RequestBroker broker;
    Received received;
    broker.setChangeListener([&] {
        if (broker.isWaiting()) {
            broker.answerText("at once");
        }
    });
    ASSERT_EQ(broker.requestText(true, "t", recorder<std::string>(received)), 0);
    EXPECT_EQ(received.calls, 1);
    EXPECT_EQ(received.value, "at once");
}

TEST(RequestBroker, AbandonDropsTheRequestWithoutAReply) {
    RequestBroker broker;
    Received received;
    int changes = 0;
    broker.setChangeListener([&] { ++changes; });
    ASSERT_EQ(broker.requestEntity("e", recorder<EntityPick>(received)), 0);
    broker.abandon();
    EXPECT_FALSE(broker.isWaiting());
    EXPECT_EQ(received.calls, 0);
    EXPECT_EQ(changes, 2);
    broker.cancel();
    EXPECT_EQ(received.calls, 0);
}

TEST(RequestBroker, TextIsCutAt132CharactersNeverInsideOne) {
    const std::string ascii(200, 'a');
    std::string chinese;
    for (int i = 0; i < 140; ++i) {
        chinese += "点";
    }
    struct Cut {
        std::string input;
        std::size_t bytes;
    };
    const Cut cuts[] = {{"", 0}, {std::string(132, 'x'), 132}, {ascii, 132}, {chinese, 132 * 3}};
    for (const Cut& cut : cuts) {
        RequestBroker broker;
        Received received;
        ASSERT_EQ(broker.requestText(true, "t", recorder<std::string>(received)), 0);
        broker.answerText(cut.input);
        EXPECT_EQ(received.value.size(), cut.bytes);
    }
    EXPECT_EQ(truncateUtf8("ab\xE7\x82", 10), "ab") << "a cut-off character is dropped whole";
}

} // namespace
} // namespace vexilo::cadhost
