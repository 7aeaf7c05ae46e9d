// The drawing's pools, lookups and the final pass that indexes handles.
#include "cadhost/model/drawing.h"

#include <algorithm>

namespace vexilo::cadhost {

namespace {

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        char ca = a[i];
        char cb = b[i];
        if (ca >= 'a' && ca <= 'z') {
            ca = static_cast<char>(ca - 'a' + 'A');
        }
        if (cb >= 'a' && cb <= 'z') {
            cb = static_cast<char>(cb - 'a' + 'A');
        }
        if (ca != cb) {
            return false;
        }
    }
    return true;
}

} // namespace

Drawing::Drawing() {
    m_layers.push_back(Layer{"0", 7, true, false, false});
    m_linetypes.push_back(Linetype{"Continuous", {}});
}

std::uint16_t Drawing::addLinetype(Linetype linetype) {
    if (m_linetypes.size() >= kLinetypeByBlock) {
        return kLinetypeContinuous;
    }
    m_linetypes.push_back(std::move(linetype));
    return static_cast<std::uint16_t>(m_linetypes.size() - 1);
}

std::uint16_t Drawing::trueColorIndex(std::uint32_t rgb) {
    rgb &= 0xFFFFFFu;
    const auto it = m_trueColorIndex.find(rgb);
    if (it != m_trueColorIndex.end()) {
        return it->second;
    }
    if (m_trueColors.size() >= 0xFFFFu) {
        return 0;
    }
    m_trueColors.push_back(rgb);
    const auto index = static_cast<std::uint16_t>(m_trueColors.size());
    m_trueColorIndex.emplace(rgb, index);
    return index;
}

const MlineStyle* Drawing::findMlineStyle(std::uint64_t handle) const {
    for (const MlineStyle& style : m_mlineStyles) {
        if (style.handle == handle) {
            return &style;
        }
    }
    return nullptr;
}

const Entity* Drawing::findByHandle(std::uint64_t handle) const {
    const auto index = indexOfHandle(handle);
    return index ? &m_entities[*index] : nullptr;
}

std::optional<std::size_t> Drawing::indexOfHandle(std::uint64_t handle) const {
    if (m_handlesAscending) {
        const auto it =
            std::lower_bound(m_entities.begin(), m_entities.end(), handle,
                             [](const Entity& e, std::uint64_t h) { return e.handle < h; });
        if (it == m_entities.end() || it->handle != handle) {
            return std::nullopt;
        }
        return static_cast<std::size_t>(it - m_entities.begin());
    }
    const auto it =
        std::lower_bound(m_handleIndex.begin(), m_handleIndex.end(), HandleEntry{handle, 0});
    if (it == m_handleIndex.end() || it->handle != handle) {
        return std::nullopt;
    }
    return it->index;
}

std::optional<std::uint32_t> Drawing::findLayer(std::string_view name) const {
    for (std::size_t i = 0; i < m_layers.size(); ++i) {
        if (sameNameIgnoringCase(m_layers[i].name, name)) {
            return static_cast<std::uint32_t>(i);
        }
    }
    return std::nullopt;
}

std::optional<std::uint32_t> Drawing::findBlock(std::string_view name) const {
    for (std::size_t i = 0; i < m_blocks.size(); ++i) {
        if (sameNameIgnoringCase(m_blocks[i].name, name)) {
            return static_cast<std::uint32_t>(i);
        }
    }
    return std::nullopt;
}

std::span<const Entity> Drawing::blockEntities(const Block& block) const {
    return std::span<const Entity>(m_blockEntities).subspan(block.firstEntity, block.entityCount);
}

std::span<const PolylineVertex> Drawing::vertices(const PolylineData& p) const {
    return std::span<const PolylineVertex>(m_vertices).subspan(p.firstVertex, p.vertexCount);
}

std::span<const SegmentWidth> Drawing::widths(const PolylineData& p) const {
    if (p.firstWidth == PolylineData::kNoWidths) {
        return {};
    }
    return std::span<const SegmentWidth>(m_widths).subspan(p.firstWidth, p.vertexCount);
}

std::string_view Drawing::text(const TextData& t) const {
    return std::string_view(m_text.data(), m_text.size()).substr(t.textOffset, t.textLength);
}

std::span<const PolylineVertex> Drawing::vertexRun(std::uint32_t first, std::uint32_t count) const {
    return std::span<const PolylineVertex>(m_vertices).subspan(first, count);
}

std::span<const double> Drawing::numbers(std::uint32_t first, std::uint32_t count) const {
    return std::span<const double>(m_numbers).subspan(first, count);
}

std::span<const Entity> Drawing::attributes(const InsertData& insert) const {
    return std::span<const Entity>(m_attributes)
        .subspan(insert.firstAttribute, insert.attributeCount);
}

std::uint32_t Drawing::addLayer(Layer layer) {
    if (const auto existing = findLayer(layer.name)) {
        m_layers[*existing] = std::move(layer);
        return *existing;
    }
    m_layers.push_back(std::move(layer));
    return static_cast<std::uint32_t>(m_layers.size() - 1);
}

std::uint32_t Drawing::addBlock(std::string name, Vec3 base) {
    m_blocks.push_back(
        Block{std::move(name), base, static_cast<std::uint32_t>(m_blockEntities.size()), 0});
    return static_cast<std::uint32_t>(m_blocks.size() - 1);
}

void Drawing::appendEntity(Entity entity) {
    m_entities.push_back(entity);
}

void Drawing::appendBlockEntity(Entity entity) {
    m_blockEntities.push_back(entity);
    if (!m_blocks.empty()) {
        ++m_blocks.back().entityCount;
    }
}

Drawing::PoolSizes Drawing::poolSizes() const {
    return {static_cast<std::uint32_t>(m_vertices.size()),
            static_cast<std::uint32_t>(m_widths.size()), static_cast<std::uint32_t>(m_text.size()),
            static_cast<std::uint32_t>(m_numbers.size()),
            static_cast<std::uint32_t>(m_attributes.size())};
}

void Drawing::appendPiece(Drawing& part) {
    m_entities.appendFrom(part.m_entities);
    m_vertices.appendFrom(part.m_vertices);
    m_widths.appendFrom(part.m_widths);
    m_text.appendFrom(part.m_text);
    m_numbers.appendFrom(part.m_numbers);
    m_attributes.appendFrom(part.m_attributes);
}

std::uint32_t Drawing::appendVertex(PolylineVertex v) {
    m_vertices.push_back(v);
    return static_cast<std::uint32_t>(m_vertices.size() - 1);
}

std::uint32_t Drawing::appendWidth(SegmentWidth w) {
    m_widths.push_back(w);
    return static_cast<std::uint32_t>(m_widths.size() - 1);
}

std::uint32_t Drawing::appendVertices(std::span<const PolylineVertex> run) {
    return static_cast<std::uint32_t>(m_vertices.append(run.data(), run.size()));
}

std::uint32_t Drawing::appendWidths(std::span<const SegmentWidth> run) {
    return static_cast<std::uint32_t>(m_widths.append(run.data(), run.size()));
}

std::uint32_t Drawing::appendNumbers(std::span<const double> run) {
    return static_cast<std::uint32_t>(m_numbers.append(run.data(), run.size()));
}

std::uint32_t Drawing::appendAttribute(Entity attribute) {
    m_attributes.push_back(attribute);
    return static_cast<std::uint32_t>(m_attributes.size() - 1);
}

void Drawing::setText(TextData& t, std::string_view utf8) {
    t.textOffset = static_cast<std::uint32_t>(m_text.size());
    t.textLength = static_cast<std::uint32_t>(utf8.size());
    m_text.append(utf8.data(), utf8.size());
}

void Drawing::finish() {
    m_handleIndex.truncate(0);
    // Files usually list entities in handle order; then the entities themselves are the index.
    m_handlesAscending = true;
    for (std::size_t i = 0; i < m_entities.size() && m_handlesAscending; ++i) {
        m_handlesAscending = m_entities[i].handle != 0 &&
                             (i == 0 || m_entities[i].handle > m_entities[i - 1].handle);
    }
    if (m_handlesAscending) {
        shrinkPools();
        return;
    }
    m_handleIndex.reserve(m_entities.size());
    std::uint64_t largest = 0;
    for (const Entity& e : m_entities) {
        largest = std::max(largest, e.handle);
    }
    for (const Entity& e : m_blockEntities) {
        largest = std::max(largest, e.handle);
    }
    for (std::size_t i = 0; i < m_entities.size(); ++i) {
        m_handleIndex.push_back({m_entities[i].handle, static_cast<std::uint32_t>(i)});
    }
    std::sort(m_handleIndex.begin(), m_handleIndex.end());
    // Entities without a handle (R12 files written with $HANDLING 0) or with one that an earlier
    // entity already has get fresh handles, so that every entity can be named over the bus.
    bool renamed = false;
    for (std::size_t i = 0; i < m_handleIndex.size(); ++i) {
        const bool duplicate = i > 0 && m_handleIndex[i].handle == m_handleIndex[i - 1].handle;
        if (m_handleIndex[i].handle == 0 || duplicate) {
            m_entities[m_handleIndex[i].index].handle = ++largest;
            renamed = true;
        }
    }
    if (renamed) {
        for (HandleEntry& entry : m_handleIndex) {
            entry.handle = m_entities[entry.index].handle;
        }
        std::sort(m_handleIndex.begin(), m_handleIndex.end());
    }
    shrinkPools();
}

std::size_t Drawing::poolBytes() const {
    return (m_entities.size() + m_blockEntities.size()) * sizeof(Entity) +
           m_vertices.size() * sizeof(PolylineVertex) + m_widths.size() * sizeof(SegmentWidth) +
           m_text.size() + m_handleIndex.size() * sizeof(HandleEntry) +
           m_numbers.size() * sizeof(double) + m_attributes.size() * sizeof(Entity);
}

void Drawing::shrinkPools() {
    m_entities.shrinkToFit();
    m_blockEntities.shrinkToFit();
    m_vertices.shrinkToFit();
    m_widths.shrinkToFit();
    m_text.shrinkToFit();
    m_numbers.shrinkToFit();
    m_attributes.shrinkToFit();
    m_handleIndex.shrinkToFit();
}

std::string_view dxfTypeName(EntityType type) {
    switch (type) {
    case EntityType::Line:
        return "LINE";
    case EntityType::LwPolyline:
        return "LWPOLYLINE";
    case EntityType::Polyline2d:
    case EntityType::Polyline3d:
        return "POLYLINE";
    case EntityType::Arc:
        return "ARC";
    case EntityType::Circle:
        return "CIRCLE";
    case EntityType::Point:
        return "POINT";
    case EntityType::Text:
        return "TEXT";
    case EntityType::MText:
        return "MTEXT";
    case EntityType::Insert:
        return "INSERT";
    case EntityType::Spline:
        return "SPLINE";
    case EntityType::Ellipse:
        return "ELLIPSE";
    case EntityType::Solid:
        return "SOLID";
    case EntityType::Trace:
        return "TRACE";
    case EntityType::Face3d:
        return "3DFACE";
    case EntityType::Dimension:
        return "DIMENSION";
    case EntityType::Leader:
        return "LEADER";
    case EntityType::XLine:
        return "XLINE";
    case EntityType::Ray:
        return "RAY";
    case EntityType::Hatch:
        return "HATCH";
    case EntityType::MLine:
        return "MLINE";
    }
    return "";
}

} // namespace vexilo::cadhost
