#include "testsupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

namespace tavix::test {

QStringList capturedStdoutLines(const std::function<void()>& body) {
    ::testing::internal::CaptureStdout();
    body();
    QStringList lines = QString::fromStdString(::testing::internal::GetCapturedStdout()).split(u'\n');
    if (lines.last().isEmpty()) { // the newline that ends the last line
        lines.removeLast();
    }
    return lines;
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    for (QDeadlineTimer deadline(timeoutMs); !done(); QThread::msleep(1)) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
}

} // namespace tavix::test
