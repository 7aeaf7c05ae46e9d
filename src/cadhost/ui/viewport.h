// The mapping between the drawing's WCS XY plane and the pixels of the view.
#pragma once

#include "cadhost/host_geometry.h"
#include "cadhost/model/drawing.h"

namespace vexilo::cadhost {

/// A plan view of the WCS: `center` (WCS) shows at the middle of a `width` × `height` pixel
/// area, `scale` pixels per drawing unit; screen y grows downwards, WCS y upwards.
struct Viewport {
    Vec2 center{0.0, 0.0};
    double scale = 1.0;
    int width = 1;
    int height = 1;

    /// Pixel position (x right, y down; pixel centres at .5) of a WCS point.
    Vec2 toScreen(Vec2 world) const {
        return {(world.x - center.x) * scale + width * 0.5,
                height * 0.5 - (world.y - center.y) * scale};
    }
    /// WCS point under a pixel position.
    Vec2 toWorld(Vec2 screen) const {
        return {center.x + (screen.x - width * 0.5) / scale,
                center.y - (screen.y - height * 0.5) / scale};
    }
    /// The WCS box the view shows.
    Box2 visibleBox() const {
        Box2 b;
        b.add(toWorld({0.0, 0.0}));
        b.add(toWorld({double(width), double(height)}));
        return b;
    }
    /// Scales by `factor` keeping the WCS point under `screen` in place.
    void zoomAbout(Vec2 screen, double factor) {
        const Vec2 anchor = toWorld(screen);
        scale *= factor;
        const Vec2 moved = toWorld(screen);
        center = center + (anchor - moved);
    }
    /// Shows `box` whole with a margin of `margin` (fraction of the view) on each side; an empty
    /// box leaves the view as it is, a box of no size centres on it.
    void fit(const Box2& box, double margin = 0.03) {
        if (box.isEmpty()) {
            return;
        }
        center = (box.min + box.max) * 0.5;
        const double w = box.max.x - box.min.x;
        const double h = box.max.y - box.min.y;
        const double usable = 1.0 - 2.0 * margin;
        double s = 0.0;
        if (w > 0.0 && h > 0.0) {
            s = std::min(width * usable / w, height * usable / h);
        } else if (w > 0.0 || h > 0.0) {
            s = std::min(width, height) * usable / std::max(w, h);
        }
        if (s > 0.0 && std::isfinite(s)) {
            scale = s;
        }
    }
};

} // namespace vexilo::cadhost
