// Late-bound calls to an automation object, as Visual Basic makes them: a member's DISPID looked
// up by name once, then IDispatch::Invoke; calls the CAD refuses while busy retried for a bounded
// time; what the CAD raised kept for the log.
#pragma once

#include "cad/automation.h"
#include "cad/com/com_ptr.h"
#include "cad/com/variant.h"

#include <oaidl.h>
#include <objidl.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vexilo::cad::com {

/// How long a call that the CAD refuses because it is busy (RPC_E_CALL_REJECTED,
/// RPC_E_SERVERCALL_RETRYLATER) is retried before it fails with that code, and the pause
/// between tries. AutoCAD refuses calls while a command of its own or a dialog runs.
struct RetryPolicy {
    std::chrono::milliseconds bound{10000};
    std::chrono::milliseconds interval{100};
};

/// What the CAD raised with the last DISP_E_EXCEPTION: the specific code inside EXCEPINFO (the
/// call itself fails with DISP_E_EXCEPTION, which is all the commands look at) and its text.
struct RaisedException {
    automation::HResult code = 0;
    std::string description;
};

/// The DISPIDs looked up on one class of automation server, by object kind (see DispatchObject)
/// and member name. One class of server is one type library, whose DISPIDs do not change while
/// it is installed, so the bindings to it share one cache: a name is looked up once per kind
/// for the life of the cache, not once per binding.
class DispIdCache {
public:
    /// The DISPID of `name` on objects of `kind`, if looked up.
    const DISPID* find(const std::string& kind, const std::wstring& name) const;
    void store(const std::string& kind, const std::wstring& name, DISPID id);

private:
    std::map<std::pair<std::string, std::wstring>, DISPID> m_ids;
};

/// What all objects of one binding share: the retry policy, the DISPIDs already looked up (in a
/// cache that may outlive the binding), the number of calls that crossed to the CAD and the last
/// exception it raised.
class Link {
public:
    /// `dispIds`: the cache of the server's class, shared with other bindings to it; a cache of
    /// this binding's own when none is given.
    explicit Link(RetryPolicy policy,
                  std::shared_ptr<DispIdCache> dispIds = std::make_shared<DispIdCache>())
        : m_policy(policy), m_dispIds(std::move(dispIds)) {}

    const RetryPolicy& policy() const { return m_policy; }
    /// Calls made to the CAD's objects so far: GetIDsOfNames, Invoke and QueryInterface, each
    /// try of a refused call counted.
    std::uint64_t calls() const { return m_calls; }
    void countCall() { ++m_calls; }
    const RaisedException& lastException() const { return m_lastException; }
    void setLastException(RaisedException raised) { m_lastException = std::move(raised); }

    /// The DISPID cached for a member of objects of `kind` (see DispatchObject), if looked up.
    const DISPID* findDispId(const std::string& kind, const std::wstring& name) const;
    void storeDispId(const std::string& kind, const std::wstring& name, DISPID id);

private:
    RetryPolicy m_policy;
    std::shared_ptr<DispIdCache> m_dispIds;
    std::uint64_t m_calls = 0;
    RaisedException m_lastException;
};

using LinkPtr = std::shared_ptr<Link>;

/// One automation object of the CAD. `kind` names what it is ("Application", "Utility",
/// "Entity:AcDbPolyline", ...): objects of one kind implement the same interface and so share
/// their DISPIDs, which are looked up once per kind and name in the link's DispIdCache. Objects
/// of different kinds may answer one name with different DISPIDs; they never share an entry.
class DispatchObject {
public:
    DispatchObject() = default;
    DispatchObject(LinkPtr link, ComPtr<IDispatch> dispatch, std::string kind)
        : m_link(std::move(link)), m_dispatch(std::move(dispatch)), m_kind(std::move(kind)) {}

    explicit operator bool() const { return static_cast<bool>(m_dispatch); }
    IDispatch* get() const { return m_dispatch.get(); }
    const LinkPtr& link() const { return m_link; }
    void setKind(std::string kind) { m_kind = std::move(kind); }

    /// Property read (DISPATCH_PROPERTYGET).
    CadResult<Variant> get(const wchar_t* name);
    /// Property write (DISPATCH_PROPERTYPUT) of one value.
    CadStatus put(const wchar_t* name, Variant value);
    /// Method call. `arguments` in the member's order (first argument first); by-reference out
    /// arguments are VARIANTs of VT_BYREF type pointing at the caller's storage.
    CadResult<Variant> call(const wchar_t* name, std::vector<VARIANT> arguments);

private:
    CadResult<DISPID> dispId(const wchar_t* name);
    CadResult<Variant> invoke(const wchar_t* name, WORD flags, std::vector<VARIANT>& reversed,
                              bool propertyPut);

    LinkPtr m_link;
    ComPtr<IDispatch> m_dispatch;
    std::string m_kind;
};

/// Runs `attempt` (one COM call returning an HRESULT) again while it fails because the callee
/// is busy and the policy's bound has not passed, pumping the thread's messages in between so
/// that its windows keep painting. Every try is counted on `link`.
HRESULT callRetryingWhileBusy(Link& link, const std::function<HRESULT()>& attempt);

/// The message filter of the window's apartment: incoming calls are handled; a call the CAD
/// rejects with SERVERCALL_RETRYLATER is retried every `interval` until `bound` has passed;
/// while a call waits, messages are dispatched as COM's default does, so that the window keeps
/// painting while the CAD waits for the person inside GetPoint.
class MessageFilter : public IMessageFilter {
public:
    explicit MessageFilter(RetryPolicy policy) : m_policy(policy) {}
    virtual ~MessageFilter() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD callType, HTASK caller, DWORD tickCount,
                                               LPINTERFACEINFO info) override;
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK callee, DWORD tickCount,
                                              DWORD rejectType) override;
    DWORD STDMETHODCALLTYPE MessagePending(HTASK callee, DWORD tickCount,
                                           DWORD pendingType) override;

private:
    RetryPolicy m_policy;
    LONG m_references = 1;
};

/// The window thread's single-threaded apartment with the MessageFilter registered, for the
/// lifetime of this object. `ok()` is false when COM could not be started on this thread.
class ComApartment {
public:
    explicit ComApartment(RetryPolicy policy = {});
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool ok() const { return m_initialised; }

private:
    bool m_initialised = false;
    ComPtr<MessageFilter> m_filter;
    ComPtr<IMessageFilter> m_previous;
};

} // namespace vexilo::cad::com
