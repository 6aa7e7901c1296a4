#include "PulseHardwareAudio.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/operation.h>

#include <chrono>
#include <functional>

namespace vox::pulse {

namespace {

using SteadyClock = std::chrono::steady_clock;

struct SourceListCall {
    std::vector<SourceInfo> *out = nullptr;
    bool done = false;
    int error = 0;
};

struct ServerInfoCall {
    QString defaultSource;
    QString defaultSink;
    bool done = false;
};

struct SuccessCall {
    bool done = false;
    int error = 0;
};

} // namespace

struct Connection::Impl {
    int timeoutMs;
    pa_mainloop *loop = nullptr;
    pa_context *context = nullptr;

    explicit Impl(int t) : timeoutMs(t) {}
    ~Impl() { reset(); }

    void reset()
    {
        if (context) {
            pa_context_disconnect(context);
            pa_context_unref(context);
            context = nullptr;
        }
        if (loop) {
            pa_mainloop_free(loop);
            loop = nullptr;
        }
    }

    // Runs the loop until `done` holds; false when the time limit passed or
    // the loop failed.
    bool runUntil(const std::function<bool()> &done)
    {
        const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done()) {
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - SteadyClock::now());
            if (left.count() <= 0)
                return false;
            if (pa_mainloop_prepare(loop, int(left.count())) < 0)
                return false;
            if (pa_mainloop_poll(loop) < 0)
                return false;
            if (pa_mainloop_dispatch(loop) < 0)
                return false;
        }
        return true;
    }

    bool ready() const { return context && pa_context_get_state(context) == PA_CONTEXT_READY; }

    // Waits for an operation; PA_ERR_TIMEOUT (and a fresh connection next
    // time) when it does not complete in time.
    int wait(pa_operation *op, const std::function<bool()> &done)
    {
        if (!op) {
            const int err = context ? pa_context_errno(context) : PA_ERR_INTERNAL;
            if (!ready())
                reset();
            return err ? err : PA_ERR_INTERNAL;
        }
        const bool finished = runUntil([&] {
            return done() || pa_operation_get_state(op) != PA_OPERATION_RUNNING || !ready();
        });
        const bool completed = done();
        if (!completed)
            pa_operation_cancel(op);
        pa_operation_unref(op);
        if (completed)
            return 0;
        int err = PA_ERR_TIMEOUT;
        if (finished && context && pa_context_errno(context))
            err = pa_context_errno(context);
        reset();
        return err;
    }
};

Connection::Connection(int timeoutMs) : d(std::make_unique<Impl>(timeoutMs)) {}
Connection::~Connection() = default;

int Connection::ensureConnected()
{
    if (d->ready())
        return 0;
    d->reset();
    d->loop = pa_mainloop_new();
    if (!d->loop)
        return PA_ERR_INTERNAL;
    d->context = pa_context_new(pa_mainloop_get_api(d->loop), "Voxleaf");
    if (!d->context) {
        d->reset();
        return PA_ERR_INTERNAL;
    }
    if (pa_context_connect(d->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        const int err = pa_context_errno(d->context);
        d->reset();
        return err ? err : PA_ERR_CONNECTIONREFUSED;
    }
    const bool settled = d->runUntil([this] {
        const pa_context_state_t s = pa_context_get_state(d->context);
        return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
    });
    if (d->ready())
        return 0;
    int err = settled ? pa_context_errno(d->context) : PA_ERR_TIMEOUT;
    if (err == 0)
        err = PA_ERR_CONNECTIONREFUSED;
    d->reset();
    return err;
}

int Connection::sources(std::vector<SourceInfo> &out)
{
    out.clear();
    if (int err = ensureConnected())
        return err;
    SourceListCall call;
    call.out = &out;
    auto cb = [](pa_context *c, const pa_source_info *info, int eol, void *user) {
        auto *call = static_cast<SourceListCall *>(user);
        if (eol < 0) {
            call->error = pa_context_errno(c);
            if (call->error == 0)
                call->error = PA_ERR_UNKNOWN;
            call->done = true;
            return;
        }
        if (eol > 0) {
            call->done = true;
            return;
        }
        SourceInfo s;
        s.index = info->index;
        s.name = QString::fromUtf8(info->name ? info->name : "");
        s.description = QString::fromUtf8(info->description ? info->description : "");
        s.monitor = info->monitor_of_sink != PA_INVALID_INDEX;
        s.sampleRate = info->sample_spec.rate;
        s.channels = info->sample_spec.channels;
        call->out->push_back(std::move(s));
    };
    pa_operation *op = pa_context_get_source_info_list(d->context, cb, &call);
    if (int err = d->wait(op, [&] { return call.done; })) {
        out.clear();
        return err;
    }
    if (call.error)
        out.clear();
    return call.error;
}

int Connection::serverDefaults(QString &source, QString &sink)
{
    source.clear();
    sink.clear();
    if (int err = ensureConnected())
        return err;
    ServerInfoCall call;
    auto cb = [](pa_context *, const pa_server_info *info, void *user) {
        auto *call = static_cast<ServerInfoCall *>(user);
        if (info && info->default_source_name)
            call->defaultSource = QString::fromUtf8(info->default_source_name);
        if (info && info->default_sink_name)
            call->defaultSink = QString::fromUtf8(info->default_sink_name);
        call->done = true;
    };
    if (int err = d->wait(pa_context_get_server_info(d->context, cb, &call), [&] { return call.done; }))
        return err;
    source = call.defaultSource;
    sink = call.defaultSink;
    return 0;
}

int Connection::defaultSourceName(QString &name)
{
    QString sink;
    return serverDefaults(name, sink);
}

int Connection::defaultSinkName(QString &name)
{
    QString source;
    return serverDefaults(source, name);
}

int Connection::setDefaultSource(const QString &name)
{
    if (int err = ensureConnected())
        return err;
    SuccessCall call;
    auto cb = [](pa_context *c, int success, void *user) {
        auto *call = static_cast<SuccessCall *>(user);
        if (!success) {
            call->error = pa_context_errno(c);
            if (call->error == 0)
                call->error = PA_ERR_UNKNOWN;
        }
        call->done = true;
    };
    const QByteArray utf8 = name.toUtf8();
    pa_operation *op = pa_context_set_default_source(d->context, utf8.constData(), cb, &call);
    if (int err = d->wait(op, [&] { return call.done; }))
        return err;
    return call.error;
}

namespace {

std::optional<QString> oneShotName(int timeoutMs, int (Connection::*read)(QString &))
{
    Connection c(timeoutMs);
    QString name;
    if ((c.*read)(name) != 0)
        return std::nullopt;
    return name;
}

} // namespace

std::optional<QString> defaultSourceName(int timeoutMs)
{
    return oneShotName(timeoutMs, &Connection::defaultSourceName);
}

std::optional<QString> defaultSinkName(int timeoutMs)
{
    return oneShotName(timeoutMs, &Connection::defaultSinkName);
}

std::optional<std::vector<SourceInfo>> listSources(int timeoutMs)
{
    Connection c(timeoutMs);
    std::vector<SourceInfo> out;
    if (c.sources(out) != 0)
        return std::nullopt;
    return out;
}

std::optional<SourceInfo> defaultSource(int timeoutMs)
{
    Connection c(timeoutMs);
    QString name;
    std::vector<SourceInfo> all;
    if (c.defaultSourceName(name) != 0 || name.isEmpty() || c.sources(all) != 0)
        return std::nullopt;
    for (const SourceInfo &s : all) {
        if (s.name == name)
            return s;
    }
    return std::nullopt;
}

} // namespace vox::pulse

namespace vox {

PulseHardwareAudio::PulseHardwareAudio(int timeoutMs) : m_conn(timeoutMs) {}
PulseHardwareAudio::~PulseHardwareAudio() = default;

Error PulseHardwareAudio::failure(int paError)
{
    return Error{QStringLiteral("PulseAudio"), paError,
                 QStringLiteral("PulseAudio 错误：") + QString::fromUtf8(pa_strerror(paError))};
}

Result<std::vector<AudioObjectID>> PulseHardwareAudio::deviceIDs()
{
    std::lock_guard lock(m_mutex);
    std::vector<pulse::SourceInfo> all;
    if (int err = m_conn.sources(all))
        return failure(err);
    std::vector<AudioObjectID> out;
    for (const pulse::SourceInfo &s : all)
        out.push_back(idOf(s.index));
    return out;
}

Result<pulse::SourceInfo> PulseHardwareAudio::findSource(AudioObjectID id)
{
    std::vector<pulse::SourceInfo> all;
    if (int err = m_conn.sources(all))
        return failure(err);
    for (pulse::SourceInfo &s : all) {
        if (idOf(s.index) == id)
            return std::move(s);
    }
    return failure(PA_ERR_NOENTITY);
}

Result<quint32> PulseHardwareAudio::inputStreamCount(AudioObjectID id)
{
    std::lock_guard lock(m_mutex);
    auto s = findSource(id);
    if (!s)
        return s.error();
    return quint32(s.value().monitor ? 0 : 1);
}

Result<QString> PulseHardwareAudio::deviceUID(AudioObjectID id)
{
    std::lock_guard lock(m_mutex);
    auto s = findSource(id);
    if (!s)
        return s.error();
    return s.value().name;
}

Result<QString> PulseHardwareAudio::deviceName(AudioObjectID id)
{
    std::lock_guard lock(m_mutex);
    auto s = findSource(id);
    if (!s)
        return s.error();
    return s.value().description;
}

Result<AudioObjectID> PulseHardwareAudio::defaultInputDevice()
{
    std::lock_guard lock(m_mutex);
    QString name;
    if (int err = m_conn.defaultSourceName(name))
        return failure(err);
    std::vector<pulse::SourceInfo> all;
    if (int err = m_conn.sources(all))
        return failure(err);
    for (const pulse::SourceInfo &s : all) {
        if (s.name == name)
            return idOf(s.index);
    }
    return failure(PA_ERR_NOENTITY);
}

Result<bool> PulseHardwareAudio::setDefaultInputDevice(AudioObjectID id)
{
    std::lock_guard lock(m_mutex);
    auto s = findSource(id);
    if (!s)
        return s.error();
    if (s.value().monitor)
        return failure(PA_ERR_NOTSUPPORTED);
    if (int err = m_conn.setDefaultSource(s.value().name))
        return failure(err);
    return true;
}

} // namespace vox
