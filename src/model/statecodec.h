#pragma once

#include "clockmodel.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace tavix {

/// Encodes the whole state as an XML property list. On failure returns none and sets `error`.
std::optional<QByteArray> encodeStateFile(const PersistenceContainer& state, QString* error);

/// Decodes a state file from XML or binary property-list bytes. Decoding has no per-field recovery:
/// any missing key, wrong type, unknown raw value or bad UUID fails the whole read, with `error`
/// naming what and where.
std::optional<PersistenceContainer> decodeStateFile(const QByteArray& bytes, QString* error);

/// Larger files are refused unread: a real state file holds a few kilobytes per clock.
inline constexpr qsizetype kMaximumStateFileBytes = qsizetype{64} * 1024 * 1024;

} // namespace tavix
