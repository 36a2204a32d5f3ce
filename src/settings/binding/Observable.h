#pragma once
// Observable<V>: a key's change announcer for widgets, on the GUI thread.
//
//   Observable<bool> observable(transparentBackground());
//   QObject::connect(&observable, &ObservableBase::objectWillChange, view, &View::rebuild);
//
// What happens:
//   1. Creation stores the key and runs observe(): a Prefs::updates stream of the key,
//      initial false.
//   2. Each element of the stream (one per write of the key in this process, on any
//      thread) is handed to the thread the Observable lives on — directly when the write
//      happened there, queued otherwise — which takes it and emits objectWillChange().
//   3. setKey() runs observe() again only when the new key differs in name or suite;
//      the replaced stream ends and its observation is invalidated.
//   4. Destruction ends the stream: later writes do no work for it, and wake-ups already
//      queued are discarded with the object.
// value() and setValue() read and write through the key (Prefs::get / Prefs::set).
//
// Thread-safety: a QObject of its thread (normally the GUI thread): use it there only and
// do not move it to another thread. Writes may come from any thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

#include <QObject>

#include "settings/Prefs.h"

namespace vorrel::Prefs {

class ObservableBase : public QObject {
    Q_OBJECT

public:
    ~ObservableBase() override;

    // How many times observe() ran: 1 after creation, one more per restart.
    std::uint64_t observationGeneration() const { return generation_; }

signals:
    void objectWillChange();

protected:
    explicit ObservableBase(QObject* parent);

    // A wake-up for the stream of the current generation; call before creating it.
    std::function<void()> nextWakeup();
    // Stops wake-ups reaching this object (call first in the derived destructor).
    void closeGate();
    // Takes one element of the current stream; true when there was one.
    virtual bool takeElement() = 0;

private:
    struct Gate;
    void wake(std::uint64_t generation);

    std::shared_ptr<Gate> gate_;
    std::uint64_t generation_ = 0;
};

template <SerializableType V>
class Observable : public ObservableBase {
public:
    explicit Observable(Key<V> key, QObject* parent = nullptr)
        : ObservableBase(parent), key_(std::move(key)) {
        observe();
    }
    ~Observable() override {
        closeGate();
        updates_.reset();
    }

    const Key<V>& key() const { return key_; }
    void setKey(Key<V> key) {
        bool differs = key.name() != key_.name() || key.suite() != key_.suite();
        key_ = std::move(key);
        if (differs) observe();
    }

    V value() const { return get(key_); }
    // Answers why the value was not stored, or nothing.
    std::optional<platform::SuiteWriteError> setValue(const V& value) { return set(key_, value); }

    void observe() {
        updates_.reset();
        auto wakeup = nextWakeup();
        updates_ = std::make_unique<Updates<V>>(key_, false, std::move(wakeup));
    }

protected:
    bool takeElement() override { return updates_ && updates_->tryNext().has_value(); }

private:
    Key<V> key_;
    std::unique_ptr<Updates<V>> updates_;
};

}  // namespace vorrel::Prefs
