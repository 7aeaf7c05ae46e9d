// The spatial index's tree: a static packed R-tree of entity boxes kept as floats relative to an
// origin, 20 bytes an entity, built in place and asked for every box that meets a given one.
//
// Private to the spatial index. A box is stored relative to the origin and rounded outward to
// floats, so that it holds the box it stands for; a query box stays in doubles. A box that
// meets the query box therefore always comes back, and so may a few that only nearly meet it:
// callers measure the real geometry of what they get.
#pragma once

#include "cadhost/model/drawing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace vexilo::cadhost::detail {

/// A box in floats relative to a tree's origin.
struct FloatBox {
    float minX = 0.0f;
    float minY = 0.0f;
    float maxX = 0.0f;
    float maxY = 0.0f;

    /// Grows this box to hold `other` too (exact: a float is the min or max of floats).
    void add(const FloatBox& other) {
        minX = std::min(minX, other.minX);
        minY = std::min(minY, other.minY);
        maxX = std::max(maxX, other.maxX);
        maxY = std::max(maxY, other.maxY);
    }
};

/// The largest float not above `value` (-infinity below the float range, the largest finite
/// float above it).
inline float floatBelow(double value) {
    constexpr float kMax = std::numeric_limits<float>::max();
    if (value > kMax) {
        return kMax;
    }
    if (value < -static_cast<double>(kMax)) {
        return -std::numeric_limits<float>::infinity();
    }
    const float f = static_cast<float>(value);
    return static_cast<double>(f) > value
               ? std::nextafter(f, -std::numeric_limits<float>::infinity())
               : f;
}

/// The smallest float not below `value` (+infinity above the float range, the lowest finite
/// float below it).
inline float floatAbove(double value) {
    return -floatBelow(-value);
}

/// One entity in the tree: its box and its index in Drawing::entities().
struct BoxTreeEntry {
    FloatBox box;
    std::uint32_t entity = 0;
};
static_assert(sizeof(BoxTreeEntry) == 20);

/// A packed R-tree: the entries ordered so that every run of 16 (a leaf) lies close together,
/// and every run of 16 nodes of one level under one node of the next, up to a single root.
/// The children of node i of a level are nodes (or entries) 16 i to 16 i + 15 of the level
/// below, so no node stores where its children are.
class BoxTree {
public:
    static constexpr std::size_t kNodeSize = 16;

    /// Empties the tree and makes room for `capacity` entries whose boxes will be stored
    /// relative to `origin` (WCS). The nearer the origin to the middle of the boxes, the
    /// tighter their float boxes.
    void reset(Vec2 origin, std::size_t capacity) {
        m_origin = origin;
        m_entries.clear();
        m_entries.reserve(capacity);
        m_nodes.clear();
        m_levelStart.clear();
    }

    /// Adds an entity's box (WCS, not empty, finite). Call build() after the last one.
    void add(const Box2& box, std::uint32_t entity) {
        const Box2 r = relative(box);
        m_entries.push_back(BoxTreeEntry{FloatBox{floatBelow(r.min.x), floatBelow(r.min.y),
                                                  floatAbove(r.max.x), floatAbove(r.max.y)},
                                         entity});
    }

    /// Orders the entries and builds the levels above them.
    void build() {
        std::size_t rootCapacity = kNodeSize;
        while (rootCapacity < m_entries.size()) {
            rootCapacity *= kNodeSize;
        }
        order(0, m_entries.size(), rootCapacity / kNodeSize);
        buildLevels();
    }

    std::size_t size() const { return m_entries.size(); }

    /// Calls `found(entity)` once for every entry whose box meets `box` (WCS; touching counts),
    /// in no particular order. Nothing for an empty box or one with a NaN.
    template <class Found> void forEachIntersecting(const Box2& box, Found&& found) const {
        if (m_levelStart.empty() || !(box.min.x <= box.max.x) || !(box.min.y <= box.max.y)) {
            return;
        }
        const Box2 q = relative(box);
        const auto meets = [&q](const FloatBox& b) {
            return b.minX <= q.max.x && q.min.x <= b.maxX && b.minY <= q.max.y && q.min.y <= b.maxY;
        };
        struct Item {
            std::uint32_t level;
            std::uint32_t index;
        };
        // Depth first: each node taken off the stack puts at most 16 children on it.
        std::array<Item, kMaxLevels * kNodeSize> stack;
        std::size_t top = 0;
        const auto root = static_cast<std::uint32_t>(m_levelStart.size() - 1);
        if (meets(node(root, 0))) {
            stack[top++] = {root, 0};
        }
        while (top > 0) {
            const Item item = stack[--top];
            const std::size_t first = std::size_t{item.index} * kNodeSize;
            if (item.level == 1) {
                const std::size_t last = std::min(first + kNodeSize, m_entries.size());
                for (std::size_t i = first; i < last; ++i) {
                    if (meets(m_entries[i].box)) {
                        found(m_entries[i].entity);
                    }
                }
                continue;
            }
            const std::uint32_t below = item.level - 1;
            const std::size_t last = std::min(first + kNodeSize, levelSize(below));
            for (std::size_t i = first; i < last; ++i) {
                if (meets(node(below, i))) {
                    stack[top++] = {below, static_cast<std::uint32_t>(i)};
                }
            }
        }
    }

private:
    /// 16^8 entries are more than a 32-bit entity index can count.
    static constexpr std::size_t kMaxLevels = 8;

    /// `box` relative to the origin. Every box, stored or asked for, goes through this one
    /// subtraction: it never turns a pair of ordered coordinates round, so a stored box whose
    /// floats hold its relative box meets a query whenever the exact boxes meet.
    Box2 relative(const Box2& box) const { return Box2{box.min - m_origin, box.max - m_origin}; }

    /// Orders the entries [begin, end) of one node whose children hold `childCapacity` entries
    /// each (Sort-Tile-Recursive, top down): the children as columns of boxes by their centre x,
    /// each column cut into children by centre y, then each child the same way. Every child
    /// but the last of the whole tree is full, which keeps the levels implicit.
    void order(std::size_t begin, std::size_t end, std::size_t childCapacity) {
        if (childCapacity < kNodeSize) {
            return;
        }
        const std::size_t children = (end - begin + childCapacity - 1) / childCapacity;
        std::size_t columns = 1;
        while (columns * columns < children) {
            ++columns;
        }
        const std::size_t columnSize = childCapacity * ((children + columns - 1) / columns);
        cut(begin, end, columnSize, [](const BoxTreeEntry& a, const BoxTreeEntry& b) {
            return a.box.minX + a.box.maxX < b.box.minX + b.box.maxX;
        });
        for (std::size_t column = begin; column < end; column += columnSize) {
            const std::size_t columnEnd = std::min(column + columnSize, end);
            cut(column, columnEnd, childCapacity, [](const BoxTreeEntry& a, const BoxTreeEntry& b) {
                return a.box.minY + a.box.maxY < b.box.minY + b.box.maxY;
            });
            for (std::size_t child = column; child < columnEnd; child += childCapacity) {
                order(child, std::min(child + childCapacity, columnEnd), childCapacity / kNodeSize);
            }
        }
    }

    /// Rearranges [begin, end) so that each run of `size` entries holds none that goes after
    /// any entry of a later run.
    template <class Less>
    void cut(std::size_t begin, std::size_t end, std::size_t size, Less less) {
        const auto base = m_entries.begin();
        for (std::size_t at = begin + size; at < end; at += size) {
            std::nth_element(base + static_cast<std::ptrdiff_t>(begin),
                             base + static_cast<std::ptrdiff_t>(at),
                             base + static_cast<std::ptrdiff_t>(end), less);
            begin = at;
        }
    }

    /// The boxes of the nodes, level by level from the leaves up to the root.
    void buildLevels() {
        if (m_entries.empty()) {
            return;
        }
        std::size_t count = (m_entries.size() + kNodeSize - 1) / kNodeSize;
        std::size_t total = 0;
        for (std::size_t n = count;; n = (n + kNodeSize - 1) / kNodeSize) {
            total += n;
            if (n == 1) {
                break;
            }
        }
        m_nodes.reserve(total);
        m_levelStart.push_back(0);
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t last = std::min((i + 1) * kNodeSize, m_entries.size());
            FloatBox b = m_entries[i * kNodeSize].box;
            for (std::size_t e = i * kNodeSize + 1; e < last; ++e) {
                b.add(m_entries[e].box);
            }
            m_nodes.push_back(b);
        }
        m_levelStart.push_back(m_nodes.size());
        while (count > 1) {
            const std::size_t below = m_levelStart[m_levelStart.size() - 2];
            const std::size_t belowEnd = m_nodes.size();
            count = (count + kNodeSize - 1) / kNodeSize;
            for (std::size_t i = 0; i < count; ++i) {
                const std::size_t first = below + i * kNodeSize;
                const std::size_t last = std::min(first + kNodeSize, belowEnd);
                FloatBox b = m_nodes[first];
                for (std::size_t n = first + 1; n < last; ++n) {
                    b.add(m_nodes[n]);
                }
                m_nodes.push_back(b);
            }
            m_levelStart.push_back(m_nodes.size());
        }
    }

    /// Node `index` of `level` (1: the leaves, whose children are entries).
    const FloatBox& node(std::uint32_t level, std::size_t index) const {
        return m_nodes[m_levelStart[level - 1] + index];
    }
    std::size_t levelSize(std::uint32_t level) const {
        return m_levelStart[level] - m_levelStart[level - 1];
    }

    Vec2 m_origin;
    std::vector<BoxTreeEntry> m_entries;
    /// Every level's node boxes, the leaves first and the root last.
    std::vector<FloatBox> m_nodes;
    /// Where each level starts in m_nodes (level L at m_levelStart[L - 1]), and the end.
    std::vector<std::size_t> m_levelStart;
};

} // namespace vexilo::cadhost::detail
