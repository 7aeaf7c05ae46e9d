// The drawing view of vexilo-cad: shows the drawing, pans and zooms, draws the crosshair, the
// pick box and the object snap markers, and hands clicks to the command line.
#pragma once

#include "cadhost/commandline/command_line.h"
#include "cadhost/ui/scene.h"
#include "cadhost/ui/viewport.h"

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QWidget>

#include <memory>
#include <optional>

class QPainter;

namespace vexilo::cadhost {

/// The plan view of the drawing's model space (WCS XY), on a dark background, with the UCS icon
/// in the lower-left corner; with no drawing it says how to open one.
///
/// Mouse: left click answers the pending point (snapped) or entity request; right click is
/// Enter; middle drag pans (reusing the last picture while the button is held); wheel zooms
/// about the cursor; double middle click zooms to the extents. Keys typed here go to the
/// command line's input (`setKeyTarget`).
class DrawingView : public QWidget {
    Q_OBJECT
public:
    /// Half the side of the pick box, in pixels.
    static constexpr int kPickBoxPixels = 5;

    explicit DrawingView(CommandLine& commandLine, QWidget* parent = nullptr);
    ~DrawingView() override;

    /// Shows a drawing (null for none) at its extents. The document must outlive the view or
    /// the next call.
    void setDocument(const OpenDocument* document);
    /// Shows the whole drawing.
    void zoomExtents();
    /// Where the view is; settable for tests and tools.
    const Viewport& viewport() const { return m_view; }
    void setViewport(const Viewport& view);

    /// The pick box and the aperture (SnapSettings::aperturePixels) in drawing units at the
    /// current zoom.
    double pickHalfSize() const { return kPickBoxPixels / m_view.scale; }
    double aperture() const { return m_commandLine.snaps().aperturePixels / m_view.scale; }
    /// The widget position of a WCS point.
    QPointF toWidget(Vec3 world) const;

    /// The snap marker shown now, if any.
    const std::optional<SnapHit>& snapMarker() const { return m_snap; }
    /// Recomputes the marker and the highlight after the pending request changed.
    void refreshCursor();
    /// Widget that receives the keys typed on the view (the command line's input).
    void setKeyTarget(QWidget* target) { m_keyTarget = target; }

signals:
    /// The cursor moved; `world` is the point a click would give (the snap point when a marker
    /// shows), in WCS.
    void cursorMoved(double x, double y, double z);
    /// The view has shown a drawing's first picture (once per drawing).
    void firstPictureShown();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    Vec2 cursorWorld() const;
    void trackCursor(QPointF position);
    void drawOverlay(class QPainter& painter) const;
    void drawHighlight(class QPainter& painter) const;
    void drawUcsIcon(class QPainter& painter) const;
    void drawEmptyHint(class QPainter& painter) const;

    CommandLine& m_commandLine;
    const OpenDocument* m_document = nullptr;
    std::unique_ptr<Scene> m_scene;
    Viewport m_view;
    QImage m_frame;
    Viewport m_frameView;
    bool m_frameValid = false;
    /// True until the person pans or zooms: a resize then fits the extents again.
    bool m_atExtents = true;
    bool m_panning = false;
    QPointF m_panLast;
    QPointF m_cursor;
    bool m_cursorInside = false;
    std::optional<SnapHit> m_snap;
    std::optional<std::size_t> m_hover;
    QWidget* m_keyTarget = nullptr;
    bool m_firstPicturePending = false;
    bool m_cursorRefreshPending = false;
};

/// Draws AutoCAD's marker of a snap kind centred on `at`, in `color`: square endpoint, triangle
/// midpoint, circle centre, circle with a cross for a node, diamond quadrant, X intersection,
/// right-angle sign perpendicular, hourglass nearest.
void drawSnapMarker(QPainter& painter, QPointF at, SnapKind kind, const QColor& color);

/// The name of a snap kind as the marker's tooltip and OSNAP's dialog show it ("Endpoint").
QString snapKindName(SnapKind kind);

} // namespace vexilo::cadhost
