#pragma once
// Output ports posted to the GUI thread. A worker thread never touches a widget and never
// waits for a message box: it calls a port, and the window's implementation of the port
// posts a copy of the values to the GUI thread with PostToGui. If the receiver is gone by then,
// the call is dropped.
#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <utility>

namespace corvane::ui {

// Runs fn on the GUI thread, later, without waiting, while `receiver` still exists. Safe to
// call from any thread; fn must capture values, not references to the worker. The call is
// queued on the application object, so calls keep their order whatever their receivers, and
// the guard alone decides whether the receiver is still there.
template <typename Fn>
void PostToGui(QObject* receiver, Fn&& fn) {
    QPointer<QObject> guard(receiver);
    QObject* gui = QCoreApplication::instance() ? QCoreApplication::instance() : receiver;
    QMetaObject::invokeMethod(
        gui,
        [guard, f = std::forward<Fn>(fn)]() mutable {
            if (guard) f();
        },
        Qt::QueuedConnection);
}

}  // namespace corvane::ui
