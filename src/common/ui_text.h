// Texts the Qt-free cores show to people: written in English, looked up at run time through the
// translator the program installs (vexilo-cad installs Qt's), with %1 … %9 filled in afterwards.
// The source texts are collected by lupdate, which reads uiText(context, source) as it reads
// QCoreApplication::translate.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace vexilo {

/// Gives the translation of `source` (English, UTF-8) in `context`, or `source` itself when
/// there is none.
using TextTranslator = std::string (*)(const char* context, const char* source);

namespace detail {
inline TextTranslator textTranslator = nullptr;
} // namespace detail

/// Installs the translator used by uiText(); once, at start-up, before any text is made.
inline void setTextTranslator(TextTranslator translator) {
    detail::textTranslator = translator;
}

/// The text `source` of `context` in the person's language; `source` when no translator is
/// installed.
inline std::string uiText(const char* context, const char* source) {
    return detail::textTranslator != nullptr ? detail::textTranslator(context, source)
                                             : std::string(source);
}

/// `pattern` with each %1 … %9 replaced by the argument of that number. A "%" followed by
/// anything else, or by a number without an argument, stays as it is; an argument's own "%"
/// signs are never read as markers.
inline std::string fillText(std::string_view pattern,
                            std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const auto n = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (n < args.size()) {
                out += *(args.begin() + n);
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

} // namespace vexilo
