#pragma once

#include <QRect>

namespace ferrocase {

// Window layouts are given in twips: 1/1440 inch, 15 to a pixel at 96 dots per inch. Qt scales
// pixels for high-DPI screens itself.
constexpr int twips_to_pixels(int twips) {
    return (twips + 7) / 15;
}

QRect twips_rect(int left, int top, int width, int height);

} // namespace ferrocase
