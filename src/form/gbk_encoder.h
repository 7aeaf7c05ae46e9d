// UTF-8 to GBK (code page 936), the encoding CASS reads on a Chinese Windows. The C library's
// converter does it on Linux; on Windows, where the C library has none, the system's code page
// conversion does.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace vexilo::form {

/// Converts texts to GBK; made once per file written.
class GbkEncoder {
public:
    GbkEncoder();
    ~GbkEncoder();
    GbkEncoder(const GbkEncoder&) = delete;
    GbkEncoder& operator=(const GbkEncoder&) = delete;

    /// Appends `text` (UTF-8) in GBK to `out`; false, with `out` unchanged, when the text is not
    /// valid UTF-8 or a character has no GBK form.
    bool append(std::string_view text, std::string& out);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace vexilo::form
