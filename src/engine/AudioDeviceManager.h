#pragma once
// The selectable microphones and the mapping of a chosen one to the hardware
// layer's device id (whose default-input setting the engine switches).
#include "platform/Platform.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <optional>
#include <vector>

namespace vox {

struct AudioDevice {
    QString id;   // the capture device's unique identifier
    QString name; // its display name
    bool operator==(const AudioDevice &) const = default;
};

class AudioDeviceManager : public QObject {
    Q_OBJECT
    // Maps {id, name}, in the platform's discovery order.
    Q_PROPERTY(QVariantList devices READ devicesVariant NOTIFY devicesChanged)
    // Empty when nothing is selected.
    Q_PROPERTY(QString selectedDeviceID READ selectedDeviceIDString WRITE setSelectedDeviceID NOTIFY
                   selectedDeviceIDChanged)
public:
    explicit AudioDeviceManager(QObject *parent = nullptr);
    explicit AudioDeviceManager(const Platform &platform, QObject *parent = nullptr);

    const std::vector<AudioDevice> &devices() const { return m_devices; }
    QVariantList devicesVariant() const;
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
    void devicesChanged();
    void selectedDeviceIDChanged();

private:
    void select(std::optional<QString> id);

    Platform m_platform;
    std::vector<AudioDevice> m_devices;
    std::optional<QString> m_selected;
};

} // namespace vox
