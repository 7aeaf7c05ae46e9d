// The error state of the skip-and-continue commands: a failed step leaves its target as it was
// and its code is kept until the command clears it.
#pragma once

#include "cad/hresult.h"
#include "common/expected.h"

#include <utility>

namespace vexilo::cad {

/// Codes of steps that fail inside this program rather than in the CAD. They sit in the
/// 0x800A range that scripting runtimes use for their own errors, so that they can never equal
/// the cancel code.
/// 0x800A0005: an argument a rule refuses (a negative number of decimal places).
inline constexpr HResult kInvalidCallCode = -2146828283;
/// 0x800A0006: a number too large for its target (16 bits, a double).
inline constexpr HResult kOverflowCode = -2146828282;
/// 0x800A000B: a division by zero.
inline constexpr HResult kDivisionByZeroCode = -2146828277;
/// 0x800A000D: a text that is not a number where one is needed.
inline constexpr HResult kTypeMismatchCode = -2146828275;
/// 0x800A005B: a member asked of an object that is not there (no document held, no entity).
inline constexpr HResult kObjectNotSetCode = -2146828197;
/// 0x80004005 E_FAIL: stands in for a failure reported without a code.
inline constexpr HResult kGenericFailureCode = -2147467259;

/// The last failure's code since the command last cleared it. Steps go through assign() or
/// check(): on success the target is set and the state is untouched; on failure the target
/// keeps its value and the code is kept.
class ErrorState {
public:
    /// Forgets the last failure.
    void clear() { m_lastCode = 0; }
    /// Code of the most recent failure since clear(); 0 when none.
    HResult lastCode() const { return m_lastCode; }
    bool isClear() const { return m_lastCode == 0; }
    /// The last failure was Esc at a request (exactly kCancelCode).
    bool cancelled() const { return m_lastCode == kCancelCode; }

    /// Keeps `code` as the last failure. A code of 0 (a failure reported without a code) is
    /// kept as kGenericFailureCode, so that a failure never reads as success.
    void record(HResult code) { m_lastCode = code == 0 ? kGenericFailureCode : code; }

    /// target ← the result's value, or, when the step failed, keep the code and leave target.
    template <class T, class U> bool assign(T& target, Expected<U, HResult> result) {
        if (!result) {
            record(result.error());
            return false;
        }
        target = std::move(result.value());
        return true;
    }

    /// A step that yields nothing: keep its code when it failed.
    bool check(const Status<HResult>& status) {
        if (!status) {
            record(status.error());
            return false;
        }
        return true;
    }

private:
    HResult m_lastCode = 0;
};

} // namespace vexilo::cad
