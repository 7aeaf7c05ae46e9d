// Painting, panning, zooming and picking in the drawing view.
#include "cadhost/ui/drawing_view.h"

#include "cadhost/ui/scene_painter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QWheelEvent>

#include <cmath>
#include <numbers>

namespace vexilo::cadhost {

namespace {

const QColor kCrosshair{220, 220, 220};
const QColor kMarker{255, 200, 0};
const QColor kHighlight{255, 255, 255};
const QColor kUcsIcon{200, 200, 200};
const QColor kHint{170, 170, 170};

} // namespace

void drawSnapMarker(QPainter& painter, QPointF at, SnapKind kind, const QColor& color) {
    constexpr double r = 6.0;
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(color, 2.0));
    switch (kind) {
    case SnapKind::Endpoint:
        painter.drawRect(QRectF(at.x() - r, at.y() - r, 2 * r, 2 * r));
        break;
    case SnapKind::Midpoint: {
        const QPointF triangle[3] = {{at.x(), at.y() - r},
                                     {at.x() + r * 0.94, at.y() + r * 0.6},
                                     {at.x() - r * 0.94, at.y() + r * 0.6}};
        painter.drawPolygon(triangle, 3);
        break;
    }
    case SnapKind::Center:
        painter.drawEllipse(at, r, r);
        break;
    case SnapKind::Node:
        painter.drawEllipse(at, r, r);
        painter.drawLine(QPointF(at.x() - r * 0.7, at.y() - r * 0.7),
                         QPointF(at.x() + r * 0.7, at.y() + r * 0.7));
        painter.drawLine(QPointF(at.x() - r * 0.7, at.y() + r * 0.7),
                         QPointF(at.x() + r * 0.7, at.y() - r * 0.7));
        break;
    case SnapKind::Quadrant: {
        const QPointF diamond[4] = {
            {at.x(), at.y() - r}, {at.x() + r, at.y()}, {at.x(), at.y() + r}, {at.x() - r, at.y()}};
        painter.drawPolygon(diamond, 4);
        break;
    }
    case SnapKind::Intersection:
        painter.drawLine(QPointF(at.x() - r, at.y() - r), QPointF(at.x() + r, at.y() + r));
        painter.drawLine(QPointF(at.x() - r, at.y() + r), QPointF(at.x() + r, at.y() - r));
        break;
    case SnapKind::Perpendicular: {
        const QPointF sign[3] = {
            {at.x() - r, at.y() - r}, {at.x() - r, at.y() + r}, {at.x() + r, at.y() + r}};
        painter.drawPolyline(sign, 3);
        painter.drawPolyline(QPolygonF({{at.x() - r, at.y()}, at, {at.x(), at.y() + r}}));
        break;
    }
    case SnapKind::Nearest: {
        const QPointF hourglass[4] = {{at.x() - r, at.y() - r},
                                      {at.x() + r, at.y() - r},
                                      {at.x() - r, at.y() + r},
                                      {at.x() + r, at.y() + r}};
        painter.drawPolygon(hourglass, 4);
        break;
    }
    }
}

QString snapKindName(SnapKind kind) {
    switch (kind) {
    case SnapKind::Endpoint:
        return DrawingView::tr("Endpoint");
    case SnapKind::Midpoint:
        return DrawingView::tr("Midpoint");
    case SnapKind::Center:
        return DrawingView::tr("Center");
    case SnapKind::Node:
        return DrawingView::tr("Node");
    case SnapKind::Quadrant:
        return DrawingView::tr("Quadrant");
    case SnapKind::Intersection:
        return DrawingView::tr("Intersection");
    case SnapKind::Perpendicular:
        return DrawingView::tr("Perpendicular");
    case SnapKind::Nearest:
        return DrawingView::tr("Nearest");
    }
    return {};
}

DrawingView::DrawingView(CommandLine& commandLine, QWidget* parent)
    : QWidget(parent), m_commandLine(commandLine) {
    setMouseTracking(true);
    setCursor(Qt::BlankCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 150);
}

DrawingView::~DrawingView() = default;

void DrawingView::setDocument(const OpenDocument* document) {
    m_document = document;
    m_scene = document != nullptr ? std::make_unique<Scene>(*document) : nullptr;
    m_firstPicturePending = document != nullptr;
    m_snap.reset();
    m_hover.reset();
    zoomExtents();
}

void DrawingView::zoomExtents() {
    m_view.width = std::max(1, width());
    m_view.height = std::max(1, height());
    if (m_scene) {
        m_view.fit(m_scene->extents());
    }
    m_atExtents = true;
    m_frameValid = false;
    refreshCursor();
    update();
}

void DrawingView::setViewport(const Viewport& view) {
    m_view = view;
    m_atExtents = false;
    m_frameValid = false;
    update();
}

QPointF DrawingView::toWidget(Vec3 world) const {
    const Vec2 s = m_view.toScreen(xy(world));
    return {s.x, s.y};
}

Vec2 DrawingView::cursorWorld() const {
    return m_view.toWorld({m_cursor.x(), m_cursor.y()});
}

void DrawingView::refreshCursor() {
    m_snap.reset();
    m_hover.reset();
    if (m_document != nullptr && !m_document->index.ready()) {
        // The marker and the highlight need the spatial index: they wait for it without holding
        // up the picture (a click waits for it in the command line).
        if (!m_cursorRefreshPending) {
            m_cursorRefreshPending = true;
            QTimer::singleShot(50, this, [this] {
                m_cursorRefreshPending = false;
                refreshCursor();
            });
        }
        update();
        return;
    }
    if (m_cursorInside && m_document != nullptr) {
        const Vec2 world = cursorWorld();
        m_snap = m_commandLine.snapAt(world, aperture());
        if (m_commandLine.wantsEntity()) {
            if (const auto hit = m_document->index->pick(world, pickHalfSize())) {
                m_hover = hit->entity;
            }
        }
    }
    const Vec3 p = m_commandLine.clickPoint(cursorWorld(), aperture());
    emit cursorMoved(p.x, p.y, p.z);
    update();
}

void DrawingView::trackCursor(QPointF position) {
    m_cursor = position;
    m_cursorInside = true;
    refreshCursor();
}

void DrawingView::resizeEvent(QResizeEvent*) {
    m_view.width = std::max(1, width());
    m_view.height = std::max(1, height());
    m_frameValid = false;
    // The picture's memory is taken (and touched) with the window, not when a drawing opens.
    m_frame = QImage(m_view.width, m_view.height, QImage::Format_RGB32);
    m_frame.fill(kBackground);
    if (m_atExtents && m_scene) {
        m_view.fit(m_scene->extents());
    }
}

void DrawingView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_scene) {
        painter.fillRect(rect(), kBackground);
        drawEmptyHint(painter);
    } else {
        // While panning the last picture is moved, not redrawn, unless it was drawn at another
        // scale or size.
        const bool reusable = m_panning && m_frameView.scale == m_view.scale &&
                              m_frameView.width == m_view.width &&
                              m_frameView.height == m_view.height;
        if (!m_frameValid && !reusable) {
            renderScene(*m_scene, m_view, m_frame);
            m_frameView = m_view;
            m_frameValid = true;
        }
        const Vec2 shift = m_view.toScreen(m_frameView.center) -
                           Vec2{m_frameView.width * 0.5, m_frameView.height * 0.5};
        if (shift.x != 0.0 || shift.y != 0.0) {
            painter.fillRect(rect(), kBackground);
        }
        painter.drawImage(QPointF(shift.x, shift.y), m_frame);
        drawUcsIcon(painter);
    }
    drawHighlight(painter);
    drawOverlay(painter);
    if (m_scene && m_firstPicturePending) {
        m_firstPicturePending = false;
        emit firstPictureShown();
    }
}

void DrawingView::drawEmptyHint(QPainter& painter) const {
    painter.setPen(kHint);
    painter.drawText(rect().adjusted(20, 20, -20, -20), Qt::AlignCenter | Qt::TextWordWrap,
                     tr("No drawing is open.\nOpen one with File > Open (Ctrl+O), the OPEN "
                        "command, or drop a .dxf file on this window."));
}

// AutoCAD's 2D UCS icon: arrows along the UCS X and Y axes as the plan view shows them
// (foreshortened when the XY plane is tilted), a "W" on the Y arm when the UCS is the world,
// a square at the corner when the XY plane is seen from above (+Z towards the viewer), and a
// broken pencil when it is seen edge-on. It sits in the lower-left corner whatever its turn.
void DrawingView::drawUcsIcon(QPainter& painter) const {
    if (m_document == nullptr) {
        return;
    }
    constexpr double kArm = 40.0;
    constexpr double kHead = 8.0;
    constexpr double kMargin = 14.0;
    const Ucs ucs = m_document->drawing->ucs();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(kUcsIcon, 1.5));
    painter.setBrush(kUcsIcon);
    if (std::abs(ucs.zAxis().z) < 0.05) {
        // Edge-on: a pencil broken in two, drawn across the corner.
        const QPointF base(kMargin + 6, height() - kMargin - 6);
        const QPointF d(std::sqrt(0.5), -std::sqrt(0.5));
        const QPointF n(-d.y(), d.x());
        const auto at = [&](double along, double across) { return base + d * along + n * across; };
        painter.setBrush(Qt::NoBrush);
        const QPointF first[] = {at(0, 0), at(10, -5), at(20, -5), at(24, 0), at(20, 5), at(10, 5)};
        painter.drawPolygon(first, 6);
        const QPointF second[] = {at(28, -5), at(48, -5), at(48, 5), at(28, 5), at(32, 0)};
        painter.drawPolygon(second, 5);
        painter.restore();
        return;
    }
    const Vec3 x = ucs.xAxis;
    const Vec3 y = ucs.yAxis;
    // Screen directions (y down), shortened as the view sees the axes.
    const QPointF xArm(x.x * kArm, -x.y * kArm);
    const QPointF yArm(y.x * kArm, -y.y * kArm);
    const QFontMetricsF metrics(font());
    const double label = metrics.height();
    const auto unit = [](QPointF v) {
        const double l = std::hypot(v.x(), v.y());
        return l > 0.0 ? v / l : QPointF(0, 0);
    };
    const QPointF xLabel = xArm + unit(xArm) * label * 0.8;
    const QPointF yLabel = yArm + unit(yArm) * label * 0.8;
    // Place the origin so that the arms and labels clear the corner by kMargin.
    double minX = 0.0;
    double maxY = 0.0;
    for (const QPointF& p : {xArm, yArm, xLabel, yLabel}) {
        minX = std::min(minX, p.x() - label * 0.5);
        maxY = std::max(maxY, p.y() + label * 0.5);
    }
    const QPointF origin(kMargin - minX, height() - kMargin - maxY);
    const auto arrow = [&](QPointF arm, const QString& name, QPointF labelAt) {
        const QPointF tip = origin + arm;
        const QPointF u = unit(arm);
        const QPointF n(-u.y(), u.x());
        painter.drawLine(origin, tip);
        const QPointF head[] = {tip, tip - u * kHead + n * (kHead * 0.4),
                                tip - u * kHead - n * (kHead * 0.4)};
        painter.drawPolygon(head, 3);
        const QPointF c = origin + labelAt;
        painter.drawText(QRectF(c.x() - label, c.y() - label * 0.5, 2 * label, label),
                         Qt::AlignCenter, name);
    };
    arrow(xArm, QStringLiteral("X"), xLabel);
    arrow(yArm, QStringLiteral("Y"), yLabel);
    if (ucs.zAxis().z > 0.0) {
        painter.setBrush(Qt::NoBrush);
        const double side = 7.0;
        const QPointF corner[] = {origin, origin + unit(xArm) * side,
                                  origin + unit(xArm) * side + unit(yArm) * side,
                                  origin + unit(yArm) * side};
        painter.drawPolygon(corner, 4);
    }
    if (ucs.isWorld()) {
        const QPointF c = origin + yArm * 0.5 + unit(xArm) * (label * 0.7);
        painter.drawText(QRectF(c.x() - label, c.y() - label * 0.5, 2 * label, label),
                         Qt::AlignCenter, QStringLiteral("W"));
    }
    painter.restore();
}

void DrawingView::drawHighlight(QPainter& painter) const {
    if (!m_hover || m_document == nullptr) {
        return;
    }
    QPen pen(kHighlight, 2.0, Qt::DashLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const Entity& entity = m_document->drawing->entities()[*m_hover];
    QPainterPath path;
    forEachPrimitive(*m_document->drawing, entity, [&](const Primitive& primitive) {
        if (const auto* s = std::get_if<SegmentPrimitive>(&primitive.shape)) {
            path.moveTo(toWidget(s->start));
            path.lineTo(toWidget(s->end));
        } else if (const auto* a = std::get_if<ArcPrimitive>(&primitive.shape)) {
            const int n = std::max(8, static_cast<int>(a->sweep / (std::numbers::pi / 48)));
            path.moveTo(toWidget(a->pointAt(0.0)));
            for (int i = 1; i <= n; ++i) {
                path.lineTo(toWidget(a->pointAt(static_cast<double>(i) / n)));
            }
        } else if (const auto* p = std::get_if<PointPrimitive>(&primitive.shape)) {
            path.addEllipse(toWidget(p->position), 4.0, 4.0);
        } else if (const auto* f = std::get_if<FillPrimitive>(&primitive.shape)) {
            std::size_t at = 0;
            for (const std::uint32_t n : f->loopSizes) {
                for (std::uint32_t i = 0; i <= n && n > 0 && at + n <= f->points.size(); ++i) {
                    const QPointF q = toWidget(f->points[at + i % n]);
                    if (i == 0) {
                        path.moveTo(q);
                    } else {
                        path.lineTo(q);
                    }
                }
                at += n;
            }
        } else if (const auto* t = std::get_if<TextPrimitive>(&primitive.shape)) {
            const auto c = t->corners();
            path.moveTo(toWidget({c[0].x, c[0].y, 0}));
            for (int i = 1; i <= 4; ++i) {
                path.lineTo(toWidget({c[i % 4].x, c[i % 4].y, 0}));
            }
        }
        return path.elementCount() < 200000;
    });
    painter.drawPath(path);
    painter.setRenderHint(QPainter::Antialiasing, false);
}

void DrawingView::drawOverlay(QPainter& painter) const {
    if (!m_cursorInside) {
        return;
    }
    const QPointF c = m_cursor;
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kCrosshair, 1.0));
    const bool pickBox = !m_commandLine.wantsPoint();
    const double gap = pickBox ? kPickBoxPixels : 0.0;
    painter.drawLine(QPointF(0, c.y()), QPointF(c.x() - gap, c.y()));
    painter.drawLine(QPointF(c.x() + gap, c.y()), QPointF(width(), c.y()));
    painter.drawLine(QPointF(c.x(), 0), QPointF(c.x(), c.y() - gap));
    painter.drawLine(QPointF(c.x(), c.y() + gap), QPointF(c.x(), height()));
    if (pickBox) {
        painter.drawRect(QRectF(c.x() - kPickBoxPixels, c.y() - kPickBoxPixels, 2 * kPickBoxPixels,
                                2 * kPickBoxPixels));
    }
    if (m_snap) {
        painter.setRenderHint(QPainter::Antialiasing, true);
        const QPointF at = toWidget(m_snap->point);
        drawSnapMarker(painter, at, m_snap->kind, kMarker);
        const QString label = snapKindName(m_snap->kind);
        const QFontMetrics metrics(font());
        const QRectF box(at.x() + 12, at.y() + 10, metrics.horizontalAdvance(label) + 8,
                         metrics.height() + 4);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 210));
        painter.drawRect(box);
        painter.setPen(Qt::black);
        painter.drawText(box, Qt::AlignCenter, label);
        painter.setRenderHint(QPainter::Antialiasing, false);
    }
}

void DrawingView::mousePressEvent(QMouseEvent* event) {
    trackCursor(event->position());
    switch (event->button()) {
    case Qt::LeftButton:
        m_commandLine.click(cursorWorld(), aperture(), pickHalfSize());
        break;
    case Qt::RightButton:
        m_commandLine.rightClick();
        break;
    case Qt::MiddleButton:
        m_panning = true;
        m_panLast = event->position();
        break;
    default:
        break;
    }
    refreshCursor();
}

void DrawingView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton) {
        m_panning = false;
        zoomExtents();
        return;
    }
    mousePressEvent(event);
}

void DrawingView::mouseMoveEvent(QMouseEvent* event) {
    if (m_panning) {
        const QPointF delta = event->position() - m_panLast;
        m_panLast = event->position();
        m_view.center = m_view.center - Vec2{delta.x() / m_view.scale, -delta.y() / m_view.scale};
        m_atExtents = false;
    }
    trackCursor(event->position());
}

void DrawingView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton && m_panning) {
        m_panning = false;
        m_frameValid = false;
        update();
    }
}

void DrawingView::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    const double factor = std::pow(1.25, notches);
    // Beyond these scales the picture says nothing and float coordinates lose the drawing.
    constexpr double kMinScale = 1e-9;
    constexpr double kMaxScale = 1e9;
    const double scale = m_view.scale * factor;
    if (notches == 0.0 || !(scale > kMinScale && scale < kMaxScale)) {
        return;
    }
    m_view.zoomAbout({event->position().x(), event->position().y()}, factor);
    m_atExtents = false;
    m_frameValid = false;
    trackCursor(event->position());
}

void DrawingView::keyPressEvent(QKeyEvent* event) {
    if (m_keyTarget != nullptr) {
        m_keyTarget->setFocus();
        QApplication::sendEvent(m_keyTarget, event);
        return;
    }
    QWidget::keyPressEvent(event);
}

void DrawingView::leaveEvent(QEvent*) {
    m_cursorInside = false;
    m_snap.reset();
    m_hover.reset();
    update();
}

} // namespace vexilo::cadhost
