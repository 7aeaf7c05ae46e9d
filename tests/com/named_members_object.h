// The part every automation object of the stand-in servers shares: IUnknown's reference count
// and interfaces, no type information, and members found by name from a list.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <string>
#include <vector>

namespace vexilo::com_stand_in {

/// An IDispatch whose members are a list of names: the n-th answers to DISPID firstDispId() + n.
/// Made with one reference, which the creator hands on.
class NamedMembersObject : public IDispatch {
public:
    virtual ~NamedMembersObject() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || implements(iid)) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&m_references));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&m_references);
        if (left == 0) {
            delete this;
        }
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        const std::vector<std::wstring> known = members();
        HRESULT result = S_OK;
        for (UINT n = 0; n < count; ++n) {
            ids[n] = DISPID_UNKNOWN;
            for (std::size_t i = 0; i < known.size(); ++i) {
                if (_wcsicmp(names[n], known[i].c_str()) == 0) {
                    ids[n] = firstDispId() + static_cast<DISPID>(i);
                }
            }
            if (ids[n] == DISPID_UNKNOWN) {
                result = DISP_E_UNKNOWNNAME;
            }
        }
        namesLookedUp(names[0], result == S_OK);
        return result;
    }

protected:
    virtual std::vector<std::wstring> members() const = 0;
    virtual DISPID firstDispId() const { return 1; }
    /// Interfaces beside IUnknown and IDispatch that the object answers as itself.
    virtual bool implements(REFIID) const { return false; }
    /// Told after each name lookup (the first name, and whether all were known).
    virtual void namesLookedUp(const wchar_t*, bool) {}
    /// The member `id` names; empty when none.
    std::wstring memberOf(DISPID id) const {
        const std::vector<std::wstring> known = members();
        if (id < firstDispId() || static_cast<std::size_t>(id - firstDispId()) >= known.size()) {
            return {};
        }
        return known[static_cast<std::size_t>(id - firstDispId())];
    }

private:
    LONG m_references = 1;
};

/// Hands a new object to a VARIANT result (which takes the one reference).
inline void returnObject(VARIANT* result, NamedMembersObject* object) {
    result->vt = VT_DISPATCH;
    result->pdispVal = object;
}

} // namespace vexilo::com_stand_in
