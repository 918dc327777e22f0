#include "paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace tavix {

namespace {

QString absolutePathFromEnvironment(const char* name) {
    const QString path = QFile::decodeName(qgetenv(name));
    return QDir::isAbsolutePath(path) ? QDir::cleanPath(path) : QString();
}

QString accountHomeDirectory() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
    struct passwd entry = {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir) {
        return {};
    }
    const QString home = QFile::decodeName(found->pw_dir);
    return QDir::isAbsolutePath(home) ? QDir::cleanPath(home) : QString();
}

} // namespace

QString dataHomeDirectory(const QString& xdgDataHome, const QString& home) {
    if (QDir::isAbsolutePath(xdgDataHome)) {
        return QDir::cleanPath(xdgDataHome);
    }
    if (QDir::isAbsolutePath(home)) {
        return QDir::cleanPath(home + QStringLiteral("/.local/share"));
    }
    return {};
}

QString userHomeDirectory() {
    const QString home = absolutePathFromEnvironment("HOME");
    return home.isEmpty() ? accountHomeDirectory() : home;
}

QString applicationSupportDirectory() {
    // Not QStandardPaths: it takes a relative $XDG_DATA_HOME relative to the current folder and
    // falls back to "/" when $HOME is unset.
    const QString dataHome =
        dataHomeDirectory(QFile::decodeName(qgetenv("XDG_DATA_HOME")), userHomeDirectory());
    return dataHome.isEmpty() ? QDir::tempPath() : dataHome;
}

QString runtimeDirectory() {
    const QString xdg = absolutePathFromEnvironment("XDG_RUNTIME_DIR");
    if (!xdg.isEmpty() && QFileInfo(xdg).isDir()) {
        return xdg;
    }
    // Other users can create names in /tmp, so the folder only counts when it is ours alone.
    const QString own = QDir::tempPath() + QStringLiteral("/tavix-runtime-%1").arg(::getuid());
    const QByteArray path = QFile::encodeName(own);
    ::mkdir(path.constData(), 0700);
    struct stat info = {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() ||
        (info.st_mode & 077) != 0) {
        return {};
    }
    return own;
}

} // namespace tavix
