// Draws a Scene into a QImage: the rasterized batches, then wide polylines and readable texts
// with QPainter.
#pragma once

#include "cadhost/ui/scene.h"
#include "cadhost/ui/viewport.h"

#include <QColor>
#include <QImage>

namespace vexilo::cadhost {

/// The view's background: dark, as CAD users expect, with ACI 7 drawn white on it.
inline const QColor kBackground{33, 40, 48};

/// Texts shorter than this many pixels are drawn as strokes.
inline constexpr double kGreekPixels = 5.0;

/// Renders `scene` as `view` shows it into `image` (Format_RGB32 or ARGB32_Premultiplied of the
/// viewport's size; it is resized if not). Returns what the rasterizer drew.
RasterStats renderScene(const Scene& scene, const Viewport& view, QImage& image);

} // namespace vexilo::cadhost
