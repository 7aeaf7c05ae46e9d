// Conversion of the window's layout unit, the twip, into Qt's device-independent pixels.
#pragma once

namespace vexilo::app {

/// Twips per device-independent pixel: 1440 twips an inch at 96 pixels an inch. Qt scales
/// device-independent pixels by the screen's device pixel ratio, so HiDPI screens need nothing
/// more.
inline constexpr int kTwipsPerPixel = 15;

/// A length in twips as device-independent pixels, rounded to the nearest pixel (half away
/// from zero); lengths that are not whole pixels (280 twips) land on the closest pixel.
constexpr int twipsToPixels(int twips) {
    const int half = kTwipsPerPixel / 2;
    return twips >= 0 ? (twips + half) / kTwipsPerPixel : -((-twips + half) / kTwipsPerPixel);
}

} // namespace vexilo::app
