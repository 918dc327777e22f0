#pragma once

#include <QString>

namespace tavix {

/// The per-user data directory where applications keep their state: the first generic data
/// location ($XDG_DATA_HOME, by default ~/.local/share), or the temporary directory when none is known.
QString applicationSupportDirectory();

} // namespace tavix
