#pragma once

namespace tavix {

/// The named colours the application uses before a colour has components of its own.
enum class NamedColor { green, red, yellow, gray, clear, black };

/// Red, green, blue and alpha in the sRGB colour space; values outside 0...1 are kept as they are.
struct RgbaComponents {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 0;
    bool operator==(const RgbaComponents&) const = default;
};

/// The fixed palette behind the named colours, tuned to read well on the dark clock faces.
RgbaComponents paletteComponents(NamedColor color);

} // namespace tavix
