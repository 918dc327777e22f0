#pragma once

#include <QByteArray>
#include <QString>

namespace tavix {

/// Replaces the file at `path` with `bytes` so that a crash or power cut leaves either the old or
/// the new content, never a mix: write a temporary file beside it, sync it, rename it over the
/// target and sync the directory. On failure the old file is untouched, `error` gets the reason and
/// the result is false. Thread safe.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error);

} // namespace tavix
