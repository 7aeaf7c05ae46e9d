// Reads a DXF file (ASCII or binary, R12 to R2018) into a Drawing.
//
// What is read: the header variables the host uses, the LAYER table, block definitions and the
// model-space entities LINE, LWPOLYLINE, POLYLINE (2D and 3D, with VERTEX and SEQEND), ARC,
// CIRCLE, POINT, TEXT, MTEXT, INSERT (with its ATTRIB texts), DIMENSION (its block), SPLINE,
// ELLIPSE, SOLID, TRACE, 3DFACE, LEADER, XLINE, RAY and HATCH. Everything else (other entity
// types, paper space, polygon and polyface meshes, objects) is passed over and counted in the
// report.
#pragma once

#include "cadhost/model/drawing.h"
#include "common/expected.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vexilo::cadhost::dxf {

/// Why a file could not be read at all.
enum class DxfError {
    /// The file could not be opened, mapped or read.
    CannotOpen,
    /// The file is empty or does not start like a DXF file (a SECTION).
    NotDxf,
    /// The file ends inside a tag or before its EOF marker: it was cut short.
    Truncated,
    /// A group code is not a number, or (binary) not one DXF defines.
    BadGroupCode,
    /// The file is larger than the 4 GiB the drawing's indices can address.
    TooLarge,
};

/// A fatal read error: its kind, where it was found and a message for the person.
struct DxfFailure {
    DxfError kind = DxfError::NotDxf;
    /// 1-based line (ASCII files) or byte offset (binary files); 0 when not tied to a place.
    std::size_t location = 0;
    bool locationIsByteOffset = false;
    /// English text naming the error and its place, e.g. "line 1234: the file ends inside a
    /// tag (truncated)".
    std::string message;
};

/// Why something in a readable file was left out.
enum class SkipReason {
    /// An entity type the host does not show (HATCH, DIMENSION, SPLINE, ...).
    UnsupportedEntity,
    /// A POLYLINE that is a polygon mesh (70 bit 16).
    PolygonMesh,
    /// A POLYLINE that is a polyface mesh (70 bit 64).
    PolyfaceMesh,
    /// An entity in paper space (67 = 1) or in a paper-space block.
    PaperSpace,
    /// An entity with a value that is not a number where one is needed, or out of range
    /// (negative radius, non-finite coordinates).
    BadValue,
    /// A polyline without vertices.
    NoVertices,
    /// An INSERT of a block that is not defined.
    UndefinedBlock,
    /// An INSERT that would insert its own block again (directly or through other blocks).
    RecursiveBlock,
    /// An array insert (MINSERT): only its first copy is kept; counted once per INSERT.
    ArrayReducedToOne,
    /// Entities between a missing end of block and the next block or section.
    Misplaced,
};

/// How many of one kind of thing were skipped for one reason.
struct SkippedItems {
    SkipReason reason = SkipReason::UnsupportedEntity;
    /// The DXF type name (e.g. "HATCH"), or "" where the reason says it all.
    std::string what;
    std::size_t count = 0;
    /// Line or byte offset of the first one.
    std::size_t firstLocation = 0;
};

/// What a read left out or had to guess, for reporting once to the person.
struct LoadReport {
    std::vector<SkippedItems> skipped;
    /// Other remarks: an unknown code page, a damaged UCS in the header.
    std::vector<std::string> notes;
    bool binary = false;
    std::size_t bytes = 0;

    /// Total number of skipped things.
    std::size_t skippedCount() const;
    /// Count for one reason (all types together).
    std::size_t count(SkipReason reason) const;
    /// One line per kind, e.g. "skipped 3 HATCH: entity type not shown"; empty when nothing.
    std::string summary() const;
};

/// A successfully read drawing with its report.
struct LoadedDrawing {
    Drawing drawing;
    LoadReport report;
};

using ReadResult = vexilo::Expected<LoadedDrawing, DxfFailure>;

/// How a read may use the machine. The result does not depend on it: an ASCII file's ENTITIES
/// section is cut into pieces at entity boundaries, read on several threads and joined in file
/// order, and a file whose pieces do not join cleanly (a damaged one) is read again in one
/// piece, so handles, draw order, the report and errors are those of a read in one piece.
struct ReadOptions {
    /// Threads to read with; 0 for one per processor core.
    unsigned threads = 0;
    /// Entities sections smaller than twice this are read in one piece.
    std::size_t minPieceBytes = std::size_t{4} << 20;
};

/// Reads a DXF file from memory. Never throws for any input and needs memory proportional to
/// what it keeps.
ReadResult readDxf(std::string_view bytes, const ReadOptions& options = {});

/// Reads the DXF file at `path` (memory-mapped).
ReadResult readDxfFile(const std::string& path, const ReadOptions& options = {});

/// A short name of an error kind ("truncated", "not a DXF file", ...), in the person's language.
std::string describe(DxfError kind);
/// A short description of a skip reason, in the person's language.
std::string describe(SkipReason reason);

} // namespace vexilo::cadhost::dxf
