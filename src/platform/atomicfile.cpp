#include "atomicfile.h"

#include "diagnostics.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavix {

namespace {

QString describe(const QString& what, const QString& path, int errorNumber) {
    return QStringLiteral("%1 \u201C%2\u201D: %3").arg(what, path, errnoDescription(errorNumber));
}

bool writeAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// open(2) rather than mkstemp: a new file must get 0666 less the umask (or the folder's default
// ACL), which only the kernel applies.
int createTemporaryFile(const QByteArray& target, mode_t mode, QByteArray* name) {
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        *name = target + ".tmp-";
        for (int i = 0; i < 6; ++i) {
            name->append(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)]);
        }
        const int fd = ::open(name->constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

void syncDirectory(const QByteArray& directory) {
    const int dirFd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

} // namespace

QString finalLinkTarget(const QString& path) {
    QString current = QFileInfo(path).absoluteFilePath();
    // The kernel gives up after 40 links too.
    for (int hop = 0; hop < 40; ++hop) {
        const QByteArray encoded = QFile::encodeName(current);
        char target[PATH_MAX];
        const ssize_t length = ::readlink(encoded.constData(), target, sizeof target);
        if (length < 0 || length >= ssize_t(sizeof target)) {
            return current;
        }
        const QString next = QFile::decodeName(QByteArray(target, length));
        current =
            QDir::cleanPath(QDir::isAbsolutePath(next) ? next : QFileInfo(current).dir().filePath(next));
    }
    return current;
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    const QString target = finalLinkTarget(path);
    const QByteArray targetName = QFile::encodeName(target);
    const QByteArray directory = QFile::encodeName(QFileInfo(target).absolutePath());

    struct stat existing = {};
    const bool exists = ::stat(targetName.constData(), &existing) == 0 && S_ISREG(existing.st_mode);
    if (exists && ((existing.st_mode & 0222) == 0 ||
                   (::faccessat(AT_FDCWD, targetName.constData(), W_OK, AT_EACCESS) != 0 &&
                    (errno == EACCES || errno == EPERM)))) {
        // Someone took write permission away on purpose; replacing the file would override that.
        if (error) {
            *error = describe(QStringLiteral("refusing to replace the read-only file"), target, EACCES);
        }
        return false;
    }

    QByteArray tempName;
    const int fd = createTemporaryFile(targetName, exists ? 0600 : 0666, &tempName);
    if (fd < 0) {
        if (error) {
            *error = describe(QStringLiteral("could not create a temporary file for"), path, errno);
        }
        return false;
    }

    auto fail = [&](const QString& what) {
        const int savedErrno = errno;
        ::close(fd);
        ::unlink(tempName.constData());
        if (error) {
            *error = describe(what, path, savedErrno);
        }
        return false;
    };

    if (exists) {
        // The replacement is the same file to its owner: same permissions, and the same owner
        // where we may set it (a group-writable file shared with others keeps its group).
        if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
            [[maybe_unused]] const int ignored = ::fchown(fd, existing.st_uid, existing.st_gid);
        }
        if (::fchmod(fd, existing.st_mode & 07777) != 0) {
            return fail(QStringLiteral("could not set permissions of the temporary file for"));
        }
    }
    if (!writeAll(fd, bytes.constData(), bytes.size())) {
        return fail(QStringLiteral("could not write"));
    }
    if (::fsync(fd) != 0) {
        return fail(QStringLiteral("could not sync"));
    }
    if (::close(fd) != 0) {
        const int savedErrno = errno;
        ::unlink(tempName.constData());
        if (error) {
            *error = describe(QStringLiteral("could not close"), path, savedErrno);
        }
        return false;
    }
    if (::rename(tempName.constData(), targetName.constData()) != 0) {
        const int savedErrno = errno;
        ::unlink(tempName.constData());
        if (error) {
            *error = describe(QStringLiteral("could not replace"), path, savedErrno);
        }
        return false;
    }
    // The rename is only durable once the directory entry itself has reached the disk.
    syncDirectory(directory);
    return true;
}

bool keepCopy(const QString& from, const QString& to, const QByteArray& bytes, QString* error) {
    const QByteArray fromName = QFile::encodeName(from);
    const QByteArray toName = QFile::encodeName(to);
    if (::link(fromName.constData(), toName.constData()) == 0) {
        syncDirectory(QFile::encodeName(QFileInfo(to).absolutePath()));
        return true;
    }
    if (errno == EEXIST) {
        if (error) {
            *error = describe(QStringLiteral("could not keep a copy as"), to, EEXIST);
        }
        return false;
    }
    struct stat info = {};
    const mode_t mode = ::stat(fromName.constData(), &info) == 0 ? (info.st_mode & 0777) : 0600;
    const int fd = ::open(toName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error) {
            *error = describe(QStringLiteral("could not keep a copy as"), to, errno);
        }
        return false;
    }
    const bool written =
        ::fchmod(fd, mode) == 0 && writeAll(fd, bytes.constData(), bytes.size()) && ::fsync(fd) == 0;
    const int savedErrno = errno;
    if (::close(fd) != 0 || !written) {
        ::unlink(toName.constData());
        if (error) {
            *error = describe(QStringLiteral("could not keep a copy as"), to, written ? errno : savedErrno);
        }
        return false;
    }
    syncDirectory(QFile::encodeName(QFileInfo(to).absolutePath()));
    return true;
}

} // namespace tavix
