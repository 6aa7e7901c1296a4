#include "AudioDeviceManager.h"

namespace vox {

AudioDeviceManager::AudioDeviceManager(QObject *parent) : AudioDeviceManager(vox::platform(), parent) {}

AudioDeviceManager::AudioDeviceManager(const Platform &platform, QObject *parent)
    : QObject(parent), m_platform(platform), m_list(this)
{
    // A microphone plugged in or pulled out shows in the list at once.
    if (m_platform.captureDevices)
        m_platform.captureDevices->watch(this, [this] { refresh(); });
}

void AudioDeviceManager::setSelectedDeviceID(const QString &id)
{
    select(id.isEmpty() ? std::nullopt : std::optional<QString>(id));
}

void AudioDeviceManager::select(std::optional<QString> id)
{
    if (m_selected == id)
        return;
    m_selected = std::move(id);
    emit selectedDeviceIDChanged();
}

void AudioDeviceManager::refresh()
{
    std::vector<AudioDevice> list;
    if (m_platform.captureDevices) {
        for (const auto &d : m_platform.captureDevices->discover())
            if (d.connected && !d.suspended)
                list.push_back(AudioDevice{d.uniqueID, d.localizedName});
    }
    m_list.setDevices(list);
    if (m_selected && m_list.indexOf(*m_selected) >= 0)
        return;
    if (m_platform.captureDevices) {
        if (auto def = m_platform.captureDevices->defaultDevice()) {
            select(def->uniqueID);
            return;
        }
    }
    select(devices().empty() ? std::nullopt : std::optional<QString>(devices().front().id));
}

std::vector<AudioObjectID> AudioDeviceManager::allAudioDeviceIDs(HardwareAudio &hw)
{
    auto ids = hw.deviceIDs();
    return ids ? std::move(ids.value()) : std::vector<AudioObjectID>();
}

std::vector<AudioObjectID> AudioDeviceManager::inputDeviceIDs(HardwareAudio &hw)
{
    std::vector<AudioObjectID> out;
    for (AudioObjectID id : allAudioDeviceIDs(hw)) {
        if (auto count = hw.inputStreamCount(id); count && count.value() > 0)
            out.push_back(id);
    }
    return out;
}

std::optional<AudioObjectID> AudioDeviceManager::audioDeviceID(const QString &deviceID, const Platform &platform)
{
    if (!platform.hardware)
        return std::nullopt;
    HardwareAudio &hw = *platform.hardware;
    const std::vector<AudioObjectID> inputs = inputDeviceIDs(hw);
    for (AudioObjectID id : inputs) {
        if (auto uid = hw.deviceUID(id); uid && uid.value() == deviceID)
            return id;
    }
    if (!platform.captureDevices)
        return std::nullopt;
    const auto device = platform.captureDevices->device(deviceID);
    if (!device)
        return std::nullopt;
    for (AudioObjectID id : inputs) {
        if (auto name = hw.deviceName(id); name && name.value() == device->localizedName)
            return id;
    }
    return std::nullopt;
}

} // namespace vox
