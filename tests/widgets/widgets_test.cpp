#include "widgets/symbols.h"
#include "widgets/widgetstyle.h"

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

using namespace tavix;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

TEST(ColourConversion, StoredComponentsAreClampedWithInfinityFullAndNaNNone) {
    const struct {
        ColorValue colour;
        const char* drawn; // #aarrggbb
    } cases[] = {{ColorValue::srgb(0.2, 0.2, 0.2, 1), "#ff333333"},
                 {ColorValue::srgb(1.5, -0.5, 0.2, 7), "#ffff0033"},
                 {ColorValue::srgb(kInf, 0.2, 0.2, 1), "#ffff3333"},
                 {ColorValue::srgb(-kInf, kNaN, 0.2, kInf), "#ff000033"},
                 {ColorValue::srgb(0.2, 0.2, 0.2, kNaN), "#00333333"}};
    for (const auto& c : cases) {
        EXPECT_EQ(toQColor(c.colour).name(QColor::HexArgb), QLatin1String(c.drawn)) << c.drawn;
    }
}

TEST(Symbols, EverySymbolIsDrawnInTheColourAskedForAtTheScreensPixelRatio) {
    const QColor colour(0x20, 0xc0, 0x40);
    const QColor ground(0x16, 0x16, 0x16); // the panels' ground that some symbols are cut into
    const auto between = [](int value, int a, int b) {
        return value >= std::min(a, b) && value <= std::max(a, b);
    };
    for (int i = 0; i <= static_cast<int>(Symbol::arrowClockwise); ++i) {
        const auto symbol = static_cast<Symbol>(i);
        const QPixmap pixmap = symbolPixmap(symbol, 16, colour, 2.0);
        ASSERT_EQ(pixmap.size(), QSize(32, 32)) << i;
        EXPECT_DOUBLE_EQ(pixmap.devicePixelRatio(), 2.0) << i;
        const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
        int inColour = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (pixel.alpha() < 255) {
                    continue; // antialiased outer edges
                }
                inColour += pixel.rgb() == colour.rgb() ? 1 : 0;
                // Inside, only the colour, the ground and their antialiased blends.
                EXPECT_TRUE(between(pixel.red(), colour.red(), ground.red()) &&
                            between(pixel.green(), colour.green(), ground.green()) &&
                            between(pixel.blue(), colour.blue(), ground.blue()))
                    << i << " at " << x << "," << y << ": " << pixel.name().toStdString();
            }
        }
        EXPECT_GT(inColour, 10) << i;
        EXPECT_FALSE(symbolIcon(symbol, colour).isNull()) << i;
    }
}
