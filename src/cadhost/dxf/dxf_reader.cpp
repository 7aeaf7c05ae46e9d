// The DXF reader's section walker: header, tables, blocks and the entities section, handing each
// entity to the reader of its kind (read_*.cpp) and resolving block references at the end.
#include "cadhost/dxf/dxf_reader.h"

#include "cadhost/dxf/entity_readers.h"
#include "cadhost/dxf/tag_reader.h"
#include "cadhost/dxf/text_decoder.h"
#include "common/ui_text.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <fcntl.h>
#include <memory>
#include <sys/mman.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace vexilo::cadhost::dxf {

namespace {

constexpr std::size_t kMaxSkipKinds = 64;

bool parseHandle(std::string_view s, std::uint64_t& out) {
    if (s.empty() || s.size() > 16) {
        return false;
    }
    std::uint64_t v = 0;
    for (const char c : s) {
        int h = -1;
        if (c >= '0' && c <= '9') {
            h = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            h = c - 'A' + 10;
        } else if (c >= 'a' && c <= 'f') {
            h = c - 'a' + 10;
        } else {
            return false;
        }
        v = (v << 4) | static_cast<std::uint64_t>(h);
    }
    out = v;
    return true;
}

/// The entity kinds read, by DXF name.
struct EntityKind {
    std::string_view name;
    EntityReader read;
};

constexpr EntityKind kEntityKinds[] = {
    {"LINE", readLine},         {"LWPOLYLINE", readLwPolyline},
    {"POLYLINE", readPolyline}, {"ARC", readArc},
    {"CIRCLE", readCircle},     {"POINT", readPoint},
    {"TEXT", readText},         {"MTEXT", readMText},
    {"INSERT", readInsert},     {"DIMENSION", readDimension},
    {"SPLINE", readSpline},     {"ELLIPSE", readEllipse},
    {"SOLID", readSolid},       {"TRACE", readTrace},
    {"3DFACE", readFace3d},     {"LEADER", readLeader},
    {"XLINE", readXLine},       {"RAY", readRay},
    {"HATCH", readHatch},       {"ATTDEF", readAttributeDefinition},
    {"MLINE", readMLine},
};

EntityReader readerFor(std::string_view type) {
    for (const EntityKind& kind : kEntityKinds) {
        if (kind.name == type) {
            return kind.read;
        }
    }
    return nullptr;
}

/// The start of the first line at or after `from` (within a megabyte) where an entity of a kind
/// that has a reader begins: a line "0" followed by the kind's name. Such a pair is always a
/// tag, since the name is not a number and so a value, and a value's group code is the line
/// before it. None of these kinds is one that follows another (VERTEX, ATTRIB, SEQEND), so a
/// read arriving there starts a new entity. npos when there is none.
std::size_t nextEntityStart(std::string_view bytes, std::size_t from) {
    constexpr std::size_t kReach = std::size_t{1} << 20;
    const auto trimmed = [](std::string_view line) {
        Tag tag;
        tag.text = line;
        return tag.trimmed();
    };
    std::size_t p = from;
    if (p > 0 && p < bytes.size() && bytes[p - 1] != '\n') {
        p = bytes.find('\n', p);
        if (p == std::string_view::npos) {
            return p;
        }
        ++p;
    }
    const std::size_t limit = std::min(bytes.size(), from + kReach);
    while (p < limit) {
        const std::size_t end = bytes.find('\n', p);
        if (end == std::string_view::npos) {
            return end;
        }
        if (trimmed(bytes.substr(p, end - p)) == "0") {
            const std::size_t nameEnd = bytes.find('\n', end + 1);
            if (nameEnd == std::string_view::npos) {
                return nameEnd;
            }
            if (readerFor(trimmed(bytes.substr(end + 1, nameEnd - end - 1))) != nullptr) {
                return p;
            }
        }
        p = end + 1;
    }
    return std::string_view::npos;
}

/// Shifts an entity's references into the drawing's pools by the sizes they had before a
/// piece's pools were appended. Every kind is named, so that a new one cannot be forgotten.
struct PoolShift {
    Drawing::PoolSizes base;

    void operator()(LineData&) const {}
    void operator()(ArcData&) const {}
    void operator()(PointData&) const {}
    void operator()(EllipseData&) const {}
    void operator()(PolylineData& d) const {
        d.firstVertex += base.vertices;
        if (d.firstWidth != PolylineData::kNoWidths) {
            d.firstWidth += base.widths;
        }
    }
    void operator()(TextData& d) const { d.textOffset += base.text; }
    void operator()(InsertData& d) const {
        // A reference without attributes keeps 0, as a read in one piece gives it.
        if (d.attributeCount > 0) {
            d.firstAttribute += base.attributes;
        }
    }
    void operator()(SplineData& d) const {
        d.firstControl += base.vertices;
        d.firstFit += base.vertices;
        d.firstKnot += base.numbers;
    }
    void operator()(FaceData& d) const { d.firstVertex += base.vertices; }
    void operator()(MlineData& d) const { d.firstVertex += base.vertices; }
    void operator()(HatchData& d) const {
        d.firstVertex += base.vertices;
        d.firstLoop += base.numbers;
        d.firstPattern += base.numbers;
    }
};

} // namespace

Common commonOf(EntityTags& tags) {
    Common c;
    if (const Tag* t = tags.last(5)) {
        std::uint64_t h = 0;
        if (parseHandle(t->trimmed(), h)) {
            c.handle = h;
        }
    }
    if (const Tag* t = tags.last(8)) {
        c.layerName = t->trimmed();
        c.hasLayer = true;
    }
    if (tags.has(62)) {
        c.color = static_cast<std::int16_t>(std::clamp<std::int64_t>(tags.integer(62), -257, 257));
    }
    if (tags.has(420)) {
        c.trueColor = static_cast<std::int32_t>(tags.integer(420) & 0xFFFFFF);
    }
    c.paperSpace = tags.integer(67) == 1;
    c.linetypeName = tags.last(6) ? tags.last(6)->trimmed() : std::string_view{};
    c.linetypeScale = tags.number(48, 1.0);
    c.normal = tags.point(210, Vec3{0.0, 0.0, 1.0});
    return c;
}

double normalizedAngle(double radians) {
    double a = std::fmod(radians, 2.0 * std::numbers::pi);
    if (a < 0.0) {
        a += 2.0 * std::numbers::pi;
    }
    if (a >= 2.0 * std::numbers::pi) {
        a = 0.0;
    }
    return a;
}

std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

void EntityTags::clear() {
    m_tags.clear();
    damaged = false;
    if (++m_generation == 0) {
        m_slots.fill(Slot{});
        m_generation = 1;
    }
}

void EntityTags::add(const Tag& tag) {
    if (tag.code >= 0 && tag.code < kCodes) {
        m_slots[static_cast<std::size_t>(tag.code)] =
            Slot{m_generation, static_cast<std::uint32_t>(m_tags.size())};
    }
    m_tags.push_back(tag);
}

const Tag* EntityTags::last(int code) const {
    if (code < 0 || code >= kCodes) {
        return nullptr;
    }
    const Slot& s = m_slots[static_cast<std::size_t>(code)];
    return s.generation == m_generation ? &m_tags[s.index] : nullptr;
}

double EntityTags::numberOf(const Tag& tag) {
    double v = 0.0;
    if (!tag.toDouble(v)) {
        damaged = true;
        return 0.0;
    }
    return v;
}

std::int64_t EntityTags::integerOf(const Tag& tag) {
    std::int64_t v = 0;
    if (!tag.toInt(v)) {
        damaged = true;
        return 0;
    }
    return v;
}

double EntityTags::number(int code, double fallback) {
    const Tag* t = last(code);
    return t ? numberOf(*t) : fallback;
}

std::int64_t EntityTags::integer(int code, std::int64_t fallback) {
    const Tag* t = last(code);
    return t ? integerOf(*t) : fallback;
}

Vec3 EntityTags::point(int code, Vec3 fallback) {
    return {number(code, fallback.x), number(code + 10, fallback.y), number(code + 20, fallback.z)};
}

std::string_view EntityTags::text(int code) const {
    const Tag* t = last(code);
    return t ? t->text : std::string_view{};
}

ReaderContext::ReaderContext(std::string_view bytes, const ReadOptions& options)
    : m_bytes(bytes), m_options(options), m_tags(bytes) {
    m_report.binary = m_tags.isBinary();
    m_report.bytes = bytes.size();
}

ReaderContext::ReaderContext(const ReaderContext& parent, std::string_view piece)
    : m_bytes(piece), m_options(parent.m_options), m_tags(piece, 1),
      m_layerByName(parent.m_layerByName), m_blockByName(parent.m_blockByName),
      m_arrowSizeByStyle(parent.m_arrowSizeByStyle), m_linetypeByName(parent.m_linetypeByName),
      m_arrowSize(parent.m_arrowSize), m_dimScale(parent.m_dimScale), m_codePage(parent.m_codePage),
      m_releasable(parent.m_releasable) {
    // The same layers at the same indices: a layer the piece creates comes after them.
    for (const Layer& layer : parent.m_drawing.layers()) {
        m_drawing.addLayer(layer);
    }
    m_sharedLayers = m_drawing.layers().size();
    m_drawing.header() = parent.m_drawing.header();
    m_decoder.setUtf8(parent.m_decoder.isUtf8());
    if (!m_codePage.empty()) {
        m_decoder.setCodePage(m_codePage);
    }
}

bool ReaderContext::advance() {
    m_have = m_tags.next(m_tag);
    if (m_have) {
        m_lastLocation = m_tag.location;
    }
    return m_have;
}

bool ReaderContext::atSectionEnd() const {
    return !m_have ||
           (m_tag.code == 0 && (m_tag.is("ENDSEC") || m_tag.is("EOF") || m_tag.is("SECTION")));
}

void ReaderContext::skipToNextZero() {
    while (advance() && m_tag.code != 0) {
    }
}

void ReaderContext::gather(EntityTags& tags) {
    tags.clear();
    for (; m_have && m_tag.code != 0; advance()) {
        tags.add(m_tag);
    }
}

std::uint32_t ReaderContext::layerIndex(std::string_view raw) {
    if (m_haveLastLayer && raw == m_lastLayerRaw) {
        return m_lastLayer;
    }
    const std::uint32_t index = layerNamed(decode(raw));
    m_lastLayerRaw = raw;
    m_lastLayer = index;
    m_haveLastLayer = true;
    return index;
}

std::uint32_t ReaderContext::layerNamed(std::string name) {
    std::string key = upperAscii(name);
    const auto it = m_layerByName.find(key);
    if (it != m_layerByName.end()) {
        return it->second;
    }
    // An entity may name a layer the table lacks; AutoCAD then creates it with defaults.
    const std::uint32_t index = m_drawing.addLayer(Layer{std::move(name), 7, true, false, false});
    m_layerByName.emplace(std::move(key), index);
    return index;
}

const std::string& ReaderContext::decode(std::string_view raw) {
    m_decoder.decode(raw, m_decoded);
    return m_decoded;
}

void ReaderContext::skip(SkipReason reason, std::string_view what, std::size_t location) {
    skip(reason, what, location, 1);
}

void ReaderContext::skip(SkipReason reason, std::string_view what, std::size_t location,
                         std::size_t count) {
    // Kinds are told apart by the name the report shows, so that a name with bytes it cannot
    // show is counted on one line, not on a new line each time.
    std::string name;
    for (const char ch : what.substr(0, 32)) {
        name.push_back(ch >= 0x20 && ch < 0x7F ? ch : '?');
    }
    for (SkippedItems& s : m_report.skipped) {
        if (s.reason == reason && s.what == name) {
            s.count += count;
            return;
        }
    }
    if (m_report.skipped.size() >= kMaxSkipKinds) {
        // Bounded: a damaged file can name any number of entity types.
        name = "other";
        for (SkippedItems& s : m_report.skipped) {
            if (s.reason == reason && s.what == name) {
                s.count += count;
                return;
            }
        }
    }
    m_report.skipped.push_back(SkippedItems{reason, std::move(name), count, location});
}

Entity ReaderContext::entity(const Common& c, EntityType type, EntityData data) {
    Entity e;
    e.handle = c.handle;
    e.layer = c.hasLayer ? layerIndex(c.layerName) : 0;
    e.color = c.color;
    if (c.trueColor >= 0) {
        e.trueColor = m_drawing.trueColorIndex(static_cast<std::uint32_t>(c.trueColor));
    }
    e.type = type;
    e.data = std::move(data);
    e.linetype = c.linetypeName.empty() ? kLinetypeByLayer : linetypeIndex(c.linetypeName);
    e.linetypeScale = c.linetypeScale > 0.0 && c.linetypeScale < 1e30
                          ? static_cast<float>(c.linetypeScale)
                          : 1.0f;
    return e;
}

void ReaderContext::keep(Target target, const Common& c, EntityType type, EntityData data) {
    Entity e = entity(c, type, std::move(data));
    if (target == Target::ModelSpace) {
        m_drawing.appendEntity(std::move(e));
    } else if (target == Target::Block) {
        m_drawing.appendBlockEntity(std::move(e));
    }
}

std::size_t ReaderContext::nextIndex(Target target) {
    return target == Target::Block ? m_drawing.mutableBlockEntities().size()
                                   : m_drawing.mutableEntities().size();
}

std::uint32_t ReaderContext::blockReference(Target target, std::string_view rawName) {
    std::string key = upperAscii(decode(rawName));
    const auto it = m_blockByName.find(key);
    if (it != m_blockByName.end()) {
        return it->second;
    }
    m_pending.push_back(PendingInsert{target == Target::Block, nextIndex(target), std::move(key)});
    return kUnresolvedBlock;
}

bool ReaderContext::acceptable(Target target, Common& c, std::string_view type, Vec3* normal) {
    if (normal != nullptr) {
        if (!isFinite(c.normal) || length(c.normal) == 0.0) {
            c.damaged = true;
        } else {
            *normal = c.normal == Vec3{0.0, 0.0, 1.0} ? c.normal : normalized(c.normal);
        }
    }
    if (target == Target::Discard) {
        return false;
    }
    if (c.paperSpace) {
        skip(SkipReason::PaperSpace, type, c.location);
        return false;
    }
    if (c.damaged) {
        skip(SkipReason::BadValue, type, c.location);
        return false;
    }
    return true;
}

bool ReaderContext::follower(std::string_view type, EntityTags& tags, std::size_t& location) {
    if (!atZero(type)) {
        return false;
    }
    location = m_tag.location;
    advance();
    gather(tags);
    return true;
}

void ReaderContext::endOfSequence() {
    if (atZero("SEQEND")) {
        skipToNextZero();
    }
}

ReadResult ReaderContext::failure(DxfError kind, std::size_t location, std::string_view what) {
    DxfFailure f;
    f.kind = kind;
    f.location = location;
    f.locationIsByteOffset = m_tags.isBinary();
    const std::string where = std::to_string(location);
    if (m_tags.isBinary()) {
        f.message =
            fillText(uiText("DxfReader", "byte offset %1: %2 (%3)"), {where, what, describe(kind)});
    } else if (location > 0) {
        f.message =
            fillText(uiText("DxfReader", "line %1: %2 (%3)"), {where, what, describe(kind)});
    } else {
        f.message = fillText(uiText("DxfReader", "%1 (%2)"), {what, describe(kind)});
    }
    return vexilo::unexpected(std::move(f));
}

ReadResult ReaderContext::run() {
    advance();
    if (!m_have) {
        if (m_tags.error() == TagError::BadGroupCode ||
            m_tags.error() == TagError::GroupCodeOutOfRange) {
            return failure(DxfError::NotDxf, m_tags.errorLocation(),
                           uiText("DxfReader", "the file does not begin with a DXF group code"));
        }
        return failure(DxfError::NotDxf, 0, uiText("DxfReader", "the file holds no DXF data"));
    }
    if (!atZero("SECTION")) {
        return failure(DxfError::NotDxf, m_tag.location,
                       uiText("DxfReader", "the file does not begin with a SECTION"));
    }
    bool sawEof = false;
    while (m_have) {
        if (atZero("EOF")) {
            sawEof = true;
            break;
        }
        if (!atZero("SECTION")) {
            advance();
            continue;
        }
        advance();
        if (!m_have || m_tag.code != 2) {
            continue;
        }
        const std::string name = upperAscii(m_tag.trimmed());
        advance();
        if (name == "HEADER") {
            readHeader();
        } else if (name == "TABLES") {
            readTables();
        } else if (name == "BLOCKS") {
            readBlocks();
        } else if (name == "ENTITIES") {
            if (!readEntitiesInPieces()) {
                readEntities(Target::ModelSpace);
            }
            if (m_piecesFailed) {
                // Void: readDxf reads the file again in one piece.
                return failure(DxfError::NotDxf, 0, {});
            }
        } else if (name == "OBJECTS") {
            readObjects();
        } else {
            while (!atSectionEnd()) {
                advance();
            }
        }
        if (atZero("ENDSEC")) {
            advance();
        }
    }
    switch (m_tags.error()) {
    case TagError::Truncated:
        return failure(DxfError::Truncated, m_tags.errorLocation(),
                       uiText("DxfReader", "the file ends inside a tag"));
    case TagError::BadGroupCode:
        return failure(DxfError::BadGroupCode, m_tags.errorLocation(),
                       m_tags.isBinary()
                           ? uiText("DxfReader", "a group code DXF does not define")
                           : uiText("DxfReader", "a group code that is not a number"));
    case TagError::GroupCodeOutOfRange:
        return failure(DxfError::BadGroupCode, m_tags.errorLocation(),
                       uiText("DxfReader", "a group code outside the 0 to 1071 DXF defines"));
    case TagError::None:
        break;
    }
    if (!sawEof) {
        return failure(
            DxfError::Truncated, m_lastLocation,
            uiText("DxfReader",
                   "the file ends before its EOF marker; the last tag read starts here"));
    }
    resolveBlocks();
    applyDrawOrder();
    m_drawing.finish();
    return LoadedDrawing{std::move(m_drawing), std::move(m_report)};
}

void ReaderContext::readHeader() {
    std::string acadVersion;
    std::string codePage;
    Vec3 ucsOrigin;
    Vec3 ucsX{1.0, 0.0, 0.0};
    Vec3 ucsY{0.0, 1.0, 0.0};
    bool haveUcs = false;
    bool badUcs = false;
    std::optional<Vec3> extMin;
    std::optional<Vec3> extMax;
    while (m_have && m_tag.code != 0) {
        if (m_tag.code != 9) {
            advance();
            continue;
        }
        const std::string_view name = m_tag.trimmed();
        enum class Var {
            Other,
            AcadVer,
            CodePage,
            UcsOrg,
            UcsXDir,
            UcsYDir,
            ExtMin,
            ExtMax,
            DimAsz,
            DimScale,
            LtScale
        };
        Var var = Var::Other;
        if (name == "$ACADVER") {
            var = Var::AcadVer;
        } else if (name == "$DWGCODEPAGE") {
            var = Var::CodePage;
        } else if (name == "$UCSORG") {
            var = Var::UcsOrg;
        } else if (name == "$UCSXDIR") {
            var = Var::UcsXDir;
        } else if (name == "$UCSYDIR") {
            var = Var::UcsYDir;
        } else if (name == "$EXTMIN") {
            var = Var::ExtMin;
        } else if (name == "$EXTMAX") {
            var = Var::ExtMax;
        } else if (name == "$DIMASZ") {
            var = Var::DimAsz;
        } else if (name == "$DIMSCALE") {
            var = Var::DimScale;
        } else if (name == "$LTSCALE") {
            var = Var::LtScale;
        }
        Vec3 point;
        bool pointOk = true;
        while (advance() && m_tag.code != 0 && m_tag.code != 9) {
            if (var == Var::AcadVer && m_tag.code == 1) {
                acadVersion = std::string(m_tag.trimmed().substr(0, 16));
            } else if (var == Var::CodePage && m_tag.code == 3) {
                codePage = std::string(m_tag.trimmed().substr(0, 32));
            } else if (var == Var::LtScale && m_tag.code == 40) {
                double v = 0.0;
                if (m_tag.toDouble(v) && v > 0.0) {
                    m_drawing.header().linetypeScale = v;
                }
            } else if ((var == Var::DimAsz || var == Var::DimScale) && m_tag.code == 40) {
                double v = 0.0;
                if (m_tag.toDouble(v) && v >= 0.0) {
                    (var == Var::DimAsz ? m_arrowSize : m_dimScale) = v;
                }
            } else if (m_tag.code == 10 || m_tag.code == 20 || m_tag.code == 30) {
                double v = 0.0;
                pointOk = m_tag.toDouble(v) && pointOk;
                (m_tag.code == 10 ? point.x : m_tag.code == 20 ? point.y : point.z) = v;
            }
        }
        switch (var) {
        case Var::UcsOrg:
            ucsOrigin = point;
            haveUcs = true;
            badUcs = badUcs || !pointOk;
            break;
        case Var::UcsXDir:
            ucsX = point;
            haveUcs = true;
            badUcs = badUcs || !pointOk;
            break;
        case Var::UcsYDir:
            ucsY = point;
            haveUcs = true;
            badUcs = badUcs || !pointOk;
            break;
        case Var::ExtMin:
            if (pointOk) {
                extMin = point;
            }
            break;
        case Var::ExtMax:
            if (pointOk) {
                extMax = point;
            }
            break;
        default:
            break;
        }
    }
    DrawingHeader& h = m_drawing.header();
    h.acadVersion = acadVersion;
    h.codePage = codePage;
    h.extMin = extMin;
    h.extMax = extMax;
    // From AutoCAD 2007 (AC1021) on, DXF strings are UTF-8 whatever the code page says.
    m_decoder.setUtf8(acadVersion >= "AC1021");
    if (!codePage.empty() && m_decoder.setCodePage(codePage)) {
        m_codePage = codePage;
    } else if (!codePage.empty()) {
        m_report.notes.push_back(fillText(
            uiText("DxfReader",
                   "unknown code page %1; texts that are not UTF-8 were read as Windows-1252"),
            {codePage}));
    }
    if (haveUcs) {
        const auto ucs = badUcs ? std::nullopt : Ucs::fromAxes(ucsOrigin, ucsX, ucsY);
        if (ucs) {
            m_drawing.setUcs(*ucs);
        } else {
            m_report.notes.push_back(
                uiText("DxfReader", "the header's UCS is damaged; the world system is used"));
        }
    }
}

void ReaderContext::readTables() {
    while (!atSectionEnd()) {
        if (atZero("TABLE")) {
            advance();
            if (m_have && m_tag.code == 2 && m_tag.is("LAYER")) {
                readLayerTable();
                continue;
            }
            if (m_have && m_tag.code == 2 && m_tag.is("LTYPE")) {
                readLinetypeTable();
                continue;
            }
            if (m_have && m_tag.code == 2 && m_tag.is("DIMSTYLE")) {
                readDimStyleTable();
                continue;
            }
        }
        advance();
    }
}

void ReaderContext::readLinetypeTable() {
    while (!atSectionEnd() && !atZero("ENDTAB")) {
        if (!atZero("LTYPE")) {
            advance();
            continue;
        }
        advance();
        gather(m_entityTags);
        Linetype linetype;
        linetype.name = decode(m_entityTags.text(2));
        for (const Tag& tag : m_entityTags.all()) {
            if (tag.code == 49 && linetype.dashes.size() < 64) {
                linetype.dashes.push_back(m_entityTags.numberOf(tag));
            }
        }
        double period = 0.0;
        for (const double d : linetype.dashes) {
            period += std::fabs(d);
        }
        // A pattern without length draws as a solid line.
        if (m_entityTags.damaged || !(period > 0.0) || !std::isfinite(period)) {
            linetype.dashes.clear();
        }
        std::string key = upperAscii(linetype.name);
        if (key.empty() || m_linetypeByName.count(key) != 0 || key == "CONTINUOUS" ||
            key == "BYLAYER" || key == "BYBLOCK") {
            continue;
        }
        const std::uint16_t index = m_drawing.addLinetype(std::move(linetype));
        if (index != kLinetypeContinuous) {
            m_linetypeByName.emplace(std::move(key), index);
        }
    }
    if (atZero("ENDTAB")) {
        advance();
    }
}

std::uint16_t ReaderContext::linetypeIndex(std::string_view raw) {
    if (m_haveLastLinetype && raw == m_lastLinetypeRaw) {
        return m_lastLinetype;
    }
    m_lastLinetypeRaw = raw;
    m_haveLastLinetype = true;
    m_lastLinetype = linetypeByName(upperAscii(decode(raw)));
    return m_lastLinetype;
}

std::uint16_t ReaderContext::linetypeByName(const std::string& key) const {
    if (key == "BYLAYER") {
        return kLinetypeByLayer;
    }
    if (key == "BYBLOCK") {
        return kLinetypeByBlock;
    }
    const auto it = m_linetypeByName.find(key);
    // A name the table lacks draws solid, as AutoCAD does.
    return it != m_linetypeByName.end() ? it->second : kLinetypeContinuous;
}

void ReaderContext::readDimStyleTable() {
    while (!atSectionEnd() && !atZero("ENDTAB")) {
        if (!atZero("DIMSTYLE")) {
            advance();
            continue;
        }
        advance();
        gather(m_entityTags);
        const std::string name = upperAscii(decode(m_entityTags.text(2)));
        const double size = m_entityTags.number(41, m_arrowSize);
        const double scale = m_entityTags.number(40, 1.0);
        if (!m_entityTags.damaged && size >= 0.0 && scale > 0.0 && !name.empty()) {
            m_arrowSizeByStyle[name] = size * scale;
        }
    }
    if (atZero("ENDTAB")) {
        advance();
    }
}

double ReaderContext::arrowSize(std::string_view rawStyle) {
    const auto it = m_arrowSizeByStyle.find(upperAscii(decode(rawStyle)));
    if (it != m_arrowSizeByStyle.end()) {
        return it->second;
    }
    return m_arrowSize * (m_dimScale > 0.0 ? m_dimScale : 1.0);
}

void ReaderContext::readLayerTable() {
    while (!atSectionEnd() && !atZero("ENDTAB")) {
        if (!atZero("LAYER")) {
            advance();
            continue;
        }
        Layer layer;
        bool named = false;
        while (advance() && m_tag.code != 0) {
            std::int64_t v = 0;
            switch (m_tag.code) {
            case 2:
                layer.name = decode(m_tag.trimmed());
                named = true;
                break;
            case 62:
                if (m_tag.toInt(v)) {
                    // A negative colour number marks a layer that is off.
                    layer.on = v >= 0;
                    const std::int64_t aci = v < 0 ? -v : v;
                    layer.color = static_cast<std::int16_t>(aci >= 1 && aci <= 255 ? aci : 7);
                }
                break;
            case 420:
                if (m_tag.toInt(v)) {
                    layer.trueColor = static_cast<std::int32_t>(v & 0xFFFFFF);
                }
                break;
            case 6: {
                const std::uint16_t lt = linetypeIndex(m_tag.trimmed());
                layer.linetype = lt == kLinetypeByLayer || lt == kLinetypeByBlock ? 0 : lt;
                break;
            }
            case 70:
                if (m_tag.toInt(v)) {
                    layer.frozen = (v & 1) != 0;
                    layer.locked = (v & 4) != 0;
                }
                break;
            default:
                break;
            }
        }
        if (named) {
            std::string key = upperAscii(layer.name);
            const std::uint32_t index = m_drawing.addLayer(std::move(layer));
            m_layerByName[std::move(key)] = index;
            m_haveLastLayer = false;
        }
    }
    if (atZero("ENDTAB")) {
        advance();
    }
}

void ReaderContext::readObjects() {
    while (!atSectionEnd()) {
        if (atZero("MLINESTYLE")) {
            readMlineStyle();
            continue;
        }
        if (!atZero("SORTENTSTABLE")) {
            advance();
            continue;
        }
        advance();
        gather(m_entityTags);
        // Pairs of 331 (an entity) and 5 (the handle it is drawn in the order of).
        std::uint64_t entity = 0;
        bool haveEntity = false;
        for (const Tag& tag : m_entityTags.all()) {
            std::uint64_t h = 0;
            if (tag.code == 331) {
                haveEntity = parseHandle(tag.trimmed(), entity);
            } else if (tag.code == 5 && haveEntity && parseHandle(tag.trimmed(), h)) {
                m_drawOrder.emplace_back(entity, h);
                haveEntity = false;
            }
        }
    }
}

void ReaderContext::applyDrawOrder() {
    if (m_drawOrder.empty()) {
        return;
    }
    // AutoCAD draws by sort handle: an entity's own handle unless SORTENTSTABLE gives another.
    std::unordered_map<std::uint64_t, std::uint64_t> sortHandle(m_drawOrder.begin(),
                                                                m_drawOrder.end());
    MappedVector<Entity>& model = m_drawing.mutableEntities();
    std::vector<std::pair<std::uint64_t, std::uint32_t>> keys;
    keys.reserve(model.size());
    std::uint64_t previous = 0;
    for (std::size_t i = 0; i < model.size(); ++i) {
        const std::uint64_t h = model[i].handle;
        const auto it = sortHandle.find(h);
        // An entity without a handle keeps its place after the one before it.
        const std::uint64_t key = it != sortHandle.end() ? it->second : (h != 0 ? h : previous);
        keys.emplace_back(key, static_cast<std::uint32_t>(i));
        previous = key;
    }
    if (std::is_sorted(keys.begin(), keys.end())) {
        return;
    }
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Entity> sorted;
    sorted.reserve(model.size());
    for (const auto& key : keys) {
        sorted.push_back(model[key.second]);
    }
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        model[i] = sorted[i];
    }
}

void ReaderContext::readBlocks() {
    while (!atSectionEnd()) {
        if (!atZero("BLOCK")) {
            if (atZero() && !atZero("ENDBLK")) {
                skip(SkipReason::Misplaced, m_tag.trimmed(), m_tag.location);
                readEntity(Target::Discard);
                continue;
            }
            advance();
            continue;
        }
        std::string name;
        Vec3 base;
        while (advance() && m_tag.code != 0) {
            double v = 0.0;
            if (m_tag.code == 2) {
                name = decode(m_tag.trimmed());
            } else if ((m_tag.code == 10 || m_tag.code == 20 || m_tag.code == 30) &&
                       m_tag.toDouble(v)) {
                (m_tag.code == 10 ? base.x : m_tag.code == 20 ? base.y : base.z) = v;
            }
        }
        const std::string key = upperAscii(name);
        // Paper-space layouts are blocks "*Paper_Space", "*Paper_Space0", ...
        const bool paper = key.rfind("*PAPER_SPACE", 0) == 0;
        Target target = paper ? Target::Discard : Target::Block;
        if (!paper) {
            const std::uint32_t index = m_drawing.addBlock(name, base);
            m_blockByName[key] = index;
        }
        while (!atSectionEnd() && !atZero("ENDBLK") && !atZero("BLOCK")) {
            if (atZero()) {
                if (paper) {
                    skip(SkipReason::PaperSpace, m_tag.trimmed(), m_tag.location);
                }
                readEntity(target);
            } else {
                advance();
            }
        }
        if (atZero("ENDBLK")) {
            skipToNextZero();
        }
    }
}

void ReaderContext::moveWindow() {
    // Pages are read in ahead and dropped behind in steps, leaving a margin around the tag
    // being read. Reading them in a step at a time costs one call instead of a page fault per
    // few pages.
    constexpr std::uintptr_t kStep = std::uintptr_t{2} << 20;
    constexpr std::uintptr_t kMargin = std::uintptr_t{1} << 20;
    constexpr std::uintptr_t kPage = 4096;
#ifndef MADV_POPULATE_READ
    constexpr int MADV_POPULATE_READ = 22;
#endif
    const auto here = reinterpret_cast<std::uintptr_t>(m_tags.position());
    const auto begin = reinterpret_cast<std::uintptr_t>(m_bytes.data());
    const std::uintptr_t end = begin + m_bytes.size();
    if (m_populatedUpTo == 0) {
        m_populatedUpTo = begin / kPage * kPage;
        m_releasedUpTo = (begin + kPage - 1) / kPage * kPage;
    }
    if (here + kMargin > m_populatedUpTo && m_populatedUpTo < end) {
        const std::uintptr_t to = std::min(end, std::max(m_populatedUpTo, here) + kStep);
        // Refused before Linux 5.14: the pages then come in as they are read.
        ::madvise(reinterpret_cast<void*>(m_populatedUpTo), to - m_populatedUpTo,
                  MADV_POPULATE_READ);
        m_populatedUpTo = to;
    }
    if (here < m_releasedUpTo + kStep + kMargin) {
        return;
    }
    const std::uintptr_t to = (here - kMargin) / kPage * kPage;
    ::madvise(reinterpret_cast<void*>(m_releasedUpTo), to - m_releasedUpTo, MADV_DONTNEED);
    m_releasedUpTo = to;
}

void ReaderContext::readEntities(Target target) {
    while (!atSectionEnd()) {
        if (atZero()) {
            if (m_releasable) {
                moveWindow();
            }
            readEntity(target);
        } else {
            advance();
        }
    }
}

bool ReaderContext::readEntitiesInPieces() {
    if (m_tags.isBinary() || !atZero() || m_options.threads == 1) {
        return false;
    }
    const std::size_t threads = m_options.threads != 0
                                    ? m_options.threads
                                    : std::max(1u, std::thread::hardware_concurrency());
    const std::size_t begin = m_tags.tagStart();
    const std::size_t size = m_bytes.size() - begin;
    const std::size_t pieces =
        std::min(threads, size / std::max<std::size_t>(m_options.minPieceBytes, 1));
    std::vector<std::size_t> starts{begin};
    for (std::size_t i = 1; i < pieces; ++i) {
        const std::size_t at =
            nextEntityStart(m_bytes, std::max(begin + size / pieces * i, starts.back() + 1));
        if (at == std::string_view::npos) {
            break;
        }
        starts.push_back(at);
    }
    if (starts.size() < 2) {
        return false;
    }
    // Pieces after the first take a copy of what was read so far, before the first goes on.
    std::vector<std::unique_ptr<ReaderContext>> others;
    for (std::size_t k = 1; k < starts.size(); ++k) {
        const std::size_t end = k + 1 < starts.size() ? starts[k + 1] : m_bytes.size();
        others.push_back(std::unique_ptr<ReaderContext>(
            new ReaderContext(*this, m_bytes.substr(starts[k], end - starts[k]))));
    }
    std::vector<char> ok(others.size(), 0);
    std::vector<std::exception_ptr> errors(others.size());
    const auto readOther = [&](std::size_t k) {
        try {
            ok[k] = others[k]->readPiece(k + 1 == others.size()) &&
                    others[k]->m_report.skipped.size() < kMaxSkipKinds;
        } catch (...) {
            errors[k] = std::current_exception();
        }
    };
    std::vector<std::thread> workers;
    std::vector<std::size_t> unstarted;
    for (std::size_t k = 0; k < others.size(); ++k) {
        try {
            workers.emplace_back(readOther, k);
        } catch (const std::system_error&) {
            unstarted.push_back(k);
        }
    }
    // The first piece is read here, into this drawing, with a reader that ends where it ends.
    const TagReader whole = m_tags;
    m_tags = TagReader(m_bytes.substr(begin, starts[1] - begin), m_tag.location);
    m_have = false;
    bool firstOk = false;
    std::exception_ptr firstError;
    try {
        firstOk = readPiece(false);
    } catch (...) {
        firstError = std::current_exception();
    }
    std::size_t line = m_tags.line();
    m_tags = whole;
    for (const std::size_t k : unstarted) {
        readOther(k);
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    if (firstError) {
        std::rethrow_exception(firstError);
    }
    for (const std::exception_ptr& error : errors) {
        if (error) {
            std::rethrow_exception(error);
        }
    }
    if (!firstOk || std::find(ok.begin(), ok.end(), 0) != ok.end()) {
        m_piecesFailed = true;
        return true;
    }
    for (std::size_t k = 0; k < others.size(); ++k) {
        ReaderContext& piece = *others[k];
        const std::size_t lineOffset = line - 1;
        joinPiece(piece, lineOffset);
        line = lineOffset + piece.m_tags.line();
        if (k + 1 == others.size()) {
            // The last piece stopped at the tag that ends the section: go on from there.
            m_tags.skipTo(starts[k + 1] + piece.m_tags.tagStart(),
                          piece.m_tag.location + lineOffset);
            advance();
        }
        others[k].reset();
    }
    return true;
}

bool ReaderContext::readPiece(bool last) {
    advance();
    readEntities(Target::ModelSpace);
    if (m_tags.error() != TagError::None) {
        return false;
    }
    return last ? m_have : !m_have;
}

void ReaderContext::joinPiece(ReaderContext& piece, std::size_t lineOffset) {
    Drawing& part = piece.m_drawing;
    const std::span<const Layer> partLayers = part.layers();
    std::vector<std::uint32_t> layerMap;
    for (std::size_t i = piece.m_sharedLayers; i < partLayers.size(); ++i) {
        layerMap.push_back(layerNamed(partLayers[i].name));
    }
    m_haveLastLayer = false;
    // The piece's true colours in the order it met them, as a read in one piece adds them.
    std::vector<std::uint16_t> colorMap{0};
    for (const std::uint32_t rgb : part.trueColors()) {
        colorMap.push_back(m_drawing.trueColorIndex(rgb));
    }
    const PoolShift shift{m_drawing.poolSizes()};
    const auto rebase = [&](Entity& e) {
        if (e.layer >= piece.m_sharedLayers) {
            e.layer = layerMap[e.layer - piece.m_sharedLayers];
        }
        e.trueColor = colorMap[e.trueColor];
        std::visit(shift, e.data);
    };
    for (Entity& e : part.mutableAttributes()) {
        rebase(e);
    }
    for (Entity& e : part.mutableEntities()) {
        rebase(e);
    }
    const std::size_t before = m_drawing.entities().size();
    m_drawing.appendPiece(part);
    for (PendingInsert& p : piece.m_pending) {
        p.index += before;
        m_pending.push_back(std::move(p));
    }
    for (const SkippedItems& s : piece.m_report.skipped) {
        skip(s.reason, s.what, s.firstLocation > 0 ? s.firstLocation + lineOffset : 0, s.count);
    }
    for (std::string& note : piece.m_report.notes) {
        m_report.notes.push_back(std::move(note));
    }
}

void ReaderContext::readEntity(Target target) {
    const std::size_t location = m_tag.location;
    const std::string_view type = m_tag.trimmed();
    advance();
    gather(m_entityTags);
    const EntityReader read = readerFor(type);
    if (read == nullptr) {
        if (target != Target::Discard && type != "ENDBLK" && type != "SEQEND") {
            skip(SkipReason::UnsupportedEntity, type, location);
        }
        return;
    }
    Common c = commonOf(m_entityTags);
    c.location = location;
    read(*this, target, m_entityTags, c);
}

void ReaderContext::resolveBlocks() {
    MappedVector<Entity>& model = m_drawing.mutableEntities();
    MappedVector<Entity>& pool = m_drawing.mutableBlockEntities();
    std::vector<Block>& blocks = m_drawing.mutableBlocks();
    std::vector<bool> dropModel(model.size(), false);
    std::vector<bool> dropPool(pool.size(), false);
    for (const PendingInsert& p : m_pending) {
        Entity& e = p.inBlock ? pool[p.index] : model[p.index];
        const auto it = m_blockByName.find(p.name);
        if (it != m_blockByName.end()) {
            std::get<InsertData>(e.data).block = it->second;
        } else {
            skip(SkipReason::UndefinedBlock, "INSERT", 0);
            (p.inBlock ? dropPool : dropModel)[p.index] = true;
        }
    }
    // Break cycles of blocks that insert themselves, by an iterative depth-first walk: an
    // insert that reaches a block still on the walk's path is dropped.
    enum class State : std::uint8_t { New, OnPath, Done };
    std::vector<State> state(blocks.size(), State::New);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> path;
    for (std::uint32_t root = 0; root < blocks.size(); ++root) {
        if (state[root] != State::New) {
            continue;
        }
        state[root] = State::OnPath;
        path.emplace_back(root, 0);
        while (!path.empty()) {
            auto& [block, next] = path.back();
            if (next >= blocks[block].entityCount) {
                state[block] = State::Done;
                path.pop_back();
                continue;
            }
            const std::size_t index = blocks[block].firstEntity + next;
            ++next;
            const InsertData* insert = pool[index].insert();
            if (!insert || dropPool[index] || insert->block >= blocks.size()) {
                continue;
            }
            const std::uint32_t child = insert->block;
            if (state[child] == State::OnPath) {
                skip(SkipReason::RecursiveBlock, "INSERT", 0);
                dropPool[index] = true;
            } else if (state[child] == State::New) {
                state[child] = State::OnPath;
                path.emplace_back(child, 0);
            }
        }
    }
    if (std::find(dropModel.begin(), dropModel.end(), true) != dropModel.end()) {
        std::size_t out = 0;
        for (std::size_t i = 0; i < model.size(); ++i) {
            if (!dropModel[i]) {
                model[out++] = model[i];
            }
        }
        model.truncate(out);
    }
    if (std::find(dropPool.begin(), dropPool.end(), true) != dropPool.end()) {
        std::size_t out = 0;
        for (Block& b : blocks) {
            const std::size_t first = out;
            for (std::size_t i = b.firstEntity; i < b.firstEntity + b.entityCount; ++i) {
                if (!dropPool[i]) {
                    pool[out++] = pool[i];
                }
            }
            b.firstEntity = static_cast<std::uint32_t>(first);
            b.entityCount = static_cast<std::uint32_t>(out - first);
        }
        pool.truncate(out);
    }
}

namespace {

/// A read-only mapping of a whole file, released on destruction.
// What kind of file a non-regular one is, for the message that refuses it.
std::string_view fileKind(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    return "a special file";
}

std::string systemReason(int error) {
    return std::error_code(error, std::generic_category()).message();
}

class MappedFile {
public:
    explicit MappedFile(const std::string& path) {
        // Non-blocking, so that opening a FIFO returns at once instead of waiting for a writer;
        // it is refused below before anything is read.
        m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (m_fd < 0) {
            m_reason = systemReason(errno);
            return;
        }
        struct stat st {};
        if (::fstat(m_fd, &st) != 0) {
            m_reason = systemReason(errno);
            return;
        }
        if (!S_ISREG(st.st_mode)) {
            m_reason = "it is " + std::string(fileKind(st.st_mode)) + ", not a regular file";
            return;
        }
        m_size = static_cast<std::size_t>(st.st_size);
        if (m_size == 0) {
            m_ok = true;
            return;
        }
        // Not populated at once: the reader drops the pages behind it, so that the file and the
        // drawing read from it are not both held whole.
        void* p = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, m_fd, 0);
        if (p == MAP_FAILED) {
            m_reason = systemReason(errno);
            return;
        }
        m_data = static_cast<const char*>(p);
        m_ok = true;
        ::madvise(p, m_size, MADV_SEQUENTIAL);
    }
    ~MappedFile() {
        if (m_data) {
            ::munmap(const_cast<char*>(m_data), m_size);
        }
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool ok() const { return m_ok; }
    /// Why the file could not be opened: the system's reason, or what kind of file it is.
    const std::string& reason() const { return m_reason; }
    std::string_view bytes() const { return {m_data ? m_data : "", m_size}; }

private:
    int m_fd = -1;
    const char* m_data = nullptr;
    std::size_t m_size = 0;
    bool m_ok = false;
    std::string m_reason;
};

} // namespace

std::size_t LoadReport::skippedCount() const {
    std::size_t n = 0;
    for (const SkippedItems& s : skipped) {
        n += s.count;
    }
    return n;
}

std::size_t LoadReport::count(SkipReason reason) const {
    std::size_t n = 0;
    for (const SkippedItems& s : skipped) {
        if (s.reason == reason) {
            n += s.count;
        }
    }
    return n;
}

std::string LoadReport::summary() const {
    std::string out;
    for (const SkippedItems& s : skipped) {
        const std::string count = std::to_string(s.count);
        out += s.what.empty()
                   ? fillText(uiText("DxfReader", "skipped %1: %2"), {count, describe(s.reason)})
                   : fillText(uiText("DxfReader", "skipped %1 %2: %3"),
                              {count, s.what, describe(s.reason)});
        out += "\n";
    }
    for (const std::string& note : notes) {
        out += note + "\n";
    }
    return out;
}

namespace {

ReadResult readBytes(std::string_view bytes, const ReadOptions& options, bool mapped) {
    if (bytes.size() >= (std::size_t{1} << 32)) {
        DxfFailure f{DxfError::TooLarge, 0, false,
                     fillText(uiText("DxfReader", "the file is larger than 4 GiB (%1)"),
                              {describe(DxfError::TooLarge)})};
        return vexilo::unexpected(std::move(f));
    }
    {
        ReaderContext parser(bytes, options);
        parser.setReleasable(mapped);
        ReadResult result = parser.run();
        if (!parser.needsReadInOnePiece()) {
            return result;
        }
    }
    ReadOptions onePiece = options;
    onePiece.threads = 1;
    ReaderContext parser(bytes, onePiece);
    parser.setReleasable(mapped);
    return parser.run();
}

} // namespace

ReadResult readDxf(std::string_view bytes, const ReadOptions& options) {
    return readBytes(bytes, options, false);
}

ReadResult readDxfFile(const std::string& path, const ReadOptions& options) {
    MappedFile file(path);
    if (!file.ok()) {
        DxfFailure f{DxfError::CannotOpen, 0, false,
                     fillText(uiText("DxfReader", "cannot open %1: %2"), {path, file.reason()})};
        return vexilo::unexpected(std::move(f));
    }
    return readBytes(file.bytes(), options, true);
}

std::string describe(DxfError kind) {
    switch (kind) {
    case DxfError::CannotOpen:
        return uiText("DxfReader", "cannot open");
    case DxfError::NotDxf:
        return uiText("DxfReader", "not a DXF file");
    case DxfError::Truncated:
        return uiText("DxfReader", "truncated");
    case DxfError::BadGroupCode:
        return uiText("DxfReader", "bad group code");
    case DxfError::TooLarge:
        return uiText("DxfReader", "too large");
    }
    return "";
}

std::string describe(SkipReason reason) {
    switch (reason) {
    case SkipReason::UnsupportedEntity:
        return uiText("DxfReader", "entity type not shown");
    case SkipReason::PolygonMesh:
        return uiText("DxfReader", "polygon mesh");
    case SkipReason::PolyfaceMesh:
        return uiText("DxfReader", "polyface mesh");
    case SkipReason::PaperSpace:
        return uiText("DxfReader", "in paper space");
    case SkipReason::BadValue:
        return uiText("DxfReader", "value that is not a valid number");
    case SkipReason::NoVertices:
        return uiText("DxfReader", "polyline without vertices");
    case SkipReason::UndefinedBlock:
        return uiText("DxfReader", "reference to an undefined block");
    case SkipReason::RecursiveBlock:
        return uiText("DxfReader", "block that inserts itself");
    case SkipReason::ArrayReducedToOne:
        return uiText("DxfReader", "array insert, only its first copy kept");
    case SkipReason::Misplaced:
        return uiText("DxfReader", "entity outside any block definition");
    }
    return "";
}

} // namespace vexilo::cadhost::dxf
