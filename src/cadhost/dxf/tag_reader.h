// Splits a DXF file, ASCII or binary, into its group-code/value tags without copying.
//
// ASCII DXF is pairs of lines: a group code, then its value. Binary DXF starts with the
// 22-byte sentinel "AutoCAD Binary DXF\r\n\x1a\0"; then each tag is a little-endian group code
// (one byte in R12 files, with 255 escaping a two-byte code; two bytes from R13 on) followed by
// a value whose type the group code fixes: zero-terminated string, 1-byte boolean, 16-, 32- or
// 64-bit integer, 8-byte double, or a length-prefixed binary chunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vexilo::cadhost::dxf {

/// One tag. Views point into the file's bytes and stay valid while they do.
struct Tag {
    int code = 0;
    /// ASCII: the value line without its line end. Binary: the string's bytes (strings and
    /// handles), the chunk's bytes (binary chunks), empty for numbers.
    std::string_view text;
    /// Binary numeric tags: the value, already decoded (both fields hold it).
    double number = 0.0;
    std::int64_t integer = 0;
    bool binaryNumber = false;
    /// Where the tag starts: the 1-based line of its group code (ASCII) or its byte offset
    /// (binary).
    std::size_t location = 0;

    /// The value as a double. False when it is not a number (ASCII text that does not parse in
    /// full, allowing surrounding blanks) or not finite.
    bool toDouble(double& out) const;
    /// The value as an integer. ASCII text of a whole number, or of a finite real that is then
    /// truncated; false otherwise or when it does not fit 64 bits.
    bool toInt(std::int64_t& out) const;
    /// The value with surrounding blanks removed (ASCII); the string itself (binary).
    std::string_view trimmed() const;
    /// True when the value, without surrounding blanks, equals `word`.
    bool is(std::string_view word) const { return trimmed() == word; }
};

/// Why reading tags stopped early.
enum class TagError {
    None,
    /// The file ends inside a tag (a group code without a value, a cut binary value).
    Truncated,
    /// A group code that is not a number (ASCII) or not one DXF defines (binary, where the
    /// value's size then is unknown).
    BadGroupCode,
    /// A group code that is a number outside the 0 to 1071 that DXF defines (ASCII).
    GroupCodeOutOfRange,
};

/// A short English description ("truncated", "a group code that is not a number", …).
std::string_view describe(TagError error);

/// Reads tags one after another. 999 comments are passed over.
class TagReader {
public:
    /// The length of the binary sentinel.
    static constexpr std::size_t kBinarySentinelSize = 22;

    explicit TagReader(std::string_view data);
    /// Reads a piece of an ASCII file that starts at a tag; `firstLine` is the line the piece
    /// starts on in the whole file (locations are counted from it).
    TagReader(std::string_view piece, std::size_t firstLine);

    /// True for a binary DXF (detected by its sentinel).
    bool isBinary() const { return m_binary; }
    /// Reads the next tag. False at the end of the data (error() None) or on a fault (error()
    /// says which, errorLocation() where).
    bool next(Tag& tag);
    TagError error() const { return m_error; }
    /// Line (ASCII) or byte offset (binary) where the fault was found.
    std::size_t errorLocation() const { return m_errorLocation; }
    /// Bytes consumed so far.
    std::size_t offset() const { return m_pos; }
    /// Where the next tag is looked for.
    const char* position() const { return m_data.data() + m_pos; }
    /// Where the tag last read starts (its group code's line, ASCII).
    std::size_t tagStart() const { return m_tagStart; }
    /// The line the next tag would be looked for on (ASCII).
    std::size_t line() const { return m_line; }
    /// Continues at byte `offset`, the start of a tag on line `line` (ASCII); pieces of the file
    /// up to there were read by other readers.
    void skipTo(std::size_t offset, std::size_t line);

private:
    bool nextAscii(Tag& tag);
    bool nextBinary(Tag& tag);
    bool fail(TagError error, std::size_t location);

    std::string_view m_data;
    std::size_t m_pos = 0;
    std::size_t m_tagStart = 0;
    std::size_t m_line = 1;
    bool m_binary = false;
    bool m_oneByteCodes = false;
    TagError m_error = TagError::None;
    std::size_t m_errorLocation = 0;
};

} // namespace vexilo::cadhost::dxf
