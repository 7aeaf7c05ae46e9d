// The layout of the main window as data: every control with its kind, caption, place and tab
// order, and the columns of the coordinate grid. Each window shell walks these tables to build
// itself.
#pragma once

#include <array>
#include <string_view>

namespace vexilo::form {

/// What a control of the window is.
enum class ControlKind {
    Frame,        ///< a frame without caption that groups or backs other controls
    Button,       ///< a push button; its click runs a command
    CheckBox,     ///< a two-state check box
    OptionButton, ///< a radio button; all option buttons of the window form one exclusive group
    TextBox,      ///< a one-line text box, text centred, with a key filter
    Label,        ///< a static caption
    Grid,         ///< the coordinate grid `zbxsc`
};

/// One control. Positions and sizes are twips (15 twips = 1 device-independent pixel), left
/// and top relative to the parent frame when `parent` names one, otherwise to the window's
/// client area. Tab indices run over the whole window, frames and labels included, as the
/// controls' tab order; controls that cannot take the focus keep their place in it.
struct ControlSpec {
    std::string_view name;    ///< object name, as the code refers to it ("Text1(0)")
    ControlKind kind;         ///< the kind of widget built for it
    std::string_view text;    ///< caption or initial text, UTF-8
    int left;                 ///< twips
    int top;                  ///< twips
    int width;                ///< twips
    int height;               ///< twips
    std::string_view parent;  ///< name of the frame it lies in; empty for the window
    int tabIndex;             ///< place in the window's tab order, from 0
    bool initiallyOn = false; ///< check box ticked or option button selected at start
    /// Text boxes: the characters (ASCII) typing may add besides backspace; nothing else ever
    /// enters the box, however the text arrives (see option_rules.h).
    std::string_view accepts = {};
};

/// What the text boxes `Text1(0)` and `Text1(1)` accept.
inline constexpr std::string_view kDigits = "0123456789";
/// What the scale box `Text2` accepts.
inline constexpr std::string_view kDigitsAndMinus = "0123456789-";

/// The window's controls in creation order: a frame before what lies in or over it, so that
/// `Command1` and `Command2` are drawn over `Frame1`.
inline constexpr std::array<ControlSpec, 18> kControls = {{
    {"Frame1", ControlKind::Frame, "", 120, 0, 5415, 735, "", 1},
    {"Command1", ControlKind::Button, "拾取点", 720, 210, 1455, 375, "", 0},
    {"Command2", ControlKind::Button, "拾取多段线", 3360, 210, 1455, 375, "", 2},
    {"Frame2", ControlKind::Frame, "", 120, 720, 5415, 1095, "", 8},
    {"Check1", ControlKind::CheckBox, "X、Y坐标互换", 240, 270, 1455, 255, "Frame2", 11},
    {"Option1(0)", ControlKind::OptionButton, "用户坐标系", 2040, 280, 1335, 180, "Frame2", 9,
     true},
    {"Option1(1)", ControlKind::OptionButton, "世界坐标系", 3720, 280, 1575, 180, "Frame2", 10},
    {"Check2", ControlKind::CheckBox, "编码递增", 240, 630, 1095, 255, "Frame2", 15},
    {"Text1(1)", ControlKind::TextBox, "1", 1320, 600, 495, 315, "Frame2", 14, false, kDigits},
    {"Label1", ControlKind::Label, "小数位数", 2040, 660, 735, 255, "Frame2", 13},
    {"Text1(0)", ControlKind::TextBox, "3", 2880, 600, 615, 315, "Frame2", 12, false, kDigits},
    {"Label2", ControlKind::Label, "比例", 3600, 660, 495, 255, "Frame2", 17},
    {"Text2", ControlKind::TextBox, "1", 4080, 600, 735, 315, "Frame2", 16, false, kDigitsAndMinus},
    {"zbxsc", ControlKind::Grid, "", 120, 1920, 5415, 3135, "", 3},
    {"Command4", ControlKind::Button, "导出", 240, 5160, 975, 375, "", 5},
    {"Command5", ControlKind::Button, "删除一行", 1600, 5160, 975, 375, "", 6},
    {"Command6", ControlKind::Button, "清空", 2960, 5160, 975, 375, "", 7},
    {"Command3", ControlKind::Button, "退出", 4320, 5160, 975, 375, "", 4},
}};

/// The control with this name; nullptr for none.
constexpr const ControlSpec* findControl(std::string_view name) {
    for (const ControlSpec& entry : kControls) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

/// The window's title.
inline constexpr std::string_view kProgramName = "Vexilo";
/// Title of the information boxes.
inline constexpr std::string_view kInformationTitle = "提示信息";

/// The window's client area in twips.
inline constexpr int kClientWidthTwips = 5625;
inline constexpr int kClientHeightTwips = 5700;

/// Widths of the grid's four columns in twips ("序号", "编码", "X坐标", "Y坐标").
inline constexpr std::array<int, 4> kGridColumnWidthsTwips = {600, 1450, 1450, 1450};
/// Height of every grid row, the header row included, in twips.
inline constexpr int kGridRowHeightTwips = 350;

/// Point sizes of the two fonts the window names: text boxes and the grid.
inline constexpr double kTextBoxPointSize = 10.5;
inline constexpr double kGridPointSize = 9.0;
/// The face both fonts name ("宋体", SimSun); shells fall back to another CJK face without it.
inline constexpr std::string_view kSongFace = "宋体";

/// Twips per inch; a device-independent pixel is 1/96 inch, so 15 twips.
inline constexpr int kTwipsPerInch = 1440;
/// The pixels per inch at which a device-independent pixel is one pixel.
inline constexpr int kStandardDpi = 96;

/// A length in twips as pixels at `dpi` pixels per inch, rounded to the nearest pixel (half
/// away from zero): 280 twips are 19 px at 96 DPI, 28 px at 144 DPI.
constexpr int twipsToPixels(int twips, int dpi = kStandardDpi) {
    const long long scaled = static_cast<long long>(twips) * dpi;
    const long long half = kTwipsPerInch / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / kTwipsPerInch
                                        : -((-scaled + half) / kTwipsPerInch));
}

} // namespace vexilo::form
