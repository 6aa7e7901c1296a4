#include "TranscriptModel.h"

#include <algorithm>

namespace vox {

TranscriptModel::TranscriptModel(size_t limit, QObject *parent)
    : QAbstractListModel(parent),
      m_limit(limit)
{
}

void TranscriptModel::append(TranslationEntry entry)
{
    const int row = int(m_entries.size());
    beginInsertRows({}, row, row);
    m_entries.push_back(std::move(entry));
    endInsertRows();
    if (m_limit == 0 || m_entries.size() <= m_limit)
        return;
    const int extra = int(m_entries.size() - m_limit);
    beginRemoveRows({}, 0, extra - 1);
    m_entries.erase(m_entries.begin(), m_entries.begin() + extra);
    endRemoveRows();
}

void TranscriptModel::setTarget(int row, const QString &target)
{
    m_entries[size_t(row)].target = target;
    Q_EMIT dataChanged(index(row), index(row), {TargetRole});
}

void TranscriptModel::replace(const std::vector<TranslationEntry> &entries)
{
    const bool sameRows = entries.size() == m_entries.size() &&
                          std::equal(entries.begin(), entries.end(), m_entries.begin(), [](const auto &a, const auto &b) {
                              return a.source == b.source && a.timestamp == b.timestamp;
                          });
    if (!sameRows) {
        beginResetModel();
        m_entries.assign(entries.begin(), entries.end());
        endResetModel();
        return;
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        if (m_entries[i] == entries[i])
            continue;
        m_entries[i] = entries[i];
        Q_EMIT dataChanged(index(int(i)), index(int(i)));
    }
}

int TranscriptModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant TranscriptModel::value(const TranslationEntry &e, int role)
{
    switch (role) {
    case IdRole:
        return e.id.toString(QUuid::WithoutBraces);
    case TimestampRole: {
        static const QString format = QStringLiteral("HH:mm:ss");
        return e.timestamp.toQDateTime().toString(format);
    }
    case SourceRole:
        return e.source;
    case TargetRole:
        return e.target;
    case AudioTimeRole:
        return e.audioTime;
    default:
        return {};
    }
}

QVariant TranscriptModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    return value(m_entries[size_t(index.row())], role);
}

QHash<int, QByteArray> TranscriptModel::roleNames() const
{
    return names();
}

QHash<int, QByteArray> TranscriptModel::names()
{
    return {{IdRole, "id"},
            {TimestampRole, "timestamp"},
            {SourceRole, "source"},
            {TargetRole, "target"},
            {AudioTimeRole, "audioTime"}};
}

// ------------------------------------------------------------ the newest n

LatestEntriesModel::LatestEntriesModel(int count, QObject *parent)
    : QAbstractListModel(parent),
      m_limit(std::max(1, count))
{
}

void LatestEntriesModel::setSource(TranscriptModel *source)
{
    if (source == m_source)
        return;
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = source;
    if (source) {
        connect(source, &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex &, int first, int last) { onInserted(first, last); });
        connect(source, &QAbstractItemModel::rowsRemoved, this,
                [this](const QModelIndex &, int first, int) { onRemoved(first); });
        connect(source, &QAbstractItemModel::dataChanged, this, &LatestEntriesModel::onChanged);
        connect(source, &QAbstractItemModel::modelReset, this, &LatestEntriesModel::reset);
        connect(source, &QAbstractItemModel::layoutChanged, this, &LatestEntriesModel::reset);
        connect(source, &QObject::destroyed, this, [this] {
            m_source = nullptr;
            reset();
        });
    }
    reset();
}

void LatestEntriesModel::setLimit(int count)
{
    m_limit = std::max(1, count);
    if (wanted() < m_rows)
        shrinkTo(wanted());
    else
        growTo(wanted());
}

const TranslationEntry &LatestEntriesModel::entry(int row) const
{
    const auto &all = m_source->entries();
    return all[all.size() - 1 - size_t(m_hidden) - size_t(row)];
}

int LatestEntriesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

QVariant LatestEntriesModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    return TranscriptModel::value(entry(index.row()), role);
}

QHash<int, QByteArray> LatestEntriesModel::roleNames() const
{
    return TranscriptModel::names();
}

void LatestEntriesModel::onInserted(int first, int last)
{
    if (first != sourceCount() - (last - first + 1)) {
        reset(); // only appends are shown row by row
        return;
    }
    // The new rows go on top; the oldest shown make room first.
    const int added = std::min(last - first + 1, m_limit);
    m_hidden = last - first + 1;
    shrinkTo(std::min(m_rows, m_limit - added));
    m_hidden = 0;
    beginInsertRows({}, 0, added - 1);
    m_rows += added;
    endInsertRows();
    Q_EMIT countChanged();
}

void LatestEntriesModel::onRemoved(int first)
{
    if (first != 0) {
        reset();
        return;
    }
    // The oldest rows left: those shown at the bottom, when there are any.
    shrinkTo(wanted());
}

void LatestEntriesModel::onChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles)
{
    const int n = sourceCount();
    const int top = std::max(n - 1 - bottomRight.row(), 0);
    const int bottom = std::min(n - 1 - topLeft.row(), m_rows - 1);
    if (top <= bottom)
        Q_EMIT dataChanged(index(top), index(bottom), roles);
}

void LatestEntriesModel::shrinkTo(int rows)
{
    if (rows >= m_rows)
        return;
    beginRemoveRows({}, rows, m_rows - 1);
    m_rows = rows;
    endRemoveRows();
    Q_EMIT countChanged();
}

void LatestEntriesModel::growTo(int rows)
{
    if (rows <= m_rows)
        return;
    beginInsertRows({}, m_rows, rows - 1);
    m_rows = rows;
    endInsertRows();
    Q_EMIT countChanged();
}

void LatestEntriesModel::reset()
{
    beginResetModel();
    m_hidden = 0;
    m_rows = wanted();
    endResetModel();
    Q_EMIT countChanged();
}

} // namespace vox
