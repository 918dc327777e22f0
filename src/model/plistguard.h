#pragma once

#include <QByteArray>
#include <QString>

namespace tavix {

/// Arrays and dictionaries nested deeper than this are refused before parsing: the parser recurses,
/// and a real state file nests five levels.
inline constexpr int kMaximumPlistNesting = 64;

/// Checks that property-list bytes (XML or binary) nest no deeper than kMaximumPlistNesting and,
/// for the binary form, that the object graph is well formed enough to be walked without recursion
/// trouble. Returns false with `error` set otherwise.
bool plistNestingIsSafe(const QByteArray& bytes, QString* error);

} // namespace tavix
