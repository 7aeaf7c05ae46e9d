// The drawing that vexilo-cad shows and serves: model-space entities in draw order, block
// definitions, layers, header values and the current UCS.
//
// Entities are plain values (model/entity.h); their variable-length parts (polyline vertices
// and widths, text strings) live in pools owned by the drawing, so a drawing costs a fixed
// amount per entity plus its vertices and characters, with no allocation per entity.
#pragma once

#include "cadhost/host_geometry.h"
#include "cadhost/model/entity.h"
#include "cadhost/model/mapped_vector.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vexilo::cadhost {

/// A LAYER table entry.
struct Layer {
    std::string name;
    /// ACI colour 1..255 (a layer that is off stores its colour negated in DXF; here it is
    /// always positive and `on` says whether it shows).
    std::int16_t color = 7;
    bool on = true;
    bool frozen = false;
    bool locked = false;
    /// Index into Drawing::linetypes() (0: Continuous).
    std::uint16_t linetype = 0;
    /// Its true colour 0xRRGGBB (DXF 420), which overrides `color`; -1 when it has none.
    std::int32_t trueColor = -1;
    /// True when its entities show: on and not frozen.
    bool visible() const { return on && !frozen; }
    friend bool operator==(const Layer&, const Layer&) = default;
};

/// One line of a multiline style: its offset from the MLINE's axis (in style units), ACI colour
/// (kColorByLayer, kColorByBlock or 1..255), true colour (-1: none) and line type index.
struct MlineElement {
    double offset = 0.0;
    std::int16_t color = kColorByLayer;
    std::int32_t trueColor = -1;
    std::uint16_t linetype = kLinetypeByLayer;
};

/// An MLINESTYLE object: its handle, name, DXF 70 flags (kMlineStyleFill, kMlineStyleMiters
/// and the caps), the colour of its fill (DXF 62 and 420 before the elements) and its elements.
struct MlineStyle {
    std::uint64_t handle = 0;
    std::string name;
    std::uint16_t flags = 0;
    std::int16_t fillColor = kColorByLayer;
    std::int32_t fillTrueColor = -1;
    std::vector<MlineElement> elements;
};

/// MLINESTYLE flags: the band between the outermost elements filled, joints drawn across the
/// elements, and at the start and the end square caps, arcs joining the inner elements pair by
/// pair, and a round cap joining the outermost ones.
inline constexpr std::uint16_t kMlineStyleFill = 1;
inline constexpr std::uint16_t kMlineStyleMiters = 2;
inline constexpr std::uint16_t kMlineStyleStartSquare = 16;
inline constexpr std::uint16_t kMlineStyleStartInnerArcs = 32;
inline constexpr std::uint16_t kMlineStyleStartRound = 64;
inline constexpr std::uint16_t kMlineStyleEndSquare = 256;
inline constexpr std::uint16_t kMlineStyleEndInnerArcs = 512;
inline constexpr std::uint16_t kMlineStyleEndRound = 1024;

/// A LTYPE table entry: its dash pattern in drawing units (positive a dash, negative a gap, 0 a
/// dot), empty for a solid line.
struct Linetype {
    std::string name;
    std::vector<double> dashes;
};

/// A block definition: name, base point (in the block's own coordinates) and the range of its
/// entities in Drawing::blockEntities().
struct Block {
    std::string name;
    Vec3 base;
    std::uint32_t firstEntity = 0;
    std::uint32_t entityCount = 0;
};

/// Header values the host uses.
struct DrawingHeader {
    /// $ACADVER, e.g. "AC1015" for R2000; empty when the file has no header.
    std::string acadVersion;
    /// $DWGCODEPAGE, e.g. "ANSI_936"; empty when absent.
    std::string codePage;
    /// $EXTMIN/$EXTMAX in WCS as the file states them (not checked against the entities).
    std::optional<Vec3> extMin;
    std::optional<Vec3> extMax;
    /// $LTSCALE: the global line type scale.
    double linetypeScale = 1.0;
};

/// A 2D box in the WCS XY plane. Empty while min > max.
struct Box2 {
    Vec2 min{1.0e300, 1.0e300};
    Vec2 max{-1.0e300, -1.0e300};

    bool isEmpty() const { return min.x > max.x || min.y > max.y; }
    /// True when every corner coordinate is a finite number (a block reference scaled past the
    /// double range gives infinite ones).
    bool isFinite() const {
        return std::isfinite(min.x) && std::isfinite(min.y) && std::isfinite(max.x) &&
               std::isfinite(max.y);
    }
    void add(Vec2 p) {
        min = {p.x < min.x ? p.x : min.x, p.y < min.y ? p.y : min.y};
        max = {p.x > max.x ? p.x : max.x, p.y > max.y ? p.y : max.y};
    }
    void add(const Box2& b) {
        if (!b.isEmpty()) {
            add(b.min);
            add(b.max);
        }
    }
};

/// A drawing in memory. Readers fill it through the `add…` and `append…` members and then call
/// finish(); after that it is read through the const members. Model-space entities keep the
/// order of the file, which is the draw order (later entities are drawn on top).
class Drawing {
public:
    Drawing();

    // ---- reading ----

    /// Model-space entities in draw order.
    std::span<const Entity> entities() const { return m_entities; }
    /// The model-space entity with this handle, or null. Handles are unique among them.
    const Entity* findByHandle(std::uint64_t handle) const;
    /// Index in entities() of the entity with this handle.
    std::optional<std::size_t> indexOfHandle(std::uint64_t handle) const;

    /// Layers; index 0 is always layer "0".
    std::span<const Layer> layers() const { return m_layers; }
    const Layer& layer(std::uint32_t index) const { return m_layers[index]; }
    /// Index of the layer named `name` (names compare case-insensitively for ASCII letters, as
    /// AutoCAD's do).
    std::optional<std::uint32_t> findLayer(std::string_view name) const;

    /// Line types; index 0 is always "Continuous".
    std::span<const Linetype> linetypes() const { return m_linetypes; }

    /// The true colours entities use (0xRRGGBB), each once; Entity::trueColor indexes them.
    std::span<const std::uint32_t> trueColors() const { return m_trueColors; }

    /// The multiline styles of the OBJECTS section.
    std::span<const MlineStyle> mlineStyles() const { return m_mlineStyles; }
    /// The multiline style with this handle, or null.
    const MlineStyle* findMlineStyle(std::uint64_t handle) const;

    std::span<const Block> blocks() const { return m_blocks; }
    /// The entities of one block definition, in their order.
    std::span<const Entity> blockEntities(const Block& block) const;

    /// The vertices of a polyline.
    std::span<const PolylineVertex> vertices(const PolylineData& p) const;
    /// Per-vertex widths of a polyline (one per vertex), or empty when it has none, in which
    /// case every segment has constantWidth at both ends.
    std::span<const SegmentWidth> widths(const PolylineData& p) const;
    /// The UTF-8 string of a text.
    std::string_view text(const TextData& t) const;
    /// A run of the vertex pool (spline control and fit points, face corners, hatch loops).
    std::span<const PolylineVertex> vertexRun(std::uint32_t first, std::uint32_t count) const;
    /// A run of the number pool (spline knots, hatch loop sizes and pattern lines).
    std::span<const double> numbers(std::uint32_t first, std::uint32_t count) const;
    /// The attribute texts of a block reference.
    std::span<const Entity> attributes(const InsertData& insert) const;

    const DrawingHeader& header() const { return m_header; }
    /// Bytes the drawing's pools hold (entities, vertices, widths, texts, handle index), for
    /// reports and benchmarks; names of layers and blocks are not counted.
    std::size_t poolBytes() const;
    /// The current UCS: the header's ($UCSORG/$UCSXDIR/$UCSYDIR) until setUcs changes it.
    const Ucs& ucs() const { return m_ucs; }
    void setUcs(const Ucs& ucs) { m_ucs = ucs; }

    // ---- building ----

    DrawingHeader& header() { return m_header; }
    /// Adds a layer, or replaces the one of that name (a later LAYER entry wins); returns its
    /// index.
    std::uint32_t addLayer(Layer layer);
    /// Adds a line type (the reader keeps names unique) and returns its index; past 0xFFFD line
    /// types it adds nothing and returns 0, Continuous.
    std::uint16_t addLinetype(Linetype linetype);
    /// The value of Entity::trueColor for the colour 0xRRGGBB, adding it to trueColors() when it
    /// is new; 0 (none) once 65,535 different colours are taken.
    std::uint16_t trueColorIndex(std::uint32_t rgb);
    void addMlineStyle(MlineStyle style) { m_mlineStyles.push_back(std::move(style)); }
    /// Adds a block definition whose entities are those appended with appendBlockEntity until
    /// the next addBlock; returns its index.
    std::uint32_t addBlock(std::string name, Vec3 base);
    /// Index of the block named `name` (case-insensitive for ASCII letters).
    std::optional<std::uint32_t> findBlock(std::string_view name) const;
    void appendEntity(Entity entity);
    void appendBlockEntity(Entity entity);
    /// Appends a vertex to the pool; a polyline refers to a contiguous run of them.
    std::uint32_t appendVertex(PolylineVertex v);
    std::uint32_t appendWidth(SegmentWidth w);
    /// Appends a run of vertices (or widths) and returns the index of the first.
    std::uint32_t appendVertices(std::span<const PolylineVertex> run);
    std::uint32_t appendWidths(std::span<const SegmentWidth> run);
    std::uint32_t appendNumbers(std::span<const double> run);
    /// Appends an attribute text (an ATTRIB of a block reference) and returns its index.
    std::uint32_t appendAttribute(Entity attribute);
    /// Copies a UTF-8 string into the text pool and points `t` at it.
    void setText(TextData& t, std::string_view utf8);
    /// Sizes of the pools entities refer into.
    struct PoolSizes {
        std::uint32_t vertices = 0;
        std::uint32_t widths = 0;
        std::uint32_t text = 0;
        std::uint32_t numbers = 0;
        std::uint32_t attributes = 0;
    };
    PoolSizes poolSizes() const;
    /// Moves the model-space entities and the pools (vertices, widths, texts, numbers,
    /// attributes) of `part` to the end of this drawing's; `part`'s entities must already refer
    /// into the pools as they will be, shifted by this drawing's poolSizes() from before. `part`
    /// is left without entities and pools.
    void appendPiece(Drawing& part);
    /// Mutable access for the reader's final passes (resolving block names).
    MappedVector<Entity>& mutableEntities() { return m_entities; }
    MappedVector<Entity>& mutableAttributes() { return m_attributes; }
    MappedVector<Entity>& mutableBlockEntities() { return m_blockEntities; }
    std::vector<Block>& mutableBlocks() { return m_blocks; }
    /// Gives every entity without a handle (handle 0) or with a handle already taken a new one
    /// above the largest, builds the handle index and releases spare pool capacity. Call it
    /// after the last entity is added and before findByHandle.
    void finish();

private:
    void shrinkPools();

    MappedVector<Entity> m_entities;
    MappedVector<Entity> m_blockEntities;
    std::vector<Block> m_blocks;
    std::vector<Layer> m_layers;
    std::vector<Linetype> m_linetypes;
    std::vector<std::uint32_t> m_trueColors;
    std::vector<MlineStyle> m_mlineStyles;
    std::unordered_map<std::uint32_t, std::uint16_t> m_trueColorIndex;
    MappedVector<PolylineVertex> m_vertices;
    MappedVector<SegmentWidth> m_widths;
    MappedVector<char> m_text;
    MappedVector<double> m_numbers;
    MappedVector<Entity> m_attributes;
    struct HandleEntry {
        std::uint64_t handle;
        std::uint32_t index;
        friend bool operator<(const HandleEntry& a, const HandleEntry& b) {
            return a.handle != b.handle ? a.handle < b.handle : a.index < b.index;
        }
    };
    /// Handle → entity index, sorted by handle; empty while m_handlesAscending.
    MappedVector<HandleEntry> m_handleIndex;
    bool m_handlesAscending = false;
    DrawingHeader m_header;
    Ucs m_ucs;
};

/// The name of an entity type as DXF writes it ("LWPOLYLINE", "POLYLINE", "ARC", ...).
std::string_view dxfTypeName(EntityType type);

} // namespace vexilo::cadhost
