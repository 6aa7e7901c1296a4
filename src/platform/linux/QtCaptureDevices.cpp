#include "QtCaptureDevices.h"

#include "PulseHardwareAudio.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSet>

namespace vox {

namespace {

CaptureDevice fromQt(const QAudioDevice &d)
{
    CaptureDevice c;
    c.uniqueID = QString::fromUtf8(d.id());
    c.localizedName = d.description();
    c.connected = true;
    c.suspended = false;
    return c;
}

} // namespace

std::vector<CaptureDevice> QtCaptureDevices::discover()
{
    // Monitor sources are not microphones; PulseAudio knows which they are.
    QSet<QString> monitors;
    const auto sources = pulse::listSources();
    if (sources) {
        for (const pulse::SourceInfo &s : *sources) {
            if (s.monitor)
                monitors.insert(s.name);
        }
    }
    std::vector<CaptureDevice> out;
    for (const QAudioDevice &d : QMediaDevices::audioInputs()) {
        CaptureDevice c = fromQt(d);
        if (monitors.contains(c.uniqueID))
            continue;
        if (!sources && c.uniqueID.endsWith(QLatin1String(".monitor")))
            continue;
        out.push_back(std::move(c));
    }
    return out;
}

std::optional<CaptureDevice> QtCaptureDevices::defaultDevice()
{
    const auto def = pulse::defaultSource();
    if (!def) {
        const QAudioDevice d = QMediaDevices::defaultAudioInput();
        if (d.isNull())
            return std::nullopt;
        return fromQt(d);
    }
    for (const QAudioDevice &d : QMediaDevices::audioInputs()) {
        if (QString::fromUtf8(d.id()) == def->name)
            return fromQt(d);
    }
    // Not (yet) in Qt's list: describe it from PulseAudio.
    CaptureDevice c;
    c.uniqueID = def->name;
    c.localizedName = def->description;
    return c;
}

std::optional<CaptureDevice> QtCaptureDevices::device(const QString &uniqueID)
{
    for (const QAudioDevice &d : QMediaDevices::audioInputs()) {
        if (QString::fromUtf8(d.id()) == uniqueID)
            return fromQt(d);
    }
    return std::nullopt;
}

void QtCaptureDevices::watch(QObject *context, std::function<void()> handler)
{
    // Qt follows PulseAudio's source list on its own; one watcher per context.
    auto *media = new QMediaDevices(context);
    QObject::connect(media, &QMediaDevices::audioInputsChanged, context, [handler] { handler(); });
}

} // namespace vox
