#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace tavix {

/// One Tavix per state folder: the folder's lock (flock on a file in the runtime directory) goes to
/// the first process; the kernel drops it when that process ends however it ends, so a killed
/// Tavix never blocks the next start. The holder listens on a socket beside the lock, through which
/// a later launch asks it to come to the front before that launch exits without touching the state.
/// Main thread only.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Role {
        first,      ///< this process holds the folder and runs
        handedOver, ///< the running instance was asked to show itself; this one should exit
        failed,     ///< an instance holds the folder but did not answer in time (reported)
    };

    /// `stateDirectory` is the folder the state file lives in; it need not exist yet.
    explicit SingleInstance(QString stateDirectory, QObject* parent = nullptr);
    ~SingleInstance() override;

    /// Takes the folder or hands over to its holder. Waits up to `timeoutMs` for a holder that is
    /// starting or quitting and does not answer yet (it may end meanwhile, leaving the folder free).
    Role claim(int timeoutMs = 20000);

    /// Gives the folder up now: the socket file goes and the lock is released.
    void release();

    /// The lock file and socket of a state folder: "tavix-" + a hash of the folder's canonical path
    /// + ".lock" / ".socket" in `runtimeDirectory`.
    static QString lockPath(const QString& runtimeDirectory, const QString& stateDirectory);
    static QString socketPath(const QString& runtimeDirectory, const QString& stateDirectory);

Q_SIGNALS:
    /// A later launch asked this instance to show itself.
    void activationRequested();

private:
    bool listen(const QString& path);
    static bool askToActivate(const QString& path);

    QString m_stateDirectory;
    int m_lockFd = -1;
    QLocalServer* m_server = nullptr;
};

} // namespace tavix
