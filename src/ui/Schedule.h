#pragma once

#include <QMetaObject>
#include <QObject>

namespace kelvo {

// Runs `work` on the event loop after the current event, as long as `context` still exists.
// Views use it so that a press returns at once and the operation starts as its own task.
template <class Work> void schedule(QObject* context, Work&& work) {
    QMetaObject::invokeMethod(context, std::forward<Work>(work), Qt::QueuedConnection);
}

} // namespace kelvo
