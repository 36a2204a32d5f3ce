#include "settings/Observation.h"

namespace vorrel::Prefs {

namespace {
thread_local bool propagationSuppressed = false;
}

bool isPropagationSuppressed() { return propagationSuppressed; }

void detail::setPropagationSuppressed(bool suppressed) { propagationSuppressed = suppressed; }

// The state lives in a shared block: the suite's registry holds it only weakly, and a
// notification already in flight on another thread keeps it alive until it returns, so a
// late callback never touches a destroyed observation.
struct PrefsObservation::Core : std::enable_shared_from_this<PrefsObservation::Core> {
    Core(const std::shared_ptr<platform::Suite>& s, std::string n, Callback c)
        : name(std::move(n)), callback(std::move(c)), suite(s) {}

    const std::string name;
    const Callback callback;

    std::mutex lock;  // serialises start() and invalidate()
    bool isObserving = false;
    ObservationOptions options;
    std::optional<platform::Suite::ObserverId> observerId;

    // Read by handlers on writing threads, which must not take `lock` (start() holds it
    // while the initial change is delivered).
    mutable std::mutex stateMutex;
    std::weak_ptr<platform::Suite> suite;
    bool delivering = false;

    std::shared_ptr<platform::Suite> currentSuite(bool* active = nullptr) const {
        std::lock_guard guard(stateMutex);
        if (active) *active = delivering;
        return suite.lock();
    }

    void invalidateLocked() {
        if (isObserving && observerId) {
            if (auto s = currentSuite()) s->removeObserver(*observerId);
        }
        isObserving = false;
        observerId.reset();
        std::lock_guard guard(stateMutex);
        suite.reset();
        delivering = false;
    }

    void deliver(const std::shared_ptr<platform::Suite>& observed, BaseChange change) {
        if (isPropagationSuppressed()) return;
        callback(SuiteKeyPair(observed, name), change);
    }

    void handle(platform::Suite& writer, const std::optional<Object>& oldValue,
                const std::optional<Object>& newValue) {
        bool active = false;
        auto observed = currentSuite(&active);
        if (!active) return;
        if (!observed) {
            std::lock_guard guard(lock);
            invalidateLocked();
            return;
        }
        if (writer.name() != observed->name()) return;
        if (options.contains(ObservationOption::prior) && !options.contains(ObservationOption::initial))
            deliver(observed, BaseChange{ChangeKind::setting, std::nullopt, true, std::nullopt, oldValue});
        deliver(observed, BaseChange{ChangeKind::setting, std::nullopt, false, newValue, oldValue});
    }
};

PrefsObservation::PrefsObservation(const std::shared_ptr<platform::Suite>& suite, std::string name,
                                   Callback callback)
    : core_(std::make_shared<Core>(suite, std::move(name), std::move(callback))) {}

PrefsObservation::~PrefsObservation() { invalidate(); }

void PrefsObservation::start(ObservationOptions options) {
    std::lock_guard guard(core_->lock);
    if (core_->isObserving) return;
    auto suite = core_->currentSuite();
    if (!suite) return;
    core_->options = options;
    {
        std::lock_guard state(core_->stateMutex);
        core_->delivering = true;
    }
    std::weak_ptr<Core> weak = core_;
    core_->observerId = suite->addObserver(
        core_->name, [weak](platform::Suite& writer, const std::string&, const std::optional<Object>& oldValue,
                            const std::optional<Object>& newValue) {
            if (auto core = weak.lock()) core->handle(writer, oldValue, newValue);
        });
    core_->isObserving = true;
    if (options.contains(ObservationOption::initial))
        core_->deliver(suite, BaseChange{ChangeKind::setting, std::nullopt, false,
                                         suite->objectForKey(core_->name), std::nullopt});
}

void PrefsObservation::invalidate() {
    std::lock_guard guard(core_->lock);
    core_->invalidateLocked();
}

bool PrefsObservation::isObserving() const {
    std::lock_guard guard(core_->lock);
    // The registration went with the suite's last handle, so no notification will come to
    // end the observation: a gone suite ends it here.
    if (core_->isObserving && !core_->currentSuite()) core_->invalidateLocked();
    return core_->isObserving;
}

const std::string& PrefsObservation::name() const { return core_->name; }

}  // namespace vorrel::Prefs
