#include "singleinstance.h"

#include "platform/diagnostics.h"
#include "platform/paths.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tavix {

namespace {

constexpr char kRequest[] = "activate\n";
constexpr char kReply[] = "ok\n";

// The same folder reached through a link or with "..", and before or after it exists, gives one key.
QString canonicalFolder(const QString& path) {
    QString existing = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QStringList missing;
    while (!QFileInfo::exists(existing) && existing != QDir::rootPath()) {
        missing.prepend(QFileInfo(existing).fileName());
        existing = QFileInfo(existing).absolutePath();
    }
    QString canonical = QFileInfo(existing).canonicalFilePath();
    if (canonical.isEmpty()) {
        canonical = existing;
    }
    for (const QString& part : missing) {
        canonical = QDir(canonical).filePath(part);
    }
    return canonical;
}

QString runtimeName(const QString& runtimeDirectory, const QString& stateDirectory, const char* suffix) {
    const QByteArray hash = QCryptographicHash::hash(QFile::encodeName(canonicalFolder(stateDirectory)),
                                                     QCryptographicHash::Sha256);
    return QDir(runtimeDirectory)
        .filePath(QStringLiteral("tavix-%1.%2")
                      .arg(QString::fromLatin1(hash.toHex().first(16)), QLatin1String(suffix)));
}

} // namespace

SingleInstance::SingleInstance(QString stateDirectory, QObject* parent)
    : QObject(parent), m_stateDirectory(std::move(stateDirectory)) {}

SingleInstance::~SingleInstance() {
    release();
}

void SingleInstance::release() {
    if (m_server) {
        m_server->close(); // removes the socket file
    }
    if (m_lockFd >= 0) {
        ::close(m_lockFd); // the kernel releases the lock with it
        m_lockFd = -1;
    }
}

QString SingleInstance::lockPath(const QString& runtimeDirectory, const QString& stateDirectory) {
    return runtimeName(runtimeDirectory, stateDirectory, "lock");
}

QString SingleInstance::socketPath(const QString& runtimeDirectory, const QString& stateDirectory) {
    return runtimeName(runtimeDirectory, stateDirectory, "socket");
}

SingleInstance::Role SingleInstance::claim(int timeoutMs) {
    const QString runtime = runtimeDirectory();
    if (runtime.isEmpty()) {
        printDiagnostic(QStringLiteral("⚠️ SingleInstance: running without a lock: ") +
                        QStringLiteral("no private runtime directory"));
        return Role::first;
    }
    const QString lock = lockPath(runtime, m_stateDirectory);
    const QString socket = socketPath(runtime, m_stateDirectory);
    m_lockFd = ::open(QFile::encodeName(lock).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_lockFd < 0) {
        printDiagnostic(
            QStringLiteral("⚠️ SingleInstance: running without a lock: ") +
            QStringLiteral("could not open \u201C%1\u201D: %2").arg(lock, errnoDescription(errno)));
        return Role::first;
    }
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (::flock(m_lockFd, LOCK_EX | LOCK_NB) == 0) {
            const QByteArray pid = QByteArray::number(::getpid()) + '\n';
            if (::ftruncate(m_lockFd, 0) == 0) {
                [[maybe_unused]] const ssize_t written = ::pwrite(m_lockFd, pid.constData(), pid.size(), 0);
            }
            listen(socket);
            return Role::first;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            printDiagnostic(
                QStringLiteral("⚠️ SingleInstance: running without a lock: ") +
                QStringLiteral("could not lock \u201C%1\u201D: %2").arg(lock, errnoDescription(errno)));
            return Role::first;
        }
        if (askToActivate(socket)) {
            return Role::handedOver;
        }
        if (deadline.hasExpired()) {
            printDiagnostic(QStringLiteral("❌ SingleInstance: Tavix already runs on this state folder and "
                                           "did not answer: ") +
                            QStringLiteral("no reply on \u201C%1\u201D").arg(socket));
            return Role::failed;
        }
        QThread::msleep(100);
    }
}

bool SingleInstance::listen(const QString& path) {
    // The lock is ours, so a socket file there is left over from a holder that was killed.
    QLocalServer::removeServer(path);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(path)) {
        printDiagnostic(QStringLiteral("⚠️ SingleInstance: later launches cannot reach this one: ") +
                        m_server->errorString());
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = m_server->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (!client->canReadLine()) {
                    return;
                }
                if (client->readLine() == kRequest) {
                    Q_EMIT activationRequested();
                    client->write(kReply);
                }
                client->disconnectFromServer();
            });
        }
    });
    return true;
}

bool SingleInstance::askToActivate(const QString& path) {
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(1000)) {
        return false;
    }
    socket.write(kRequest);
    if (!socket.waitForBytesWritten(1000)) {
        return false;
    }
    // The holder answers from its event loop; one that is busy starting up or quitting may not.
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(2000)) {
            return false;
        }
    }
    return socket.readLine() == kReply;
}

} // namespace tavix
