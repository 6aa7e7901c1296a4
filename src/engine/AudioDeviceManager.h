#pragma once
// The selectable microphones and the mapping of a chosen one to the hardware
// layer's device id (whose default-input setting the engine switches).
#include "engine/AudioDeviceList.h"
#include "platform/Platform.h"

#include <QObject>
#include <QString>
#include <optional>
#include <vector>

namespace vox {

class AudioDeviceManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(vox::AudioDeviceList *list READ list CONSTANT)
    // Empty when nothing is selected.
    Q_PROPERTY(QString selectedDeviceID READ selectedDeviceIDString WRITE setSelectedDeviceID NOTIFY
                   selectedDeviceIDChanged)
public:
    explicit AudioDeviceManager(QObject *parent = nullptr);
    explicit AudioDeviceManager(const Platform &platform, QObject *parent = nullptr);

    const std::vector<AudioDevice> &devices() const { return m_list.devices(); }
    AudioDeviceList *list() { return &m_list; }
    const std::optional<QString> &selectedDeviceID() const { return m_selected; }
    QString selectedDeviceIDString() const { return m_selected.value_or(QString()); }
    void setSelectedDeviceID(const QString &id);

    // Rebuilds the list and keeps or repairs the selection.
    Q_INVOKABLE void refresh();

    // Every device id of the hardware layer (empty on any error).
    static std::vector<AudioObjectID> allAudioDeviceIDs(HardwareAudio &hw);
    // The ids of devices with input streams, in order.
    static std::vector<AudioObjectID> inputDeviceIDs(HardwareAudio &hw);
    // The hardware id of a capture device: by UID, then by display name.
    static std::optional<AudioObjectID> audioDeviceID(const QString &deviceID, const Platform &platform);

Q_SIGNALS:
    void selectedDeviceIDChanged();

private:
    void select(std::optional<QString> id);

    Platform m_platform;
    AudioDeviceList m_list;
    std::optional<QString> m_selected;
};

} // namespace vox
