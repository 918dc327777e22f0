#include "screengeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tavix {

namespace {

// Beyond this no screen exists; it also keeps the arithmetic inside int.
constexpr double kLimit = 1'000'000;

int coordinate(double value, int fallback) {
    if (!std::isfinite(value)) {
        return fallback;
    }
    return static_cast<int>(std::lround(std::clamp(value, -kLimit, kLimit)));
}

int length(double value, int fallback, int minimum) {
    if (!std::isfinite(value) || value <= 0) {
        return std::max(fallback, minimum);
    }
    return std::max(static_cast<int>(std::lround(std::min(value, kLimit / 10))), minimum);
}

} // namespace

QRect frameFromStored(const PointValue& origin, const SizeValue& size, const QRect& primaryScreen,
                      const QSize& minimumSize) {
    const int width = length(size.width, 600, minimumSize.width());
    const int height = length(size.height, 200, minimumSize.height());
    const int x = primaryScreen.x() + coordinate(origin.x, 100);
    const int bottomUp = coordinate(origin.y, 100);
    const int y = primaryScreen.y() + primaryScreen.height() - bottomUp - height;
    return QRect(x, y, width, height);
}

StoredFrame storedFromFrame(const QRect& frame, const QRect& primaryScreen) {
    StoredFrame stored;
    stored.origin.x = frame.x() - primaryScreen.x();
    stored.origin.y = primaryScreen.y() + primaryScreen.height() - (frame.y() + frame.height());
    stored.size.width = frame.width();
    stored.size.height = frame.height();
    return stored;
}

QRect frameOnSomeScreen(const QRect& frame, const QList<QRect>& screens, const QRect& primaryAvailable) {
    for (const QRect& screen : screens) {
        if (screen.intersects(frame)) {
            return frame;
        }
    }
    const QSize size = frame.size().boundedTo(primaryAvailable.size());
    QRect moved(QPoint(0, 0), size);
    moved.moveCenter(primaryAvailable.center());
    return moved;
}

QSize contentSizeForFrame(const QSize& frameSize, const QMargins& frameMargins, const QSize& minimumSize) {
    const QSize content(frameSize.width() - frameMargins.left() - frameMargins.right(),
                        frameSize.height() - frameMargins.top() - frameMargins.bottom());
    return content.expandedTo(minimumSize);
}

QRect cascadedFrame(QRect frame, const QList<QPoint>& taken, int step, const QRect& available) {
    if (step <= 0) {
        return frame;
    }
    const auto isTaken = [&taken, step](const QPoint& corner) {
        return std::any_of(taken.begin(), taken.end(), [&corner, step](const QPoint& other) {
            return std::abs(other.x() - corner.x()) * 2 < step && std::abs(other.y() - corner.y()) * 2 < step;
        });
    };
    int round = 0;
    // Each step either frees the corner or passes one taken corner: the count bounds the search.
    for (qsizetype i = 0; i <= taken.size() && isTaken(frame.topLeft()); ++i) {
        frame.translate(step, step);
        if (!available.contains(frame)) {
            ++round;
            frame.moveTopLeft(available.topLeft() + QPoint(round * step, 0));
            if (!available.contains(frame)) {
                // Too large to cascade on this screen: keep it where the first round began.
                frame.moveTopLeft(available.topLeft());
                break;
            }
        }
    }
    return frame;
}

} // namespace tavix
