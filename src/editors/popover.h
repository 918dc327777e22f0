#pragma once

#include <QPointer>
#include <QWidget>

namespace tavix {

/// A small panel window anchored below a widget, holding one content widget. It closes on Escape
/// (unless a drop-down list of its own is open: that Escape closes the list only) and on a click
/// anywhere outside it, but stays open while windows of its own content are used
/// (a colour dialog, a menu's popup list). It deletes itself (and its content) when it closes.
/// A content widget with a `dismissRequested()` signal closes it through that signal too.
/// Main thread only.
class Popover : public QWidget {
    Q_OBJECT

public:
    /// Shows `content` in a new popover anchored to `anchor`; the popover owns `content`.
    static Popover* open(QWidget* anchor, QWidget* content);

    QWidget* content() const { return m_content; }

    /// True for the popover itself and for every window whose parent chain leads into it.
    bool ownsWidget(const QWidget* widget) const;

Q_SIGNALS:
    /// Emitted once, when the popover closes for any reason.
    void dismissed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Popover(QWidget* anchor, QWidget* content);
    void placeNearAnchor();

    QPointer<QWidget> m_anchor;
    QWidget* m_content;
    bool m_dismissed = false;
    bool m_escapeClosesPopup = false;
};

} // namespace tavix
