#include "settings/binding/Observable.h"

#include <QMetaObject>
#include <QThread>

namespace vorrel::Prefs {

// Wake-ups come from writing threads while the object may be dying on its own thread:
// the gate's mutex makes "post to the object" and "the object is gone" exclusive.
struct ObservableBase::Gate {
    std::mutex mutex;
    ObservableBase* target = nullptr;
    QThread* thread = nullptr;
};

ObservableBase::ObservableBase(QObject* parent) : QObject(parent), gate_(std::make_shared<Gate>()) {
    gate_->target = this;
    gate_->thread = thread();
}

ObservableBase::~ObservableBase() { closeGate(); }

void ObservableBase::closeGate() {
    std::lock_guard guard(gate_->mutex);
    gate_->target = nullptr;
}

std::function<void()> ObservableBase::nextWakeup() {
    const std::uint64_t generation = ++generation_;
    return [gate = gate_, generation] {
        if (QThread::currentThread() == gate->thread) {
            // The object lives on this thread, so it cannot be destroyed concurrently.
            ObservableBase* target = nullptr;
            {
                std::lock_guard guard(gate->mutex);
                target = gate->target;
            }
            if (target) target->wake(generation);
            return;
        }
        std::lock_guard guard(gate->mutex);
        if (!gate->target) return;
        ObservableBase* target = gate->target;
        QMetaObject::invokeMethod(
            target, [target, generation] { target->wake(generation); }, Qt::QueuedConnection);
    };
}

void ObservableBase::wake(std::uint64_t generation) {
    // A wake-up of a replaced stream: its elements went with it.
    if (generation != generation_) return;
    if (takeElement()) emit objectWillChange();
}

}  // namespace vorrel::Prefs
