// The window's command guard.
#include "form/command_guard.h"

namespace vexilo::form {
namespace {

/// Resets a flag when the scope ends.
class FlagGuard {
public:
    explicit FlagGuard(bool& flag) : m_flag(flag) { m_flag = true; }
    ~FlagGuard() { m_flag = false; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

private:
    bool& m_flag;
};

} // namespace

bool CommandGuard::run(const std::function<void()>& action) {
    if (m_running) {
        return false;
    }
    {
        FlagGuard running(m_running);
        action();
    }
    if (m_closeRequested) {
        m_closeRequested = false;
        if (m_closer) {
            m_closer();
        } else {
            (void)requestClose();
        }
    }
    return true;
}

CommandGuard::CloseVerdict CommandGuard::requestClose() {
    if (m_running) {
        m_closeRequested = true;
        return CloseVerdict::Deferred;
    }
    if (!m_unloaded) {
        m_unloaded = true;
        if (m_unload) {
            m_unload();
        }
    }
    return CloseVerdict::Close;
}

} // namespace vexilo::form
