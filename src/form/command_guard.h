// The window's command guard: no second command while one runs, and a close that arrives
// meanwhile is carried out after it; the unload step runs exactly once.
#pragma once

#include <functional>

namespace vexilo::form {

/// Serialises the window's commands and its close. A command may wait in a nested message
/// loop (a pick, a message box), where further clicks and close requests arrive: clicks are
/// ignored then, and a close is held back, because the command still holds the CAD references
/// the unload step releases. Shells route every button, every public operation called by other
/// programs and every close request through one guard.
class CommandGuard {
public:
    /// What the shell does with a close request.
    enum class CloseVerdict {
        Close,    ///< unloaded (or had been): let the window close
        Deferred, ///< a command runs: keep the window; the guard closes it after the command
    };

    /// Called once when the window unloads, however it is closed: the place where the CAD
    /// references are released.
    void setUnloadHandler(std::function<void()> handler) { m_unload = std::move(handler); }
    /// How the guard asks the shell to close the window again once a command has ended (the
    /// shell's own close, which comes back through requestClose).
    void setCloser(std::function<void()> closer) { m_closer = std::move(closer); }

    /// True while a command runs.
    bool isRunning() const { return m_running; }

    /// Runs `action` as a command: not at all while another command runs (returns false then).
    /// A close requested meanwhile is carried out after the action returns.
    bool run(const std::function<void()>& action);

    /// A close request from the shell (title bar, Alt+F4, `Command3`, the session ending).
    CloseVerdict requestClose();

private:
    std::function<void()> m_unload;
    std::function<void()> m_closer;
    bool m_running = false;
    bool m_closeRequested = false;
    bool m_unloaded = false;
};

} // namespace vexilo::form
