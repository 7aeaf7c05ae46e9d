// The error state of the skip-and-continue commands: a failed step leaves its target as it was
// and its code is kept until the command clears it.
#pragma once

#include "automation/codes.h"
#include "common/expected.h"

#include <utility>

namespace vexilo::cad {

/// The last failure's code since the command last cleared it. Steps go through assign() or
/// check(): on success the target is set and the state is untouched; on failure the target
/// keeps its value and the code is kept.
class ErrorState {
public:
    /// Forgets the last failure.
    void clear() { m_lastCode = 0; }
    /// Code of the most recent failure since clear(); 0 when none.
    automation::HResult lastCode() const { return m_lastCode; }
    bool isClear() const { return m_lastCode == 0; }
    /// The last failure was Esc at a request (exactly automation::kCancelCode).
    bool cancelled() const { return m_lastCode == automation::kCancelCode; }

    /// Keeps `code` as the last failure. A code of 0 (a failure reported without a code) is
    /// kept as automation::kGenericFailureCode, so that a failure never reads as success.
    void record(automation::HResult code) {
        m_lastCode = code == 0 ? automation::kGenericFailureCode : code;
    }

    /// target ← the result's value, or, when the step failed, keep the code and leave target.
    template <class T, class U> bool assign(T& target, Expected<U, automation::HResult> result) {
        if (!result) {
            record(result.error());
            return false;
        }
        target = std::move(result.value());
        return true;
    }

    /// A step that yields nothing: keep its code when it failed.
    bool check(const Status<automation::HResult>& status) {
        if (!status) {
            record(status.error());
            return false;
        }
        return true;
    }

private:
    automation::HResult m_lastCode = 0;
};

} // namespace vexilo::cad
