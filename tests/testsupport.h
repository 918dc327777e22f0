#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <ostream>

// Lets a failed comparison of records or tuples holding texts print the texts.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace tavix::test {

/// Runs `body` and returns what it wrote to standard output, as lines.
QStringList capturedStdoutLines(const std::function<void()>& body);

/// Spins the event loop until `done` holds or `timeoutMs` passes; returns whether it held.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

/// Starts a timecode input manager and waits until its device listing, which runs off the main
/// thread, has been taken.
template <typename Manager>
bool startSettled(Manager& manager, int timeoutMs = 10000) {
    manager.start();
    return waitUntil([&manager] { return !manager.isListing(); }, timeoutMs);
}

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);

} // namespace tavix::test
