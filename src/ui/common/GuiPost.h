#pragma once
// Output ports posted to the GUI thread. A worker thread never touches a widget and never
// waits for a message box: it calls a port, and the window's implementation of the port
// posts a copy of the values to the GUI thread with PostToGui. If the receiver is gone by then,
// the call is dropped.
#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <deque>
#include <functional>
#include <mutex>
#include <utility>

namespace corvane::ui {

namespace detail {

// The calls waiting for the GUI thread, in the order they were posted. The hand-over goes
// through this mutex rather than through Qt's event queue alone, so that it is plain to see
// (and to a thread checker) that a worker's values are complete before the GUI thread reads them.
struct PostedCalls {
    std::mutex mutex;
    std::deque<std::function<void()>> calls;
};

inline PostedCalls& Posted() {
    static PostedCalls posted;
    return posted;
}

// Runs every call posted so far (GUI thread).
inline void RunPosted() {
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard<std::mutex> lock(Posted().mutex);
            if (Posted().calls.empty()) return;
            call = std::move(Posted().calls.front());
            Posted().calls.pop_front();
        }
        call();
    }
}

}  // namespace detail

// Runs fn on the GUI thread, later, without waiting, while `receiver` still exists. Safe to
// call from any thread; fn must capture values, not references to the worker. Calls keep their
// order whatever their receivers, and the guard alone decides whether the receiver is still there.
template <typename Fn>
void PostToGui(QObject* receiver, Fn&& fn) {
    QPointer<QObject> guard(receiver);
    {
        std::lock_guard<std::mutex> lock(detail::Posted().mutex);
        detail::Posted().calls.emplace_back([guard, f = std::forward<Fn>(fn)]() mutable {
            if (guard) f();
        });
    }
    QObject* gui = QCoreApplication::instance() ? QCoreApplication::instance() : receiver;
    QMetaObject::invokeMethod(gui, [] { detail::RunPosted(); }, Qt::QueuedConnection);
}

}  // namespace corvane::ui
