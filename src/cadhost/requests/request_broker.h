// The one request that waits for the person at the drawing host: a point, an entity or a text,
// asked by an automation client and answered by a click, a typed line or a script.
#pragma once

#include "automation/codes.h"
#include "common/expected.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vexilo::cadhost {

/// A point in the world system (WCS), drawing units.
using WorldPoint = std::array<double, 3>;

/// The answer to an entity request: the entity's handle and the point of the pick (WCS).
struct EntityPick {
    std::uint64_t handle = 0;
    WorldPoint pickedPoint{};
};

/// What a pending request asks for.
enum class RequestKind { Point, Entity, Text };

/// The pending request as the command line shows it.
struct PendingRequest {
    RequestKind kind = RequestKind::Point;
    /// Exactly as the client sent it; a leading carriage return starts a new line.
    std::string prompt;
    /// Text requests: false when a space ends the input as Enter does.
    bool hasSpaces = false;
};

/// Holds at most one waiting request and hands its answer to whoever asked. The host's event
/// loop never blocks on it: a request is started with a reply callback, and the callback runs
/// when the person answers (or the request is cancelled). Every request ends with exactly one
/// call of its reply callback, except abandon(), which drops it without a reply.
class RequestBroker {
public:
    using PointReply = std::function<void(Expected<WorldPoint, automation::HResult>)>;
    using EntityReply = std::function<void(Expected<EntityPick, automation::HResult>)>;
    using TextReply = std::function<void(Expected<std::string, automation::HResult>)>;

    /// The longest text a text request keeps, in characters (Unicode code points).
    static constexpr std::size_t kMaxTextLength = 132;

    /// Starts a request. Returns automation::kBusyCode, without calling `reply`, when another
    /// request is waiting; 0 otherwise.
    automation::HResult requestPoint(std::string prompt, PointReply reply);
    automation::HResult requestEntity(std::string prompt, EntityReply reply);
    automation::HResult requestText(bool hasSpaces, std::string prompt, TextReply reply);

    /// The waiting request, if any.
    const std::optional<PendingRequest>& pending() const { return m_pending; }
    bool isWaiting() const { return m_pending.has_value(); }

    /// A point for a point request (a snapped click or typed coordinates converted to WCS).
    /// Ignored unless a point request waits.
    void answerPoint(const WorldPoint& point);
    /// An entity for an entity request. Ignored unless an entity request waits.
    void answerEntity(const EntityPick& pick);
    /// A click that hit nothing at an entity request: fails with automation::kNothingPickedCode.
    void answerNothingPicked();
    /// A text for a text request, cut to kMaxTextLength characters. Ignored unless a text
    /// request waits.
    void answerText(std::string_view text);
    /// Enter, space or a right click with nothing typed: a text request gets the empty text;
    /// a point or entity request fails with automation::kNoInputCode.
    void answerEmpty();
    /// Esc: the waiting request fails with automation::kCancelCode.
    void cancel();
    /// The client that asked has gone: the request is dropped without a reply.
    void abandon();

    /// Called after every change of the pending request (started, answered, cancelled), so the
    /// command line can show the prompt or clear it.
    void setChangeListener(std::function<void()> listener) { m_listener = std::move(listener); }

private:
    template <class Reply>
    automation::HResult start(PendingRequest request, Reply& slot, Reply reply);
    void finish();

    std::optional<PendingRequest> m_pending;
    PointReply m_pointReply;
    EntityReply m_entityReply;
    TextReply m_textReply;
    std::function<void()> m_listener;
};

/// Cuts UTF-8 text to at most `maxCharacters` code points, never inside a character.
std::string truncateUtf8(std::string_view text, std::size_t maxCharacters);

} // namespace vexilo::cadhost
