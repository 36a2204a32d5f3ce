#pragma once
// TerminationSignals: SIGTERM, SIGINT and SIGHUP turned into an orderly exit on the GUI thread.
//
// What happens:
//  1. the constructor installs a handler for the three signals that only writes the signal's
//     number into a pipe (the one thing a handler may safely do);
//  2. a QSocketNotifier on the creating thread reads the pipe when its event loop runs and
//     emits arrived(signal), once: later signals change nothing;
//  3. received() tells the first signal, also one still waiting in the pipe when no event
//     loop ran since (for a last look before the program returns);
//  4. the destructor brings back the previous handlers.
// The program then stops its work and exits with exitStatus() = 128 + the signal's number.
//
// Thread-safety: create, use and destroy on the GUI thread; one object at a time per process.

#include <QObject>

class QSocketNotifier;

namespace vorrel::platform {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // The first signal received, or 0.
    int received();
    // 128 + received(), or `otherwise` when no signal came.
    int exitStatus(int otherwise) { return received() ? 128 + received() : otherwise; }

signals:
    void arrived(int signal);

private:
    void readPipe();

    QSocketNotifier* notifier_ = nullptr;
    int received_ = 0;
};

}  // namespace vorrel::platform
