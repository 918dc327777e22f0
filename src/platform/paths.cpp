#include "paths.h"

#include <QDir>
#include <QStandardPaths>

namespace tavix {

QString applicationSupportDirectory() {
    const QStringList locations = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    if (!locations.isEmpty() && !locations.first().isEmpty()) {
        return locations.first();
    }
    return QDir::tempPath();
}

} // namespace tavix
