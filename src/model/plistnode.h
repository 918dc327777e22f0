#pragma once

#include <plist/plist.h>

#include <memory>

namespace tavix {

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};

/// Owns one libplist tree; move-only.
using PlistNode = std::unique_ptr<void, PlistDeleter>;

} // namespace tavix
