// 圆弧等分: points spaced evenly along an arc picked in the drawing become rows of the table.
#pragma once

#include "capture/capture_context.h"

#include <optional>
#include <string_view>
#include <vector>

namespace vexilo::capture {

/// The code request, once per arc: a carriage return, then the request.
inline constexpr std::string_view kArcCodePrompt = "\r命令：请输入圆弧编码<退出键取消输入>：";
/// Shown when the answer to the count request is neither a whole number of parts from 1 nor
/// "@" and a spacing greater than 0.
inline constexpr std::string_view kBadDivisionMessage =
    "请输入等分数（正整数），或 @ 加点的间距（正数）！";
/// Shown when the arc's geometry cannot be read.
inline constexpr std::string_view kArcUnreadableMessage = "无法读取圆弧的几何数据！";

/// How an arc is divided.
struct Division {
    int parts = 0;        ///< equal parts: parts + 1 points from start to end; 0 with spacing
    double spacing = 0.0; ///< drawing units between points from the start, the end added
};

/// The answer to the count request: "8" is 8 equal parts, "@2.5" a point every 2.5 units.
/// Blanks around it are allowed. Nothing for anything else (0, −3, 1.5, "@0", "@x", "").
std::optional<Division> parseDivision(std::string_view answer);

/// An arc in the world system.
struct ArcGeometry {
    cad::Point3 center{};        ///< world system
    cad::Point3 startPoint{};    ///< world system
    cad::Point3 normal{0, 0, 1}; ///< unit vector; the arc runs counter-clockwise about it
    double radius = 0.0;
    double sweep = 0.0; ///< radians from start to end, in (0, 2π]
};

/// The points of the division from the start point to the end point, in the world system: the
/// start point turned about the normal through the centre. With spacing, the last point before
/// the end is dropped when it lies within a millionth of the spacing of the end. At most
/// `limit` points: nothing when there would be more.
std::optional<std::vector<cad::Point3>>
arcDivisionPoints(const ArcGeometry& arc, const Division& division, std::size_t limit);

/// 圆弧等分… of the grid's menu. Starts like the pickers (attach, minimise, numeric options),
/// asks for an arc (a miss or Enter asks again; Esc ends; another kind of entity shows
/// kNotArcMessage), reads its Center, Radius, StartPoint, StartAngle, EndAngle, Normal and
/// ArcLength, asks for the division with the length as `yh` does (pointCountPrompt; Esc or an
/// empty answer ends, an answer parseDivision refuses shows kBadDivisionMessage and ends), then
/// for one code (NextCode with kArcCodePrompt), and appends one row per point coded
/// "code-1", "code-2", …: in the user system (each point translated 0 → 1) or the world
/// system as selected, with the swap, scale and decimal places of the pickers and the height
/// kept. Restores the window at every end after the attach.
void divideArc(CaptureContext& context);

} // namespace vexilo::capture
