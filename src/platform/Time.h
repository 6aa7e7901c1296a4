#pragma once
// One clock and one scheduler serve every delay and timer of the application.
// Production runs them on QTimer and the system clock; tests and the headless
// tool run them on virtual time. Nothing here assumes that time is wall time.
#include "Date.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace vox {

class Clock {
public:
    virtual ~Clock() = default;
    virtual Date now() const = 0;
};

// Cancellable handle of a scheduled task. Copies share the task; an empty
// handle is inactive. Cancelling twice, or after the task ran, is harmless.
class TaskHandle {
public:
    struct State {
        bool cancelled = false;
        bool finished = false;
        std::function<void()> onCancel;
    };
    TaskHandle() = default;
    explicit TaskHandle(std::shared_ptr<State> s) : m_state(std::move(s)) {}

    void cancel();
    bool isActive() const { return m_state && !m_state->cancelled && !m_state->finished; }
    bool isCancelled() const { return m_state && m_state->cancelled; }

private:
    std::shared_ptr<State> m_state;
};

class Scheduler {
public:
    virtual ~Scheduler() = default;
    // Runs fn once after `seconds` on the main thread. If `context` is
    // destroyed first, fn never runs (a task holds its owner weakly).
    virtual TaskHandle after(double seconds, QObject *context, std::function<void()> fn) = 0;
    // Runs fn every `seconds` until cancelled or until `context` is destroyed.
    virtual TaskHandle every(double seconds, QObject *context, std::function<void()> fn) = 0;
};

// Both at once: what most components take.
class TimeSource : public Clock, public Scheduler {};

// Wall clock and QTimer.
class SystemTime final : public TimeSource {
public:
    Date now() const override;
    TaskHandle after(double seconds, QObject *context, std::function<void()> fn) override;
    TaskHandle every(double seconds, QObject *context, std::function<void()> fn) override;
};

// Virtual time: advances only on command, firing due tasks in order of due
// time (ties in order of scheduling). Used by tests and by file transcription,
// where time follows the audio consumed.
class VirtualTime final : public TimeSource {
public:
    explicit VirtualTime(Date start = Date::fromUnix(1'780'000'000.0));

    Date now() const override { return m_now; }
    TaskHandle after(double seconds, QObject *context, std::function<void()> fn) override;
    TaskHandle every(double seconds, QObject *context, std::function<void()> fn) override;

    // Moves time forward by `seconds`, running every task that falls due,
    // each with now() equal to its due time. Pending Qt events (queued
    // signals, network replies) are processed between tasks when
    // `processEvents` is true.
    void advance(double seconds, bool processEvents = true);
    // Moves to the next due task and runs it; false when nothing is pending.
    bool runNext(bool processEvents = true);
    // Time of the next due task, if any.
    std::optional<Date> nextDue() const;
    size_t pendingCount() const;
    void setNow(Date d) { m_now = d; }

private:
    struct Entry {
        std::shared_ptr<TaskHandle::State> state;
        QPointer<QObject> context;
        bool hasContext = false;
        double interval = 0; // > 0 for repeating tasks
        std::function<void()> fn;
    };
    void schedule(double due, Entry e);
    void cleanup();

    Date m_now;
    unsigned long long m_seq = 0;
    std::map<std::pair<double, unsigned long long>, Entry> m_queue;
};

// The application-wide time source. Defaults to SystemTime; tests and the
// headless tool install another one before building the objects that use it.
TimeSource &timeSource();
void setTimeSource(TimeSource *source); // nullptr restores the system time

} // namespace vox
