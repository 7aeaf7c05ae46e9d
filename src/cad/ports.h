// The two ports through which the Qt-free commands reach the window that runs them.
#pragma once

#include <string>
#include <string_view>

namespace vexilo::cad {

/// Reads the window's option controls at the moment a command asks. Texts are UTF-8, exactly
/// as the boxes hold them.
class OptionsPort {
public:
    virtual ~OptionsPort() = default;
    /// `Option1(0)` "用户坐标系" is selected (otherwise `Option1(1)` "世界坐标系").
    virtual bool userSystemSelected() const = 0;
    /// `Check1` "X、Y坐标互换" is ticked.
    virtual bool swapSelected() const = 0;
    /// `Check2` "编码递增" is ticked.
    virtual bool codeIncrementSelected() const = 0;
    /// The menu's "字母编码也递增" is ticked: with the code increment on, a code that is not
    /// a number counts up the number at its end instead of repeating. Off unless the window
    /// offers it.
    virtual bool letterCodeIncrementSelected() const { return false; }
    /// Text of `Text1(1)`, the code increment step.
    virtual std::string incrementText() const = 0;
    /// Text of `Text1(0)`, the decimal places.
    virtual std::string decimalPlacesText() const = 0;
    /// Text of `Text2`, the scale.
    virtual std::string scaleText() const = 0;
};

/// What a command may do to the window: minimise it, restore it, and show modal message boxes
/// that wait for OK.
class WindowPort {
public:
    virtual ~WindowPort() = default;
    virtual void minimise() = 0;
    /// Back to the normal (not minimised) state.
    virtual void restore() = 0;
    /// A modal box with the text, the title "提示信息", the information icon and one OK button.
    virtual void showInformation(std::string_view text) = 0;
    /// A modal box with the text, no icon and one OK button; an empty title means the box has
    /// no title of its own (the program's name is shown).
    virtual void showPlain(std::string_view title, std::string_view text) = 0;
};

} // namespace vexilo::cad
