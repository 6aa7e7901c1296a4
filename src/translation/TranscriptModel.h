#pragma once
// Translated sentences as a list model the windows bind to: appending inserts
// one row, the oldest rows leave at the limit, a sentence whose translation
// changed updates its row only. LatestEntriesModel shows the newest n of
// them, newest first, without copying any.
#include "course/CourseRecords.h"

#include <QAbstractListModel>
#include <QPointer>
#include <vector>

namespace vox {

class TranscriptModel : public QAbstractListModel {
    Q_OBJECT
public:
    // The fields a row shows; `timestamp` is "HH:mm:ss" in local time.
    enum Role { IdRole = Qt::UserRole + 1, TimestampRole, SourceRole, TargetRole, AudioTimeRole };
    Q_ENUM(Role)

    // `limit` rows at most (0: no limit).
    explicit TranscriptModel(size_t limit = 0, QObject *parent = nullptr);

    const TranscriptEntries &entries() const { return m_entries; }
    void append(TranslationEntry entry);
    // A sentence translated anew (its placeholder replaced).
    void setTarget(int row, const QString &target);
    // The same sentences with new translations update the rows that
    // changed; any other list replaces them all.
    void replace(const std::vector<TranslationEntry> &entries);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    static QVariant value(const TranslationEntry &e, int role);
    static QHash<int, QByteArray> names();

private:
    TranscriptEntries m_entries;
    size_t m_limit;
};

// The newest `count` rows of a TranscriptModel, newest first.
class LatestEntriesModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)
public:
    explicit LatestEntriesModel(int count, QObject *parent = nullptr);

    void setSource(TranscriptModel *source);
    void setLimit(int count);
    int limit() const { return m_limit; }
    const TranslationEntry &entry(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void countChanged();

private:
    int sourceCount() const { return m_source ? m_source->rowCount() : 0; }
    int wanted() const { return std::min(m_limit, sourceCount()); }
    void onInserted(int first, int last);
    void onRemoved(int first);
    void onChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles);
    void shrinkTo(int rows);
    void growTo(int rows);
    void reset();

    QPointer<TranscriptModel> m_source;
    int m_limit;
    int m_rows = 0;
    // Rows of the source appended but not yet shown (while the rows they push
    // out leave).
    int m_hidden = 0;
};

} // namespace vox
