#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

namespace tavix::test {

/// Runs `body` and returns what it wrote to standard output, as lines.
QStringList capturedStdoutLines(const std::function<void()>& body);

/// Spins the event loop until `done` holds or `timeoutMs` passes; returns whether it held.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);

} // namespace tavix::test
