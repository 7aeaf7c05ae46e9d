// Programmatic identifiers to bus names.
#include "automation/prog_id.h"

namespace vexilo::automation {

namespace {

bool allowedInBusName(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
}

} // namespace

std::string busNameForProgId(std::string_view progId) {
    std::string name(kProgIdBusPrefix);
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = progId.find('.', start);
        const std::string_view element = progId.substr(
            start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (element.empty() || (element.front() >= '0' && element.front() <= '9')) {
            name += '_';
        }
        for (char c : element) {
            name += allowedInBusName(c) ? c : '_';
        }
        if (dot == std::string_view::npos) {
            break;
        }
        name += '.';
        start = dot + 1;
    }
    return name;
}

} // namespace vexilo::automation
