// The stand-in AutoCAD as a child process of a test: its script and options, the programmatic
// identifiers registered for it, its start and its end, and its call log.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vexilo::cad::com::testing {

/// How the stand-in is started.
struct StandInOptions {
    /// The programmatic identifiers registered for its class while it runs.
    std::vector<std::string> progIds{"AutoCAD.Application"};
    /// The drawing file; the tests' drawing made by make_drawing.py when empty.
    std::string drawing;
    int busyMilliseconds = 0;
    bool variantArrays = false;
    long lowerBound = 0;
    bool noDrawing = false;
    /// Registered under another class, with other DISPIDs, as another AutoCAD version.
    bool otherVersion = false;
};

/// Starts the stand-in and waits until it has registered in the running object table; ends it
/// (and removes the identifiers) when destroyed, so that the next test's stand-in is the only
/// one registered.
class StandIn {
public:
    /// `script`: the answers of the interactive requests, one per line (see
    /// stand_in_autocad.cpp).
    explicit StandIn(std::vector<std::string> script, StandInOptions options = {});
    ~StandIn();
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    /// Registered and serving.
    bool ready() const { return m_ready; }
    /// Every call it received so far, one UTF-8 line each ("Utility.GetPoint(missing,\"...\")").
    std::vector<std::string> log() const;
    /// Lines of log() that start with `prefix`.
    std::vector<std::string> logged(const std::string& prefix) const;
    /// Ends it now, as closing AutoCAD would; log() stays readable. True when it ended by itself
    /// with exit code 0 once asked (or had ended before), false when it had to be terminated or
    /// failed on its way out.
    bool end();
    /// The process has ended (by end() or by itself).
    bool exited() const;

private:
    std::vector<std::string> m_script;
    StandInOptions m_options;
    std::wstring m_directory;
    std::wstring m_quitName;
    HANDLE m_quit = nullptr;
    PROCESS_INFORMATION m_process{};
    bool m_ready = false;
};

/// Registers `progId` for the stand-in's class (or the other version's) in the prefix's registry
/// (as HKLM\Software\Classes\<progId>\CLSID), or removes it.
void registerProgId(const std::string& progId, bool otherVersion = false);
void unregisterProgId(const std::string& progId);

/// Writes a drawing for the stand-in that holds, under the tests' rotated user system, one
/// lightweight polyline "L" of `vertices` vertices (extrusion 0,0,-1, elevation 2.5), and
/// returns its path.
std::string writeLongPolylineDrawing(int vertices);

/// The stand-in's executable, next to the test's own.
std::wstring standInExecutable();

} // namespace vexilo::cad::com::testing
