#include "namedcolor.h"

namespace tavix {

RgbaComponents paletteComponents(NamedColor color) {
    switch (color) {
    case NamedColor::green:
        return {0.20, 0.84, 0.30, 1.0};
    case NamedColor::red:
        return {1.00, 0.27, 0.23, 1.0};
    case NamedColor::yellow:
        return {1.00, 0.84, 0.04, 1.0};
    case NamedColor::gray:
        return {0.60, 0.60, 0.62, 1.0};
    case NamedColor::clear:
        return {0.0, 0.0, 0.0, 0.0};
    case NamedColor::black:
        return {0.0, 0.0, 0.0, 1.0};
    }
    return {};
}

} // namespace tavix
