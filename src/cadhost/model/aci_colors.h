// AutoCAD Color Index (ACI) colours 0..255 as RGB, for layers and entities.
#pragma once

#include <cstdint>

namespace vexilo::cadhost {

/// An sRGB colour, 8 bits a channel.
struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend constexpr bool operator==(Rgb, Rgb) = default;
};

/// The RGB of ACI colour `index` in AutoCAD's standard palette (1 red, 2 yellow, 3 green,
/// 4 cyan, 5 blue, 6 magenta, 7 white/black, 8 and 9 greys, 10..249 the hue wheel, 250..255
/// greys). 7 is white here: the view, which knows its background, may show it black on a light
/// one. Indices outside 1..255 (0 BYBLOCK, 256 BYLAYER, negatives) give white.
Rgb aciToRgb(int index);

} // namespace vexilo::cadhost
