// The drawing's geometry tessellated once into screen-independent batches (WCS coordinates,
// relative to a fixed origin, as floats), bucketed on a grid so that a zoomed-in view only
// touches what it shows, and a software rasterizer that draws them into a 32-bit image. The
// tessellation runs on every core, each on its own stretch of the entities.
#pragma once

#include "cadhost/commandline/open_document.h"
#include "cadhost/model/mapped_vector.h"
#include "cadhost/model/primitives.h"
#include "cadhost/ui/viewport.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vexilo::cadhost {

/// A piece of a wide polyline, drawn as a filled quadrilateral when its width shows.
struct SceneWideSegment {
    Vec2 start;
    Vec2 end;
    double startWidth = 0.0;
    double endWidth = 0.0;
    std::uint32_t rgb = 0;
};

/// A text as the view lays it out with real glyphs; tiny ones are drawn as a stroke.
struct SceneText {
    TextPrimitive shape;
    std::uint32_t rgb = 0;
    Box2 box;
};

/// A filled area (SOLID, TRACE, solid HATCH): loops of points in Scene::fillPoints() from
/// `firstPoint`, their sizes in Scene::fillLoops() from `firstLoop`, filled even-odd.
struct SceneFill {
    std::uint32_t firstPoint = 0;
    std::uint32_t firstLoop = 0;
    std::uint32_t loopCount = 0;
    std::uint32_t rgb = 0;
    Box2 box;
};

/// An XLINE or RAY, clipped to the view when drawn.
struct SceneRay {
    Vec2 origin;
    Vec2 direction;
    bool bothWays = false;
    std::uint32_t rgb = 0;
};

/// How a scene was drawn, for the benchmark.
struct RasterStats {
    std::size_t buckets = 0;
    std::size_t segments = 0;
    std::size_t texts = 0;
};

/// The tessellated drawing. Built once per opened drawing; entities on layers that are off or
/// frozen are left out. Arcs become chords of at most 3.75° (96 a full circle).
class Scene {
public:
    /// Grid cells along each axis.
    static constexpr int kGrid = 32;

    /// Tessellates on `threads` threads (0: one per core). The scene, and every picture of it,
    /// is the same whatever the number.
    explicit Scene(const OpenDocument& document, unsigned threads = 0);
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    /// WCS point that batch coordinates are relative to (the middle of the grid).
    Vec2 origin() const { return m_origin; }
    /// The box of everything drawn.
    const Box2& extents() const { return m_extents; }
    std::size_t segmentCount() const { return m_segmentCount; }
    const std::vector<SceneWideSegment>& wideSegments() const { return m_extras.wide; }
    std::span<const SceneText> texts() const { return m_extras.texts; }
    const std::vector<SceneFill>& fills() const { return m_extras.fills; }
    const std::vector<Vec2>& fillPoints() const { return m_extras.fillPoints; }
    const std::vector<std::uint32_t>& fillLoops() const { return m_extras.fillLoops; }

    /// Draws the thin segments, infinite lines and points, and texts smaller than `greekPixels` as
    /// strokes, into `pixels` (0xAARRGGBB, `stride` pixels a row) of the viewport's size. Returns
    /// what it drew. Texts at least that tall are left to the caller (their indices in `bigTexts`).
    /// A picture of many segments is drawn in bands of rows on `threads` threads (0: one a core);
    /// the pixels are the same whatever the number.
    RasterStats rasterize(const Viewport& view, std::uint32_t* pixels, std::size_t stride,
                          double greekPixels, std::vector<std::size_t>* bigTexts,
                          unsigned threads = 0) const;

private:
    /// Draws what rasterize() draws into the rows [top, bottom) of the picture only.
    void rasterizeRows(const Viewport& view, std::uint32_t* pixels, std::size_t stride,
                       double greekPixels, int top, int bottom) const;

    struct Part;
    class PartBuilder;
    /// What is drawn beside the thin lines and points, in draw order.
    struct Extras {
        /// How long each list is: what to go back to when an entity turns out not drawable.
        struct Marks {
            std::size_t wide, texts, fills, fillPoints, fillLoops, rays;
        };

        std::vector<SceneWideSegment> wide;
        MappedVector<SceneText> texts;
        std::vector<SceneFill> fills;
        std::vector<Vec2> fillPoints;
        std::vector<std::uint32_t> fillLoops;
        std::vector<SceneRay> rays;

        Marks marks() const;
        void truncate(const Marks& marks);
        /// Moves `other`'s lists behind these (its fills' indices shifted to match).
        void append(Extras& other);
    };
    /// A grid cell: how many segments lie in it and their box.
    struct Bucket {
        std::uint32_t count = 0;
        Box2 box;
    };

    /// The segments of each stretch of entities, in draw order, cell by cell; drawing takes a
    /// cell's segments part after part, so each cell keeps the draw order.
    std::vector<Part> m_parts;
    std::vector<Bucket> m_buckets;
    std::size_t m_segmentCount = 0;
    Extras m_extras;
    Vec2 m_origin;
    Box2 m_extents;
};

/// 0xFFRRGGBB of a colour; ACI 7 (white) stays white on the dark background.
std::uint32_t packRgb(Rgb color);

} // namespace vexilo::cadhost
