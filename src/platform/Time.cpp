#include "Time.h"

#include <QCoreApplication>
#include <QTimer>
#include <cmath>

namespace vox {

void TaskHandle::cancel()
{
    if (!m_state || m_state->cancelled)
        return;
    m_state->cancelled = true;
    if (m_state->onCancel) {
        auto f = std::move(m_state->onCancel);
        m_state->onCancel = nullptr;
        f();
    }
}

// ---- SystemTime ---------------------------------------------------------

Date SystemTime::now() const
{
    return Date::fromUnix(QDateTime::currentMSecsSinceEpoch() / 1000.0);
}

namespace {
int toMs(double seconds)
{
    if (!(seconds > 0))
        return 0;
    return static_cast<int>(std::min(seconds * 1000.0, 2.0e9));
}

TaskHandle startTimer(double seconds, QObject *context, std::function<void()> fn, bool repeating)
{
    auto state = std::make_shared<TaskHandle::State>();
    // Parenting the timer to the context cancels the task with its owner.
    auto *timer = new QTimer(context);
    timer->setSingleShot(!repeating);
    timer->setTimerType(Qt::PreciseTimer);
    QPointer<QTimer> weak(timer);
    state->onCancel = [weak] {
        if (weak) {
            weak->stop();
            weak->deleteLater();
        }
    };
    std::weak_ptr<TaskHandle::State> ws = state;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, ws, fn = std::move(fn), repeating] {
        auto s = ws.lock();
        if (s && s->cancelled)
            return;
        if (!repeating) {
            if (s)
                s->finished = true;
            timer->deleteLater();
        }
        fn();
    });
    // A task without context lives until it fires or is cancelled.
    timer->start(toMs(seconds));
    return TaskHandle(state);
}
} // namespace

TaskHandle SystemTime::after(double seconds, QObject *context, std::function<void()> fn)
{
    return startTimer(seconds, context, std::move(fn), false);
}

TaskHandle SystemTime::every(double seconds, QObject *context, std::function<void()> fn)
{
    return startTimer(seconds, context, std::move(fn), true);
}

// ---- VirtualTime --------------------------------------------------------

VirtualTime::VirtualTime(Date start) : m_now(start) {}

void VirtualTime::schedule(double due, Entry e)
{
    m_queue.emplace(std::make_pair(due, m_seq++), std::move(e));
}

TaskHandle VirtualTime::after(double seconds, QObject *context, std::function<void()> fn)
{
    auto state = std::make_shared<TaskHandle::State>();
    Entry e{state, QPointer<QObject>(context), context != nullptr, 0, std::move(fn)};
    schedule(m_now.sinceReference + std::max(0.0, seconds), std::move(e));
    return TaskHandle(state);
}

TaskHandle VirtualTime::every(double seconds, QObject *context, std::function<void()> fn)
{
    auto state = std::make_shared<TaskHandle::State>();
    const double interval = std::max(seconds, 1e-6);
    Entry e{state, QPointer<QObject>(context), context != nullptr, interval, std::move(fn)};
    schedule(m_now.sinceReference + interval, std::move(e));
    return TaskHandle(state);
}

void VirtualTime::cleanup()
{
    for (auto it = m_queue.begin(); it != m_queue.end();) {
        const Entry &e = it->second;
        if (e.state->cancelled || (e.hasContext && !e.context))
            it = m_queue.erase(it);
        else
            ++it;
    }
}

std::optional<Date> VirtualTime::nextDue() const
{
    for (const auto &[key, e] : m_queue) {
        if (e.state->cancelled || (e.hasContext && !e.context))
            continue;
        return Date{key.first};
    }
    return std::nullopt;
}

size_t VirtualTime::pendingCount() const
{
    size_t n = 0;
    for (const auto &[key, e] : m_queue)
        if (!e.state->cancelled && !(e.hasContext && !e.context))
            ++n;
    return n;
}

bool VirtualTime::runNext(bool processEvents)
{
    cleanup();
    if (m_queue.empty())
        return false;
    auto node = m_queue.extract(m_queue.begin());
    Entry e = std::move(node.mapped());
    const double due = node.key().first;
    if (due > m_now.sinceReference)
        m_now = Date{due};
    if (e.interval > 0) {
        // Re-arm before running so the task may cancel itself.
        Entry again{e.state, e.context, e.hasContext, e.interval, e.fn};
        schedule(due + e.interval, std::move(again));
    } else {
        e.state->finished = true;
    }
    e.fn();
    if (processEvents && QCoreApplication::instance())
        QCoreApplication::processEvents();
    return true;
}

void VirtualTime::advance(double seconds, bool processEvents)
{
    const double target = m_now.sinceReference + std::max(0.0, seconds);
    if (processEvents && QCoreApplication::instance())
        QCoreApplication::processEvents();
    for (;;) {
        cleanup();
        if (m_queue.empty() || m_queue.begin()->first.first > target)
            break;
        runNext(processEvents);
    }
    m_now = Date{target};
    if (processEvents && QCoreApplication::instance())
        QCoreApplication::processEvents();
}

// ---- the shared instance -------------------------------------------------

namespace {
SystemTime &systemTime()
{
    static SystemTime t;
    return t;
}
TimeSource *g_source = nullptr;
} // namespace

TimeSource &timeSource()
{
    return g_source ? *g_source : systemTime();
}

void setTimeSource(TimeSource *source)
{
    g_source = source;
}

} // namespace vox
