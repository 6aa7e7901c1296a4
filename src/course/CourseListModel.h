#pragma once
// Archived courses as a list model: one row per course with the texts its
// card shows. A list of the same courses updates the rows that changed;
// any other list replaces them all. With a search keyword each row also
// lists the sentences it was found by, the keyword highlighted.
#include "course/CourseRecords.h"

#include <QAbstractListModel>
#include <vector>

namespace vox {

class CourseListModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)
public:
    enum Role {
        StartTextRole = Qt::UserRole + 1,
        CaptionRole,
        PreviewRole,
        HasPreviewRole,
        // The first kShownMatches sentences holding the keyword, as styled
        // text (QStringList); how many hold it; "另有 N 句" for the rest.
        MatchesRole,
        MatchCountRole,
        MoreMatchesRole
    };
    Q_ENUM(Role)

    using QAbstractListModel::QAbstractListModel;

    static constexpr int kShownMatches = 3;

    const std::vector<CourseSession> &courses() const { return m_courses; }
    // The courses found for `keyword` (empty: no search).
    void setCourses(std::vector<CourseSession> courses, const QString &keyword = {});
    // The colour of a highlighted keyword, "#rrggbb" (empty: bold only).
    void setHighlightColor(const QString &color);

    // "yyyy-MM-dd HH:mm:ss" in local time.
    static QString startText(const CourseSession &c);
    // "<n> 条翻译 · 时长 HH:MM:SS".
    static QString caption(const CourseSession &c);
    // `text` as styled text, HTML escaped, with each occurrence of `keyword`
    // bold and in `color`. A long text whose first occurrence lies far in
    // starts shortly before it, after "…".
    static QString highlighted(const QString &text, const QString &keyword, const QString &color,
                               Qt::CaseSensitivity cs = Qt::CaseInsensitive);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void countChanged();

private:
    QStringList matches(const CourseSession &c) const;
    int matchCount(const CourseSession &c) const;
    void matchesChanged();

    std::vector<CourseSession> m_courses;
    QString m_keyword; // trimmed
    QString m_highlightColor;
};

} // namespace vox
