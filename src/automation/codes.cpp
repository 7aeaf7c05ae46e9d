// Codes to readable text.
#include "automation/codes.h"

#include <cstdio>

namespace vexilo::automation {

const CodeInfo* findCode(HResult code) {
    for (const CodeInfo& info : kCodes) {
        if (info.code == code) {
            return &info;
        }
    }
    return nullptr;
}

std::string describe(HResult code) {
    char hex[11];
    std::snprintf(hex, sizeof hex, "0x%08X",
                  static_cast<unsigned>(static_cast<std::uint32_t>(code)));
    std::string text(hex);
    if (code == 0) {
        return text + " S_OK: success";
    }
    if (const CodeInfo* info = findCode(code)) {
        text += ' ';
        text += info->name;
        text += ": ";
        text += info->meaning;
    }
    return text;
}

} // namespace vexilo::automation
