// Tessellation of a drawing into bucketed batches, and the rasterizer that draws them.
#include "cadhost/ui/scene.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <exception>
#include <limits>
#include <memory>
#include <numbers>
#include <system_error>
#include <thread>

namespace vexilo::cadhost {

namespace {

constexpr double kChordAngle = 2.0 * std::numbers::pi / 96.0;

bool overlaps(const Box2& a, const Box2& b) {
    return !(a.max.x < b.min.x || b.max.x < a.min.x || a.max.y < b.min.y || b.max.y < a.min.y);
}

// Liang–Barsky: clips the segment to [0, w) × [0, h); false when nothing is left.
bool clip(double& x0, double& y0, double& x1, double& y1, double w, double h) {
    double t0 = 0.0;
    double t1 = 1.0;
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0, w - x0, y0, h - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) {
                return false;
            }
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0.0) {
            t0 = std::max(t0, r);
        } else {
            t1 = std::min(t1, r);
        }
        if (t0 > t1) {
            return false;
        }
    }
    x1 = x0 + t1 * dx;
    y1 = y0 + t1 * dy;
    x0 = x0 + t0 * dx;
    y0 = y0 + t0 * dy;
    return true;
}

// The grid cell of a position in cell units, clamped in double: a float vertex may lie a
// rounding step outside the extents, which across a cell of 1e-9 is billions of cells.
int gridCell(double cells) {
    if (!(cells > 0.0)) {
        return 0;
    }
    return static_cast<int>(std::min(cells, static_cast<double>(Scene::kGrid - 1)));
}

// A block of a cell's runs: 256 words (1 KB).
constexpr std::uint32_t kBlockWords = 256;
constexpr std::uint32_t kNoBlock = 0xFFFFFFFFu;
constexpr std::size_t kGridSample = 16384;

// Where segments are filed: a kGrid × kGrid grid in batch coordinates.
struct Grid {
    /// The WCS point batch coordinates are relative to.
    Vec2 origin;
    /// The grid's lower left corner, in batch coordinates, and the size of a cell.
    double minX = 0.0;
    double minY = 0.0;
    double cellW = 1.0;
    double cellH = 1.0;

    std::size_t cellOf(double x, double y) const {
        const int cx = gridCell((x - minX) / cellW);
        const int cy = gridCell((y - minY) / cellH);
        return static_cast<std::size_t>(cy) * Scene::kGrid + static_cast<std::size_t>(cx);
    }
};

// The grid spans where the entities lie, judged by the first piece of up to kGridSample of
// them spread over the drawing, without the outermost thousandth on each side: a stray entity
// far off (a block left at 0,0 beside a surveyed site) must not squeeze the whole site into one
// cell. What lies beyond falls into the border cells, whose boxes grow to hold it. Its middle
// is the origin, so that batch coordinates are small where the drawing is.
Grid gridOf(const Drawing& drawing) {
    const auto entities = drawing.entities();
    const std::size_t samples = std::min(entities.size(), kGridSample);
    std::vector<double> xs;
    std::vector<double> ys;
    const PrimitiveSink first = [&](const Primitive& p) {
        const Box2 b = primitiveBounds(p.shape);
        if (!b.isEmpty() && isDrawable(b)) {
            xs.push_back((b.min.x + b.max.x) * 0.5);
            ys.push_back((b.min.y + b.max.y) * 0.5);
        }
        return false;
    };
    for (std::size_t k = 0; k < samples; ++k) {
        forEachPrimitive(drawing, entities[k * entities.size() / samples], first);
    }
    Grid grid;
    if (xs.empty()) {
        return grid;
    }
    const auto quantile = [](std::vector<double>& v, double q) {
        const auto at =
            v.begin() + static_cast<std::ptrdiff_t>(q * static_cast<double>(v.size() - 1));
        std::nth_element(v.begin(), at, v.end());
        return *at;
    };
    const double x0 = quantile(xs, 0.001);
    const double x1 = quantile(xs, 0.999);
    const double y0 = quantile(ys, 0.001);
    const double y1 = quantile(ys, 0.999);
    grid.origin = {x0 + (x1 - x0) * 0.5, y0 + (y1 - y0) * 0.5};
    grid.minX = x0 - grid.origin.x;
    grid.minY = y0 - grid.origin.y;
    grid.cellW = std::max((x1 - x0) / Scene::kGrid, 1e-9);
    grid.cellH = std::max((y1 - y0) / Scene::kGrid, 1e-9);
    return grid;
}

// Runs task(0) … task(count - 1): the first here, the others on threads of their own (here too
// when no thread can be had), and rethrows what the first failing task threw.
template <class Task> void runOnThreads(std::size_t count, const Task& task) {
    std::vector<std::exception_ptr> errors(count);
    const auto run = [&](std::size_t k) {
        try {
            task(k);
        } catch (...) {
            errors[k] = std::current_exception();
        }
    };
    std::vector<std::thread> workers;
    std::size_t started = 1;
    for (; started < count; ++started) {
        try {
            workers.emplace_back(run, started);
        } catch (const std::system_error&) {
            break;
        }
    }
    run(0);
    for (std::size_t k = started; k < count; ++k) {
        run(k);
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    for (const std::exception_ptr& error : errors) {
        if (error) {
            std::rethrow_exception(error);
        }
    }
}

// Draws pixel-centre to pixel-centre with a 16.16 fixed-point DDA: one pixel per step along the
// longer axis, aliased, one pixel wide (as CAD programs draw thin lines). A raster may own only
// the rows [top, bottom) of the picture, so that several threads draw one picture in bands; it
// then sets exactly the pixels of those rows that the whole picture's DDA sets.
class Raster {
public:
    Raster(std::uint32_t* pixels, std::size_t stride, int width, int height, int top, int bottom)
        : m_pixels(pixels), m_stride(stride), m_w(width), m_h(height), m_top(top), m_bottom(bottom),
          m_maxX(width - 1e-6), m_maxY(height - 1e-6) {}

    void line(double x0, double y0, double x1, double y1, std::uint32_t rgb) {
        if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) {
            return;
        }
        if ((x0 < 0.0 && x1 < 0.0) || (y0 < m_top && y1 < m_top) || (x0 > m_maxX && x1 > m_maxX) ||
            (y0 > m_maxY && y1 > m_maxY) || (y0 >= m_bottom && y1 >= m_bottom)) {
            return;
        }
        if (x0 < 0.0 || x1 < 0.0 || y0 < 0.0 || y1 < 0.0 || x0 > m_maxX || x1 > m_maxX ||
            y0 > m_maxY || y1 > m_maxY) {
            if (!clip(x0, y0, x1, y1, m_maxX, m_maxY)) {
                return;
            }
            // Clipping an end far outside computes the cut point as a difference of huge
            // numbers; its rounding may land it a little outside the picture.
            x0 = std::clamp(x0, 0.0, m_maxX);
            y0 = std::clamp(y0, 0.0, m_maxY);
            x1 = std::clamp(x1, 0.0, m_maxX);
            y1 = std::clamp(y1, 0.0, m_maxY);
        }
        const int ix0 = static_cast<int>(x0);
        const int iy0 = static_cast<int>(y0);
        const int ix1 = static_cast<int>(x1);
        const int iy1 = static_cast<int>(y1);
        const int dx = ix1 - ix0;
        const int dy = iy1 - iy0;
        const int n = std::max(std::abs(dx), std::abs(dy));
        if (n == 0) {
            set(ix0, iy0, rgb);
            return;
        }
        const std::int64_t fx0 = (std::int64_t{ix0} << 16) + 0x8000;
        const std::int64_t fy0 = (std::int64_t{iy0} << 16) + 0x8000;
        const std::int64_t sx = (std::int64_t{dx} << 16) / n;
        const std::int64_t sy = (std::int64_t{dy} << 16) / n;
        std::int64_t first = 0;
        std::int64_t last = n;
        if (std::min(iy0, iy1) < m_top || std::max(iy0, iy1) >= m_bottom) {
            // The steps whose row lies in the band: row (fy0 + i·sy) >> 16 is monotonic in i.
            const std::int64_t top = std::int64_t{m_top} << 16;
            const std::int64_t bottom = std::int64_t{m_bottom} << 16;
            if (sy > 0) {
                first = std::max<std::int64_t>(0, ceilDiv(top - fy0, sy));
                last = std::min<std::int64_t>(n, ceilDiv(bottom - fy0, sy) - 1);
            } else if (sy < 0) {
                first = std::max<std::int64_t>(0, floorDiv(fy0 - bottom, -sy) + 1);
                last = std::min<std::int64_t>(n, floorDiv(fy0 - top, -sy));
            } else if (fy0 < top || fy0 >= bottom) {
                return;
            }
        }
        std::int64_t fx = fx0 + first * sx;
        std::int64_t fy = fy0 + first * sy;
        for (std::int64_t i = first; i <= last; ++i) {
            m_pixels[static_cast<std::size_t>(fy >> 16) * m_stride + (fx >> 16)] = rgb;
            fx += sx;
            fy += sy;
        }
    }

    // A POINT: a small cross, so that survey points show at any zoom.
    void node(double x, double y, std::uint32_t rgb) {
        if (!(x >= 0.0 && y >= 0.0 && x <= m_maxX && y <= m_maxY)) {
            return;
        }
        const int ix = static_cast<int>(x);
        const int iy = static_cast<int>(y);
        for (int d = -1; d <= 1; ++d) {
            set(ix + d, iy, rgb);
            set(ix, iy + d, rgb);
        }
    }

private:
    // Division rounding down and up, for a positive divisor.
    static std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
        return a >= 0 ? a / b : -((-a + b - 1) / b);
    }
    static std::int64_t ceilDiv(std::int64_t a, std::int64_t b) { return -floorDiv(-a, b); }

    void set(int x, int y, std::uint32_t rgb) {
        if (x >= 0 && y >= m_top && x < m_w && y < m_bottom && y < m_h) {
            m_pixels[static_cast<std::size_t>(y) * m_stride + x] = rgb;
        }
    }

    std::uint32_t* m_pixels;
    std::size_t m_stride;
    int m_w;
    int m_h;
    int m_top;
    int m_bottom;
    double m_maxX;
    double m_maxY;
};

} // namespace

std::uint32_t packRgb(Rgb color) {
    return 0xFF000000u | (std::uint32_t{color.r} << 16) | (std::uint32_t{color.g} << 8) |
           std::uint32_t{color.b};
}

/// What one thread tessellated: per grid cell, a chain of blocks of runs. A run is a colour
/// (0xAARRGGBB), a point count n and n points (x, y as float bits): a polyline of n - 1
/// segments drawn one after the other, or for n = 1 a POINT. Consecutive segments of one
/// colour that share their ends make one run, so a polyline keeps each vertex once.
struct Scene::Part {
    struct Chain {
        std::uint32_t first = kNoBlock;
        std::uint32_t last = kNoBlock;
        /// Segments and points in the cell.
        std::uint32_t count = 0;
    };
    MappedVector<std::uint32_t> words;
    /// Per block: the block after it in its cell, and how many of its words hold runs.
    std::vector<std::uint32_t> next;
    std::vector<std::uint16_t> used;
    std::vector<Chain> chains;
};

/// Tessellates one stretch of the entities into its Part, and what is not a thin segment into
/// its own lists, which the scene then joins in order.
class Scene::PartBuilder {
    /// A segment, or a POINT (`node`), in batch coordinates.
    struct PendingSegment {
        float x0, y0, x1, y1;
        std::uint32_t rgb;
        bool node;
    };
    static constexpr std::size_t kNoRun = ~std::size_t{0};

public:
    PartBuilder(const Drawing& drawing, const Grid& grid, Part& part)
        : m_drawing(drawing), m_grid(grid), m_part(part) {
        m_part.chains.assign(static_cast<std::size_t>(kGrid) * kGrid, Part::Chain{});
        m_cellBoxes.assign(static_cast<std::size_t>(kGrid) * kGrid, CellBox{});
    }

    void run(std::size_t begin, std::size_t end) {
        const auto entities = m_drawing.entities();
        PrimitiveOptions options;
        options.linetypes = true;
        const PrimitiveSink sink = [this](const Primitive& p) { return take(p); };
        for (std::size_t i = begin; i < end; ++i) {
            const Extras::Marks marks = extras.marks();
            m_pending.clear();
            m_entityBox = Box2{};
            m_outside = false;
            forEachPrimitive(m_drawing, entities[i], sink, options);
            if (m_outside) {
                extras.truncate(marks);
                continue;
            }
            for (const PendingSegment& s : m_pending) {
                place(s);
            }
            extents.add(m_entityBox);
        }
    }

    /// The box of the segments in cell `c`, in WCS.
    Box2 cellBox(std::size_t c) const {
        const CellBox& b = m_cellBoxes[c];
        Box2 box;
        if (b.minX <= b.maxX) {
            box.add(Vec2{b.minX + m_grid.origin.x, b.minY + m_grid.origin.y});
            box.add(Vec2{b.maxX + m_grid.origin.x, b.maxY + m_grid.origin.y});
        }
        return box;
    }

    Extras extras;
    Box2 extents;

private:
    struct CellBox {
        float minX = std::numeric_limits<float>::infinity();
        float minY = std::numeric_limits<float>::infinity();
        float maxX = -std::numeric_limits<float>::infinity();
        float maxY = -std::numeric_limits<float>::infinity();
    };

    static bool drawable(Vec3 p, double margin) {
        return std::abs(p.x) + margin <= kMaxDrawableCoordinate &&
               std::abs(p.y) + margin <= kMaxDrawableCoordinate;
    }

    void addSegment(Vec3 a, Vec3 b, std::uint32_t rgb, bool node = false) {
        const Vec2 o = m_grid.origin;
        m_pending.push_back({static_cast<float>(a.x - o.x), static_cast<float>(a.y - o.y),
                             static_cast<float>(b.x - o.x), static_cast<float>(b.y - o.y), rgb,
                             node});
        m_entityBox.add(xy(a));
        m_entityBox.add(xy(b));
    }

    void addWide(Vec3 a, Vec3 b, double wa, double wb, std::uint32_t rgb) {
        if (wa > 0.0 || wb > 0.0) {
            extras.wide.push_back({xy(a), xy(b), wa, wb, rgb});
        }
    }

    // Files a segment (or a POINT) under the cell of its middle, behind those filed there
    // before: on the end of the last run when it goes on from there, else as a run of its own.
    void place(const PendingSegment& s) {
        const std::size_t cell =
            m_grid.cellOf((double(s.x0) + s.x1) * 0.5, (double(s.y0) + s.y1) * 0.5);
        Part::Chain& chain = m_part.chains[cell];
        ++chain.count;
        auto& words = m_part.words;
        if (!s.node && m_run != kNoRun && m_runCell == cell && m_runRgb == s.rgb &&
            m_runEndX == s.x0 && m_runEndY == s.y0 && m_part.used[chain.last] + 2u <= kBlockWords) {
            const std::size_t at = std::size_t{chain.last} * kBlockWords + m_part.used[chain.last];
            words[at] = std::bit_cast<std::uint32_t>(s.x1);
            words[at + 1] = std::bit_cast<std::uint32_t>(s.y1);
            m_part.used[chain.last] = static_cast<std::uint16_t>(m_part.used[chain.last] + 2);
            ++words[m_run + 1];
        } else {
            const std::uint32_t need = s.node ? 4 : 6;
            if (chain.last == kNoBlock || m_part.used[chain.last] + need > kBlockWords) {
                const auto block = static_cast<std::uint32_t>(m_part.next.size());
                words.resize(words.size() + kBlockWords);
                m_part.next.push_back(kNoBlock);
                m_part.used.push_back(0);
                if (chain.last == kNoBlock) {
                    chain.first = block;
                } else {
                    m_part.next[chain.last] = block;
                }
                chain.last = block;
            }
            const std::size_t at = std::size_t{chain.last} * kBlockWords + m_part.used[chain.last];
            words[at] = s.rgb;
            words[at + 1] = s.node ? 1 : 2;
            words[at + 2] = std::bit_cast<std::uint32_t>(s.x0);
            words[at + 3] = std::bit_cast<std::uint32_t>(s.y0);
            if (!s.node) {
                words[at + 4] = std::bit_cast<std::uint32_t>(s.x1);
                words[at + 5] = std::bit_cast<std::uint32_t>(s.y1);
            }
            m_part.used[chain.last] = static_cast<std::uint16_t>(m_part.used[chain.last] + need);
            m_run = s.node ? kNoRun : at;
            m_runCell = cell;
            m_runRgb = s.rgb;
        }
        m_runEndX = s.x1;
        m_runEndY = s.y1;
        CellBox& box = m_cellBoxes[cell];
        box.minX = std::min({box.minX, s.x0, s.x1});
        box.minY = std::min({box.minY, s.y0, s.y1});
        box.maxX = std::max({box.maxX, s.x0, s.x1});
        box.maxY = std::max({box.maxY, s.y0, s.y1});
    }

    // Files one primitive of the current entity; false (and m_outside) when it reaches beyond
    // the drawable range, which leaves the whole entity out.
    bool take(const Primitive& primitive) {
        const std::uint32_t rgb = packRgb(primitive.color);
        if (const auto* s = std::get_if<SegmentPrimitive>(&primitive.shape)) {
            if (!drawable(s->start, 0.0) || !drawable(s->end, 0.0)) {
                m_outside = true;
                return false;
            }
            addSegment(s->start, s->end, rgb);
            addWide(s->start, s->end, s->startWidth, s->endWidth, rgb);
        } else if (const auto* a = std::get_if<ArcPrimitive>(&primitive.shape)) {
            if (!drawable(a->center, std::abs(a->radius)) || !std::isfinite(a->sweep)) {
                m_outside = true;
                return false;
            }
            const double sweep = std::min(std::abs(a->sweep), 2.0 * std::numbers::pi);
            const int n = std::max(2, static_cast<int>(std::ceil(sweep / kChordAngle)));
            Vec3 previous = a->pointAt(0.0);
            for (int i = 1; i <= n; ++i) {
                const double t = static_cast<double>(i) / n;
                const Vec3 next = a->pointAt(t);
                addSegment(previous, next, rgb);
                const double w0 = a->startWidth + (a->endWidth - a->startWidth) * (i - 1) / n;
                const double w1 = a->startWidth + (a->endWidth - a->startWidth) * t;
                addWide(previous, next, w0, w1, rgb);
                previous = next;
            }
        } else if (const auto* p = std::get_if<PointPrimitive>(&primitive.shape)) {
            if (!drawable(p->position, 0.0)) {
                m_outside = true;
                return false;
            }
            addSegment(p->position, p->position, rgb, true);
        } else if (const auto* f = std::get_if<FillPrimitive>(&primitive.shape)) {
            for (const Vec3 point : f->points) {
                if (!drawable(point, 0.0)) {
                    m_outside = true;
                    return false;
                }
            }
            SceneFill fill;
            fill.firstPoint = static_cast<std::uint32_t>(extras.fillPoints.size());
            fill.firstLoop = static_cast<std::uint32_t>(extras.fillLoops.size());
            fill.loopCount = static_cast<std::uint32_t>(f->loopSizes.size());
            fill.rgb = rgb;
            for (const Vec3 point : f->points) {
                extras.fillPoints.push_back(xy(point));
                fill.box.add(xy(point));
            }
            extras.fillLoops.insert(extras.fillLoops.end(), f->loopSizes.begin(),
                                    f->loopSizes.end());
            m_entityBox.add(fill.box);
            extras.fills.push_back(fill);
        } else if (const auto* r = std::get_if<RayPrimitive>(&primitive.shape)) {
            if (!drawable(r->origin, 0.0) || !isFinite(r->direction)) {
                m_outside = true;
                return false;
            }
            extras.rays.push_back({xy(r->origin), xy(r->direction), r->bothWays, rgb});
            m_entityBox.add(xy(r->origin));
        } else if (const auto* t = std::get_if<TextPrimitive>(&primitive.shape)) {
            SceneText text{*t, rgb, {}};
            for (const Vec2 corner : t->corners()) {
                text.box.add(corner);
            }
            if (!isDrawable(text.box)) {
                m_outside = true;
                return false;
            }
            m_entityBox.add(text.box);
            extras.texts.push_back(text);
        }
        return true;
    }

    const Drawing& m_drawing;
    const Grid& m_grid;
    Part& m_part;
    std::vector<CellBox> m_cellBoxes;
    /// The current entity's segments, filed once the whole entity turned out drawable.
    std::vector<PendingSegment> m_pending;
    /// The last run filed (the word of its colour), while another segment may go on it.
    std::size_t m_run = kNoRun;
    std::size_t m_runCell = 0;
    std::uint32_t m_runRgb = 0;
    float m_runEndX = 0.0f;
    float m_runEndY = 0.0f;
    Box2 m_entityBox;
    bool m_outside = false;
};

Scene::Extras::Marks Scene::Extras::marks() const {
    return {wide.size(),       texts.size(),     fills.size(),
            fillPoints.size(), fillLoops.size(), rays.size()};
}

void Scene::Extras::truncate(const Marks& marks) {
    wide.resize(marks.wide);
    texts.truncate(marks.texts);
    fills.resize(marks.fills);
    fillPoints.resize(marks.fillPoints);
    fillLoops.resize(marks.fillLoops);
    rays.resize(marks.rays);
}

void Scene::Extras::append(Extras& other) {
    wide.insert(wide.end(), other.wide.begin(), other.wide.end());
    texts.appendFrom(other.texts);
    rays.insert(rays.end(), other.rays.begin(), other.rays.end());
    const auto pointShift = static_cast<std::uint32_t>(fillPoints.size());
    const auto loopShift = static_cast<std::uint32_t>(fillLoops.size());
    for (SceneFill fill : other.fills) {
        fill.firstPoint += pointShift;
        fill.firstLoop += loopShift;
        fills.push_back(fill);
    }
    fillPoints.insert(fillPoints.end(), other.fillPoints.begin(), other.fillPoints.end());
    fillLoops.insert(fillLoops.end(), other.fillLoops.begin(), other.fillLoops.end());
    other = Extras{};
}

Scene::Scene(const OpenDocument& document, unsigned threads) {
    const Drawing& drawing = *document.drawing;
    const Grid grid = gridOf(drawing);
    m_origin = grid.origin;
    const std::size_t count = drawing.entities().size();
    // Stretches of a few thousand entities at least, unless the caller asked for a number.
    constexpr std::size_t kMinPartEntities = 4096;
    std::size_t parts = threads;
    if (parts == 0) {
        parts =
            std::min<std::size_t>(std::thread::hardware_concurrency(), count / kMinPartEntities);
    }
    parts = std::clamp<std::size_t>(parts, 1, std::max<std::size_t>(1, count));

    m_parts.resize(parts);
    std::vector<std::unique_ptr<PartBuilder>> builders;
    for (Part& part : m_parts) {
        builders.push_back(std::make_unique<PartBuilder>(drawing, grid, part));
    }
    runOnThreads(parts, [&](std::size_t k) {
        builders[k]->run(count * k / parts, count * (k + 1) / parts);
    });

    m_buckets.assign(static_cast<std::size_t>(kGrid) * kGrid, Bucket{});
    for (std::size_t k = 0; k < parts; ++k) {
        PartBuilder& b = *builders[k];
        const Part& part = m_parts[k];
        for (std::size_t c = 0; c < m_buckets.size(); ++c) {
            if (part.chains[c].count > 0) {
                m_buckets[c].count += part.chains[c].count;
                m_buckets[c].box.add(b.cellBox(c));
                m_segmentCount += part.chains[c].count;
            }
        }
        m_extents.add(b.extents);
        m_extras.append(b.extras);
        builders[k].reset();
    }
}

Scene::~Scene() = default;

RasterStats Scene::rasterize(const Viewport& view, std::uint32_t* pixels, std::size_t stride,
                             double greekPixels, std::vector<std::size_t>* bigTexts,
                             unsigned threads) const {
    RasterStats stats;
    if (view.width <= 0 || view.height <= 0) {
        return stats;
    }
    const Box2 visible = view.visibleBox();
    for (const Bucket& bucket : m_buckets) {
        if (bucket.count > 0 && overlaps(bucket.box, visible)) {
            ++stats.buckets;
            stats.segments += bucket.count;
        }
    }
    for (std::size_t i = 0; i < m_extras.texts.size(); ++i) {
        if (overlaps(m_extras.texts[i].box, visible)) {
            ++stats.texts;
            if (bigTexts != nullptr && m_extras.texts[i].shape.height * view.scale >= greekPixels) {
                bigTexts->push_back(i);
            }
        }
    }
    // A picture of many segments is drawn in bands of rows, one a core; each band takes the
    // cells that reach into it, in draw order, and sets the pixels of its rows.
    constexpr std::size_t kSegmentsForBands = 200'000;
    if (threads == 0) {
        threads = stats.segments < kSegmentsForBands ? 1 : std::thread::hardware_concurrency();
    }
    const auto bands = std::clamp<std::size_t>(threads, 1, static_cast<std::size_t>(view.height));
    const auto rows = [&](std::size_t k) {
        return static_cast<int>(static_cast<std::size_t>(view.height) * k / bands);
    };
    runOnThreads(bands, [&](std::size_t k) {
        rasterizeRows(view, pixels, stride, greekPixels, rows(k), rows(k + 1));
    });
    return stats;
}

void Scene::rasterizeRows(const Viewport& view, std::uint32_t* pixels, std::size_t stride,
                          double greekPixels, int top, int bottom) const {
    Raster raster(pixels, stride, view.width, view.height, top, bottom);
    // What can reach the rows, with a pixel to spare each way (a node's cross is 3 pixels).
    Box2 band = view.visibleBox();
    band.max.y = std::min(band.max.y, view.toWorld({0.0, top - 1.0}).y);
    band.min.y = std::max(band.min.y, view.toWorld({0.0, bottom + 1.0}).y);
    const double s = view.scale;
    const double tx = (m_origin.x - view.center.x) * s + view.width * 0.5;
    const double ty = view.height * 0.5 - (m_origin.y - view.center.y) * s;
    for (std::size_t c = 0; c < m_buckets.size(); ++c) {
        const Bucket& bucket = m_buckets[c];
        if (bucket.count == 0 || !overlaps(bucket.box, band)) {
            continue;
        }
        for (const Part& part : m_parts) {
            const Part::Chain& chain = part.chains[c];
            for (std::uint32_t block = chain.first; block != kNoBlock; block = part.next[block]) {
                if (part.next[block] != kNoBlock) {
                    // The next block of the cell lies elsewhere: fetch it while this one is
                    // drawn.
                    const auto* ahead = reinterpret_cast<const char*>(
                        part.words.data() + std::size_t{part.next[block]} * kBlockWords);
                    for (std::size_t at = 0; at < kBlockWords * sizeof(std::uint32_t); at += 64) {
                        __builtin_prefetch(ahead + at);
                    }
                }
                const std::uint32_t* run = part.words.data() + std::size_t{block} * kBlockWords;
                const std::uint32_t* end = run + part.used[block];
                while (run != end) {
                    const std::uint32_t rgb = run[0];
                    const std::uint32_t n = run[1];
                    const std::uint32_t* point = run + 2;
                    run = point + 2 * std::size_t{n};
                    double x0 = tx + std::bit_cast<float>(point[0]) * s;
                    double y0 = ty - std::bit_cast<float>(point[1]) * s;
                    if (n == 1) {
                        raster.node(x0, y0, rgb);
                        continue;
                    }
                    for (point += 2; point != run; point += 2) {
                        const double x1 = tx + std::bit_cast<float>(point[0]) * s;
                        const double y1 = ty - std::bit_cast<float>(point[1]) * s;
                        if (!((y0 < top && y1 < top) || (y0 >= bottom && y1 >= bottom))) {
                            raster.line(x0, y0, x1, y1, rgb);
                        }
                        x0 = x1;
                        y0 = y1;
                    }
                }
            }
        }
    }
    // Infinite lines and rays: the part that can be on screen, from the point nearest the view's
    // centre half the view's diagonal (plus a margin) each way.
    const double reach = std::hypot(view.width, view.height) / s;
    for (const SceneRay& ray : m_extras.rays) {
        const double len = std::hypot(ray.direction.x, ray.direction.y);
        if (!(len > 0.0) || !(reach > 0.0) || !std::isfinite(reach)) {
            continue;
        }
        const Vec2 d = ray.direction * (1.0 / len);
        const double nearest =
            (view.center.x - ray.origin.x) * d.x + (view.center.y - ray.origin.y) * d.y;
        double from = nearest - reach;
        const double to = nearest + reach;
        if (!ray.bothWays) {
            from = std::max(from, 0.0);
        }
        if (to <= from) {
            continue;
        }
        const Vec2 a = view.toScreen(ray.origin + d * from);
        const Vec2 b = view.toScreen(ray.origin + d * to);
        raster.line(a.x, a.y, b.x, b.y, ray.rgb);
    }
    // Texts too small to read: a stroke through the middle of the box.
    for (const SceneText& text : m_extras.texts) {
        if (!overlaps(text.box, band) || text.shape.height * s >= greekPixels) {
            continue;
        }
        const auto c = text.shape.corners();
        const Vec2 a = view.toScreen((c[0] + c[3]) * 0.5);
        const Vec2 b = view.toScreen((c[1] + c[2]) * 0.5);
        raster.line(a.x, a.y, b.x, b.y, text.rgb);
    }
}

} // namespace vexilo::cadhost
