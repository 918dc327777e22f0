#pragma once

#include "namedcolor.h"

namespace tavix {

/// A colour of a clock: either one of the named palette colours or sRGB components with alpha.
/// Named colours are resolved to components only when they are written to the state file.
class ColorValue {
public:
    /// Opaque black.
    ColorValue() = default;

    static ColorValue named(NamedColor color);
    static ColorValue srgb(double red, double green, double blue, double alpha);

    static ColorValue green() { return named(NamedColor::green); }
    static ColorValue red() { return named(NamedColor::red); }
    static ColorValue yellow() { return named(NamedColor::yellow); }
    static ColorValue gray() { return named(NamedColor::gray); }
    static ColorValue clear() { return named(NamedColor::clear); }
    static ColorValue black() { return srgb(0, 0, 0, 1); }

    bool isNamed() const { return m_isNamed; }
    /// Meaningful only when isNamed().
    NamedColor namedColor() const { return m_named; }

    /// The sRGB components, with a named colour resolved through the palette at this moment.
    RgbaComponents components() const;

    /// Equal when both are the same named colour, or both are component colours with equal components.
    bool operator==(const ColorValue& other) const;

private:
    bool m_isNamed = false;
    NamedColor m_named = NamedColor::black;
    RgbaComponents m_components{0, 0, 0, 1};
};

} // namespace tavix
