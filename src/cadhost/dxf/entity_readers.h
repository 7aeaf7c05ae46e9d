// The reader's private interface between the section walker (dxf_reader.cpp) and the small
// readers of each entity kind (read_*.cpp): an entity's tags gathered once, and the context a
// reader keeps what it read in.
#pragma once

#include "cadhost/dxf/dxf_reader.h"
#include "cadhost/dxf/tag_reader.h"
#include "cadhost/dxf/text_decoder.h"

#include <array>
#include <cstdint>
#include <numbers>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vexilo::cadhost::dxf {

inline constexpr double kDegree = std::numbers::pi / 180.0;
inline constexpr std::uint32_t kUnresolvedBlock = 0xFFFFFFFFu;

/// Radians folded into [0, 2π).
double normalizedAngle(double radians);
/// ASCII letters upper-cased (DXF names compare case-insensitively).
std::string upperAscii(std::string_view s);

/// Where parsed entities go: model space or the block being defined.
enum class Target { ModelSpace, Block, Discard };

/// The tags of one entity (from the one after its 0 tag up to the next 0 tag), in file order,
/// with the last occurrence of each group code found at once. Values are read through it so
/// that a value that is not a number marks the entity damaged instead of becoming 0 silently.
class EntityTags {
public:
    /// Forgets the previous entity's tags (capacity is kept).
    void clear();
    void add(const Tag& tag);

    /// Every tag in file order.
    std::span<const Tag> all() const { return m_tags; }
    /// The last tag with this code, or null.
    const Tag* last(int code) const;
    bool has(int code) const { return last(code) != nullptr; }

    /// The last value of `code` as a number, `fallback` when absent.
    double number(int code, double fallback = 0.0);
    /// The last value of `code` as an integer, `fallback` when absent.
    std::int64_t integer(int code, std::int64_t fallback = 0);
    /// The point of codes `code`, `code`+10, `code`+20 (absent coordinates from `fallback`).
    Vec3 point(int code, Vec3 fallback = {});
    /// The raw value of the last tag with `code` ("" when absent).
    std::string_view text(int code) const;
    /// The value of one tag as a number or integer (marking damage as above).
    double numberOf(const Tag& tag);
    std::int64_t integerOf(const Tag& tag);

    /// True once a value read was not a number.
    bool damaged = false;

private:
    static constexpr int kCodes = 1072;
    std::vector<Tag> m_tags;
    /// Per group code: the generation it was last seen in and its index in m_tags.
    struct Slot {
        std::uint32_t generation = 0;
        std::uint32_t index = 0;
    };
    std::array<Slot, kCodes> m_slots{};
    std::uint32_t m_generation = 1;
};

/// The properties every entity shares.
struct Common {
    std::uint64_t handle = 0;
    std::string_view layerName;
    bool hasLayer = false;
    std::int16_t color = kColorByLayer;
    /// True colour 0xRRGGBB (DXF 420), -1 when absent.
    std::int32_t trueColor = -1;
    std::string_view linetypeName;
    double linetypeScale = 1.0;
    bool paperSpace = false;
    Vec3 normal{0.0, 0.0, 1.0};
    bool damaged = false;
    std::size_t location = 0;
};

class ReaderContext;

/// The properties every entity shares, from its tags.
Common commonOf(EntityTags& tags);
/// Fills a one-line text's geometry and alignment from TEXT or ATTRIB tags (the vertical
/// alignment is 73 in a TEXT, 74 in an ATTRIB); the string is set by the caller.
void readTextFields(EntityTags& tags, TextData& d, int verticalCode);

/// Reads one entity kind from its gathered tags; `type` is its DXF name as written.
using EntityReader = void (*)(ReaderContext& context, Target target, EntityTags& tags,
                              Common& common);

/// Walks the sections of a file and keeps what the entity readers give it.
class ReaderContext {
public:
    ReaderContext(std::string_view bytes, const ReadOptions& options);

    ReadResult run();
    /// True when the entities section was read in pieces that did not join cleanly (a damaged
    /// file): run()'s result is then void and the file must be read again in one piece.
    bool needsReadInOnePiece() const { return m_piecesFailed; }
    /// The bytes are a private read-only mapping of the file: the pages read are handed back to
    /// the system (a later look at them reads them from the file again).
    void setReleasable(bool releasable) { m_releasable = releasable; }

    // ---- for the entity readers ----

    Drawing& drawing() { return m_drawing; }
    /// Decodes a raw DXF string (code page, \U+ and \M+ escapes) into scratch storage valid
    /// until the next call.
    const std::string& decode(std::string_view raw);
    /// The layer of an entity by its raw name, created with defaults when the table lacks it.
    std::uint32_t layerIndex(std::string_view rawName);
    /// Counts something left out in the load report.
    void skip(SkipReason reason, std::string_view what, std::size_t location);
    /// Checks the normal and the place of an entity; counts and returns false when it is not
    /// kept (discarded block, paper space, bad value). `normal` receives the unit normal.
    bool acceptable(Target target, Common& c, std::string_view type, Vec3* normal);
    /// An entity with the shared properties of `c` (its layer looked up).
    Entity entity(const Common& c, EntityType type, EntityData data);
    /// Keeps an entity in model space or in the block being defined.
    void keep(Target target, const Common& c, EntityType type, EntityData data);
    /// Index the next entity kept at `target` will have (for references resolved later).
    std::size_t nextIndex(Target target);
    /// The index of a block by name, or kUnresolvedBlock, remembering the reference so that
    /// a block defined later is found at the end of the read.
    std::uint32_t blockReference(Target target, std::string_view rawName);
    /// When the current tag starts an entity named `type`, gathers its tags into `tags` and
    /// returns true (the entities that follow a POLYLINE or an INSERT).
    bool follower(std::string_view type, EntityTags& tags, std::size_t& location);
    /// Passes over a SEQEND that ends a run of followers.
    void endOfSequence();
    /// Arrowhead length of a dimension style (DIMASZ × DIMSCALE), by its raw name; the header's
    /// when the style is not in the table.
    double arrowSize(std::string_view rawStyle);
    /// Scratch buffers the readers share.
    std::vector<PolylineVertex>& vertexScratch() { return m_vertexScratch; }
    std::vector<SegmentWidth>& widthScratch() { return m_widthScratch; }
    std::string& stringScratch() { return m_scratch; }
    TextDecoder& decoder() { return m_decoder; }
    /// Tags of the follower entities (kept here so their lookup table is not built anew).
    EntityTags& followerTags() { return m_followerTags; }

private:
    /// A reader of one piece of the entities section (`piece` starts with an entity), with the
    /// tables, blocks and decoder settings `parent` has read so far.
    ReaderContext(const ReaderContext& parent, std::string_view piece);

    bool advance();
    bool atZero() const { return m_have && m_tag.code == 0; }
    bool atZero(std::string_view word) const { return atZero() && m_tag.is(word); }
    bool atSectionEnd() const;
    void skipToNextZero();
    void gather(EntityTags& tags);

    void readHeader();
    void readTables();
    void readLayerTable();
    void readDimStyleTable();
    void readLinetypeTable();
    std::uint16_t linetypeIndex(std::string_view rawName);
    std::uint16_t linetypeByName(const std::string& upperName) const;
    void readBlocks();
    void readEntities(Target target);
    /// Reads the mapping's pages ahead of the current tag in and hands those well behind it back
    /// to the system.
    void moveWindow();
    /// Reads the model-space entities section in pieces on several threads when it is large
    /// enough; false when it is to be read in one piece (then nothing was read). Sets
    /// m_piecesFailed when the pieces do not join cleanly.
    bool readEntitiesInPieces();
    /// Reads this piece's entities; true when it ends cleanly: at the end of the piece, or for
    /// the last piece at the tag that ends the section.
    bool readPiece(bool last);
    /// Appends a piece's entities, pools, new layers, pending references and report, its
    /// locations shifted by `lineOffset`.
    void joinPiece(ReaderContext& piece, std::size_t lineOffset);
    /// Counts `count` things left out, the first at `location` (the report's bounded list).
    void skip(SkipReason reason, std::string_view what, std::size_t location, std::size_t count);
    /// The index of the layer with this decoded name, created with defaults when missing.
    std::uint32_t layerNamed(std::string name);
    void readObjects();
    /// Keeps an MLINESTYLE object (the current tag is its 0).
    void readMlineStyle();
    /// Puts model-space entities in the draw order of SORTENTSTABLE, when the file has one.
    void applyDrawOrder();
    void readEntity(Target target);
    void resolveBlocks();
    ReadResult failure(DxfError kind, std::size_t location, std::string_view what);

    std::string_view m_bytes;
    ReadOptions m_options;
    TagReader m_tags;
    Tag m_tag;
    bool m_have = false;
    std::size_t m_lastLocation = 0;
    Drawing m_drawing;
    LoadReport m_report;
    TextDecoder m_decoder;
    std::string m_decoded;
    std::string m_scratch;
    EntityTags m_entityTags;
    EntityTags m_followerTags;
    std::vector<SegmentWidth> m_widthScratch;
    std::vector<PolylineVertex> m_vertexScratch;
    std::unordered_map<std::string, std::uint32_t> m_layerByName;
    std::unordered_map<std::string, std::uint32_t> m_blockByName;
    std::unordered_map<std::string, double> m_arrowSizeByStyle;
    std::unordered_map<std::string, std::uint16_t> m_linetypeByName;
    std::string_view m_lastLinetypeRaw;
    std::uint16_t m_lastLinetype = 0;
    bool m_haveLastLinetype = false;
    /// $DIMASZ and $DIMSCALE; AutoCAD's defaults when the header lacks them.
    double m_arrowSize = 0.18;
    double m_dimScale = 1.0;
    std::string_view m_lastLayerRaw;
    std::uint32_t m_lastLayer = 0;
    bool m_haveLastLayer = false;
    /// References whose block was not defined yet when they were read.
    struct PendingInsert {
        bool inBlock;
        std::size_t index;
        std::string name;
    };
    std::vector<PendingInsert> m_pending;
    /// SORTENTSTABLE pairs: entity handle, sort handle.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> m_drawOrder;
    /// $DWGCODEPAGE when the decoder knows it (pieces set their decoders alike).
    std::string m_codePage;
    /// Layers the drawing had when a piece started; a piece's later ones are its own.
    std::size_t m_sharedLayers = 0;
    bool m_piecesFailed = false;
    bool m_releasable = false;
    std::uintptr_t m_releasedUpTo = 0;
    std::uintptr_t m_populatedUpTo = 0;
};

// The entity readers, one per kind (read_*.cpp).
void readLine(ReaderContext& context, Target target, EntityTags& tags, Common& common);
void readPoint(ReaderContext& context, Target target, EntityTags& tags, Common& common);
void readArc(ReaderContext& context, Target target, EntityTags& tags, Common& common);
void readCircle(ReaderContext& context, Target target, EntityTags& tags, Common& common);
void readLwPolyline(ReaderContext& context, Target target, EntityTags& tags, Common& common);
void readPolyline(ReaderContext& context, Target target, EntityTags& tags, Common& common);
void readText(ReaderContext& context, Target target, EntityTags& tags, Common& common);
void readMText(ReaderContext& context, Target target, EntityTags& tags, Common& common);
void readAttributeDefinition(ReaderContext& context, Target target, EntityTags& tags,
                             Common& common);
void readInsert(ReaderContext& context, Target target, EntityTags& tags, Common& common);
void readDimension(ReaderContext& context, Target target, EntityTags& tags, Common& common);
void readSpline(ReaderContext& context, Target target, EntityTags& tags, Common& common);
void readEllipse(ReaderContext& context, Target target, EntityTags& tags, Common& common);
void readSolid(ReaderContext& context, Target target, EntityTags& tags, Common& common);
void readTrace(ReaderContext& context, Target target, EntityTags& tags, Common& common);
void readFace3d(ReaderContext& context, Target target, EntityTags& tags, Common& common);
void readLeader(ReaderContext& context, Target target, EntityTags& tags, Common& common);
void readXLine(ReaderContext& context, Target target, EntityTags& tags, Common& common);
void readRay(ReaderContext& context, Target target, EntityTags& tags, Common& common);
void readHatch(ReaderContext& context, Target target, EntityTags& tags, Common& common);
void readMLine(ReaderContext& context, Target target, EntityTags& tags, Common& common);

} // namespace vexilo::cadhost::dxf
