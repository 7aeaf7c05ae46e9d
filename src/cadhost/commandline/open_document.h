// An open drawing as the host keeps it: the drawing, its spatial index, the reader's report and
// the file it came from.
#pragma once

#include "cadhost/dxf/dxf_reader.h"
#include "cadhost/index/spatial_index.h"
#include "cadhost/model/drawing.h"
#include "common/expected.h"

#include <future>
#include <memory>
#include <mutex>
#include <string>

namespace vexilo::cadhost {

/// The spatial index of a drawing, built on a worker thread once the drawing has been shown, so
/// that neither the picture nor the memory it takes waits for the index; the first look at it
/// waits until it is built (or builds it, when nothing started it). The drawing must outlive it
/// and stay unchanged; destroying it waits for the build.
class PendingIndex {
public:
    PendingIndex() = default;
    PendingIndex(PendingIndex&&) = delete;
    PendingIndex& operator=(PendingIndex&&) = delete;
    ~PendingIndex();

    /// Names the drawing to index; nothing is built yet.
    void attach(const Drawing& drawing);
    /// Starts building the index on a worker thread, unless it is built or being built.
    void start();
    /// True once the index is built (a look at it then does not wait).
    bool ready() const;
    /// The index, waiting for the build, or building it here when it was never started.
    /// Rethrows what the build threw (std::bad_alloc).
    const SpatialIndex& get() const;
    const SpatialIndex* operator->() const { return &get(); }

private:
    mutable std::mutex m_mutex;
    const Drawing* m_drawing = nullptr;
    mutable std::future<std::unique_ptr<SpatialIndex>> m_build;
    mutable std::unique_ptr<SpatialIndex> m_index;
};

/// A drawing that is open in the host. The index refers to the drawing, which therefore lives
/// on the heap and never moves, and is declared after it, so that it is destroyed (its build
/// waited for) first.
struct OpenDocument {
    /// The file as given to openDocument().
    std::string path;
    std::unique_ptr<Drawing> drawing;
    PendingIndex index;
    dxf::LoadReport report;
};

/// Reads the DXF file at `path`; its index is built when started or first looked at. Fails with
/// the reader's error.
Expected<std::unique_ptr<OpenDocument>, dxf::DxfFailure> openDocument(const std::string& path);

/// Wraps a drawing built in memory (tests, tools); its index is built when started or first
/// looked at.
std::unique_ptr<OpenDocument> makeDocument(Drawing drawing, std::string path = {});

/// The file name of `path` without its folders ("site.dxf" for "/data/site.dxf").
std::string fileNameOf(const std::string& path);

/// What the command line tells after a load: entity count and, when the reader left things out
/// or the view cannot show them (coordinates beyond kMaxDrawableCoordinate), how many and why
/// (one line each).
std::string loadSummary(const OpenDocument& document);

} // namespace vexilo::cadhost
