#include "httpgate.h"

#include <QList>

#include <algorithm>

namespace tavix {

HttpRequestGate::Verdict HttpRequestGate::feed(QByteArrayView bytes) {
    while (!bytes.isEmpty()) {
        switch (m_phase) {
        case Phase::refused:
            return m_verdict;
        case Phase::upgraded:
            return Verdict::pass;
        case Phase::body: {
            const qint64 taken = std::min<qint64>(m_bodyLeft, bytes.size());
            m_bodyLeft -= taken;
            bytes = bytes.sliced(static_cast<qsizetype>(taken));
            if (m_bodyLeft == 0) {
                m_phase = Phase::headers;
            }
            break;
        }
        case Phase::headers: {
            // Only what is new is searched, with three bytes of overlap for a split "\r\n\r\n".
            const qsizetype before = m_headers.size();
            const qsizetype take = std::min(kMaximumHeaderBytes + 4 - before, bytes.size());
            m_headers.append(bytes.first(take));
            const qsizetype end = m_headers.indexOf("\r\n\r\n", std::max<qsizetype>(0, before - 3));
            if (end < 0) {
                if (m_headers.size() > kMaximumHeaderBytes) {
                    m_phase = Phase::refused;
                    m_verdict = Verdict::headersTooLarge;
                    return m_verdict;
                }
                return Verdict::pass;
            }
            const qsizetype consumed = end + 4 - before;
            m_headers.truncate(end);
            bytes = bytes.sliced(consumed);
            const Verdict verdict = inspectHeaders();
            m_headers.clear();
            if (verdict != Verdict::pass) {
                m_phase = Phase::refused;
                m_verdict = verdict;
                return verdict;
            }
            break;
        }
        }
    }
    return m_phase == Phase::refused ? m_verdict : Verdict::pass;
}

HttpRequestGate::Verdict HttpRequestGate::inspectHeaders() {
    // Blank lines before a request line are allowed.
    while (m_headers.startsWith("\r\n")) {
        m_headers.remove(0, 2);
    }
    const QList<QByteArray> lines = m_headers.split('\n');
    bool upgrade = false;
    bool haveLength = false;
    qint64 length = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0) {
            return Verdict::badRequest;
        }
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "content-length") {
            bool ok = false;
            const qint64 parsed = value.toLongLong(&ok);
            if (!ok || parsed < 0 || (haveLength && parsed != length)) {
                return Verdict::badRequest;
            }
            haveLength = true;
            length = parsed;
        } else if (name == "transfer-encoding") {
            // A chunked body gives its size only as it arrives; the interfaces never need one.
            return Verdict::lengthRequired;
        } else if (name == "upgrade" && value.toLower().contains("websocket")) {
            upgrade = true;
        }
    }
    if (length > kMaximumBodyBytes) {
        return Verdict::bodyTooLarge;
    }
    if (upgrade) {
        m_phase = Phase::upgraded;
        return Verdict::pass;
    }
    m_bodyLeft = length;
    m_phase = length > 0 ? Phase::body : Phase::headers;
    return Verdict::pass;
}

} // namespace tavix
