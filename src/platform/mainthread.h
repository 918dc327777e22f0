#pragma once

#include <QMetaObject>
#include <QObject>

#include <functional>

namespace tavix {

/// Runs `task` later on the thread of `context` (the main thread for every object of ours that
/// views observe). The task is dropped when `context` is destroyed first. Thread safe.
inline void postToMainThread(QObject* context, std::function<void()> task) {
    QMetaObject::invokeMethod(context, std::move(task), Qt::QueuedConnection);
}

} // namespace tavix
