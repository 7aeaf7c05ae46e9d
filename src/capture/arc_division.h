// The arc operation `yh`: pick an arc, read its geometry, show its length and ask for the
// number of points to divide it into.
#pragma once

#include "capture/capture_context.h"

#include <optional>
#include <string>
#include <string_view>

namespace vexilo::capture {

/// The arc request; no carriage return in front.
inline constexpr std::string_view kArcPrompt = "请选择圆弧对象<退出键取消选择>：";
/// Shown (title "提示信息") when the picked entity is not an arc, or no entity came back.
inline constexpr std::string_view kNotArcMessage = "选择的不是圆弧！";
/// The parts of the count request around the arc length.
inline constexpr std::string_view kArcLengthLead = "\r提示：圆弧长为：";
inline constexpr std::string_view kPointCountRequest = "请输入圆弧线点数<退出键取消输入>：";

/// The value of π the arc operation uses for its degree conversions.
inline constexpr double kArcPi = 3.1415926;
/// The fixed step, in drawing units, along the arc from its end point (user system).
inline constexpr double kArcStep = 10.0;

/// The count request for an arc of this length: kArcLengthLead, the length rounded to three
/// places (halves to even) as text, then kPointCountRequest.
std::string pointCountPrompt(double arcLength);

/// What one run of `yh` holds when it ends. Nothing of it is recorded anywhere; it is the
/// ground a division of the arc can be built on.
struct ArcRun {
    /// The count request was answered with a non-empty text and the run reached its end.
    bool answered = false;
    double radius = 0.0;
    /// Centre, start and end point: world system, with X and Y replaced by the user system's
    /// when "用户坐标系" is selected (Z stays the world Z). Absent when unreadable.
    std::optional<cad::Point3> center;
    std::optional<cad::Point3> startPoint;
    std::optional<cad::Point3> endPoint;
    double startAngle = 0.0; ///< radians, as the CAD returns it
    double endAngle = 0.0;   ///< radians, as the CAD returns it
    double arcLength = 0.0;
    std::string answer;        ///< the text typed at the count request
    double startDegrees = 0.0; ///< startAngle × 180 ÷ kArcPi
    double endDegrees = 0.0;   ///< endAngle × 180 ÷ kArcPi
    /// Azimuth in degrees (north = Y, clockwise): user system, from the centre to the end
    /// point; world system, from the start point towards the centre.
    double azimuth = 0.0;
    /// azimuth in radians, plus kArcStep ÷ radius in the user system.
    double theta = 0.0;
    /// centre Y + radius × cos theta and centre X + radius × sin theta, each rounded to the
    /// decimal places (halves to even, no scale): the point of the circle kArcStep clockwise
    /// from the end point (user system) or opposite the start point (world system).
    double north = 0.0;
    double east = 0.0;
};

/// `yh`. Attaches without touching the window (the message and nothing else when no CAD runs),
/// refreshes only the decimal places, asks for the arc (Esc ends quietly; an entity that is not
/// "AcDbArc", or a pick that brings no entity back, shows kNotArcMessage and ends), reads
/// Radius, Center, StartPoint, EndPoint, EndAngle, StartAngle and ArcLength in this order, asks
/// for the number of points with pointCountPrompt (Esc or an empty answer ends quietly), moves
/// the three points into the user system when it is selected, and computes the values of
/// ArcRun. Each step runs skip-and-continue: a failed read or arithmetic step leaves its value
/// as it was. Adds no row and shows nothing else.
ArcRun yh(CaptureContext& context);

} // namespace vexilo::capture
