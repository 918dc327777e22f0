#include "colorrules.h"

#include <cmath>

namespace tavix {

namespace {

double linearised(double c) {
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

} // namespace

bool isLightColor(const ColorValue& color) {
    const RgbaComponents c = color.components();
    if (!std::isfinite(c.red) || !std::isfinite(c.green) || !std::isfinite(c.blue)) {
        return false;
    }
    const double luminance =
        0.2126 * linearised(c.red) + 0.7152 * linearised(c.green) + 0.0722 * linearised(c.blue);
    return luminance > 0.6;
}

ColorValue controlTint(const ColorValue& background) {
    return isLightColor(background) ? ColorValue::black() : ColorValue::srgb(1, 1, 1, 1);
}

} // namespace tavix
