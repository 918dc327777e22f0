#pragma once

#include <QObject>

#include <initializer_list>
#include <vector>

class QSocketNotifier;

namespace tavix {

/// Turns the given POSIX signals into a Qt signal on the main thread. The handler only writes the
/// signal number into a socket pair; the work happens when the event loop reads it.
/// One instance at a time; create and destroy it on the main thread.
class SignalNotifier : public QObject {
    Q_OBJECT

public:
    explicit SignalNotifier(std::initializer_list<int> signalNumbers, QObject* parent = nullptr);
    ~SignalNotifier() override;

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readPending();

    std::vector<int> m_signals;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace tavix
