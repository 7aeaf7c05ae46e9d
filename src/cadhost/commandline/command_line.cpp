// The command line's interpreter: requests answered by lines, clicks and scripts; the host's
// own commands; feeding scripts.
#include "cadhost/commandline/command_line.h"

#include "cadhost/commandline/coordinate_input.h"
#include "common/ui_text.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <utility>

namespace vexilo::cadhost {

namespace {

std::string cancelEcho() {
    return uiText("CommandLine", "*Cancel*");
}

std::string pointRequired() {
    return uiText("CommandLine", "Point or option keyword required.");
}

constexpr std::array<std::string_view, 11> kCommands{
    "UCS", "ZOOM", "Z", "OSNAP", "OS", "OPEN", "SCRIPT", "SCR", "-OSNAP", "HELP", "?"};

// Splits off the first word (up to a blank) of a trimmed line.
std::pair<std::string_view, std::string_view> firstWord(std::string_view line) {
    line = trimBlanks(line);
    const std::size_t blank = line.find_first_of(" \t");
    if (blank == std::string_view::npos) {
        return {line, {}};
    }
    return {line.substr(0, blank), trimBlanks(line.substr(blank + 1))};
}

// A file name as typed: blanks around it and one pair of double quotes removed.
std::string unquote(std::string_view text) {
    text = trimBlanks(text);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        text = text.substr(1, text.size() - 2);
    }
    return std::string(text);
}

} // namespace

bool isHostCommand(std::string_view word) {
    const std::string upper = asciiUpper(word);
    for (std::string_view command : kCommands) {
        if (upper == command) {
            return true;
        }
    }
    return false;
}

CommandLine::CommandLine(RequestBroker& broker, CommandTarget& target, TaskPoster post)
    : m_broker(broker), m_target(target), m_post(std::move(post)) {
    m_broker.setChangeListener([this] { requestChanged(); });
    showIdlePrompt();
}

CommandLine::~CommandLine() {
    m_broker.setChangeListener(nullptr);
}

void CommandLine::notify() {
    if (m_listener) {
        m_listener();
    }
}

void CommandLine::showIdlePrompt() {
    if (m_history.openLine().empty() && !m_broker.isWaiting() && m_step == Step::None) {
        m_history.prompt(uiText("CommandLine", "Command: "));
        m_idlePromptShown = true;
    }
}

void CommandLine::dropIdlePrompt() {
    if (m_idlePromptShown) {
        m_history.discardOpenLine();
        m_idlePromptShown = false;
    }
}

void CommandLine::echoCancel() {
    m_history.endLine();
    m_history.message(cancelEcho());
}

// A click answers with a point; the history keeps it as the person would have typed it, in
// the current UCS with AutoCAD's default four decimals.
void CommandLine::echoClick(Vec3 wcs) {
    const Vec3 user = wcsToUcs(wcs, currentUcs());
    char text[128];
    std::snprintf(text, sizeof text, "%.4f,%.4f,%.4f", user.x, user.y, user.z);
    m_history.echo(text);
}

// A complaint about input; about a script's line it names the line.
void CommandLine::complain(std::string_view message) {
    if (m_scriptLine) {
        m_history.message(fillText(uiText("CommandLine", "Script line %1: %2"),
                                   {std::to_string(*m_scriptLine), message}));
        return;
    }
    m_history.message(message);
}

void CommandLine::listCommands() {
    struct Entry {
        std::string_view names;
        std::string what;
    };
    const std::array<Entry, 7> entries{{
        {"OPEN", uiText("CommandLine",
                        "opens a DXF drawing (also File > Open, or drop the file on the window)")},
        {"SCRIPT, SCR",
         uiText("CommandLine", "feeds the lines of a script file as if typed, one per answer")},
        {"UCS",
         uiText("CommandLine",
                "sets the user coordinate system: W, or an origin and a point on the X axis")},
        {"ZOOM, Z", uiText("CommandLine", "shows the whole drawing")},
        {"OSNAP, OS",
         uiText("CommandLine", "opens the object snap settings: modes, on or off, aperture")},
        {"-OSNAP", uiText("CommandLine", "chooses the running object snaps: "
                                         "END,MID,CEN,NOD,QUA,INT,PER,NEA or OFF")},
        {"HELP, ?", uiText("CommandLine", "lists these commands")},
    }};
    for (const Entry& entry : entries) {
        m_history.message(std::string(entry.names) + " — " + entry.what);
    }
}

std::string CommandLine::scriptStoppedText() const {
    return fillText(
        uiText("CommandLine", "Script stopped at line %1; lines not run: %2."),
        {std::to_string(m_script.nextLineNumber()), std::to_string(m_script.remaining())});
}

Ucs CommandLine::currentUcs() const {
    OpenDocument* document = m_target.document();
    return document != nullptr ? document->drawing->ucs() : Ucs{};
}

bool CommandLine::isIdle() const {
    return !m_broker.isWaiting() && m_step == Step::None;
}

// A request that starts while one of the host's commands runs ends that command: the client
// comes first, as the command is the person's own and can be typed again.
void CommandLine::requestChanged() {
    const auto& pending = m_broker.pending();
    // A one-time snap belongs to the prompt it was typed at.
    m_override.reset();
    if (pending && !m_requestShown) {
        if (m_step != Step::None) {
            echoCancel();
            m_step = Step::None;
        }
        dropIdlePrompt();
        m_history.prompt(pending->prompt);
        m_requestShown = true;
    } else if (!pending && m_requestShown) {
        m_requestShown = false;
        m_history.endLine();
        showIdlePrompt();
    }
    notify();
    schedulePump();
}

void CommandLine::submit(std::string_view line) {
    if (m_broker.isWaiting()) {
        answerRequest(line);
    } else if (m_step != Step::None) {
        commandInput(line);
    } else {
        startCommand(line);
    }
    notify();
}

bool CommandLine::spaceEndsInput() const {
    if (const auto& pending = m_broker.pending()) {
        return !(pending->kind == RequestKind::Text && pending->hasSpaces);
    }
    return m_step != Step::OpenPath && m_step != Step::ScriptPath;
}

void CommandLine::answerRequest(std::string_view line) {
    const PendingRequest request = *m_broker.pending();
    if (isCancelLine(line)) {
        echoCancel();
        m_broker.cancel();
        return;
    }
    if (request.kind == RequestKind::Text) {
        std::string_view text = line;
        if (!request.hasSpaces) {
            // A space ends the input as Enter does; the rest of the line is not part of it.
            text = text.substr(0, text.find(' '));
        }
        const std::string kept = truncateUtf8(text, RequestBroker::kMaxTextLength);
        m_history.echo(kept);
        m_broker.answerText(kept);
        return;
    }
    const std::string_view typed = trimBlanks(line);
    m_history.echo(typed);
    if (typed.empty()) {
        m_broker.answerEmpty();
        return;
    }
    const std::optional<Vec3> user = parseCoordinates(typed);
    if (!user) {
        if (request.kind == RequestKind::Point && startSnapOverride(typed)) {
            return;
        }
        complain(pointRequired());
        m_history.prompt(request.prompt);
        return;
    }
    const Vec3 world = ucsToWcs(*user, currentUcs());
    if (request.kind == RequestKind::Point) {
        m_lastPoint = world;
        m_broker.answerPoint({world.x, world.y, world.z});
        return;
    }
    OpenDocument* document = m_target.document();
    const std::optional<PickHit> hit =
        document != nullptr ? document->index->pick(xy(world), m_target.pickHalfSize())
                            : std::nullopt;
    if (!hit) {
        m_broker.answerNothingPicked();
        return;
    }
    const Entity& entity = document->drawing->entities()[hit->entity];
    m_broker.answerEntity({entity.handle, {world.x, world.y, world.z}});
}

void CommandLine::setStep(Step step) {
    m_step = step;
    m_override.reset();
    std::string prompt;
    switch (step) {
    case Step::None:
        return;
    case Step::UcsOrigin:
        prompt = uiText("CommandLine", "Specify origin of UCS or [World] <World>: ");
        break;
    case Step::UcsXAxis:
        prompt = uiText("CommandLine", "Specify point on X-axis or <Accept>: ");
        break;
    case Step::ZoomOption:
        prompt = uiText("CommandLine", "Enter an option [All/Extents] <Extents>: ");
        break;
    case Step::OsnapModes:
        prompt =
            fillText(uiText("CommandLine", "Enter list of object snap modes "
                                           "[END,MID,CEN,NOD,QUA,INT,PER,NEA,OFF] <%1>: "),
                     {m_snaps.enabled ? snapModeNames(m_snaps.modes, ",") : std::string("OFF")});
        break;
    case Step::OpenPath:
        prompt = uiText("CommandLine", "Enter name of drawing to open: ");
        break;
    case Step::ScriptPath:
        prompt = uiText("CommandLine", "Enter script file name: ");
        break;
    }
    m_history.prompt(prompt);
}

void CommandLine::endCommand() {
    m_step = Step::None;
    m_override.reset();
    m_history.endLine();
    showIdlePrompt();
    schedulePump();
}

void CommandLine::startCommand(std::string_view line) {
    auto [word, rest] = firstWord(line);
    if (word.empty()) {
        // Enter (or a space) at an empty "Command: " repeats the last command.
        if (m_lastCommand.empty()) {
            return;
        }
        word = m_lastCommand;
    }
    if (isCancelLine(word)) {
        dropIdlePrompt();
        m_history.message(cancelEcho());
        showIdlePrompt();
        return;
    }
    m_idlePromptShown = false;
    m_history.echo(word);
    const std::string command = asciiUpper(word);
    if (!isHostCommand(command)) {
        complain(fillText(uiText("CommandLine", "Unknown command \"%1\"."), {word}));
        showIdlePrompt();
        return;
    }
    m_lastCommand = command;
    if (command == "HELP" || command == "?") {
        listCommands();
        showIdlePrompt();
        return;
    }
    if (command == "OPEN" || command == "SCRIPT" || command == "SCR") {
        // File names may hold blanks: the rest of the line is the name.
        setStep(command == "OPEN" ? Step::OpenPath : Step::ScriptPath);
        if (!rest.empty()) {
            commandInput(rest);
        }
        return;
    }
    if (command == "UCS") {
        if (m_target.document() == nullptr) {
            complain(uiText("CommandLine", "No drawing is open."));
            showIdlePrompt();
            return;
        }
        setStep(Step::UcsOrigin);
    } else if (command == "ZOOM" || command == "Z") {
        setStep(Step::ZoomOption);
    } else if ((command == "OSNAP" || command == "OS") && rest.empty() && !m_scriptLine) {
        // AutoCAD's OSNAP opens its settings dialog; -OSNAP, and any OSNAP of a script, asks
        // on the command line. Script lines wait while the dialog is open; the history shows
        // the command meanwhile.
        notify();
        ++m_alerting;
        m_target.editSnaps();
        --m_alerting;
        showIdlePrompt();
        schedulePump();
        return;
    } else {
        setStep(Step::OsnapModes);
    }
    // "ZOOM E" on one line is "ZOOM", a space, then "E": each word answers the next prompt;
    // words left when the command has ended start the next one, as typed at "Command: ".
    std::string_view remaining = rest;
    while (!remaining.empty()) {
        if (m_step == Step::None) {
            startCommand(remaining);
            return;
        }
        const auto [next, after] = firstWord(remaining);
        commandInput(next);
        remaining = after;
    }
}

void CommandLine::commandInput(std::string_view line) {
    const std::string_view typed = trimBlanks(line);
    if (isCancelLine(typed)) {
        echoCancel();
        endCommand();
        return;
    }
    m_history.echo(typed);
    const std::string upper = asciiUpper(typed);
    switch (m_step) {
    case Step::None:
        return;
    case Step::UcsOrigin:
    case Step::UcsXAxis: {
        if (m_step == Step::UcsOrigin && (typed.empty() || upper == "W" || upper == "WORLD")) {
            m_target.document()->drawing->setUcs(Ucs{});
            m_target.ucsChanged();
            endCommand();
            return;
        }
        if (m_step == Step::UcsXAxis && typed.empty()) {
            finishUcs(std::nullopt);
            return;
        }
        const std::optional<Vec3> user = parseCoordinates(typed);
        if (!user) {
            if (startSnapOverride(typed)) {
                return;
            }
            complain(pointRequired());
            setStep(m_step);
            return;
        }
        commandPoint(ucsToWcs(*user, currentUcs()));
        return;
    }
    case Step::ZoomOption:
        if (upper.empty() || upper == "E" || upper == "EXTENTS" || upper == "A" || upper == "ALL") {
            m_target.zoomExtents();
            endCommand();
            return;
        }
        complain(uiText("CommandLine", "Invalid option keyword."));
        setStep(m_step);
        return;
    case Step::OsnapModes:
        if (upper.empty() || applyOsnap(upper)) {
            endCommand();
            return;
        }
        complain(uiText("CommandLine", "Invalid object snap mode."));
        setStep(m_step);
        return;
    case Step::OpenPath: {
        endCommand();
        openFile(typed);
        return;
    }
    case Step::ScriptPath: {
        endCommand();
        const std::string path = unquote(typed);
        if (!path.empty()) {
            (void)runScript(path);
        }
        return;
    }
    }
}

void CommandLine::commandPoint(Vec3 wcs) {
    m_lastPoint = wcs;
    if (m_step == Step::UcsOrigin) {
        m_ucsOrigin = wcs;
        setStep(Step::UcsXAxis);
        return;
    }
    if (m_step == Step::UcsXAxis) {
        finishUcs(wcs);
    }
}

// The new UCS keeps the Z axis of the current one: its X axis runs from the origin towards the
// given point, projected into the current XY plane.
void CommandLine::finishUcs(std::optional<Vec3> xAxisPoint) {
    OpenDocument* document = m_target.document();
    if (document == nullptr) {
        endCommand();
        return;
    }
    Ucs ucs = document->drawing->ucs();
    if (xAxisPoint) {
        const Vec3 z = ucs.zAxis();
        Vec3 direction = *xAxisPoint - m_ucsOrigin;
        direction = direction - z * dot(direction, z);
        const std::optional<Ucs> made = Ucs::fromAxes(m_ucsOrigin, direction, cross(z, direction));
        if (!made || length(direction) < 1e-12) {
            complain(uiText("CommandLine", "The point on the X axis must differ from the origin."));
            setStep(Step::UcsXAxis);
            return;
        }
        ucs = *made;
    } else {
        ucs.origin = m_ucsOrigin;
    }
    document->drawing->setUcs(ucs);
    m_target.ucsChanged();
    endCommand();
}

bool CommandLine::applyOsnap(std::string_view text) {
    const std::optional<SnapModeList> list = parseSnapModeList(text);
    if (!list) {
        return false;
    }
    if (list->off) {
        m_snaps.enabled = false;
    } else {
        m_snaps.modes = list->modes;
        m_snaps.enabled = true;
    }
    return true;
}

// A snap mode name typed at a point prompt takes effect for the next pick: the prompt line
// ends with the name, and "of " asks for the point, as in AutoCAD.
bool CommandLine::startSnapOverride(std::string_view typed) {
    const std::optional<SnapOverride> snap = parseSnapOverride(typed);
    if (!snap) {
        return false;
    }
    m_override = snap;
    m_history.prompt(uiText("CommandLine", "of "));
    return true;
}

std::optional<Vec2> CommandLine::perpendicularBase() const {
    if (!m_broker.isWaiting() && m_step == Step::UcsXAxis) {
        return xy(m_ucsOrigin);
    }
    if (m_lastPoint) {
        return xy(*m_lastPoint);
    }
    return std::nullopt;
}

void CommandLine::openFile(std::string_view typed) {
    const std::string path = unquote(typed);
    if (path.empty()) {
        return;
    }
    openDrawing(path);
}

void CommandLine::openDrawing(const std::string& path) {
    const auto opened = m_target.openDrawing(path);
    if (opened) {
        return;
    }
    const std::string& failure = opened.error().message;
    print(fillText(uiText("CommandLine", "OPEN failed: %1"), {failure}));
    // The message box runs the event loop; a script line fed meanwhile would act, and be
    // logged, before the person has seen the failure.
    ++m_alerting;
    m_target.alert(fillText(uiText("CommandLine", "Cannot open %1:\n%2"), {path, failure}));
    --m_alerting;
    schedulePump();
}

void CommandLine::escape() {
    if (m_broker.isWaiting()) {
        echoCancel();
        m_broker.cancel();
    } else if (m_step != Step::None) {
        echoCancel();
        endCommand();
    } else {
        dropIdlePrompt();
        m_history.message(cancelEcho());
        if (m_script.running()) {
            m_history.message(scriptStoppedText());
            m_script.stop();
        }
        showIdlePrompt();
    }
    notify();
}

bool CommandLine::wantsPoint() const {
    const auto& pending = m_broker.pending();
    if (pending) {
        return pending->kind == RequestKind::Point;
    }
    return m_step == Step::UcsOrigin || m_step == Step::UcsXAxis;
}

bool CommandLine::wantsEntity() const {
    const auto& pending = m_broker.pending();
    return pending && pending->kind == RequestKind::Entity;
}

std::optional<SnapHit> CommandLine::snapAt(Vec2 cursor, double aperture) const {
    OpenDocument* document = m_target.document();
    if (!wantsPoint() || document == nullptr) {
        return std::nullopt;
    }
    if (m_override) {
        if (!m_override->kind) {
            return std::nullopt;
        }
        return document->index->snap(cursor, aperture, SnapModes::only(*m_override->kind),
                                     perpendicularBase());
    }
    if (!m_snaps.enabled) {
        return std::nullopt;
    }
    return document->index->snap(cursor, aperture, m_snaps.modes, perpendicularBase());
}

// A click without a snap lies on the XY plane of the current UCS, seen along the WCS Z axis
// (the host shows the plan of the WCS); with a UCS whose XY plane is vertical, on WCS Z = 0.
Vec3 CommandLine::clickPoint(Vec2 cursor, double aperture) const {
    if (const std::optional<SnapHit> hit = snapAt(cursor, aperture)) {
        return hit->point;
    }
    const Ucs ucs = currentUcs();
    const Vec3 n = ucs.zAxis();
    double z = 0.0;
    if (std::abs(n.z) > 1e-9) {
        z = ucs.origin.z -
            (n.x * (cursor.x - ucs.origin.x) + n.y * (cursor.y - ucs.origin.y)) / n.z;
    }
    return {cursor.x, cursor.y, z};
}

void CommandLine::click(Vec2 cursor, double aperture, double pickHalfSize) {
    const auto& pending = m_broker.pending();
    if (wantsPoint() && m_override && m_override->kind && !snapAt(cursor, aperture)) {
        // A one-time snap that finds nothing gives no point: the person asked for an exact
        // one. It is used up, and the prompt asks again.
        const SnapKind kind = *m_override->kind;
        m_override.reset();
        m_history.endLine();
        m_history.message(fillText(uiText("CommandLine", "No %1 found for specified point."),
                                   {snapKindText(kind)}));
        if (pending) {
            m_history.prompt(pending->prompt);
        } else {
            setStep(m_step);
        }
        notify();
        return;
    }
    if (pending && pending->kind == RequestKind::Point) {
        const Vec3 p = clickPoint(cursor, aperture);
        m_lastPoint = p;
        echoClick(p);
        m_broker.answerPoint({p.x, p.y, p.z});
    } else if (pending && pending->kind == RequestKind::Entity) {
        OpenDocument* document = m_target.document();
        const std::optional<PickHit> hit =
            document != nullptr ? document->index->pick(cursor, pickHalfSize) : std::nullopt;
        // Entity picks take no snap: the picked point is where the person clicked.
        const Vec3 p = clickPoint(cursor, 0.0);
        echoClick(p);
        if (hit) {
            const Entity& entity = document->drawing->entities()[hit->entity];
            m_broker.answerEntity({entity.handle, {p.x, p.y, p.z}});
        } else {
            m_broker.answerNothingPicked();
        }
    } else if (!pending && (m_step == Step::UcsOrigin || m_step == Step::UcsXAxis)) {
        const Vec3 p = clickPoint(cursor, aperture);
        echoClick(p);
        commandPoint(p);
    }
    notify();
}

void CommandLine::rightClick() {
    if (!isIdle()) {
        submit("");
    }
}

void CommandLine::setSnaps(const SnapSettings& snaps) {
    m_snaps = snaps;
    notify();
}

void CommandLine::toggleSnaps() {
    m_snaps.enabled = !m_snaps.enabled;
    print(m_snaps.enabled ? uiText("CommandLine", "<Osnap on>")
                          : uiText("CommandLine", "<Osnap off>"));
}

void CommandLine::print(std::string_view message) {
    // The prompt being answered is shown again below the message, as AutoCAD does; an idle
    // "Command: " is not kept above it.
    const bool idle = m_idlePromptShown;
    dropIdlePrompt();
    const std::string open = m_history.openLine();
    m_history.endLine();
    m_history.message(message);
    if (idle) {
        showIdlePrompt();
    } else {
        m_history.prompt(open);
    }
    notify();
}

Status<ScriptFailure> CommandLine::runScript(const std::string& path) {
    auto lines = readScriptFile(path);
    if (!lines) {
        print(fillText(uiText("CommandLine", "Cannot run script: %1"), {lines.error().message}));
        return unexpected(lines.error());
    }
    runScriptLines(std::move(*lines));
    return {};
}

void CommandLine::runScriptLines(std::vector<std::string> lines) {
    // A script started from a script replaces it, as in AutoCAD; what is left of the old one
    // is told.
    if (m_script.running()) {
        print(scriptStoppedText());
        m_script.stop();
    }
    m_script.start(std::move(lines));
    m_scriptWaitTold = false;
    schedulePump();
}

void CommandLine::schedulePump() {
    if (m_pumpScheduled || !m_script.running()) {
        return;
    }
    m_pumpScheduled = true;
    std::weak_ptr<bool> alive = m_alive;
    m_post([this, alive] {
        if (!alive.expired()) {
            pump();
        }
    });
}

// Feeds one script line, then schedules the next. A line that arrives while nothing waits and
// is not a command stays until a request asks for it: scripts answer requests that a client
// makes later.
void CommandLine::pump() {
    m_pumpScheduled = false;
    if (!m_script.running() || m_alerting > 0) {
        return;
    }
    if (isIdle() && !isHostCommand(firstWord(m_script.peek()).first)) {
        if (!m_scriptWaitTold) {
            m_scriptWaitTold = true;
            print(fillText(uiText("CommandLine", "Script line %1 is not a command: it waits for a "
                                                 "program's request (Esc stops the script)."),
                           {std::to_string(m_script.nextLineNumber())}));
        }
        return;
    }
    m_scriptLine = m_script.nextLineNumber();
    const std::string line = m_script.take();
    submit(line);
    m_scriptLine.reset();
    schedulePump();
}

} // namespace vexilo::cadhost
