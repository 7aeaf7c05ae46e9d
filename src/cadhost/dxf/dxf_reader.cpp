// The DXF reader: sections, tables, blocks and entities over the tag scanner.
#include "cadhost/dxf/dxf_reader.h"

#include "cadhost/dxf/tag_reader.h"
#include "cadhost/dxf/text_decoder.h"
#include "common/ui_text.h"

#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <numbers>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace vexilo::cadhost::dxf {

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr std::size_t kMaxSkipKinds = 64;
constexpr std::uint32_t kUnresolvedBlock = 0xFFFFFFFFu;

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

/// The properties every entity shares, gathered while its tags go by.
struct Common {
    std::uint64_t handle = 0;
    std::string_view layerName;
    bool hasLayer = false;
    std::int16_t color = kColorByLayer;
    bool paperSpace = false;
    Vec3 normal{0.0, 0.0, 1.0};
    bool damaged = false;
    std::size_t location = 0;
};

/// Where parsed entities go: model space or the block being defined.
enum class Target { ModelSpace, Block, Discard };

class Parser {
public:
    explicit Parser(std::string_view bytes) : m_tags(bytes) {
        m_report.binary = m_tags.isBinary();
        m_report.bytes = bytes.size();
    }

    ReadResult run();

private:
    bool advance() {
        m_have = m_tags.next(m_tag);
        if (m_have) {
            m_lastLocation = m_tag.location;
        }
        return m_have;
    }
    bool atZero() const { return m_have && m_tag.code == 0; }
    bool atZero(std::string_view word) const { return atZero() && m_tag.is(word); }
    /// True at a tag that ends any section body: ENDSEC, EOF or a new SECTION.
    bool atSectionEnd() const {
        return !m_have ||
               (m_tag.code == 0 && (m_tag.is("ENDSEC") || m_tag.is("EOF") || m_tag.is("SECTION")));
    }
    void skipToNextZero() {
        while (advance() && m_tag.code != 0) {
        }
    }

    void readHeader();
    void readTables();
    void readLayerTable();
    void readBlocks();
    void readEntities(Target target);
    void readEntity(Target target);

    bool commonTag(Common& c);
    double number(Common& c);
    std::int64_t integer(Common& c);
    void readNormal(Common& c, Vec3& normal);
    std::uint32_t layerIndex(std::string_view rawName);
    std::string decoded(std::string_view raw);
    void keep(Target target, const Common& c, EntityType type, EntityData data);
    bool acceptable(Target target, const Common& c, std::string_view type);
    void skip(SkipReason reason, std::string_view what, std::size_t location);

    void readLine(Target target, Common& c);
    void readLwPolyline(Target target, Common& c);
    void readPolyline(Target target, Common& c);
    void readArc(Target target, Common& c, bool circle);
    void readPoint(Target target, Common& c);
    void readText(Target target, Common& c);
    void readMText(Target target, Common& c);
    void readInsert(Target target, Common& c);

    void resolveBlocks();
    ReadResult failure(DxfError kind, std::size_t location, std::string_view what);

    TagReader m_tags;
    Tag m_tag;
    bool m_have = false;
    /// Where the last tag read starts.
    std::size_t m_lastLocation = 0;
    Drawing m_drawing;
    LoadReport m_report;
    TextDecoder m_decoder;
    std::string m_decoded;
    std::string m_scratch;
    std::vector<SegmentWidth> m_widthScratch;
    std::vector<PolylineVertex> m_vertexScratch;
    std::unordered_map<std::string, std::uint32_t> m_layerByName;
    std::unordered_map<std::string, std::uint32_t> m_blockByName;
    std::string_view m_lastLayerRaw;
    std::uint32_t m_lastLayer = 0;
    bool m_haveLastLayer = false;
    /// Inserts whose block was not defined yet when they were read: (in a block?, entity
    /// index, upper-case block name).
    struct PendingInsert {
        bool inBlock;
        std::size_t index;
        std::string name;
    };
    std::vector<PendingInsert> m_pending;
};

std::uint32_t Parser::layerIndex(std::string_view raw) {
    if (m_haveLastLayer && raw == m_lastLayerRaw) {
        return m_lastLayer;
    }
    std::string name = decoded(raw);
    std::string key = upperAscii(name);
    std::uint32_t index = 0;
    const auto it = m_layerByName.find(key);
    if (it != m_layerByName.end()) {
        index = it->second;
    } else {
        // An entity may name a layer the table lacks; AutoCAD then creates it with defaults.
        index = m_drawing.addLayer(Layer{std::move(name), 7, true, false, false});
        m_layerByName.emplace(std::move(key), index);
    }
    m_lastLayerRaw = raw;
    m_lastLayer = index;
    m_haveLastLayer = true;
    return index;
}

std::string Parser::decoded(std::string_view raw) {
    m_decoder.decode(raw, m_decoded);
    return m_decoded;
}

void Parser::skip(SkipReason reason, std::string_view what, std::size_t location) {
    for (SkippedItems& s : m_report.skipped) {
        if (s.reason == reason && s.what == what) {
            ++s.count;
            return;
        }
    }
    if (m_report.skipped.size() >= kMaxSkipKinds) {
        // Bounded: a damaged file can name any number of entity types.
        what = "other";
        for (SkippedItems& s : m_report.skipped) {
            if (s.reason == reason && s.what == what) {
                ++s.count;
                return;
            }
        }
    }
    std::string name;
    for (const char ch : what.substr(0, 32)) {
        name.push_back(ch >= 0x20 && ch < 0x7F ? ch : '?');
    }
    m_report.skipped.push_back(SkippedItems{reason, std::move(name), 1, location});
}

bool Parser::commonTag(Common& c) {
    switch (m_tag.code) {
    case 5: {
        std::uint64_t h = 0;
        if (parseHandle(m_tag.trimmed(), h)) {
            c.handle = h;
        }
        return true;
    }
    case 8:
        c.layerName = m_tag.trimmed();
        c.hasLayer = true;
        return true;
    case 62: {
        const std::int64_t v = integer(c);
        c.color = static_cast<std::int16_t>(std::clamp<std::int64_t>(v, -257, 257));
        return true;
    }
    case 67:
        c.paperSpace = integer(c) == 1;
        return true;
    case 210:
        c.normal.x = number(c);
        return true;
    case 220:
        c.normal.y = number(c);
        return true;
    case 230:
        c.normal.z = number(c);
        return true;
    default:
        return false;
    }
}

double Parser::number(Common& c) {
    double v = 0.0;
    if (!m_tag.toDouble(v)) {
        c.damaged = true;
        return 0.0;
    }
    return v;
}

std::int64_t Parser::integer(Common& c) {
    std::int64_t v = 0;
    if (!m_tag.toInt(v)) {
        c.damaged = true;
        return 0;
    }
    return v;
}

void Parser::keep(Target target, const Common& c, EntityType type, EntityData data) {
    Entity e;
    e.handle = c.handle;
    e.layer = c.hasLayer ? layerIndex(c.layerName) : 0;
    e.color = c.color;
    e.type = type;
    e.data = std::move(data);
    if (target == Target::ModelSpace) {
        m_drawing.appendEntity(std::move(e));
    } else if (target == Target::Block) {
        m_drawing.appendBlockEntity(std::move(e));
    }
}

ReadResult Parser::failure(DxfError kind, std::size_t location, std::string_view what) {
    DxfFailure f;
    f.kind = kind;
    f.location = location;
    f.locationIsByteOffset = m_tags.isBinary();
    const std::string where = std::to_string(location);
    if (m_tags.isBinary()) {
        f.message = fillText(uiText("DxfReader", "byte offset %1: %2 (%3)"),
                             {where, what, errorName(kind)});
    } else if (location > 0) {
        f.message =
            fillText(uiText("DxfReader", "line %1: %2 (%3)"), {where, what, errorName(kind)});
    } else {
        f.message = fillText(uiText("DxfReader", "%1 (%2)"), {what, errorName(kind)});
    }
    return vexilo::unexpected(std::move(f));
}

ReadResult Parser::run() {
    advance();
    if (!m_have) {
        if (m_tags.error() == TagError::BadGroupCode) {
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
            readEntities(Target::ModelSpace);
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
    m_drawing.finish();
    return LoadedDrawing{std::move(m_drawing), std::move(m_report)};
}

void Parser::readHeader() {
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
        enum class Var { Other, AcadVer, CodePage, UcsOrg, UcsXDir, UcsYDir, ExtMin, ExtMax };
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
        }
        Vec3 point;
        bool pointOk = true;
        while (advance() && m_tag.code != 0 && m_tag.code != 9) {
            if (var == Var::AcadVer && m_tag.code == 1) {
                acadVersion = std::string(m_tag.trimmed().substr(0, 16));
            } else if (var == Var::CodePage && m_tag.code == 3) {
                codePage = std::string(m_tag.trimmed().substr(0, 32));
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
    if (!codePage.empty() && !m_decoder.setCodePage(codePage)) {
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

void Parser::readTables() {
    while (!atSectionEnd()) {
        if (atZero("TABLE")) {
            advance();
            if (m_have && m_tag.code == 2 && m_tag.is("LAYER")) {
                readLayerTable();
                continue;
            }
        }
        advance();
    }
}

void Parser::readLayerTable() {
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
                layer.name = decoded(m_tag.trimmed());
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

void Parser::readBlocks() {
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
                name = decoded(m_tag.trimmed());
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

void Parser::readEntities(Target target) {
    while (!atSectionEnd()) {
        if (atZero()) {
            readEntity(target);
        } else {
            advance();
        }
    }
}

void Parser::readEntity(Target target) {
    Common c;
    c.location = m_tag.location;
    const std::string_view type = m_tag.trimmed();
    advance();
    if (type == "LINE") {
        readLine(target, c);
    } else if (type == "LWPOLYLINE") {
        readLwPolyline(target, c);
    } else if (type == "POLYLINE") {
        readPolyline(target, c);
    } else if (type == "ARC") {
        readArc(target, c, false);
    } else if (type == "CIRCLE") {
        readArc(target, c, true);
    } else if (type == "POINT") {
        readPoint(target, c);
    } else if (type == "TEXT") {
        readText(target, c);
    } else if (type == "MTEXT") {
        readMText(target, c);
    } else if (type == "INSERT") {
        readInsert(target, c);
    } else {
        if (target != Target::Discard && type != "ENDBLK" && type != "SEQEND") {
            skip(SkipReason::UnsupportedEntity, type, c.location);
        }
        while (m_have && m_tag.code != 0) {
            advance();
        }
    }
}

bool Parser::acceptable(Target target, const Common& c, std::string_view type) {
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

void Parser::readNormal(Common& c, Vec3& normal) {
    if (!isFinite(c.normal) || length(c.normal) == 0.0) {
        c.damaged = true;
        return;
    }
    normal = c.normal == Vec3{0.0, 0.0, 1.0} ? c.normal : normalized(c.normal);
}

void Parser::readLine(Target target, Common& c) {
    LineData d;
    for (; m_have && m_tag.code != 0; advance()) {
        if (commonTag(c)) {
            continue;
        }
        switch (m_tag.code) {
        case 10:
            d.start.x = number(c);
            break;
        case 20:
            d.start.y = number(c);
            break;
        case 30:
            d.start.z = number(c);
            break;
        case 11:
            d.end.x = number(c);
            break;
        case 21:
            d.end.y = number(c);
            break;
        case 31:
            d.end.z = number(c);
            break;
        default:
            break;
        }
    }
    readNormal(c, d.normal);
    if (acceptable(target, c, "LINE")) {
        keep(target, c, EntityType::Line, d);
    }
}

void Parser::readLwPolyline(Target target, Common& c) {
    PolylineData d;
    m_vertexScratch.clear();
    m_widthScratch.clear();
    bool anyWidth = false;
    for (; m_have && m_tag.code != 0; advance()) {
        if (commonTag(c)) {
            continue;
        }
        switch (m_tag.code) {
        case 10: {
            PolylineVertex v;
            v.point.x = number(c);
            m_vertexScratch.push_back(v);
            m_widthScratch.push_back({});
            break;
        }
        case 20:
            if (!m_vertexScratch.empty()) {
                m_vertexScratch.back().point.y = number(c);
            }
            break;
        case 40:
            if (!m_widthScratch.empty()) {
                m_widthScratch.back().start = number(c);
                anyWidth = anyWidth || m_widthScratch.back().start != 0.0;
            }
            break;
        case 41:
            if (!m_widthScratch.empty()) {
                m_widthScratch.back().end = number(c);
                anyWidth = anyWidth || m_widthScratch.back().end != 0.0;
            }
            break;
        case 42:
            if (!m_vertexScratch.empty()) {
                m_vertexScratch.back().bulge = number(c);
            }
            break;
        case 38:
            d.elevation = number(c);
            break;
        case 43:
            d.constantWidth = number(c);
            break;
        case 70:
            d.closed = (integer(c) & 1) != 0;
            break;
        default:
            break;
        }
    }
    readNormal(c, d.normal);
    if (!acceptable(target, c, "LWPOLYLINE")) {
        return;
    }
    if (m_vertexScratch.empty()) {
        skip(SkipReason::NoVertices, "LWPOLYLINE", c.location);
        return;
    }
    d.vertexCount = static_cast<std::uint32_t>(m_vertexScratch.size());
    d.firstVertex = m_drawing.appendVertices(m_vertexScratch);
    if (anyWidth) {
        d.firstWidth = m_drawing.appendWidths(m_widthScratch);
    }
    keep(target, c, EntityType::LwPolyline, d);
}

void Parser::readPolyline(Target target, Common& c) {
    PolylineData d;
    std::int64_t flags = 0;
    SegmentWidth defaults;
    for (; m_have && m_tag.code != 0; advance()) {
        if (commonTag(c)) {
            continue;
        }
        switch (m_tag.code) {
        case 30:
            d.elevation = number(c);
            break;
        case 40:
            defaults.start = number(c);
            break;
        case 41:
            defaults.end = number(c);
            break;
        case 70:
            flags = integer(c);
            break;
        default:
            break;
        }
    }
    m_vertexScratch.clear();
    m_widthScratch.clear();
    bool anyWidth = defaults.start != 0.0 || defaults.end != 0.0;
    while (atZero("VERTEX")) {
        PolylineVertex v;
        SegmentWidth w = defaults;
        std::int64_t vertexFlags = 0;
        while (advance() && m_tag.code != 0) {
            switch (m_tag.code) {
            case 10:
                v.point.x = number(c);
                break;
            case 20:
                v.point.y = number(c);
                break;
            case 30:
                v.point.z = number(c);
                break;
            case 40:
                w.start = number(c);
                break;
            case 41:
                w.end = number(c);
                break;
            case 42:
                v.bulge = number(c);
                break;
            case 70:
                vertexFlags = integer(c);
                break;
            default:
                break;
            }
        }
        // Spline frame control points (16) are not on the curve; polyface face records (128
        // without 64) are not points.
        if ((vertexFlags & 16) != 0 || ((vertexFlags & 128) != 0 && (vertexFlags & 64) == 0)) {
            continue;
        }
        anyWidth = anyWidth || w.start != 0.0 || w.end != 0.0;
        m_vertexScratch.push_back(v);
        m_widthScratch.push_back(w);
    }
    if (atZero("SEQEND")) {
        skipToNextZero();
    }
    if ((flags & 16) != 0) {
        if (target != Target::Discard) {
            skip(SkipReason::PolygonMesh, "POLYLINE", c.location);
        }
        return;
    }
    if ((flags & 64) != 0) {
        if (target != Target::Discard) {
            skip(SkipReason::PolyfaceMesh, "POLYLINE", c.location);
        }
        return;
    }
    const bool is3d = (flags & 8) != 0;
    if (is3d) {
        d.elevation = 0.0;
    } else {
        readNormal(c, d.normal);
    }
    if (!acceptable(target, c, "POLYLINE")) {
        return;
    }
    if (m_vertexScratch.empty()) {
        skip(SkipReason::NoVertices, "POLYLINE", c.location);
        return;
    }
    d.closed = (flags & 1) != 0;
    d.constantWidth = defaults.start == defaults.end ? defaults.start : 0.0;
    d.vertexCount = static_cast<std::uint32_t>(m_vertexScratch.size());
    d.firstVertex = m_drawing.appendVertices(m_vertexScratch);
    if (anyWidth && !is3d) {
        d.firstWidth = m_drawing.appendWidths(m_widthScratch);
    }
    keep(target, c, is3d ? EntityType::Polyline3d : EntityType::Polyline2d, d);
}

void Parser::readArc(Target target, Common& c, bool circle) {
    ArcData d;
    double startDegrees = 0.0;
    double endDegrees = 360.0;
    for (; m_have && m_tag.code != 0; advance()) {
        if (commonTag(c)) {
            continue;
        }
        switch (m_tag.code) {
        case 10:
            d.center.x = number(c);
            break;
        case 20:
            d.center.y = number(c);
            break;
        case 30:
            d.center.z = number(c);
            break;
        case 40:
            d.radius = number(c);
            break;
        case 50:
            startDegrees = number(c);
            break;
        case 51:
            endDegrees = number(c);
            break;
        default:
            break;
        }
    }
    readNormal(c, d.normal);
    if (!(d.radius > 0.0)) {
        c.damaged = true;
    }
    const std::string_view type = circle ? "CIRCLE" : "ARC";
    if (!acceptable(target, c, type)) {
        return;
    }
    if (!circle) {
        d.startAngle = normalizedAngle(startDegrees * kDegree);
        d.endAngle = normalizedAngle(endDegrees * kDegree);
    } else {
        d.startAngle = 0.0;
        d.endAngle = 0.0;
    }
    keep(target, c, circle ? EntityType::Circle : EntityType::Arc, d);
}

void Parser::readPoint(Target target, Common& c) {
    PointData d;
    for (; m_have && m_tag.code != 0; advance()) {
        if (commonTag(c)) {
            continue;
        }
        switch (m_tag.code) {
        case 10:
            d.position.x = number(c);
            break;
        case 20:
            d.position.y = number(c);
            break;
        case 30:
            d.position.z = number(c);
            break;
        default:
            break;
        }
    }
    readNormal(c, d.normal);
    if (acceptable(target, c, "POINT")) {
        keep(target, c, EntityType::Point, d);
    }
}

void Parser::readText(Target target, Common& c) {
    TextData d;
    Vec3 second;
    bool haveSecond = false;
    std::string_view raw;
    double rotationDegrees = 0.0;
    std::int64_t h = 0;
    std::int64_t v = 0;
    for (; m_have && m_tag.code != 0; advance()) {
        if (commonTag(c)) {
            continue;
        }
        switch (m_tag.code) {
        case 1:
            raw = m_tag.text;
            break;
        case 10:
            d.position.x = number(c);
            break;
        case 20:
            d.position.y = number(c);
            break;
        case 30:
            d.position.z = number(c);
            break;
        case 11:
            second.x = number(c);
            haveSecond = true;
            break;
        case 21:
            second.y = number(c);
            break;
        case 31:
            second.z = number(c);
            break;
        case 40:
            d.height = number(c);
            break;
        case 41:
            d.widthFactor = number(c);
            break;
        case 50:
            rotationDegrees = number(c);
            break;
        case 72:
            h = integer(c);
            break;
        case 73:
            v = integer(c);
            break;
        default:
            break;
        }
    }
    readNormal(c, d.normal);
    if (!acceptable(target, c, "TEXT")) {
        return;
    }
    d.horizontal = static_cast<std::uint8_t>(std::clamp<std::int64_t>(h, 0, 5));
    d.vertical = static_cast<std::uint8_t>(std::clamp<std::int64_t>(v, 0, 3));
    // Left-aligned, aligned (3) and fit (5) texts are placed by their first point; the others
    // by the second, which AutoCAD keeps authoritative (the first is derived from it).
    const bool bySecond = haveSecond && !(d.horizontal == 0 && d.vertical == 0) &&
                          d.horizontal != 3 && d.horizontal != 5;
    if (bySecond) {
        d.position = second;
    }
    d.rotation = normalizedAngle(rotationDegrees * kDegree);
    m_decoder.decode(raw, m_decoded);
    m_drawing.setText(d, textPlainText(m_decoded));
    keep(target, c, EntityType::Text, d);
}

void Parser::readMText(Target target, Common& c) {
    TextData d;
    d.widthFactor = 0.0;
    m_scratch.clear();
    std::string_view last;
    Vec3 direction;
    bool haveDirection = false;
    double rotationDegrees = 0.0;
    std::int64_t attachment = 1;
    for (; m_have && m_tag.code != 0; advance()) {
        if (commonTag(c)) {
            continue;
        }
        switch (m_tag.code) {
        case 3:
            m_scratch.append(m_tag.text);
            break;
        case 1:
            last = m_tag.text;
            break;
        case 10:
            d.position.x = number(c);
            break;
        case 20:
            d.position.y = number(c);
            break;
        case 30:
            d.position.z = number(c);
            break;
        case 11:
            direction.x = number(c);
            haveDirection = true;
            break;
        case 21:
            direction.y = number(c);
            break;
        case 31:
            direction.z = number(c);
            break;
        case 40:
            d.height = number(c);
            break;
        case 41:
            d.widthFactor = number(c);
            break;
        case 50:
            rotationDegrees = number(c);
            break;
        case 71:
            attachment = integer(c);
            break;
        default:
            break;
        }
    }
    readNormal(c, d.normal);
    if (!acceptable(target, c, "MTEXT")) {
        return;
    }
    m_scratch.append(last);
    d.horizontal = static_cast<std::uint8_t>(std::clamp<std::int64_t>(attachment, 1, 9));
    // ezdxf and AutoCAD write the rotation in degrees; the direction vector, when present,
    // wins over it.
    double rotation = rotationDegrees * kDegree;
    if (haveDirection && isFinite(direction) && length(direction) > 0.0) {
        const Vec3 ocs = wcsToOcs(direction, d.normal);
        if (ocs.x != 0.0 || ocs.y != 0.0) {
            rotation = std::atan2(ocs.y, ocs.x);
        }
    }
    d.rotation = normalizedAngle(rotation);
    m_decoder.decode(m_scratch, m_decoded);
    m_drawing.setText(d, mtextPlainText(m_decoded));
    keep(target, c, EntityType::MText, d);
}

void Parser::readInsert(Target target, Common& c) {
    InsertData d;
    std::string_view name;
    bool attributesFollow = false;
    std::int64_t columns = 1;
    std::int64_t rows = 1;
    double rotationDegrees = 0.0;
    for (; m_have && m_tag.code != 0; advance()) {
        if (commonTag(c)) {
            continue;
        }
        switch (m_tag.code) {
        case 2:
            name = m_tag.trimmed();
            break;
        case 10:
            d.position.x = number(c);
            break;
        case 20:
            d.position.y = number(c);
            break;
        case 30:
            d.position.z = number(c);
            break;
        case 41:
            d.scale.x = number(c);
            break;
        case 42:
            d.scale.y = number(c);
            break;
        case 43:
            d.scale.z = number(c);
            break;
        case 50:
            rotationDegrees = number(c);
            break;
        case 66:
            attributesFollow = integer(c) != 0;
            break;
        case 70:
            columns = integer(c);
            break;
        case 71:
            rows = integer(c);
            break;
        default:
            break;
        }
    }
    // The block name is a view into the file; decode it before the attribute tags go by.
    std::string blockName = decoded(name);
    if (attributesFollow) {
        while (atZero("ATTRIB")) {
            if (target != Target::Discard) {
                skip(SkipReason::Attribute, "ATTRIB", m_tag.location);
            }
            skipToNextZero();
        }
        if (atZero("SEQEND")) {
            skipToNextZero();
        }
    }
    readNormal(c, d.normal);
    if (!acceptable(target, c, "INSERT")) {
        return;
    }
    if (columns > 1 || rows > 1) {
        skip(SkipReason::ArrayReducedToOne, "INSERT", c.location);
    }
    d.rotation = normalizedAngle(rotationDegrees * kDegree);
    std::string key = upperAscii(blockName);
    const auto it = m_blockByName.find(key);
    d.block = it != m_blockByName.end() ? it->second : kUnresolvedBlock;
    if (d.block == kUnresolvedBlock) {
        const bool inBlock = target == Target::Block;
        const std::size_t index =
            inBlock ? m_drawing.mutableBlockEntities().size() : m_drawing.mutableEntities().size();
        m_pending.push_back(PendingInsert{inBlock, index, std::move(key)});
    }
    keep(target, c, EntityType::Insert, d);
}

void Parser::resolveBlocks() {
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

/// A read-only mapping of a whole file, released on destruction.
class MappedFile {
public:
    explicit MappedFile(const std::string& path) {
        m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0) {
            return;
        }
        struct stat st {};
        if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            return;
        }
        m_size = static_cast<std::size_t>(st.st_size);
        m_statOk = true;
        if (m_size == 0) {
            return;
        }
        // Populating the mapping at once costs one pass in the kernel instead of a page fault
        // per few pages while the reader walks the file.
        void* p = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, m_fd, 0);
        if (p == MAP_FAILED) {
            return;
        }
        m_data = static_cast<const char*>(p);
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

    bool ok() const { return m_statOk && (m_data || m_size == 0); }
    std::string_view bytes() const { return {m_data ? m_data : "", m_size}; }

private:
    int m_fd = -1;
    const char* m_data = nullptr;
    std::size_t m_size = 0;
    bool m_statOk = false;
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
                   ? fillText(uiText("DxfReader", "skipped %1: %2"), {count, reasonText(s.reason)})
                   : fillText(uiText("DxfReader", "skipped %1 %2: %3"),
                              {count, s.what, reasonText(s.reason)});
        out += "\n";
    }
    for (const std::string& note : notes) {
        out += note + "\n";
    }
    return out;
}

ReadResult readDxf(std::string_view bytes) {
    if (bytes.size() >= (std::size_t{1} << 32)) {
        DxfFailure f{DxfError::TooLarge, 0, false,
                     fillText(uiText("DxfReader", "the file is larger than 4 GiB (%1)"),
                              {errorName(DxfError::TooLarge)})};
        return vexilo::unexpected(std::move(f));
    }
    Parser parser(bytes);
    return parser.run();
}

ReadResult readDxfFile(const std::string& path) {
    MappedFile file(path);
    if (!file.ok()) {
        DxfFailure f{DxfError::CannotOpen, 0, false,
                     fillText(uiText("DxfReader", "cannot open %1 (%2)"),
                              {path, errorName(DxfError::CannotOpen)})};
        return vexilo::unexpected(std::move(f));
    }
    return readDxf(file.bytes());
}

std::string errorName(DxfError kind) {
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

std::string reasonText(SkipReason reason) {
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
    case SkipReason::Attribute:
        return uiText("DxfReader", "block attribute (not shown)");
    case SkipReason::ArrayReducedToOne:
        return uiText("DxfReader", "array insert, only its first copy kept");
    case SkipReason::Misplaced:
        return uiText("DxfReader", "entity outside any block definition");
    }
    return "";
}

} // namespace vexilo::cadhost::dxf
