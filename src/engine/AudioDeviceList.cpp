#include "AudioDeviceList.h"

#include <algorithm>

namespace vox {

AudioDeviceList::AudioDeviceList(QObject *parent) : QAbstractListModel(parent)
{
    connect(this, &QAbstractItemModel::rowsInserted, this, &AudioDeviceList::countChanged);
    connect(this, &QAbstractItemModel::rowsRemoved, this, &AudioDeviceList::countChanged);
}

int AudioDeviceList::indexOf(const QString &id) const
{
    const auto it = std::find_if(m_devices.begin(), m_devices.end(), [&](const AudioDevice &d) { return d.id == id; });
    return it == m_devices.end() ? -1 : int(it - m_devices.begin());
}

void AudioDeviceList::setDevices(const std::vector<AudioDevice> &devices)
{
    const auto wanted = [&](const QString &id) {
        return std::any_of(devices.begin(), devices.end(), [&](const AudioDevice &d) { return d.id == id; });
    };
    for (int row = count() - 1; row >= 0; --row) {
        if (!wanted(m_devices[size_t(row)].id)) {
            beginRemoveRows({}, row, row);
            m_devices.erase(m_devices.begin() + row);
            endRemoveRows();
        }
    }
    for (int row = 0; row < int(devices.size()); ++row) {
        const AudioDevice &d = devices[size_t(row)];
        // Moved in the discovery order: taken out here, put back below.
        if (const int at = indexOf(d.id); at > row) {
            beginRemoveRows({}, at, at);
            m_devices.erase(m_devices.begin() + at);
            endRemoveRows();
        }
        if (row < count() && m_devices[size_t(row)].id == d.id) {
            if (m_devices[size_t(row)].name != d.name) {
                m_devices[size_t(row)].name = d.name;
                emit dataChanged(index(row), index(row), {NameRole});
            }
            continue;
        }
        beginInsertRows({}, row, row);
        m_devices.insert(m_devices.begin() + row, d);
        endInsertRows();
    }
}

int AudioDeviceList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant AudioDeviceList::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const AudioDevice &d = m_devices[size_t(index.row())];
    switch (role) {
    case IdRole:
        return d.id;
    case NameRole:
    case Qt::DisplayRole:
        return d.name;
    default:
        return {};
    }
}

QHash<int, QByteArray> AudioDeviceList::roleNames() const
{
    return {{IdRole, "id"}, {NameRole, "name"}};
}

} // namespace vox
