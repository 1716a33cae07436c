#pragma once
// A call handed from one thread to another: queued on the receiver's event queue and run on the
// receiver's thread. Every call that crosses between the window's thread and the link thread
// goes through here.
//
// The queue's lock lives inside Qt Core, which is not built with ThreadSanitizer, so it cannot
// see that what the call carries was written before the post and is read after the delivery.
// The hand-over is marked for it here: the call is built whole on the sending thread, then
// released; the receiver acquires it before it runs the call. The little Qt object that carries
// the pointer to it is written inside the post, where the sender's writes are not recorded.

#include <QMetaObject>
#include <QObject>

#include <memory>
#include <type_traits>
#include <utility>

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
extern "C" void AnnotateIgnoreWritesBegin(const char* file, int line);
extern "C" void AnnotateIgnoreWritesEnd(const char* file, int line);
#endif

namespace orv {

template <typename F>
void callQueued(QObject* receiver, F&& call) {
    using Call = std::decay_t<F>;
    // Shared, so that a call never delivered (its receiver gone first) is freed with Qt's event.
    auto handed = std::make_shared<Call>(std::forward<F>(call));
#if defined(__SANITIZE_THREAD__)
    __tsan_release(handed.get());
    AnnotateIgnoreWritesBegin(__FILE__, __LINE__);
#endif
    QMetaObject::invokeMethod(
        receiver,
        [handed] {
#if defined(__SANITIZE_THREAD__)
            __tsan_acquire(handed.get());
#endif
            (*handed)();
        },
        Qt::QueuedConnection);
#if defined(__SANITIZE_THREAD__)
    AnnotateIgnoreWritesEnd(__FILE__, __LINE__);
#endif
}

}  // namespace orv
