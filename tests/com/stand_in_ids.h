// Identifiers the stand-in AutoCAD and the tests that start it agree on.
#pragma once

#include <guiddef.h>

namespace vexilo::cad::com::testing {

/// The class under which the stand-in registers its application in the running object table;
/// the tests point the programmatic identifiers they register at it.
inline constexpr GUID kStandInClassId = {
    0x6E1A07C2, 0x3B55, 0x4F0E, {0x9A, 0x41, 0x2D, 0x7C, 0x60, 0x11, 0xB3, 0x5A}};
/// Its text form, as the registry holds it.
inline constexpr const wchar_t* kStandInClassIdText = L"{6E1A07C2-3B55-4F0E-9A41-2D7C6011B35A}";

/// The class of the stand-in started as another AutoCAD version (--other-version), whose
/// members have other DISPIDs.
inline constexpr GUID kOtherVersionClassId = {
    0x6E1A07C3, 0x3B55, 0x4F0E, {0x9A, 0x41, 0x2D, 0x7C, 0x60, 0x11, 0xB3, 0x5A}};
inline constexpr const wchar_t* kOtherVersionClassIdText =
    L"{6E1A07C3-3B55-4F0E-9A41-2D7C6011B35A}";

/// The type library that declares the entity interface, built and registered by
/// `stand_in_autocad --prepare`.
inline constexpr GUID kTypeLibraryId = {
    0x0B7E5D43, 0x91C4, 0x4A8D, {0xB2, 0x6F, 0x84, 0x3E, 0x17, 0xC9, 0x55, 0x20}};

} // namespace vexilo::cad::com::testing
