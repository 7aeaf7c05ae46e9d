// Late-bound calls, busy retries, the message filter and the apartment.
#include "cad/com/dispatch.h"

#include "automation/codes.h"

#include <windows.h>

#include <ole2.h>

namespace vexilo::cad::com {

namespace {

bool busy(HRESULT result) {
    return result == RPC_E_CALL_REJECTED || result == RPC_E_SERVERCALL_RETRYLATER;
}

// Waits `duration` while dispatching the thread's messages.
void pumpFor(std::chrono::milliseconds duration) {
    const auto until = std::chrono::steady_clock::now() + duration;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()), QS_ALLINPUT);
    }
}

std::string describe(BSTR text) {
    return text == nullptr ? std::string() : toUtf8(std::wstring_view(text, SysStringLen(text)));
}

} // namespace

const DISPID* DispIdCache::find(const std::string& kind, const std::wstring& name) const {
    const auto found = m_ids.find({kind, name});
    return found == m_ids.end() ? nullptr : &found->second;
}

void DispIdCache::store(const std::string& kind, const std::wstring& name, DISPID id) {
    m_ids[{kind, name}] = id;
}

const DISPID* Link::findDispId(const std::string& kind, const std::wstring& name) const {
    return m_dispIds->find(kind, name);
}

void Link::storeDispId(const std::string& kind, const std::wstring& name, DISPID id) {
    m_dispIds->store(kind, name, id);
}

HRESULT callRetryingWhileBusy(Link& link, const std::function<HRESULT()>& attempt) {
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        link.countCall();
        const HRESULT result = attempt();
        // On Windows the message filter has already retried inside COM for the whole bound, so
        // this loop ends at once; Wine's COM hands the refusal straight back.
        if (!busy(result) || std::chrono::steady_clock::now() - start + link.policy().interval >
                                 link.policy().bound) {
            return result;
        }
        pumpFor(link.policy().interval);
    }
}

CadResult<DISPID> DispatchObject::dispId(const wchar_t* name) {
    const std::wstring key(name);
    if (const DISPID* known = m_link->findDispId(m_kind, key)) {
        return *known;
    }
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    const HRESULT result = callRetryingWhileBusy(*m_link, [&] {
        return m_dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    });
    if (FAILED(result)) {
        return unexpected(static_cast<automation::HResult>(result));
    }
    m_link->storeDispId(m_kind, key, id);
    return id;
}

CadResult<Variant> DispatchObject::invoke(const wchar_t* name, WORD flags,
                                          std::vector<VARIANT>& reversed, bool propertyPut) {
    if (!m_dispatch) {
        return unexpected(automation::kObjectNotSetCode);
    }
    const auto id = dispId(name);
    if (!id) {
        return unexpected(id.error());
    }
    DISPID namedPut = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{reversed.data(), propertyPut ? &namedPut : nullptr,
                          static_cast<UINT>(reversed.size()), propertyPut ? 1U : 0U};
    Variant result;
    EXCEPINFO exception{};
    UINT argumentError = 0;
    const HRESULT outcome = callRetryingWhileBusy(*m_link, [&] {
        VariantClear(result.get());
        return m_dispatch->Invoke(*id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters,
                                  propertyPut ? nullptr : result.get(), &exception, &argumentError);
    });
    if (outcome == DISP_E_EXCEPTION) {
        if (exception.pfnDeferredFillIn != nullptr) {
            exception.pfnDeferredFillIn(&exception);
        }
        m_link->setLastException({static_cast<automation::HResult>(
                                      exception.scode != 0 ? exception.scode : exception.wCode),
                                  describe(exception.bstrDescription)});
    }
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    if (FAILED(outcome)) {
        return unexpected(static_cast<automation::HResult>(outcome));
    }
    return result;
}

CadResult<Variant> DispatchObject::get(const wchar_t* name) {
    std::vector<VARIANT> none;
    return invoke(name, DISPATCH_PROPERTYGET, none, false);
}

CadStatus DispatchObject::put(const wchar_t* name, Variant value) {
    std::vector<VARIANT> argument{value.value()};
    const auto result = invoke(name, DISPATCH_PROPERTYPUT, argument, true);
    if (!result) {
        return unexpected(result.error());
    }
    return {};
}

CadResult<Variant> DispatchObject::call(const wchar_t* name, std::vector<VARIANT> arguments) {
    // DISPPARAMS holds the arguments last first.
    std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
    return invoke(name, DISPATCH_METHOD, reversed, false);
}

HRESULT STDMETHODCALLTYPE MessageFilter::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMessageFilter)) {
        *object = static_cast<IMessageFilter*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE MessageFilter::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_references));
}

ULONG STDMETHODCALLTYPE MessageFilter::Release() {
    const LONG left = InterlockedDecrement(&m_references);
    if (left == 0) {
        delete this;
    }
    return static_cast<ULONG>(left);
}

DWORD STDMETHODCALLTYPE MessageFilter::HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) {
    return SERVERCALL_ISHANDLED;
}

DWORD STDMETHODCALLTYPE MessageFilter::RetryRejectedCall(HTASK, DWORD tickCount, DWORD rejectType) {
    const auto waited = std::chrono::milliseconds(tickCount);
    if (rejectType == SERVERCALL_RETRYLATER && waited + m_policy.interval <= m_policy.bound) {
        return static_cast<DWORD>(m_policy.interval.count());
    }
    return static_cast<DWORD>(-1);
}

DWORD STDMETHODCALLTYPE MessageFilter::MessagePending(HTASK, DWORD, DWORD) {
    return PENDINGMSG_WAITDEFPROCESS;
}

ComApartment::ComApartment(RetryPolicy policy) : m_filter(new MessageFilter(policy)) {
    m_initialised =
        SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
    if (m_initialised) {
        CoRegisterMessageFilter(m_filter.get(), m_previous.put());
    }
}

ComApartment::~ComApartment() {
    if (m_initialised) {
        ComPtr<IMessageFilter> ours;
        CoRegisterMessageFilter(m_previous.get(), ours.put());
        m_previous.reset();
        CoUninitialize();
    }
}

} // namespace vexilo::cad::com
