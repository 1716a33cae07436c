#pragma once
// A call handed from one thread to another: queued on the receiver's event queue and run on the
// receiver's thread. Every call that crosses between the window's thread and the link thread
// goes through here.
//
// The queue's lock lives inside Qt Core, which is not built with ThreadSanitizer, so it cannot
// see that what the call carries was written before the post and is read after the delivery.
// The hand-over is marked for it here: the call is built whole on the sending thread, then
// released; the receiver acquires it before it runs the call, and so does whoever frees a call
// that was never delivered (its receiver gone first), before the captures are destroyed. The
// little Qt object that carries the pointer to it is written inside the post, where the
// sender's writes are not recorded.

#include <QMetaObject>
#include <QObject>

#include <memory>
#include <type_traits>
#include <utility>

#include "link/thread_handover.h"

namespace orv {

// What Qt's event carries: the call, taken over by the thread that runs or frees it.
template <typename Call>
class QueuedCarrier {
  public:
    explicit QueuedCarrier(std::shared_ptr<Call> call) : call_(std::move(call)) {}
    QueuedCarrier(const QueuedCarrier&) = default;
    QueuedCarrier(QueuedCarrier&&) noexcept = default;
    QueuedCarrier& operator=(const QueuedCarrier&) = delete;
    QueuedCarrier& operator=(QueuedCarrier&&) = delete;
    ~QueuedCarrier() {
        if (call_) {
            ORV_TAKEN_OVER(call_.get());
        }
    }

    void operator()() {
        ORV_TAKEN_OVER(call_.get());
        (*call_)();
    }

  private:
    std::shared_ptr<Call> call_;
};

template <typename F>
void callQueued(QObject* receiver, F&& call) {
    using Call = std::decay_t<F>;
    // Shared, so that a call never delivered (its receiver gone first) is freed with Qt's event.
    auto handed = std::make_shared<Call>(std::forward<F>(call));
    ORV_HANDED_OVER(handed.get());
    ORV_UNRECORDED_WRITES_BEGIN();
    QMetaObject::invokeMethod(receiver, QueuedCarrier<Call>(std::move(handed)),
                              Qt::QueuedConnection);
    ORV_UNRECORDED_WRITES_END();
}

}  // namespace orv
