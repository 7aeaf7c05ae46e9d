// Conversions between VARIANTs and C++ values.
#include "cad/com/variant.h"

#include "automation/codes.h"

#include <windows.h>

#include <oleauto.h>

#include <utility>

namespace vexilo::cad::com {

Variant::Variant(Variant&& other) noexcept {
    m_value = other.m_value;
    VariantInit(&other.m_value);
}

Variant& Variant::operator=(Variant&& other) noexcept {
    if (this != &other) {
        VariantClear(&m_value);
        m_value = other.m_value;
        VariantInit(&other.m_value);
    }
    return *this;
}

Variant Variant::text(std::string_view utf8) {
    Variant v;
    const std::wstring wide = toWide(utf8);
    v.m_value.vt = VT_BSTR;
    v.m_value.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    return v;
}

Variant Variant::integer(std::int32_t value) {
    Variant v;
    v.m_value.vt = VT_I4;
    v.m_value.lVal = value;
    return v;
}

Variant Variant::boolean(bool value) {
    Variant v;
    v.m_value.vt = VT_BOOL;
    v.m_value.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

Variant Variant::missing() {
    Variant v;
    v.m_value.vt = VT_ERROR;
    v.m_value.scode = DISP_E_PARAMNOTFOUND;
    return v;
}

std::wstring toWide(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
    return wide;
}

std::string toUtf8(std::wstring_view wide) {
    if (wide.empty()) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

namespace {

// The value a VT_BYREF|VT_VARIANT or VT_BYREF|<type> argument points at, as a plain VARIANT
// copy (no ownership): automation clients and servers pass both forms.
VARIANT dereferenced(const VARIANT& value) {
    if ((value.vt & VT_BYREF) == 0) {
        return value;
    }
    if (value.vt == (VT_BYREF | VT_VARIANT)) {
        return value.pvarVal != nullptr ? dereferenced(*value.pvarVal) : VARIANT{};
    }
    VARIANT plain{};
    plain.vt = static_cast<VARTYPE>(value.vt & ~VT_BYREF);
    switch (plain.vt) {
    case VT_BSTR:
        plain.bstrVal = *value.pbstrVal;
        break;
    case VT_BOOL:
        plain.boolVal = *value.pboolVal;
        break;
    case VT_R8:
        plain.dblVal = *value.pdblVal;
        break;
    case VT_R4:
        plain.fltVal = *value.pfltVal;
        break;
    case VT_I4:
        plain.lVal = *value.plVal;
        break;
    case VT_I2:
        plain.iVal = *value.piVal;
        break;
    case VT_DISPATCH:
        plain.pdispVal = *value.ppdispVal;
        break;
    default:
        if ((plain.vt & VT_ARRAY) != 0) {
            plain.parray = *value.pparray;
        } else {
            plain.vt = VT_EMPTY;
        }
        break;
    }
    return plain;
}

} // namespace

CadResult<std::string> textOf(const VARIANT& value) {
    const VARIANT v = dereferenced(value);
    if (v.vt != VT_BSTR) {
        return unexpected(automation::kTypeMismatchCode);
    }
    return toUtf8(std::wstring_view(v.bstrVal, SysStringLen(v.bstrVal)));
}

CadResult<double> numberOf(const VARIANT& value) {
    VARIANT v = dereferenced(value);
    switch (v.vt) {
    case VT_R8:
        return v.dblVal;
    case VT_R4:
        return static_cast<double>(v.fltVal);
    case VT_I4:
        return static_cast<double>(v.lVal);
    case VT_I2:
        return static_cast<double>(v.iVal);
    case VT_UI1:
        return static_cast<double>(v.bVal);
    case VT_INT:
        return static_cast<double>(v.intVal);
    default:
        return unexpected(automation::kTypeMismatchCode);
    }
}

CadResult<bool> booleanOf(const VARIANT& value) {
    const VARIANT v = dereferenced(value);
    if (v.vt == VT_BOOL) {
        return v.boolVal != VARIANT_FALSE;
    }
    const auto number = numberOf(v);
    if (!number) {
        return unexpected(number.error());
    }
    return *number != 0.0;
}

CadResult<std::vector<double>> doublesOf(const VARIANT& value) {
    const VARIANT v = dereferenced(value);
    const VARTYPE element = static_cast<VARTYPE>(v.vt & ~VT_ARRAY);
    if ((v.vt & VT_ARRAY) == 0 || v.parray == nullptr || SafeArrayGetDim(v.parray) != 1 ||
        (element != VT_R8 && element != VT_VARIANT)) {
        return unexpected(automation::kTypeMismatchCode);
    }
    LONG lower = 0;
    LONG upper = -1;
    if (FAILED(SafeArrayGetLBound(v.parray, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(v.parray, 1, &upper))) {
        return unexpected(automation::kTypeMismatchCode);
    }
    std::vector<double> values;
    if (upper < lower) {
        return values;
    }
    values.reserve(static_cast<std::size_t>(upper - lower) + 1);
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(v.parray, &data))) {
        return unexpected(automation::kTypeMismatchCode);
    }
    bool numeric = true;
    const auto count = static_cast<std::size_t>(upper - lower) + 1;
    if (element == VT_R8) {
        const auto* doubles = static_cast<const double*>(data);
        values.assign(doubles, doubles + count);
    } else {
        const auto* variants = static_cast<const VARIANT*>(data);
        for (std::size_t i = 0; i < count && numeric; ++i) {
            const auto number = numberOf(variants[i]);
            numeric = number.has_value();
            if (numeric) {
                values.push_back(*number);
            }
        }
    }
    SafeArrayUnaccessData(v.parray);
    if (!numeric) {
        return unexpected(automation::kTypeMismatchCode);
    }
    return values;
}

CadResult<Point3> pointOf(const VARIANT& value) {
    const auto values = doublesOf(value);
    if (!values) {
        return unexpected(values.error());
    }
    if (values->size() != 3) {
        return unexpected(automation::kTypeMismatchCode);
    }
    return Point3{(*values)[0], (*values)[1], (*values)[2]};
}

} // namespace vexilo::cad::com
