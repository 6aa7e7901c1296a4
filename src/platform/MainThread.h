#pragma once
// Hopping from a platform thread (audio, recognizer, permission callbacks)
// to the main thread.
#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

namespace vox {

// Runs fn(object) on the main thread later, if `object` still exists then.
// Safe to call from any thread.
template <typename T, typename Fn>
void hopToMain(const QPointer<T> &object, Fn fn)
{
    QObject *app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app,
        [object, fn = std::move(fn)]() mutable {
            if (object)
                fn(object.data());
        },
        Qt::QueuedConnection);
}

} // namespace vox
