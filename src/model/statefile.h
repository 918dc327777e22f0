#pragma once

#include "clockmodel.h"
#include "platform/serialqueue.h"

#include <QString>

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
};

/// The saved-state file: where it lives, reading it at start-up, moving an unreadable one aside, and
/// writing it atomically on the serial persistence queue.
/// Main thread: every public function but flushPendingWrites' waiting happens on the caller's thread;
/// only the file writes run on the queue.
class StateFile {
public:
    /// `baseDirectory` is the per-user data directory (applicationSupportDirectory() in the app).
    explicit StateFile(QString baseDirectory, std::shared_ptr<FileOperations> files = {});
    ~StateFile();

    StateFile(const StateFile&) = delete;
    StateFile& operator=(const StateFile&) = delete;

    /// The state file's path; creates its directory on every call, ignoring failure.
    QString stateFileURL() const;

    /// The saved state, or none when there is no usable file. An unreadable file is moved aside.
    std::optional<PersistenceContainer> loadSavedState();

    /// Encodes the state on this thread and queues its atomic write; returns without waiting.
    void save(const QList<ClockModel>& clocks, const AppSettings& settings);

    /// Moves the file at `path` aside under a fresh "tavix-corrupt-…" name in its directory.
    /// Returns false (after printing why) when the move fails.
    bool preserveUnreadableStateFile(const QString& path);

    /// Blocks until every write queued before the call has finished.
    void flushPendingWrites();

    /// The name an unreadable file is kept under: "tavix-corrupt-" + Unix seconds + "-" + UUID + ".plist".
    static QString preservedFileName();

private:
    SerialQueue& queue();

    QString m_directory;
    std::shared_ptr<FileOperations> m_files;
    std::unique_ptr<SerialQueue> m_queue;
    // Set when an unreadable file could not be moved aside at start-up. Its bytes are the user's
    // only copy, so the first write keeps them under a preserved name before replacing the file.
    // Touched by the persistence queue only, after start-up.
    std::shared_ptr<bool> m_unreadableFileAtPath = std::make_shared<bool>(false);
};

} // namespace tavix
