#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace tavix {

/// Watches the bytes of one HTTP connection before the HTTP server parses them, so that an
/// oversized request is refused as soon as its headers say so, instead of being read into memory.
/// Request bodies need a Content-Length; after a WebSocket upgrade everything passes.
/// Main thread only (one per connection).
class HttpRequestGate {
public:
    enum class Verdict { pass, bodyTooLarge, headersTooLarge, lengthRequired, badRequest };

    static constexpr qsizetype kMaximumBodyBytes = qsizetype{64} * 1024;
    static constexpr qsizetype kMaximumHeaderBytes = qsizetype{16} * 1024;

    /// Takes the next bytes received. Once a verdict other than pass is given, the connection is to
    /// be answered and closed; later calls repeat the verdict.
    Verdict feed(QByteArrayView bytes);

private:
    Verdict inspectHeaders();

    enum class Phase { headers, body, upgraded, refused };
    Phase m_phase = Phase::headers;
    Verdict m_verdict = Verdict::pass;
    QByteArray m_headers;
    qint64 m_bodyLeft = 0;
};

} // namespace tavix
