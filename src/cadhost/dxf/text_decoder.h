// Turns the bytes of DXF strings into UTF-8: the drawing's code page for files before R2007,
// and the escapes AutoCAD writes for characters the code page lacks.
#pragma once

#include <string>
#include <string_view>

namespace vexilo::cadhost::dxf {

/// Decodes DXF strings. Before R2007 (AC1021) a DXF file is in the code page that $DWGCODEPAGE
/// names (ANSI_936 = GBK, ANSI_950 = Big5, ANSI_1252 = Western, ANSI_932, ANSI_949, other
/// ANSI_125x, DOS code pages); from R2007 on it is UTF-8. In both, "\U+nnnn" stands for the
/// Unicode character nnnn (hex) and "\M+cxxxx" for the double-byte character xxxx of Asian code
/// page c (1 = 932, 2 = 950, 3 = 949, 4 = 1361, 5 = 936). Bytes that do not decode become
/// U+FFFD. Not thread-safe (it keeps a converter per code page).
class TextDecoder {
public:
    TextDecoder();
    ~TextDecoder();
    TextDecoder(const TextDecoder&) = delete;
    TextDecoder& operator=(const TextDecoder&) = delete;

    /// Sets the file's code page from $DWGCODEPAGE. Returns false (and keeps decoding as
    /// before) when the name is not a code page this system's iconv knows.
    bool setCodePage(std::string_view dwgCodePage);
    /// From R2007 on strings are UTF-8 whatever $DWGCODEPAGE says.
    void setUtf8(bool utf8) { m_utf8 = utf8; }
    bool isUtf8() const { return m_utf8; }

    /// Decodes `raw` into `out` (replacing its contents). Text that is plain ASCII without a
    /// backslash is copied as is.
    void decode(std::string_view raw, std::string& out);

private:
    void convert(std::string_view raw, std::string& out);
    void appendEscapes(std::string_view utf8, std::string& out);
    bool convertWith(void* converter, std::string_view raw, std::string& out);

    bool m_utf8 = false;
    /// True while no $DWGCODEPAGE was read: then valid UTF-8 is taken as such and anything else
    /// as Windows-1252.
    bool m_guess = true;
    void* m_converter = nullptr;
    void* m_fallback = nullptr;
    std::string m_scratch;
};

/// Appends the UTF-8 form of a code point (U+FFFD for surrogates and values beyond U+10FFFF).
void appendUtf8(char32_t codePoint, std::string& out);

/// True when `s` is well-formed UTF-8.
bool isValidUtf8(std::string_view s);

/// The plain text of an MTEXT string: paragraph and column breaks (\P, \N) become line feeds,
/// \~ a no-break space, \\ \{ \} their characters, stacked fractions (\Sa^b; \Sa/b; \Sa#b;)
/// "a/b", ^I ^J a space and a line feed, %%c %%d %%p %%% as in a TEXT; formatting codes
/// (\f…; \H…; \C…; \W…; \A…; \T…; \Q…; \L \O \K and the like) and grouping braces are
/// dropped.
std::string mtextPlainText(std::string_view mtext);

/// The text of a TEXT entity with AutoCAD's control codes replaced: %%c Ø, %%d °, %%p ±,
/// %%% %; the underline and overline switches %%u, %%o are dropped.
std::string textPlainText(std::string_view text);

} // namespace vexilo::cadhost::dxf
