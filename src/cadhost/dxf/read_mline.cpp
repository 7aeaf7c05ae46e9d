// Readers of MLINE and of the MLINESTYLE objects it refers to. An MLINE gives its vertices
// with their direction and miter vectors, and per vertex the parameters of each element, whose
// first is the element's distance along the miter.
#include "cadhost/dxf/entity_readers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <vector>

namespace vexilo::cadhost::dxf {

namespace {

/// AutoCAD allows 16 elements in a style.
constexpr std::size_t kMaxElements = 16;

/// A hexadecimal handle, 0 when the value is not one.
std::uint64_t handleOf(const Tag& tag) {
    const std::string_view h = tag.trimmed();
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(h.data(), h.data() + h.size(), value, 16);
    return error == std::errc() && end == h.data() + h.size() ? value : 0;
}

} // namespace

void ReaderContext::readMlineStyle() {
    advance();
    gather(m_entityTags);
    MlineStyle style;
    for (const Tag& tag : m_entityTags.all()) {
        std::int64_t v = 0;
        double x = 0.0;
        switch (tag.code) {
        case 5:
            style.handle = handleOf(tag);
            break;
        case 2:
            style.name = decode(tag.trimmed());
            break;
        case 70:
            if (tag.toInt(v)) {
                style.flags = static_cast<std::uint16_t>(v);
            }
            break;
        case 49:
            // Each element starts with its offset, then its colour and line type.
            if (tag.toDouble(x) && std::isfinite(x) && style.elements.size() < kMaxElements) {
                style.elements.push_back({x});
            }
            break;
        case 62:
            // Before the first element: the fill's colour.
            if (tag.toInt(v)) {
                const auto aci = static_cast<std::int16_t>(std::clamp<std::int64_t>(v, 0, 256));
                (style.elements.empty() ? style.fillColor : style.elements.back().color) = aci;
            }
            break;
        case 420:
            if (tag.toInt(v)) {
                const auto rgb = static_cast<std::int32_t>(v & 0xFFFFFF);
                (style.elements.empty() ? style.fillTrueColor : style.elements.back().trueColor) =
                    rgb;
            }
            break;
        case 6:
            if (!style.elements.empty()) {
                style.elements.back().linetype = linetypeIndex(tag.trimmed());
            }
            break;
        default:
            break;
        }
    }
    m_drawing.addMlineStyle(std::move(style));
}

void readMLine(ReaderContext& context, Target target, EntityTags& tags, Common& c) {
    MlineData d;
    if (const Tag* t = tags.last(340)) {
        d.style = handleOf(*t);
    }
    d.flags = static_cast<std::uint8_t>(tags.integer(71) &
                                        (kMlineClosed | kMlineNoStartCaps | kMlineNoEndCaps));
    const std::int64_t elements = tags.integer(73);
    c.damaged = c.damaged || tags.damaged;
    if (!context.acceptable(target, c, "MLINE", &d.normal)) {
        return;
    }
    if (elements < 1 || static_cast<std::size_t>(elements) > kMaxElements) {
        context.skip(SkipReason::BadValue, "MLINE", c.location);
        return;
    }
    const auto k = static_cast<std::size_t>(elements);
    // Per vertex: its point (11), miter (13), and the first parameter of each element (74 gives
    // the count of the 41 values that follow for one element).
    struct Vertex {
        Vec3 point;
        Vec3 miter;
        std::array<double, kMaxElements> along{};
    };
    std::vector<Vertex> vertices;
    std::size_t element = 0;
    std::int64_t parametersLeft = 0;
    bool firstParameter = false;
    bool bad = false;
    for (const Tag& tag : tags.all()) {
        switch (tag.code) {
        case 11:
            vertices.push_back({});
            vertices.back().point.x = tags.numberOf(tag);
            element = 0;
            parametersLeft = 0;
            break;
        case 21:
        case 31:
        case 13:
        case 23:
        case 33:
            if (vertices.empty()) {
                bad = true;
                break;
            }
            {
                Vertex& v = vertices.back();
                const double value = tags.numberOf(tag);
                double* slot[] = {&v.point.y, &v.point.z, &v.miter.x, &v.miter.y, &v.miter.z};
                const int index = tag.code == 21   ? 0
                                  : tag.code == 31 ? 1
                                  : tag.code == 13 ? 2
                                  : tag.code == 23 ? 3
                                                   : 4;
                *slot[index] = value;
            }
            break;
        case 74:
            if (vertices.empty() || element >= k) {
                bad = true;
                break;
            }
            parametersLeft = tags.integerOf(tag);
            firstParameter = true;
            ++element;
            break;
        case 41:
            if (parametersLeft > 0 && element > 0) {
                if (firstParameter) {
                    vertices.back().along[element - 1] = tags.numberOf(tag);
                    firstParameter = false;
                }
                --parametersLeft;
            }
            break;
        default:
            break;
        }
    }
    if (bad || tags.damaged || vertices.empty()) {
        context.skip(SkipReason::BadValue, "MLINE", c.location);
        return;
    }
    std::vector<PolylineVertex>& run = context.vertexScratch();
    run.clear();
    for (const Vertex& v : vertices) {
        for (std::size_t j = 0; j < k; ++j) {
            const Vec3 p = v.point + v.miter * v.along[j];
            if (!isFinite(p)) {
                context.skip(SkipReason::BadValue, "MLINE", c.location);
                return;
            }
            run.push_back({p, 0.0});
        }
    }
    d.firstVertex = context.drawing().appendVertices(run);
    d.vertexCount = static_cast<std::uint32_t>(vertices.size());
    d.elementCount = static_cast<std::uint16_t>(k);
    context.keep(target, c, EntityType::MLine, d);
}

} // namespace vexilo::cadhost::dxf
