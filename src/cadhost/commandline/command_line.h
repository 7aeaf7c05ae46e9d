// vexilo-cad's command line: answers the waiting request from typed lines, clicks and scripts,
// and runs the host's own commands (UCS, ZOOM, OSNAP, OPEN, SCRIPT) when no request waits.
#pragma once

#include "cadhost/commandline/command_history.h"
#include "cadhost/commandline/open_document.h"
#include "cadhost/commandline/script_runner.h"
#include "cadhost/commandline/snap_settings.h"
#include "cadhost/index/spatial_index.h"
#include "cadhost/requests/request_broker.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vexilo::cadhost {

/// What the commands act on; vexilo-cad's main window implements it (tests bring a fake).
class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    /// The open drawing with its index, or null when none is open.
    virtual OpenDocument* document() = 0;
    /// Half the side of the pick box, in drawing units at the current zoom; typed points at an
    /// entity request pick with it.
    virtual double pickHalfSize() const = 0;
    /// Shows the whole drawing.
    virtual void zoomExtents() = 0;
    /// Opens the DXF file at `path`. On failure the target keeps the drawing it had and returns
    /// the reader's failure.
    virtual Status<dxf::DxfFailure> openDrawing(const std::string& path) = 0;
    /// Tells the person `message` and returns once they have seen it (a message box, which runs
    /// the event loop meanwhile).
    virtual void alert(const std::string& message) = 0;
    /// The current UCS of the open drawing has changed.
    virtual void ucsChanged() = 0;
    /// Lets the person choose the running snaps (OSNAP without a list): a dialog that sets
    /// them through CommandLine::setSnaps() and returns once it is closed.
    virtual void editSnaps() = 0;
};

/// Runs a task later from the event loop. Script lines are fed through it, so that an answer
/// never runs inside the call that started a request.
using TaskPoster = std::function<void(std::function<void()>)>;

/// The interpreter behind the command line. It owns the broker's change listener.
///
/// Input comes as whole lines (Enter, or a space where spaceEndsInput()), Esc, clicks in the
/// view and script lines. At a point request a line "x,y" or "x,y,z" is a point in the current
/// UCS, answered in WCS; at an entity request it is the place of a pick; at a text request it
/// is the text. An empty line is Enter with nothing typed; "^C" is Esc. With no request
/// waiting a line is a command; an empty one repeats the last command.
///
/// The history shows a waiting request's prompt alone, as AutoCAD does: the idle "Command: "
/// that it replaces is not kept. Each answer is kept after its prompt (what was typed, or the
/// UCS coordinates of a click), "*Cancel*" on a line of its own.
///
/// At a point prompt a snap mode name (END, MID, CEN, NOD, QUA, INT, PER, NEA, any three
/// letters or more of the name) or NON is a one-time snap: the next click snaps to that kind
/// only (NON: to nothing), whether running snaps are on or not, then the running snaps return.
/// A click that finds no point of that kind gives no point and asks again.
class CommandLine {
public:
    CommandLine(RequestBroker& broker, CommandTarget& target, TaskPoster post);
    ~CommandLine();
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    // ---- input ----

    /// A line the person typed and ended with Enter (or space, see spaceEndsInput()).
    void submit(std::string_view line);
    /// True when a space typed now ends the input as Enter does: everywhere except at a text
    /// request that allows spaces and at a prompt for a file name.
    bool spaceEndsInput() const;
    /// Esc: cancels the waiting request or the running command; with neither, stops a script
    /// that waits for a request.
    void escape();
    /// A left click in the view at `cursor` (WCS XY). At a point prompt the running snaps apply
    /// within `aperture` (drawing units, half the side of the square); at an entity request
    /// the entity under the pick box of `pickHalfSize` is taken, without snaps. Elsewhere the
    /// click does nothing.
    void click(Vec2 cursor, double aperture, double pickHalfSize);
    /// A right click: Enter with nothing typed.
    void rightClick();

    /// True when a point is being asked for (a point request, or a command's point step); the
    /// view then shows snap markers.
    bool wantsPoint() const;
    /// True when an entity request waits.
    bool wantsEntity() const;
    /// The snap point a click at `cursor` would take now, or nothing (no point asked for, snaps
    /// off, or none within the aperture). A one-time snap typed at the prompt replaces the
    /// running snaps; perpendiculars are drawn from the last point given (the origin at the
    /// UCS command's X axis prompt).
    std::optional<SnapHit> snapAt(Vec2 cursor, double aperture) const;
    /// The point a click at `cursor` gives at a point prompt: the snap point, else the cursor
    /// on the XY plane of the current UCS, in WCS.
    Vec3 clickPoint(Vec2 cursor, double aperture) const;

    // ---- settings ----

    const SnapSettings& snaps() const { return m_snaps; }
    void setSnaps(const SnapSettings& snaps);
    /// The one-time snap waiting for the next pick, if any.
    const std::optional<SnapOverride>& snapOverride() const { return m_override; }
    /// F3: running snaps off or on; tells which in the history.
    void toggleSnaps();

    /// Opens the drawing at `path` (the OPEN command, the command line of the program, the
    /// menu). A failure is told in the history first, so that a log keeps it in its place,
    /// then to the person (CommandTarget::alert); script lines wait until they have seen it.
    void openDrawing(const std::string& path);

    // ---- scripts ----

    /// Reads a script file and starts feeding it; a failure is told in the history and
    /// returned.
    Status<ScriptFailure> runScript(const std::string& path);
    /// Starts feeding these lines.
    void runScriptLines(std::vector<std::string> lines);
    bool scriptRunning() const { return m_script.running(); }

    // ---- output ----

    const CommandHistory& history() const { return m_history; }
    CommandHistory& history() { return m_history; }
    /// A message of the host on its own lines.
    void print(std::string_view message);
    /// Called after every change of the history or the prompt.
    void setChangeListener(std::function<void()> listener) { m_listener = std::move(listener); }

private:
    enum class Step { None, UcsOrigin, UcsXAxis, ZoomOption, OsnapModes, OpenPath, ScriptPath };

    void requestChanged();
    void notify();
    void showIdlePrompt();
    void dropIdlePrompt();
    void echoCancel();
    void echoClick(Vec3 wcs);
    void complain(std::string_view message);
    void listCommands();
    std::string scriptStoppedText() const;
    void answerRequest(std::string_view line);
    void startCommand(std::string_view line);
    void commandInput(std::string_view line);
    void commandPoint(Vec3 wcs);
    void setStep(Step step);
    void endCommand();
    void finishUcs(std::optional<Vec3> xAxisPoint);
    bool applyOsnap(std::string_view text);
    bool startSnapOverride(std::string_view typed);
    std::optional<Vec2> perpendicularBase() const;
    void openFile(std::string_view path);
    void schedulePump();
    void pump();
    bool isIdle() const;
    Ucs currentUcs() const;

    RequestBroker& m_broker;
    CommandTarget& m_target;
    TaskPoster m_post;
    CommandHistory m_history;
    ScriptRunner m_script;
    SnapSettings m_snaps;
    std::optional<SnapOverride> m_override;
    // The last point given at a point prompt (WCS): where perpendiculars start.
    std::optional<Vec3> m_lastPoint;
    Step m_step = Step::None;
    Vec3 m_ucsOrigin;
    // The command that Enter at an empty "Command: " repeats, upper case.
    std::string m_lastCommand;
    // The open line is the idle "Command: ", which a request's prompt replaces.
    bool m_idlePromptShown = false;
    // The number of the script line being fed now, for messages about it.
    std::optional<std::size_t> m_scriptLine;
    // The running script was said to wait for a request.
    bool m_scriptWaitTold = false;
    bool m_requestShown = false;
    bool m_pumpScheduled = false;
    // Nonzero while the person is being told or asked something; the script waits.
    int m_alerting = 0;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::function<void()> m_listener;
};

/// The names of the host's commands, upper case.
bool isHostCommand(std::string_view word);

} // namespace vexilo::cadhost
