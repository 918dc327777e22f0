#include "atomicfile.h"

#include "diagnostics.h"

#include <QFileInfo>

#include <cerrno>
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

} // namespace

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    const QFileInfo info(path);
    const QByteArray directory = QFile::encodeName(info.absolutePath());
    QByteArray tempName = QFile::encodeName(info.absoluteFilePath()) + ".tmp-XXXXXX";

    const int fd = ::mkostemp(tempName.data(), O_CLOEXEC);
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

    if (::fchmod(fd, 0644) != 0) {
        return fail(QStringLiteral("could not set permissions of the temporary file for"));
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
    if (::rename(tempName.constData(), QFile::encodeName(info.absoluteFilePath()).constData()) != 0) {
        const int savedErrno = errno;
        ::unlink(tempName.constData());
        if (error) {
            *error = describe(QStringLiteral("could not replace"), path, savedErrno);
        }
        return false;
    }
    // The rename is only durable once the directory entry itself has reached the disk.
    const int dirFd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

} // namespace tavix
