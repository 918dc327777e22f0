#pragma once

#include <QPointer>
#include <QWidget>

namespace tavix {

/// A small panel window anchored below a widget, holding one content widget. It closes on Escape
/// and on a click elsewhere, and deletes itself (and its content) when it closes.
/// Main thread only.
class Popover : public QWidget {
    Q_OBJECT

public:
    /// Shows `content` in a new popover anchored to `anchor`; the popover owns `content`.
    static Popover* open(QWidget* anchor, QWidget* content);

    QWidget* content() const { return m_content; }

Q_SIGNALS:
    /// Emitted once, when the popover closes for any reason.
    void dismissed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Popover(QWidget* anchor, QWidget* content);

    QPointer<QWidget> m_anchor;
    QWidget* m_content;
    bool m_dismissed = false;
};

} // namespace tavix
