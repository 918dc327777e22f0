#pragma once

#include <QColorDialog>
#include <QObject>
#include <QPointer>

namespace tavix {

class ColorWell;

/// The one colour dialog of an editor panel, shared by all its colour wells: non-modal, with alpha,
/// attached to the well that opened it last and writing each change into that well's value. The
/// panel that owns it closes it when it goes away or rebuilds its wells.
/// Main thread only.
class ColorPanel : public QObject {
    Q_OBJECT

public:
    /// The dialog, once made, is a child window of `host`.
    explicit ColorPanel(QWidget* host);
    ~ColorPanel() override;

    /// Opens (or raises) the dialog for `well`, showing its colour.
    void showFor(ColorWell* well);
    /// Closes the dialog and lets go of its well.
    void close();

    bool isOpen() const;
    /// Null until the first showFor().
    QColorDialog* dialog() const { return m_dialog; }
    ColorWell* target() const { return m_target; }

private:
    void placeBesideHost();

    QPointer<QWidget> m_host;
    QPointer<QColorDialog> m_dialog;
    QPointer<ColorWell> m_target;
    bool m_settingColor = false;
};

} // namespace tavix
