// Typed coordinates and keywords.
#include "cadhost/commandline/coordinate_input.h"

#include <array>
#include <charconv>
#include <cmath>

namespace vexilo::cadhost {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::optional<double> parseNumber(std::string_view text) {
    text = trimBlanks(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string asciiUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

bool isCancelLine(std::string_view text) {
    text = trimBlanks(text);
    return text == "^C" || text == "^c";
}

std::optional<Vec3> parseCoordinates(std::string_view text) {
    std::array<double, 3> values{0.0, 0.0, 0.0};
    std::size_t count = 0;
    while (true) {
        const std::size_t comma = text.find(',');
        if (count == values.size()) {
            return std::nullopt;
        }
        const auto value = parseNumber(text.substr(0, comma));
        if (!value) {
            return std::nullopt;
        }
        values[count++] = *value;
        if (comma == std::string_view::npos) {
            break;
        }
        text.remove_prefix(comma + 1);
    }
    if (count < 2) {
        return std::nullopt;
    }
    return Vec3{values[0], values[1], values[2]};
}

} // namespace vexilo::cadhost
