// Test support: reply callbacks for the host's request broker that record what they receive.
#pragma once

#include "cadhost/requests/request_broker.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vexilo::cadhost::test_support {

/// What the reply callbacks of one request received: how often they ran, the failure code or
/// the answer (point, entity handle and pick point, or text).
struct RecordedReply {
    int calls = 0;
    std::optional<automation::HResult> code;
    WorldPoint point{};
    std::uint64_t handle = 0;
    std::string text;
};

inline RequestBroker::PointReply recordPoint(RecordedReply& reply) {
    return [&reply](Expected<WorldPoint, automation::HResult> r) {
        ++reply.calls;
        if (r) {
            reply.point = *r;
        } else {
            reply.code = r.error();
        }
    };
}

inline RequestBroker::EntityReply recordEntity(RecordedReply& reply) {
    return [&reply](Expected<EntityPick, automation::HResult> r) {
        ++reply.calls;
        if (r) {
            reply.handle = r->handle;
            reply.point = r->pickedPoint;
        } else {
            reply.code = r.error();
        }
    };
}

inline RequestBroker::TextReply recordText(RecordedReply& reply) {
    return [&reply](Expected<std::string, automation::HResult> r) {
        ++reply.calls;
        if (r) {
            reply.text = *r;
        } else {
            reply.code = r.error();
        }
    };
}

} // namespace vexilo::cadhost::test_support
