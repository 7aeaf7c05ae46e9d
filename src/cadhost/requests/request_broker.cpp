// The drawing host's waiting request and the answers it takes.
#include "cadhost/requests/request_broker.h"

#include <utility>

namespace vexilo::cadhost {

// Starts the request with its reply in place before anyone hears of it, so that a listener
// may answer at once.
template <class Reply>
automation::HResult RequestBroker::start(PendingRequest request, Reply& slot, Reply reply) {
    if (m_pending) {
        return automation::kBusyCode;
    }
    m_pending = std::move(request);
    slot = std::move(reply);
    if (m_listener) {
        m_listener();
    }
    return 0;
}

automation::HResult RequestBroker::requestPoint(std::string prompt, PointReply reply) {
    return start({RequestKind::Point, std::move(prompt), false}, m_pointReply, std::move(reply));
}

automation::HResult RequestBroker::requestEntity(std::string prompt, EntityReply reply) {
    return start({RequestKind::Entity, std::move(prompt), false}, m_entityReply, std::move(reply));
}

automation::HResult RequestBroker::requestText(bool hasSpaces, std::string prompt,
                                               TextReply reply) {
    return start({RequestKind::Text, std::move(prompt), hasSpaces}, m_textReply, std::move(reply));
}

// Clears the request before the reply runs, so that a reply that starts the next request (a
// client asking again at once) finds the broker free.
void RequestBroker::finish() {
    m_pending.reset();
    m_pointReply = nullptr;
    m_entityReply = nullptr;
    m_textReply = nullptr;
    if (m_listener) {
        m_listener();
    }
}

void RequestBroker::answerPoint(const WorldPoint& point) {
    if (!m_pending || m_pending->kind != RequestKind::Point) {
        return;
    }
    PointReply reply = std::move(m_pointReply);
    finish();
    reply(point);
}

void RequestBroker::answerEntity(const EntityPick& pick) {
    if (!m_pending || m_pending->kind != RequestKind::Entity) {
        return;
    }
    EntityReply reply = std::move(m_entityReply);
    finish();
    reply(pick);
}

void RequestBroker::answerNothingPicked() {
    if (!m_pending || m_pending->kind != RequestKind::Entity) {
        return;
    }
    EntityReply reply = std::move(m_entityReply);
    finish();
    reply(unexpected(automation::kNothingPickedCode));
}

void RequestBroker::answerText(std::string_view text) {
    if (!m_pending || m_pending->kind != RequestKind::Text) {
        return;
    }
    TextReply reply = std::move(m_textReply);
    finish();
    reply(truncateUtf8(text, kMaxTextLength));
}

void RequestBroker::answerEmpty() {
    if (!m_pending) {
        return;
    }
    switch (m_pending->kind) {
    case RequestKind::Text:
        answerText("");
        return;
    case RequestKind::Point: {
        PointReply reply = std::move(m_pointReply);
        finish();
        reply(unexpected(automation::kNoInputCode));
        return;
    }
    case RequestKind::Entity: {
        EntityReply reply = std::move(m_entityReply);
        finish();
        reply(unexpected(automation::kNoInputCode));
        return;
    }
    }
}

void RequestBroker::cancel() {
    if (!m_pending) {
        return;
    }
    const RequestKind kind = m_pending->kind;
    PointReply point = std::move(m_pointReply);
    EntityReply entity = std::move(m_entityReply);
    TextReply text = std::move(m_textReply);
    finish();
    switch (kind) {
    case RequestKind::Point:
        point(unexpected(automation::kCancelCode));
        break;
    case RequestKind::Entity:
        entity(unexpected(automation::kCancelCode));
        break;
    case RequestKind::Text:
        text(unexpected(automation::kCancelCode));
        break;
    }
}

void RequestBroker::abandon() {
    if (m_pending) {
        finish();
    }
}

std::string truncateUtf8(std::string_view text, std::size_t maxCharacters) {
    std::size_t characters = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (characters == maxCharacters) {
            break;
        }
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        if (lead >= 0xF0) {
            length = 4;
        } else if (lead >= 0xE0) {
            length = 3;
        } else if (lead >= 0xC0) {
            length = 2;
        }
        if (i + length > text.size()) {
            break;
        }
        i += length;
        ++characters;
    }
    return std::string(text.substr(0, i));
}

} // namespace vexilo::cadhost
