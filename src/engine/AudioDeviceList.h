#pragma once
// The selectable microphones as a list (roles "id" and "name"), in the
// platform's discovery order. A new discovery changes only the rows that
// differ, so a view keeps its place while a microphone comes or goes.
#include <QAbstractListModel>
#include <QString>
#include <vector>

namespace vox {

struct AudioDevice {
    QString id;   // the capture device's unique identifier
    QString name; // its display name
    bool operator==(const AudioDevice &) const = default;
};

class AudioDeviceList : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
public:
    enum Role { IdRole = Qt::UserRole + 1, NameRole };
    explicit AudioDeviceList(QObject *parent = nullptr);

    const std::vector<AudioDevice> &devices() const { return m_devices; }
    // Removes, inserts and renames rows until the list equals `devices`.
    void setDevices(const std::vector<AudioDevice> &devices);
    int count() const { return int(m_devices.size()); }
    // The row of a device id, -1 when absent.
    Q_INVOKABLE int indexOf(const QString &id) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void countChanged();

private:
    std::vector<AudioDevice> m_devices;
};

} // namespace vox
