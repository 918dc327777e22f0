#pragma once

#include "model/colorvalue.h"

namespace tavix {

/// True when the colour's sRGB relative luminance is above 0.6 (alpha ignored). Components that are
/// not finite make the colour count as dark.
bool isLightColor(const ColorValue& color);

/// The tint of the buttons and header symbols on a background: black on light, white on dark.
ColorValue controlTint(const ColorValue& background);

} // namespace tavix
