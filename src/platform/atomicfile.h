#pragma once

#include <QByteArray>
#include <QString>

namespace tavix {

/// Replaces the file at `path` with `bytes` so that a crash or power cut leaves either the old or
/// the new content, never a mix: write a temporary file beside it, sync it, rename it over the
/// target and sync the directory. A symbolic link at `path` stays: the file it finally points to is
/// replaced, beside that file. An existing file keeps its permissions; a new one gets 0666 less the
/// umask. A file without write permission is refused, not replaced. On failure the old file is
/// untouched, `error` gets the reason and the result is false. Thread safe.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error);

/// The file a symbolic link at `path` finally points to, through any chain of links (relative
/// targets count from the link's own folder); `path` itself when it is no link. Thread safe.
QString finalLinkTarget(const QString& path);

/// Gives the file at `from` the additional name `to` without touching `from` (a hard link), or
/// where the file system has no hard links writes `bytes` as a new file there. Never replaces an
/// existing `to`. Thread safe.
bool keepCopy(const QString& from, const QString& to, const QByteArray& bytes, QString* error);

} // namespace tavix
