#pragma once

#include <QString>

namespace tavix {

/// A new secret of 256 random bits from the system's generator, as 43 URL-safe characters.
QString randomAccessToken();

} // namespace tavix
