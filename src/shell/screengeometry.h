#pragma once

#include "model/clockmodel.h"

#include <QList>
#include <QMargins>
#include <QRect>

namespace tavix {

// A clock stores its window frame with the origin at the bottom-left corner of the primary screen
// and y growing upward; Qt places frames from the top-left of the virtual desktop, y downward.
// These are the only places where one turns into the other.

/// The stored frame as a Qt frame rectangle. Values that are not finite or absurdly large are
/// replaced so that the result is a usable rectangle; sizes are at least `minimumSize`.
QRect frameFromStored(const PointValue& origin, const SizeValue& size, const QRect& primaryScreen,
                      const QSize& minimumSize);

struct StoredFrame {
    PointValue origin;
    SizeValue size;
};

/// A Qt frame rectangle as stored in a clock.
StoredFrame storedFromFrame(const QRect& frame, const QRect& primaryScreen);

/// `frame` when it touches one of `screens`; otherwise the same size (shrunk to fit) centred on
/// the primary screen's available area, so that no clock window opens where nobody can see it.
QRect frameOnSomeScreen(const QRect& frame, const QList<QRect>& screens, const QRect& primaryAvailable);

/// Where a new window of `frame` opens so that it does not cover an open window exactly: moved
/// right and down by `step` for as long as its top-left corner meets one of `taken` (within half a
/// step). A frame that would leave `available` starts again at its top-left corner, one step
/// further right for each time round, so that no two cascades lie on one another.
QRect cascadedFrame(QRect frame, const QList<QPoint>& taken, int step, const QRect& available);

/// The content size that gives a frame of `frameSize` around it.
QSize contentSizeForFrame(const QSize& frameSize, const QMargins& frameMargins, const QSize& minimumSize);

} // namespace tavix
