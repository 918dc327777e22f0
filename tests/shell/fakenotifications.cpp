// Not a test: a desktop notification service for the end-to-end tests. It owns
// org.freedesktop.Notifications on the session bus it is given and prints one line per Notify call:
// "Notify", summary, body and urgency, separated by tabs. "ready" once the name is owned.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QVariantMap>

#include <cstdio>

using namespace Qt::StringLiterals;

class Notifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public Q_SLOTS:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap& hints, int) {
        std::printf("Notify\t%s\t%s\t%d\n", summary.toUtf8().constData(), body.toUtf8().constData(),
                    hints.value(u"urgency"_s, 1).toInt());
        std::fflush(stdout);
        return ++m_id;
    }
    QStringList GetCapabilities() { return {u"body"_s}; }

private:
    uint m_id = 0;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    Notifications service;
    if (!bus.registerObject(u"/org/freedesktop/Notifications"_s, &service, QDBusConnection::ExportAllSlots) ||
        !bus.registerService(u"org.freedesktop.Notifications"_s)) {
        std::fprintf(stderr, "could not own org.freedesktop.Notifications\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

#include "fakenotifications.moc"
