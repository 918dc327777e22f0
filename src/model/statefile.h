#pragma once

#include "clockmodel.h"
#include "platform/mainthreadinbox.h"
#include "platform/serialqueue.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <optional>

namespace tavix {

/// The file operations the state file needs, replaceable so that tests can make them fail.
/// Implementations must be thread safe: moves run on the main thread, writes on the persistence queue.
class FileOperations {
public:
    virtual ~FileOperations() = default;
    virtual bool moveFile(const QString& from, const QString& to, QString* error);
    virtual bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error);
    /// Keeps the file at `from` also under the new name `to` (never replacing one); `bytes` are its
    /// contents for file systems where a second name cannot be given.
    virtual bool keepCopy(const QString& from, const QString& to, const QByteArray& bytes, QString* error);
};

/// What a desktop user must learn about the state file, since standard output is out of sight: a
/// save that failed (until one succeeds) and files kept aside. Main thread only; the persistence
/// queue reports through tasks posted to it.
class StateFileStatus : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    /// Why the last write failed; empty once a write succeeds.
    const QString& saveFailure() const { return m_saveFailure; }
    /// One sentence per file kept aside in this run, oldest first.
    const QStringList& keptAside() const { return m_keptAside; }

    void reportSaveFailed(const QString& reason);
    void reportSaved();
    void reportKeptAside(const QString& summary, const QString& body);

Q_SIGNALS:
    void changed();
    /// Worth interrupting the user for: the first failure after a success (`urgent`), or a file
    /// kept aside.
    void alert(const QString& summary, const QString& body, bool urgent);

private:
    QString m_saveFailure;
    QStringList m_keptAside;
};

/// The saved-state file: where it lives, reading it at start-up, moving an unreadable one aside, and
/// writing it atomically on the serial persistence queue. Before each write the file on disk is
/// compared with what was last read or written there; a version that another program put there is
/// kept aside under a new name first. A symbolic link at the state path stays and its target is
/// written.
/// Main thread: every public function but flushPendingWrites' waiting happens on the caller's thread;
/// only the file writes run on the queue.
class StateFile {
public:
    /// `baseDirectory` is the per-user data directory (applicationSupportDirectory() in the app).
    explicit StateFile(QString baseDirectory, std::shared_ptr<FileOperations> files = {});
    ~StateFile();

    StateFile(const StateFile&) = delete;
    StateFile& operator=(const StateFile&) = delete;

    /// The state directory, "Tavix" in the base directory; not created by this call.
    const QString& directory() const { return m_directory; }

    /// The state file's path; creates its directory on every call, ignoring failure.
    QString stateFileURL() const;

    /// The saved state, or none when there is no usable file. An unreadable file is moved aside.
    std::optional<PersistenceContainer> loadSavedState();

    /// Encodes the state on this thread and queues its atomic write; returns without waiting. The
    /// entries of the loaded file's root that Tavix does not know are written back with it.
    void save(const QList<ClockModel>& clocks, const AppSettings& settings);

    /// Moves the file at `path` (the file a link there points to) aside under a fresh
    /// "tavix-corrupt-…" name in its directory. Returns false (after printing why) when the move fails.
    bool preserveUnreadableStateFile(const QString& path);

    /// Blocks until every write queued before the call has finished.
    void flushPendingWrites();

    /// Whether the last finished write failed, so that the file lacks the latest changes. Reliable
    /// right after flushPendingWrites().
    bool lastWriteFailed() const { return m_lastWriteFailed->load(); }

    /// Failures and kept-aside files, for the settings window and desktop notifications. The queue's
    /// reports reach it through the event loop, or at once with deliverReports().
    StateFileStatus& status() { return *m_status; }
    void deliverReports() { m_inbox->drain(); }

    /// The name an unreadable file is kept under: "tavix-corrupt-" + Unix seconds + "-" + UUID + ".plist".
    static QString preservedFileName();
    /// The name a file changed by another program is kept under: "tavix-replaced-" + Unix seconds +
    /// "-" + UUID + ".plist".
    static QString replacedFileName();

    /// What the persistence queue knows of the file on disk. Touched by the queue only, after start-up.
    struct DiskState;

private:
    SerialQueue& queue();

    QString m_directory;
    std::shared_ptr<FileOperations> m_files;
    std::unique_ptr<StateFileStatus> m_status;
    std::unique_ptr<MainThreadInbox> m_inbox;
    UnknownKeys m_rootUnknownKeys;
    std::shared_ptr<DiskState> m_disk;
    std::shared_ptr<std::atomic<bool>> m_lastWriteFailed = std::make_shared<std::atomic<bool>>(false);
    std::unique_ptr<SerialQueue> m_queue;
};

} // namespace tavix
