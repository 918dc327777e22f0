#pragma once

#include "storetest.h"

#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>

namespace tavix::test {

/// The real application ($TAVIX_BINARY) on a fresh XDG_DATA_HOME.
struct AppProcess {
    QTemporaryDir data;
    QProcess process;

    AppProcess() { QDir().mkpath(folder()); }
    ~AppProcess() {
        process.kill();
        process.waitForFinished(5000);
    }
    QString folder() const { return data.path() + QStringLiteral("/Tavix"); }
    QString stateFile() const { return folder() + QStringLiteral("/tavix.plist"); }
    void prepare(const PersistenceContainer& state) const { writeState(stateFile(), state); }
    std::optional<PersistenceContainer> saved() const {
        return decodeStateFile(readFile(stateFile()), nullptr);
    }
    bool launch() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
        process.setProcessEnvironment(env);
        process.start(QString::fromLocal8Bit(qgetenv("TAVIX_BINARY")), {});
        return process.waitForStarted(10000);
    }
    /// Sends the signal: true when the process then ends normally with exit code 0.
    bool stop(int signalNumber = SIGTERM) {
        ::kill(static_cast<pid_t>(process.processId()), signalNumber);
        return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }
};

/// Skipped without the application and an X display (run through with-xvfb.sh).
class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (qgetenv("TAVIX_BINARY").isEmpty() || qgetenv("DISPLAY").isEmpty()) {
            GTEST_SKIP() << "needs TAVIX_BINARY and an X display (run through with-xvfb.sh)";
        }
    }
};

} // namespace tavix::test
