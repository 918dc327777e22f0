#include "statefile.h"

#include "statecodec.h"
#include "platform/atomicfile.h"
#include "platform/diagnostics.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>

namespace tavix {

namespace {

constexpr auto kQueueLabel = "Tavix.Persistence";

QString renameError(const QString& from, const QString& to, int errorNumber) {
    return QStringLiteral("could not move \u201C%1\u201D to \u201C%2\u201D: %3")
        .arg(from, to, errnoDescription(errorNumber));
}

// Keeps the bytes at `path` under a preserved name: by moving them, or failing that by copying them.
bool keepUnreadableBytes(FileOperations& files, const QString& path, QString* error) {
    if (!QFileInfo::exists(path)) {
        return true;
    }
    const QString target = QFileInfo(path).dir().filePath(StateFile::preservedFileName());
    if (files.moveFile(path, target, error)) {
        return true;
    }
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly)) {
        if (error) {
            *error = QStringLiteral("could not read \u201C%1\u201D: %2").arg(path, source.errorString());
        }
        return false;
    }
    return files.writeFileAtomically(target, source.readAll(), error);
}

} // namespace

bool FileOperations::moveFile(const QString& from, const QString& to, QString* error) {
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        if (error) {
            *error = renameError(from, to, errno);
        }
        return false;
    }
    return true;
}

bool FileOperations::writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    return tavix::writeFileAtomically(path, bytes, error);
}

StateFile::StateFile(QString baseDirectory, std::shared_ptr<FileOperations> files)
    : m_directory(QDir(baseDirectory).filePath(QStringLiteral("Tavix"))),
      m_files(files ? std::move(files) : std::make_shared<FileOperations>()) {}

StateFile::~StateFile() = default;

QString StateFile::stateFileURL() const {
    QDir().mkpath(m_directory);
    return QDir(m_directory).filePath(QStringLiteral("tavix.plist"));
}

QString StateFile::preservedFileName() {
    const qint64 seconds = QDateTime::currentSecsSinceEpoch();
    return QStringLiteral("tavix-corrupt-%1-%2.plist").arg(seconds).arg(uuidText(QUuid::createUuid()));
}

SerialQueue& StateFile::queue() {
    if (!m_queue) {
        m_queue = std::make_unique<SerialQueue>(kQueueLabel);
    }
    return *m_queue;
}

// A kill in the middle of a write leaves its temporary file behind; nothing else will ever use it.
// Files younger than a few seconds may belong to a write still in progress and are left alone.
static void removeStaleTemporaryFiles(const QString& path) {
    const QFileInfo info(path);
    const QDateTime cutoff = QDateTime::currentDateTimeUtc().addSecs(-10);
    const QFileInfoList leftovers =
        info.dir().entryInfoList({info.fileName() + QStringLiteral(".tmp-*")}, QDir::Files | QDir::Hidden);
    for (const QFileInfo& leftover : leftovers) {
        if (leftover.lastModified().toUTC() < cutoff) {
            QFile::remove(leftover.absoluteFilePath());
        }
    }
}

std::optional<PersistenceContainer> StateFile::loadSavedState() {
    const QString path = stateFileURL();
    removeStaleTemporaryFiles(path);
    if (!QFileInfo::exists(path)) {
        return std::nullopt;
    }
    QString error;
    std::optional<PersistenceContainer> state;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("could not read \u201C%1\u201D: %2").arg(path, file.errorString());
    } else if (file.size() > kMaximumStateFileBytes) {
        error = QStringLiteral("the file is too large to be a state file (%1 bytes)").arg(file.size());
    } else {
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            error = QStringLiteral("could not read \u201C%1\u201D: %2").arg(path, file.errorString());
        } else {
            state = decodeStateFile(bytes, &error);
        }
    }
    if (state) {
        return state;
    }
    if (!preserveUnreadableStateFile(path)) {
        *m_unreadableFileAtPath = true;
    }
    printDiagnostic(QStringLiteral("⚠️ Saved app state could not be decoded and was preserved: ") +
                    error);
    return std::nullopt;
}

bool StateFile::preserveUnreadableStateFile(const QString& path) {
    const QString target = QFileInfo(path).dir().filePath(preservedFileName());
    QString error;
    if (!m_files->moveFile(path, target, &error)) {
        printDiagnostic(QStringLiteral("❌ Failed to preserve unreadable app state: ") + error);
        return false;
    }
    return true;
}

void StateFile::save(const QList<ClockModel>& clocks, const AppSettings& settings) {
    QString error;
    const auto bytes = encodeStateFile(PersistenceContainer{clocks, settings}, &error);
    if (!bytes) {
        printDiagnostic(QStringLiteral("❌ Failed to encode app state: ") + error);
        return;
    }
    const QString path = stateFileURL();
    queue().async([bytes = *bytes, path, unreadable = m_unreadableFileAtPath, files = m_files] {
        QString writeError;
        if (*unreadable) {
            if (!keepUnreadableBytes(*files, path, &writeError)) {
                printDiagnostic(
                    QStringLiteral("❌ Failed to save app state: ") +
                    QStringLiteral("the unreadable state file could not be kept aside, so it is not "
                                   "overwritten (%1)")
                        .arg(writeError));
                return;
            }
            *unreadable = false;
        }
        if (!files->writeFileAtomically(path, bytes, &writeError)) {
            printDiagnostic(QStringLiteral("❌ Failed to save app state: ") + writeError);
        }
    });
}

void StateFile::flushPendingWrites() {
    if (!m_queue) {
        return; // nothing was ever queued
    }
    m_queue->sync([] {});
}

} // namespace tavix
