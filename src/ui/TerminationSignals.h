#pragma once
// SIGTERM and SIGINT turned into a Qt signal on the main thread: the handler
// only writes the signal number into a pipe, a socket notifier reads it. A
// third signal, when the event loop is stuck, gets the default action (the
// running course's file is kept current on disk and recovered at the next
// start). One instance at a time; the previous handlers come back when it goes.
#include <QObject>
#include <memory>

class QSocketNotifier;

namespace vox {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // The handlers are installed.
    bool isActive() const { return bool(m_notifier); }

Q_SIGNALS:
    // SIGTERM or SIGINT arrived (the number, e.g. 15).
    void received(int signalNumber);

private:
    void readPipe();

    int m_fds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace vox
