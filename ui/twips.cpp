#include "ui/twips.h"

namespace ferrocase {

QRect twips_rect(int left, int top, int width, int height) {
    return {twips_to_pixels(left), twips_to_pixels(top), twips_to_pixels(width),
            twips_to_pixels(height)};
}

} // namespace ferrocase
