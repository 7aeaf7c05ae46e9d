// The error codes that automation calls return, with the meaning of a COM HRESULT.
#pragma once

#include <cstdint>

namespace vexilo::cad {

/// A failed automation call's code, as a signed 32-bit COM HRESULT; 0 means success.
using HResult = std::int32_t;

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

} // namespace vexilo::cad
