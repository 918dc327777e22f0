#pragma once

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>

namespace tavix {

/// Keeps the C library's local time cheap and current. With TZ unset, glibc looks at the zone file
/// again (a stat) on every mktime() and tzset(), and a second's ticks of a hundred clocks make
/// hundreds of them. Naming the system's zone in TZ makes it read the file once; a watch on the
/// file's folder names the new zone when the system's changes, as the C library would have noticed.
/// Main thread only.
class LocalZone : public QObject {
    Q_OBJECT

public:
    /// Names the zone `zoneFile` holds in TZ, unless the user set TZ or there is no such file.
    /// Call before other threads start (it changes the environment); returns whether it did, and
    /// so whether a LocalZone should follow the file.
    static bool nameSystemZone(const QString& zoneFile = QStringLiteral("/etc/localtime"));

    /// The TZ value that names what `zoneFile` holds: ":Area/City" for a link into a zoneinfo
    /// folder, else ":" and the file's path; empty when there is no such file.
    static QByteArray tzValueFor(const QString& zoneFile);

    /// Follows `zoneFile` from now on; needs the event loop.
    explicit LocalZone(QString zoneFile = QStringLiteral("/etc/localtime"), QObject* parent = nullptr);

Q_SIGNALS:
    /// The system's zone changed and the C library now converts with it.
    void changed();

private:
    void follow();
    QByteArray identity() const;

    QString m_zoneFile;
    QFileSystemWatcher m_watcher;
    QByteArray m_identity;
};

} // namespace tavix
