#include "colorvalue.h"

namespace tavix {

ColorValue ColorValue::named(NamedColor color) {
    ColorValue value;
    value.m_isNamed = true;
    value.m_named = color;
    value.m_components = {};
    return value;
}

ColorValue ColorValue::srgb(double red, double green, double blue, double alpha) {
    ColorValue value;
    value.m_components = {red, green, blue, alpha};
    return value;
}

RgbaComponents ColorValue::components() const {
    return m_isNamed ? paletteComponents(m_named) : m_components;
}

bool ColorValue::operator==(const ColorValue& other) const {
    if (m_isNamed != other.m_isNamed) {
        return false;
    }
    return m_isNamed ? m_named == other.m_named : m_components == other.m_components;
}

} // namespace tavix
