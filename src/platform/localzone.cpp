#include "localzone.h"

#include <QFileInfo>

#include <ctime>
#include <sys/stat.h>

namespace tavix {

bool LocalZone::nameSystemZone(const QString& zoneFile) {
    if (qEnvironmentVariableIsSet("TZ")) {
        return false;
    }
    const QByteArray tz = tzValueFor(zoneFile);
    if (tz.isEmpty()) {
        return false; // no zone file: the C library uses UTC and has nothing to look at again
    }
    qputenv("TZ", tz);
    tzset();
    return true;
}

QByteArray LocalZone::tzValueFor(const QString& zoneFile) {
    const QFileInfo info(zoneFile);
    if (!info.exists()) {
        return {};
    }
    // ICU and Qt know zones by name only; the C library takes the name too.
    const QString target = info.isSymLink() ? info.symLinkTarget() : QString();
    const auto at = target.lastIndexOf(QLatin1String("/zoneinfo/"));
    if (at >= 0 && QFileInfo(target).isFile()) {
        return ':' + target.mid(at + 10).toLocal8Bit();
    }
    return ':' + info.absoluteFilePath().toLocal8Bit();
}

LocalZone::LocalZone(QString zoneFile, QObject* parent)
    : QObject(parent), m_zoneFile(std::move(zoneFile)), m_identity(identity()) {
    // The link is replaced, not written to, when the zone changes: watch its folder.
    m_watcher.addPath(QFileInfo(m_zoneFile).absolutePath());
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &LocalZone::follow);
}

QByteArray LocalZone::identity() const {
    // The link's target, and the file it leads to (a tzdata update rewrites the same name).
    struct stat file {};
    if (::stat(m_zoneFile.toLocal8Bit().constData(), &file) != 0) {
        return {};
    }
    return QFileInfo(m_zoneFile).symLinkTarget().toLocal8Bit() + '\n' +
           QByteArray::number(qulonglong(file.st_ino)) + '\n' +
           QByteArray::number(qlonglong(file.st_mtim.tv_sec)) + '.' +
           QByteArray::number(qlonglong(file.st_mtim.tv_nsec));
}

void LocalZone::follow() {
    const QByteArray now = identity();
    if (now == m_identity) {
        return; // something else in the folder changed
    }
    m_identity = now;
    QByteArray tz = tzValueFor(m_zoneFile);
    if (tz.isEmpty()) {
        tz = QByteArrayLiteral(":UTC"); // the file went: the C library's own default
    }
    // The C library reads the zone again only for a TZ different from the last one.
    qputenv("TZ", QByteArrayLiteral("UTC0"));
    tzset();
    qputenv("TZ", tz);
    tzset();
    Q_EMIT changed();
}

} // namespace tavix
