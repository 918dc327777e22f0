#include "statefile.h"

#include "statecodec.h"
#include "platform/atomicfile.h"
#include "platform/diagnostics.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <optional>

namespace tavix {

namespace {

constexpr auto kQueueLabel = "Tavix.Persistence";

QString renameError(const QString& from, const QString& to, int errorNumber) {
    return QStringLiteral("could not move \u201C%1\u201D to \u201C%2\u201D: %3")
        .arg(from, to, errnoDescription(errorNumber));
}

QString besideFile(const QString& path, const QString& name) {
    return QFileInfo(path).dir().filePath(name);
}

QString keptName(const char* kind) {
    return QStringLiteral("tavix-%1-%2-%3.plist")
        .arg(QLatin1String(kind))
        .arg(QDateTime::currentSecsSinceEpoch())
        .arg(uuidText(QUuid::createUuid()));
}

// Keeps the bytes at `path` under a preserved name: by moving them, or failing that by copying them.
bool keepUnreadableBytes(FileOperations& files, const QString& path, QString* error) {
    if (!QFileInfo::exists(path)) {
        return true;
    }
    const QString target = besideFile(path, StateFile::preservedFileName());
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

struct StateFile::DiskState {
    enum class Known { nothing, noFile, bytes };
    // What Tavix last read from or wrote to the state path. Until start-up has looked (tests that
    // only save), nothing is known and nothing is compared.
    Known known = Known::nothing;
    // The bytes start-up read, shared with the reader (start-up hashes nothing), until the first
    // write; from then on a digest of what was written, not a copy: the file grows with the clocks.
    std::optional<QByteArray> readBytes;
    QByteArray digest;

    static QByteArray digestOf(const QByteArray& bytes) {
        return QCryptographicHash::hash(bytes, QCryptographicHash::Blake2b_256); // 5x SHA-256's speed
    }
    bool holds(const QByteArray& current) const {
        return readBytes ? current == *readBytes : digestOf(current) == digest;
    }
    void remember(const QByteArray& bytes) {
        readBytes.reset();
        digest = digestOf(bytes);
    }
    // Set when an unreadable file could not be moved aside at start-up. Its bytes are the user's
    // only copy, so the first write keeps them under a preserved name before replacing the file.
    bool unreadableFileAtPath = false;
};

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

bool FileOperations::keepCopy(const QString& from, const QString& to, const QByteArray& bytes,
                              QString* error) {
    return tavix::keepCopy(from, to, bytes, error);
}

void StateFileStatus::reportSaveFailed(const QString& reason) {
    const bool first = m_saveFailure.isEmpty();
    m_saveFailure = reason;
    Q_EMIT changed();
    if (first) {
        Q_EMIT alert(
            QCoreApplication::translate("tavix::StateFile", "Tavix cannot save your clocks"),
            QCoreApplication::translate("tavix::StateFile", "%1. Tavix tries again with your next change.")
                .arg(reason),
            true);
    }
}

void StateFileStatus::reportSaved() {
    if (!m_saveFailure.isEmpty()) {
        m_saveFailure.clear();
        Q_EMIT changed();
    }
}

void StateFileStatus::reportKeptAside(const QString& summary, const QString& body) {
    m_keptAside.append(body);
    Q_EMIT changed();
    Q_EMIT alert(summary, body, false);
}

StateFile::StateFile(QString baseDirectory, std::shared_ptr<FileOperations> files)
    : m_directory(QDir(baseDirectory).filePath(QStringLiteral("Tavix"))),
      m_files(files ? std::move(files) : std::make_shared<FileOperations>()),
      m_status(std::make_unique<StateFileStatus>()), m_inbox(std::make_unique<MainThreadInbox>()),
      m_disk(std::make_shared<DiskState>()) {}

StateFile::~StateFile() = default;

QString StateFile::stateFileURL() const {
    QDir().mkpath(m_directory);
    return QDir(m_directory).filePath(QStringLiteral("tavix.plist"));
}

QString StateFile::preservedFileName() {
    return keptName("corrupt");
}

QString StateFile::replacedFileName() {
    return keptName("replaced");
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
    // Matched by hand: a name filter would compile a regular expression, and load its library, for
    // this one look at start-up.
    const QString prefix = info.fileName() + QStringLiteral(".tmp-");
    const QFileInfoList entries = info.dir().entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo& leftover : entries) {
        if (leftover.fileName().startsWith(prefix) && leftover.lastModified().toUTC() < cutoff) {
            QFile::remove(leftover.absoluteFilePath());
        }
    }
}

std::optional<PersistenceContainer> StateFile::loadSavedState() {
    // What the queue knows of the file is about to change; writes still queued must be done.
    flushPendingWrites();
    const QString path = stateFileURL();
    // Writes go beside the file a link points to, and so do their leftovers.
    removeStaleTemporaryFiles(finalLinkTarget(path));
    m_disk->known = DiskState::Known::noFile;
    if (!QFileInfo::exists(path)) {
        return std::nullopt;
    }
    QString error;
    std::optional<PersistenceContainer> state;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("could not read \u201C%1\u201D: %2").arg(path, file.errorString());
        m_disk->known = DiskState::Known::nothing; // what is there is the unreadable file
    } else if (file.size() > kMaximumStateFileBytes) {
        error = QStringLiteral("the file is too large to be a state file (%1 bytes)").arg(file.size());
    } else {
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            error = QStringLiteral("could not read \u201C%1\u201D: %2").arg(path, file.errorString());
        } else {
            state = decodeStateFile(bytes, &error);
            m_disk->known = DiskState::Known::bytes;
            m_disk->readBytes = bytes;
        }
    }
    if (state) {
        m_rootUnknownKeys = state->unknownKeys;
        return state;
    }
    if (preserveUnreadableStateFile(path)) {
        m_disk->known = DiskState::Known::noFile;
    } else {
        m_disk->unreadableFileAtPath = true;
    }
    printDiagnostic(QStringLiteral("⚠️ Saved app state could not be decoded and was preserved: ") +
                    error);
    return std::nullopt;
}

bool StateFile::preserveUnreadableStateFile(const QString& path) {
    // Through a link, the unreadable file is the one it points to; the link itself stays.
    const QString source = finalLinkTarget(path);
    const QString target = besideFile(source, preservedFileName());
    QString error;
    if (!m_files->moveFile(source, target, &error)) {
        printDiagnostic(QStringLiteral("❌ Failed to preserve unreadable app state: ") + error);
        return false;
    }
    m_inbox->sender().post([status = m_status.get(), name = QFileInfo(target).fileName()] {
        status->reportKeptAside(
            QCoreApplication::translate("tavix::StateFile", "Tavix could not read your saved clocks"),
            QCoreApplication::translate("tavix::StateFile",
                                        "The file was kept as “%1” and Tavix started with a new clock.")
                .arg(name));
    });
    return true;
}

namespace {

enum class OutsideChange { none, keptAside, notKept };

// Compares the file at `target` with what Tavix last read or wrote there; a version another
// program put there is kept under a new name beside it, so that the write does not destroy it.
OutsideChange keepOutsideChange(FileOperations& files, StateFile::DiskState& disk, const QString& target,
                                QString* kept, QString* error) {
    using Known = StateFile::DiskState::Known;
    if (disk.known == Known::nothing || !QFileInfo::exists(target)) {
        return OutsideChange::none;
    }
    QFile file(target);
    QByteArray current;
    const bool opened = file.open(QIODevice::ReadOnly);
    if (!opened && !QFileInfo::exists(target)) {
        return OutsideChange::none; // removed since the look above: there is nothing to keep
    }
    bool readable = opened && file.size() <= kMaximumStateFileBytes;
    if (readable) {
        // Contents, not times: sync tools keep modification times when they replace a file.
        current = file.readAll();
        readable = file.error() == QFileDevice::NoError;
    }
    if (readable && disk.known == Known::bytes && disk.holds(current)) {
        return OutsideChange::none;
    }
    *kept = besideFile(target, StateFile::replacedFileName());
    if (!files.keepCopy(target, *kept, current, error)) {
        return OutsideChange::notKept;
    }
    // That version is safe now; should this write fail, the next one must not keep it again.
    disk.known = readable ? Known::bytes : Known::nothing;
    disk.remember(current);
    return OutsideChange::keptAside;
}

} // namespace

void StateFile::save(const QList<ClockModel>& clocks, const AppSettings& settings) {
    QString error;
    const auto bytes = encodeStateFile(PersistenceContainer{clocks, settings, m_rootUnknownKeys}, &error);
    if (!bytes) {
        printDiagnostic(QStringLiteral("❌ Failed to encode app state: ") + error);
        return;
    }
    const QString path = stateFileURL();
    queue().async([bytes = *bytes, path, disk = m_disk, files = m_files, inbox = m_inbox->sender(),
                   status = m_status.get(), lastWriteFailed = m_lastWriteFailed] {
        const auto failed = [&](const QString& reason) {
            printDiagnostic(QStringLiteral("❌ Failed to save app state: ") + reason);
            lastWriteFailed->store(true);
            inbox.post([status, reason] { status->reportSaveFailed(reason); });
        };
        const QString target = finalLinkTarget(path);
        QString writeError;
        QString kept;
        switch (keepOutsideChange(*files, *disk, target, &kept, &writeError)) {
        case OutsideChange::none:
            break;
        case OutsideChange::keptAside:
            printDiagnostic(
                QStringLiteral("⚠️ Saved app state was changed outside Tavix and was kept aside: ") +
                QStringLiteral("kept as \u201C%1\u201D").arg(kept));
            // The unreadable bytes that start-up left there are gone already: another program
            // replaced them.
            disk->unreadableFileAtPath = false;
            inbox.post([status, name = QFileInfo(kept).fileName()] {
                status->reportKeptAside(
                    QCoreApplication::translate("tavix::StateFile", "Tavix kept a copy of your clocks file"),
                    QCoreApplication::translate("tavix::StateFile",
                                                "Another program changed the file while Tavix "
                                                "was running. That version was kept as "
                                                "“%1”.")
                        .arg(name));
            });
            break;
        case OutsideChange::notKept:
            failed(QStringLiteral("the state file was changed outside Tavix and could not be kept aside, "
                                  "so it is not overwritten (%1)")
                       .arg(writeError));
            return;
        }
        if (disk->unreadableFileAtPath) {
            if (!keepUnreadableBytes(*files, target, &writeError)) {
                failed(QStringLiteral("the unreadable state file could not be kept aside, so it is not "
                                      "overwritten (%1)")
                           .arg(writeError));
                return;
            }
            disk->unreadableFileAtPath = false;
        }
        if (!files->writeFileAtomically(path, bytes, &writeError)) {
            failed(writeError);
            return;
        }
        disk->known = DiskState::Known::bytes;
        disk->remember(bytes);
        if (lastWriteFailed->exchange(false)) {
            inbox.post([status] { status->reportSaved(); });
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
