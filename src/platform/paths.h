#pragma once

#include <QString>

namespace tavix {

/// The per-user data directory where applications keep their state: $XDG_DATA_HOME when it is an
/// absolute path, else ~/.local/share, or the temporary directory when no home is known.
QString applicationSupportDirectory();

/// The data directory the XDG rules give for these values: `xdgDataHome` when absolute (a relative
/// one is invalid and ignored), else `home` + "/.local/share"; empty when neither helps.
QString dataHomeDirectory(const QString& xdgDataHome, const QString& home);

/// $HOME when it is absolute, else the account's home from the password database; may be empty.
QString userHomeDirectory();

/// A private per-user directory for sockets and locks: $XDG_RUNTIME_DIR when it is absolute, else a
/// folder of ours in the temporary directory that only this user can enter. Empty when neither is
/// usable.
QString runtimeDirectory();

} // namespace tavix
