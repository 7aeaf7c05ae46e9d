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
}

const Entity* Drawing::findByHandle(std::uint64_t handle) const {
    const auto index = indexOfHandle(handle);
    return index ? &m_entities[*index] : nullptr;
}

std::optional<std::size_t> Drawing::indexOfHandle(std::uint64_t handle) const {
    const auto it = std::lower_bound(m_handleIndex.begin(), m_handleIndex.end(),
                                     std::pair<std::uint64_t, std::uint32_t>{handle, 0});
    if (it == m_handleIndex.end() || it->first != handle) {
        return std::nullopt;
    }
    return it->second;
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
    return std::string_view(m_text).substr(t.textOffset, t.textLength);
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
    m_entities.push_back(std::move(entity));
}

void Drawing::appendBlockEntity(Entity entity) {
    m_blockEntities.push_back(std::move(entity));
    if (!m_blocks.empty()) {
        ++m_blocks.back().entityCount;
    }
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
    const auto first = static_cast<std::uint32_t>(m_vertices.size());
    m_vertices.insert(m_vertices.end(), run.begin(), run.end());
    return first;
}

std::uint32_t Drawing::appendWidths(std::span<const SegmentWidth> run) {
    const auto first = static_cast<std::uint32_t>(m_widths.size());
    m_widths.insert(m_widths.end(), run.begin(), run.end());
    return first;
}

void Drawing::setText(TextData& t, std::string_view utf8) {
    t.textOffset = static_cast<std::uint32_t>(m_text.size());
    t.textLength = static_cast<std::uint32_t>(utf8.size());
    m_text.append(utf8);
}

void Drawing::finish() {
    m_handleIndex.clear();
    m_handleIndex.reserve(m_entities.size());
    std::uint64_t largest = 0;
    for (const Entity& e : m_entities) {
        largest = std::max(largest, e.handle);
    }
    for (const Entity& e : m_blockEntities) {
        largest = std::max(largest, e.handle);
    }
    for (std::size_t i = 0; i < m_entities.size(); ++i) {
        m_handleIndex.emplace_back(m_entities[i].handle, static_cast<std::uint32_t>(i));
    }
    std::sort(m_handleIndex.begin(), m_handleIndex.end());
    // Entities without a handle (R12 files written with $HANDLING 0) or with one that an earlier
    // entity already has get fresh handles, so that every entity can be named over the bus.
    bool renamed = false;
    for (std::size_t i = 0; i < m_handleIndex.size(); ++i) {
        const bool duplicate = i > 0 && m_handleIndex[i].first == m_handleIndex[i - 1].first;
        if (m_handleIndex[i].first == 0 || duplicate) {
            m_entities[m_handleIndex[i].second].handle = ++largest;
            renamed = true;
        }
    }
    if (renamed) {
        for (auto& [handle, index] : m_handleIndex) {
            handle = m_entities[index].handle;
        }
        std::sort(m_handleIndex.begin(), m_handleIndex.end());
    }
    m_entities.shrink_to_fit();
    m_blockEntities.shrink_to_fit();
    m_vertices.shrink_to_fit();
    m_widths.shrink_to_fit();
    m_text.shrink_to_fit();
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
    }
    return "";
}

} // namespace vexilo::cadhost
