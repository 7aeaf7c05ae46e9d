// GBK through Windows' code page 936 conversion: UTF-8 to UTF-16, then to 936 with no best-fit
// substitutes, so that a character GBK lacks is refused instead of turning into "?".
#include "form/gbk_encoder.h"

#include <windows.h>

namespace vexilo::form {

struct GbkEncoder::State {};

GbkEncoder::GbkEncoder() = default;
GbkEncoder::~GbkEncoder() = default;

bool GbkEncoder::append(std::string_view text, std::string& out) {
    if (text.empty()) {
        return true;
    }
    const int size = static_cast<int>(text.size());
    const int wide =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (wide <= 0) {
        return false;
    }
    std::wstring utf16(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, utf16.data(), wide);
    BOOL usedDefault = FALSE;
    const int bytes = WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, utf16.data(), wide, nullptr, 0,
                                          nullptr, &usedDefault);
    if (bytes <= 0 || usedDefault) {
        return false;
    }
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(bytes));
    WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, utf16.data(), wide, out.data() + start, bytes,
                        nullptr, &usedDefault);
    if (usedDefault) {
        out.resize(start);
        return false;
    }
    return true;
}

} // namespace vexilo::form
