// `Vexilo.FormCAD`, the window's automation object.
#include "app_win32/automation_object.h"

#include "form/grid_text.h"

#include <oleauto.h>

#include <array>
#include <cwchar>
#include <string>

namespace vexilo::win32 {
namespace {

enum Member : DISPID {
    kCommand1Click = 1,
    kYh,
    kExampleGetWidth,
    kXjhd,
    kFansuanJL,
    kDms,
    kFansuanJD,
    kRows,
};

struct MemberName {
    const wchar_t* name;
    DISPID id;
    int arguments; ///< methods: how many; -1 for the property
};

constexpr std::array<MemberName, 8> kMembers = {{
    {L"Command1_Click", kCommand1Click, 0},
    {L"yh", kYh, 0},
    {L"Example_GetWidth", kExampleGetWidth, 0},
    {L"XJHD", kXjhd, 1},
    {L"fansuanJL", kFansuanJL, 2},
    {L"DMS", kDms, 1},
    {L"fansuanJD", kFansuanJD, 2},
    {L"Rows", kRows, -1},
}};

HRESULT raise(EXCEPINFO* exception, std::string_view description) {
    if (exception != nullptr) {
        *exception = {};
        exception->bstrSource = SysAllocString(kFormProgId);
        exception->bstrDescription = SysAllocString(wide(description).c_str());
        exception->scode = E_FAIL;
    }
    return DISP_E_EXCEPTION;
}

/// Argument `index` in the caller's order (DISPPARAMS holds them last first) as a double.
HRESULT doubleArgument(const DISPPARAMS& parameters, UINT index, double& value, UINT* error) {
    VARIANT converted;
    VariantInit(&converted);
    const UINT at = parameters.cArgs - 1 - index;
    const HRESULT code = VariantChangeType(&converted, &parameters.rgvarg[at], 0, VT_R8);
    if (FAILED(code)) {
        if (error != nullptr) {
            *error = at;
        }
        return DISP_E_TYPEMISMATCH;
    }
    value = converted.dblVal;
    return S_OK;
}

HRESULT rowsArray(const cad::CoordinateTable& table, VARIANT* result) {
    const auto rows = form::tableRows(table);
    SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(rows.size()), 0}, {4, 0}};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
    if (array == nullptr) {
        return E_OUTOFMEMORY;
    }
    for (std::size_t row = 0; row < rows.size(); ++row) {
        for (LONG column = 0; column < 4; ++column) {
            VARIANT cell;
            VariantInit(&cell);
            cell.vt = VT_BSTR;
            cell.bstrVal =
                SysAllocString(wide(rows[row][static_cast<std::size_t>(column)]).c_str());
            LONG index[2] = {static_cast<LONG>(row), column};
            const HRESULT code = SafeArrayPutElement(array, index, &cell);
            VariantClear(&cell);
            if (FAILED(code)) {
                SafeArrayDestroy(array);
                return code;
            }
        }
    }
    if (result == nullptr) {
        SafeArrayDestroy(array);
        return S_OK;
    }
    result->vt = VT_ARRAY | VT_VARIANT;
    result->parray = array;
    return S_OK;
}

} // namespace

bool FormAutomation::registerActive(HRESULT& code) {
    code = RegisterActiveObject(this, kFormClassId, ACTIVEOBJECT_STRONG, &m_cookie);
    return SUCCEEDED(code);
}

void FormAutomation::revoke() {
    if (m_cookie != 0) {
        RevokeActiveObject(m_cookie, nullptr);
        m_cookie = 0;
    }
    CoDisconnectObject(this, 0);
    m_operations = nullptr;
}

HRESULT FormAutomation::QueryInterface(REFIID id, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDispatch)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG FormAutomation::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_references));
}

ULONG FormAutomation::Release() {
    const LONG left = InterlockedDecrement(&m_references);
    if (left == 0) {
        delete this;
    }
    return static_cast<ULONG>(left);
}

HRESULT FormAutomation::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 0;
    return S_OK;
}

HRESULT FormAutomation::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr) {
        *info = nullptr;
    }
    return DISP_E_BADINDEX;
}

HRESULT FormAutomation::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (names == nullptr || ids == nullptr || count == 0) {
        return E_INVALIDARG;
    }
    HRESULT code = S_OK;
    for (UINT i = 0; i < count; ++i) {
        ids[i] = DISPID_UNKNOWN;
    }
    for (const MemberName& member : kMembers) {
        if (_wcsicmp(member.name, names[0]) == 0) { // Visual Basic's names ignore case
            ids[0] = member.id;
        }
    }
    if (ids[0] == DISPID_UNKNOWN || count > 1) {
        code = DISP_E_UNKNOWNNAME; // no member has named arguments
    }
    return code;
}

HRESULT FormAutomation::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                               VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    if (m_operations == nullptr) {
        return RPC_E_DISCONNECTED;
    }
    const MemberName* member = nullptr;
    for (const MemberName& candidate : kMembers) {
        if (candidate.id == id) {
            member = &candidate;
        }
    }
    if (member == nullptr) {
        return DISP_E_MEMBERNOTFOUND;
    }
    static DISPPARAMS none{};
    const DISPPARAMS& arguments = parameters != nullptr ? *parameters : none;
    if (arguments.cNamedArgs != 0) {
        return DISP_E_NONAMEDARGS;
    }
    if (result != nullptr) {
        VariantInit(result);
    }
    if (member->arguments < 0) {
        if ((flags & DISPATCH_PROPERTYGET) == 0) {
            return DISP_E_MEMBERNOTFOUND; // `Rows` cannot be written
        }
        if (arguments.cArgs != 0) {
            return DISP_E_BADPARAMCOUNT;
        }
        return rowsArray(m_operations->window().table(), result);
    }
    if ((flags & DISPATCH_METHOD) == 0 &&
        !(member->arguments == 0 && (flags & DISPATCH_PROPERTYGET))) {
        return DISP_E_MEMBERNOTFOUND;
    }
    if (arguments.cArgs != static_cast<UINT>(member->arguments)) {
        return DISP_E_BADPARAMCOUNT;
    }
    double first = 0;
    double second = 0;
    if (member->arguments >= 1) {
        if (HRESULT code = doubleArgument(arguments, 0, first, argumentError); FAILED(code)) {
            return code;
        }
    }
    if (member->arguments >= 2) {
        if (HRESULT code = doubleArgument(arguments, 1, second, argumentError); FAILED(code)) {
            return code;
        }
    }
    const auto ran = [&](bool done) -> HRESULT {
        if (!done) {
            return raise(exception, "another command is running");
        }
        if (result != nullptr) {
            result->vt = VT_BOOL;
            result->boolVal = VARIANT_TRUE;
        }
        return S_OK;
    };
    const auto answer = [&](const survey::SurveyResult& value) -> HRESULT {
        if (!value) {
            return raise(exception, survey::describe(value.error()));
        }
        if (result != nullptr) {
            result->vt = VT_R8;
            result->dblVal = *value;
        }
        return S_OK;
    };
    // The operation may run the window's nested message loops, where this object can be
    // released by its caller; keep it alive until the call has returned.
    AddRef();
    HRESULT code = S_OK;
    switch (id) {
    case kCommand1Click:
        code = ran(m_operations->Command1_Click());
        break;
    case kYh:
        code = ran(m_operations->yh().has_value());
        break;
    case kExampleGetWidth:
        code = ran(m_operations->Example_GetWidth());
        break;
    case kXjhd:
        code = answer(survey::XJHD(first));
        break;
    case kFansuanJL:
        code = answer(survey::fansuanJL(first, second));
        break;
    case kDms:
        code = answer(survey::DMS(first));
        break;
    case kFansuanJD:
        code = answer(survey::fansuanJD(first, second));
        break;
    default:
        code = DISP_E_MEMBERNOTFOUND;
        break;
    }
    Release();
    return code;
}

namespace {

bool writeProgId(HKEY root, const std::wstring& key, const wchar_t* clsid) {
    const std::wstring clsidKey = key + L"\\CLSID";
    HKEY handle = nullptr;
    if (RegCreateKeyExW(root, clsidKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LSTATUS status =
        RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(clsid),
                       static_cast<DWORD>((wcslen(clsid) + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

bool progIdFound() {
    CLSID found{};
    return SUCCEEDED(CLSIDFromProgID(kFormProgId, &found)) && IsEqualCLSID(found, kFormClassId);
}

} // namespace

bool registerProgId(bool remove) {
    const std::wstring key = std::wstring(L"Software\\Classes\\") + kFormProgId;
    if (remove) {
        bool removed = true;
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            const LSTATUS status = RegDeleteTreeW(root, key.c_str());
            removed = removed && (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ||
                                  root == HKEY_LOCAL_MACHINE);
        }
        return removed;
    }
    wchar_t clsid[64] = {};
    if (StringFromGUID2(kFormClassId, clsid, 64) == 0 ||
        !writeProgId(HKEY_CURRENT_USER, key, clsid)) {
        return false;
    }
    // A system that does not read the per-user classes (Wine) finds the identifier only among
    // the machine's, which an administrator's or Wine's registry lets us write.
    return progIdFound() || (writeProgId(HKEY_LOCAL_MACHINE, key, clsid) && progIdFound());
}

} // namespace vexilo::win32
