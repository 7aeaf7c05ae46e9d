// The rules of the window's option text boxes.
#include "form/option_rules.h"

namespace vexilo::form {
namespace {

/// `text` without one line end at its end ("\n" or "\r\n").
template <class Char>
std::basic_string_view<Char> withoutLineEnd(std::basic_string_view<Char> text) {
    if (!text.empty() && text.back() == Char('\n')) {
        text.remove_suffix(1);
        if (!text.empty() && text.back() == Char('\r')) {
            text.remove_suffix(1);
        }
    }
    return text;
}

} // namespace

bool OptionRules::accepts(char32_t character) const {
    // The accepted characters are ASCII, so a unit of a multi-byte sequence never matches.
    return character < 0x80 && m_accepted.find(static_cast<char>(character)) != m_accepted.npos;
}

KeyVerdict OptionRules::typed(char32_t character) const {
    if (character < 0x20 || character == 0x7F) {
        return KeyVerdict::NotACharacter;
    }
    return accepts(character) ? KeyVerdict::Insert : KeyVerdict::Discard;
}

InsertVerdict OptionRules::inserted(std::string_view text, bool readOnly) const {
    text = withoutLineEnd(text);
    if (readOnly || text.empty()) {
        return {};
    }
    for (const char unit : text) {
        if (!accepts(static_cast<unsigned char>(unit))) {
            return {InsertVerdict::Kind::Refuse, {}};
        }
    }
    return {InsertVerdict::Kind::Insert, std::string(text)};
}

InsertVerdict OptionRules::inserted(std::u16string_view text, bool readOnly) const {
    text = withoutLineEnd(text);
    if (readOnly || text.empty()) {
        return {};
    }
    std::string ascii;
    ascii.reserve(text.size());
    for (const char16_t unit : text) {
        if (!accepts(unit)) {
            return {InsertVerdict::Kind::Refuse, {}};
        }
        ascii.push_back(static_cast<char>(unit));
    }
    return {InsertVerdict::Kind::Insert, std::move(ascii)};
}

std::string OptionRules::kept(std::string_view text) const {
    std::string result;
    for (const char unit : text) {
        if (accepts(static_cast<unsigned char>(unit))) {
            result.push_back(unit);
        }
    }
    return result;
}

bool selectsAllOnFocus(FocusReason reason) {
    switch (reason) {
    case FocusReason::Tab:
    case FocusReason::Backtab:
    case FocusReason::Shortcut:
    case FocusReason::MouseClick:
    case FocusReason::Programmatic:
        return true;
    case FocusReason::Returning:
        return false;
    }
    return false;
}

} // namespace vexilo::form
