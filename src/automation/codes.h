// The codes an automation call fails with, shared by both ends of every CAD link: the utility's
// command code, its D-Bus and COM backends, and the drawing host. One table gives each code its
// name and meaning; describe() turns a code into a line a person can read.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vexilo::automation {

/// A failed automation call's code, as a signed 32-bit COM HRESULT; 0 means success.
using HResult = std::int32_t;

// Codes of the CAD, as an automation client sees them.

/// 0x80020009 DISP_E_EXCEPTION: what AutoCAD's interactive requests fail with when the person
/// presses Esc. The capture commands compare the last code with exactly this value.
inline constexpr HResult kCancelCode = -2147352567;
/// 0x80210020: Enter or a right click with no value at a point, entity or text request.
inline constexpr HResult kNoInputCode = -2145320928;
/// 0x80210015: an invalid argument, such as an object-system conversion without a normal.
inline constexpr HResult kInvalidArgumentCode = -2145320939;
/// 0x8021003C: no drawing is open, so there is no document.
inline constexpr HResult kNoDocumentCode = -2145320900;
/// 0x80210050: a pick at an entity request that hit nothing. Ours: AutoCAD reports a miss with
/// the cancel code's DISP_E_EXCEPTION, which would make a miss look like Esc.
inline constexpr HResult kNothingPickedCode = -2145320880;
/// 0x80020006 DISP_E_UNKNOWNNAME: the object has no member of that name (a 3D polyline's
/// Elevation or Normal, an arc's Coordinates).
inline constexpr HResult kUnknownMemberCode = -2147352570;
/// 0x800401E3 MK_E_UNAVAILABLE: no running instance is registered under the identifier.
inline constexpr HResult kNotRunningCode = -2147221021;
/// 0x8001010A RPC_E_SERVERCALL_RETRYLATER: the host is already waiting on another request.
inline constexpr HResult kBusyCode = -2147417846;
/// 0x800706BA RPC_S_SERVER_UNAVAILABLE: the host went away while a call was under way.
inline constexpr HResult kDisconnectedCode = -2147023174;
/// 0x8021004C: the entity is no longer in the open drawing (another drawing was opened).
inline constexpr HResult kObjectErasedCode = -2145320884;
/// 0x8002000B DISP_E_BADINDEX: an index outside the object's range (a vertex that does not
/// exist).
inline constexpr HResult kBadIndexCode = -2147352565;

// Codes of steps that fail inside the utility rather than in the CAD. They sit in the 0x800A
// range that scripting runtimes use for their own errors, so that they can never equal the
// cancel code.

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

/// One code with the name automation programmers know it by and what it means here.
struct CodeInfo {
    HResult code;
    std::string_view name;
    std::string_view meaning;
};

/// Every code above, once.
inline constexpr std::array<CodeInfo, 17> kCodes{{
    {kCancelCode, "DISP_E_EXCEPTION", "cancelled, or raised by the CAD"},
    {kNoInputCode, "E_NOINPUT", "no input (Enter or a right click with no value)"},
    {kInvalidArgumentCode, "E_INVALIDARG", "invalid argument"},
    {kNoDocumentCode, "E_NODOCUMENT", "no drawing is open"},
    {kNothingPickedCode, "E_NOTHINGPICKED", "nothing picked"},
    {kUnknownMemberCode, "DISP_E_UNKNOWNNAME", "the object has no such member"},
    {kNotRunningCode, "MK_E_UNAVAILABLE", "no running instance under that identifier"},
    {kBusyCode, "RPC_E_SERVERCALL_RETRYLATER", "busy: another request is waiting"},
    {kDisconnectedCode, "RPC_S_SERVER_UNAVAILABLE", "the CAD went away"},
    {kObjectErasedCode, "E_OBJECTERASED", "the entity is no longer in the open drawing"},
    {kBadIndexCode, "DISP_E_BADINDEX", "index out of range"},
    {kInvalidCallCode, "CTL_E_ILLEGALFUNCTIONCALL", "invalid procedure call or argument"},
    {kOverflowCode, "CTL_E_OVERFLOW", "overflow"},
    {kDivisionByZeroCode, "CTL_E_DIVISIONBYZERO", "division by zero"},
    {kTypeMismatchCode, "CTL_E_TYPEMISMATCH", "type mismatch"},
    {kObjectNotSetCode, "CTL_E_OBJECTNOTSET", "object variable not set"},
    {kGenericFailureCode, "E_FAIL", "unspecified failure"},
}};

/// The table's entry for a code, or nullptr for a code it does not know.
const CodeInfo* findCode(HResult code);

/// "0x80020009 DISP_E_EXCEPTION: cancelled, or raised by the CAD"; a code the table does not
/// know reads "0x8XXXXXXX"; 0 reads "0x00000000 S_OK: success".
std::string describe(HResult code);

} // namespace vexilo::automation
