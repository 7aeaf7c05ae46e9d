// `Vexilo.FormCAD`: the window's public operations for other programs on Windows, an
// automation object in the running object table while the window runs.
#pragma once

#include "app_win32/form_operations.h"

#include <windows.h>

#include <oaidl.h>

namespace vexilo::win32 {

/// The programmatic identifier other programs bind with (GetObject(, "Vexilo.FormCAD")).
inline constexpr const wchar_t* kFormProgId = L"Vexilo.FormCAD";
/// The class the object is registered under, {6F1D2C3A-5B7E-4F0A-9C1D-3E5A7B9C0D21}.
inline constexpr CLSID kFormClassId = {
    0x6F1D2C3A, 0x5B7E, 0x4F0A, {0x9C, 0x1D, 0x3E, 0x5A, 0x7B, 0x9C, 0x0D, 0x21}};

/// A late-bound (IDispatch) object over FormOperations. Members: the methods `Command1_Click`,
/// `yh`, `Example_GetWidth` (true when they ran, a DISP_E_EXCEPTION "another command is
/// running" otherwise), `XJHD`, `fansuanJL`, `DMS`, `fansuanJD` (their double, or a
/// DISP_E_EXCEPTION whose description names the arithmetic failure), and the read-only property
/// `Rows`: the table's data rows as a two-dimensional array (row, 0 to 3) of strings.
class FormAutomation final : public IDispatch {
public:
    /// `operations` must outlive every reference other programs hold; revoke() cuts them off.
    explicit FormAutomation(FormOperations& operations) : m_operations(&operations) {}

    /// Registers the object in the running object table under kFormClassId; false with the
    /// failure code in `code`.
    bool registerActive(HRESULT& code);
    /// Removes it from the table and answers later calls with RPC_E_DISCONNECTED.
    void revoke();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;

private:
    ~FormAutomation() = default;

    FormOperations* m_operations;
    LONG m_references = 1;
    DWORD m_cookie = 0;
};

/// Writes (or with `remove`, deletes) HKEY_CURRENT_USER\Software\Classes\Vexilo.FormCAD\CLSID
/// (and the machine's key where the system reads only that one and lets us write it),
/// which lets CLSIDFromProgID and so GetObject find the running window: what the installer's
/// `vexilo.exe /RegServer` and the uninstaller's `/UnregServer` do. False on a registry failure.
bool registerProgId(bool remove);

} // namespace vexilo::win32
