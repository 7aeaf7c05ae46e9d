// VARIANT values as automation passes them, and their conversion to and from C++ values: texts
// as BSTR (UTF-16) against UTF-8, numbers, VARIANT_BOOL, and arrays of doubles.
#pragma once

#include "cad/automation.h"

#include <oaidl.h>

#include <string>
#include <string_view>
#include <vector>

namespace vexilo::cad::com {

/// Owns one VARIANT: initialised empty, cleared (its BSTR, array or interface freed) when
/// destroyed.
class Variant {
public:
    Variant() { VariantInit(&m_value); }
    ~Variant() { VariantClear(&m_value); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& other) noexcept;
    Variant& operator=(Variant&& other) noexcept;

    VARIANT* get() { return &m_value; }
    const VARIANT& value() const { return m_value; }

    /// A BSTR holding the UTF-8 text converted to UTF-16.
    static Variant text(std::string_view utf8);
    /// VT_I4.
    static Variant integer(std::int32_t value);
    /// VT_BOOL with VARIANT_TRUE or VARIANT_FALSE.
    static Variant boolean(bool value);
    /// An omitted optional argument as Visual Basic passes one: VT_ERROR DISP_E_PARAMNOTFOUND.
    static Variant missing();

private:
    VARIANT m_value;
};

/// UTF-8 to UTF-16; invalid sequences become U+FFFD.
std::wstring toWide(std::string_view utf8);
/// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string toUtf8(std::wstring_view wide);

/// A text (VT_BSTR, also by reference) as UTF-8; automation::kTypeMismatchCode for any other type.
CadResult<std::string> textOf(const VARIANT& value);
/// A number of any numeric type (also by reference) as a double; automation::kTypeMismatchCode
/// otherwise.
CadResult<double> numberOf(const VARIANT& value);
/// A VARIANT_BOOL (also by reference, or a number: non-zero is true) as bool.
CadResult<bool> booleanOf(const VARIANT& value);
/// A one-dimensional array of doubles, VT_ARRAY|VT_R8 or VT_ARRAY|VT_VARIANT holding numbers,
/// directly or by reference and with any lower bound, as its elements in order.
/// automation::kTypeMismatchCode for anything else, an element that is not a number included.
CadResult<std::vector<double>> doublesOf(const VARIANT& value);
/// doublesOf for exactly three elements (a point).
CadResult<Point3> pointOf(const VARIANT& value);

} // namespace vexilo::cad::com
