#pragma once

#include <QString>

namespace tavix {

/// Writes one diagnostic line to standard output and flushes it. Thread safe.
void printDiagnostic(const QString& line);

/// The description of a C library error number, as the system words it.
QString errnoDescription(int errorNumber);

} // namespace tavix
