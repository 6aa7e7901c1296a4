#include "DefaultInputSwitch.h"

#include "engine/AudioDeviceManager.h"
#include "platform/Diag.h"
#include "platform/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace vox {

int statusOf(const Result<bool> &r)
{
    return r ? 0 : r.error().code;
}

DefaultInputSwitch::DefaultInputSwitch(Platform platform) : m_platform(std::move(platform)) {}

QString DefaultInputSwitch::notePath() const
{
    if (!m_platform.desktop)
        return {};
    const QString base = m_platform.desktop->applicationDataFolder();
    if (base.isEmpty())
        return {};
    return QDir(base).filePath(QStringLiteral("Voxleaf/previous_default_input.json"));
}

void DefaultInputSwitch::remember(AudioObjectID id)
{
    const QString path = notePath();
    if (path.isEmpty() || id == 0)
        return;
    QString uid;
    if (m_platform.hardware) {
        if (auto found = m_platform.hardware->deviceUID(id))
            uid = found.value();
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QJsonObject o;
    o.insert(QStringLiteral("id"), qint64(id));
    o.insert(QStringLiteral("uid"), uid);
    // Without this note a crash would leave the user's default input on the
    // chosen microphone for good: a failure to write it is worth a line.
    if (auto written = Files::writeAtomically(path, QJsonDocument(o).toJson(QJsonDocument::Compact), 0600); !written)
        diag(QStringLiteral("无法记下切换前的默认输入设备: ") + written.error().message);
}

void DefaultInputSwitch::restoreLeftOver()
{
    const QString path = notePath();
    if (path.isEmpty() || !m_platform.hardware)
        return;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    const QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
    f.close();
    AudioObjectID id = AudioObjectID(o.value(QStringLiteral("id")).toInteger());
    const QString uid = o.value(QStringLiteral("uid")).toString();
    // Device ids need not survive a restart; the UID does.
    if (!uid.isEmpty()) {
        for (AudioObjectID candidate : AudioDeviceManager::inputDeviceIDs(*m_platform.hardware)) {
            if (auto u = m_platform.hardware->deviceUID(candidate); u && u.value() == uid) {
                id = candidate;
                break;
            }
        }
    }
    if (id != 0) {
        const auto set = m_platform.hardware->setDefaultInputDevice(id);
        diag(QStringLiteral("恢复上次未还原的默认输入设备 id=%1，返回 %2").arg(id).arg(statusOf(set)));
    }
    QFile::remove(path);
}

Result<bool> DefaultInputSwitch::switchTo(AudioObjectID id)
{
    if (!m_platform.hardware)
        return Error{QStringLiteral("HardwareAudio"), -1, QStringLiteral("没有音频硬件层")};
    const auto current = m_platform.hardware->defaultInputDevice();
    const AudioObjectID previous = current ? current.value() : 0;
    m_previous = previous;
    diag(QStringLiteral("切换前默认输入设备 id=%1").arg(previous));
    remember(previous);
    return m_platform.hardware->setDefaultInputDevice(id);
}

void DefaultInputSwitch::restore()
{
    if (m_previous == 0)
        return;
    if (m_platform.hardware)
        m_platform.hardware->setDefaultInputDevice(m_previous);
    m_previous = 0;
    if (const QString path = notePath(); !path.isEmpty())
        QFile::remove(path);
}

} // namespace vox
