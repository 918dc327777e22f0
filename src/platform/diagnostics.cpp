#include "diagnostics.h"

#include <cstdio>
#include <cstring>

namespace tavix {

void printDiagnostic(const QString& line) {
    QByteArray bytes = line.toUtf8();
    bytes.append('\n');
    // One write per line keeps lines from different threads whole.
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

QString errnoDescription(int errorNumber) {
    char buffer[256] = {};
    // The GNU strerror_r may return a static string instead of filling the buffer.
    const char* text = strerror_r(errorNumber, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}

} // namespace tavix
