// An open drawing as the host keeps it: the drawing, its spatial index, the reader's report and
// the file it came from.
#pragma once

#include "cadhost/dxf/dxf_reader.h"
#include "cadhost/index/spatial_index.h"
#include "cadhost/model/drawing.h"
#include "common/expected.h"

#include <memory>
#include <string>

namespace vexilo::cadhost {

/// A drawing that is open in the host. The index refers to the drawing, which therefore lives
/// on the heap and never moves.
struct OpenDocument {
    /// The file as given to openDocument().
    std::string path;
    std::unique_ptr<Drawing> drawing;
    std::unique_ptr<SpatialIndex> index;
    dxf::LoadReport report;
};

/// Reads the DXF file at `path` and indexes it. Fails with the reader's error.
Expected<std::unique_ptr<OpenDocument>, dxf::DxfFailure> openDocument(const std::string& path);

/// Wraps a drawing built in memory (tests, tools) and indexes it.
std::unique_ptr<OpenDocument> makeDocument(Drawing drawing, std::string path = {});

/// The file name of `path` without its folders ("site.dxf" for "/data/site.dxf").
std::string fileNameOf(const std::string& path);

/// What the command line tells after a load: entity count and, when the reader left things out
/// or the view cannot show them (coordinates beyond kMaxDrawableCoordinate), how many and why
/// (one line each).
std::string loadSummary(const OpenDocument& document);

} // namespace vexilo::cadhost
