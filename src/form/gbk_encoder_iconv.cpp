// GBK through the C library's iconv, opened once per encoder.
#include "form/gbk_encoder.h"

#include <iconv.h>

namespace vexilo::form {

struct GbkEncoder::State {
    iconv_t converter = iconv_open("GBK", "UTF-8");
    bool valid() const { return converter != reinterpret_cast<iconv_t>(-1); }
};

GbkEncoder::GbkEncoder() : m_state(std::make_unique<State>()) {}

GbkEncoder::~GbkEncoder() {
    if (m_state->valid()) {
        iconv_close(m_state->converter);
    }
}

bool GbkEncoder::append(std::string_view text, std::string& out) {
    if (!m_state->valid()) {
        return false;
    }
    iconv(m_state->converter, nullptr, nullptr, nullptr, nullptr);
    std::string input(text);
    const std::size_t start = out.size();
    out.resize(start + input.size() * 2 + 4);
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* to = out.data() + start;
    std::size_t outLeft = out.size() - start;
    const std::size_t converted = iconv(m_state->converter, &in, &inLeft, &to, &outLeft);
    if (converted == static_cast<std::size_t>(-1) || inLeft != 0) {
        out.resize(start);
        return false;
    }
    out.resize(out.size() - outLeft);
    return true;
}

} // namespace vexilo::form
