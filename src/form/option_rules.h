// The rules of the window's option text boxes: which typed keys they take, when pasted, dropped
// or input-method text enters, and when getting the focus selects the whole text.
#pragma once

#include <string>
#include <string_view>

namespace vexilo::form {

/// What a box does with one typed character.
enum class KeyVerdict {
    Insert,        ///< an accepted character: typed into the box
    Discard,       ///< a refused character: the box and its selection stay as they are
    NotACharacter, ///< backspace, Enter, a shortcut's control code: the box handles it as usual
};

/// What a box does with text arriving at once (paste, drop, input-method commit).
struct InsertVerdict {
    enum class Kind {
        Insert,  ///< `text` goes in over the selection
        Refuse,  ///< the text holds a refused character: nothing goes in, and the box beeps
        Nothing, ///< no text at all (or the box is read-only): nothing happens, silently
    };
    Kind kind = Kind::Nothing;
    std::string text; ///< what to insert, UTF-8; empty unless kind is Insert
};

/// How a box got the focus.
enum class FocusReason {
    Tab,          ///< Tab key
    Backtab,      ///< Shift+Tab
    Shortcut,     ///< a mnemonic or shortcut key
    MouseClick,   ///< a click into the box
    Programmatic, ///< the program moved the focus
    Returning,    ///< back from a popup, a message box or another window
};

/// The key filter of one text box over its accepted characters (ASCII, as the control table
/// lists them). The same filter judges every way text arrives: a text that holds any refused
/// character is refused whole, as a typed refused key is; one line end at the end of pasted or
/// dropped text (what copying a spreadsheet cell brings) is not part of the text.
class OptionRules {
public:
    /// `accepted` lists every character that may stand in the box.
    explicit OptionRules(std::string_view accepted) : m_accepted(accepted) {}

    /// The accepted characters.
    std::string_view accepted() const { return m_accepted; }

    /// One typed character, a Unicode code point (or a UTF-16 unit).
    KeyVerdict typed(char32_t character) const;

    /// Text arriving at once, UTF-8.
    InsertVerdict inserted(std::string_view text, bool readOnly = false) const;
    /// Text arriving at once, UTF-16 (Windows' clipboard and input-method text).
    InsertVerdict inserted(std::u16string_view text, bool readOnly = false) const;

    /// `text` (UTF-8) without the characters the box refuses: what setting the text by any
    /// other path leaves in the box.
    std::string kept(std::string_view text) const;

private:
    bool accepts(char32_t character) const;

    std::string_view m_accepted;
};

/// Getting the focus by Tab, Backtab, shortcut, mouse click or from the program selects the
/// whole text, so typing replaces it; coming back from a popup or another window keeps the
/// selection the box had. A click that brings the focus does not place the cursor: the shell
/// swallows its press, drag and release and selects all on the release.
bool selectsAllOnFocus(FocusReason reason);

} // namespace vexilo::form
