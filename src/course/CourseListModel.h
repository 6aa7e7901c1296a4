#pragma once
// Archived courses as a list model: one row per course with the texts its
// card shows. A list of the same courses updates the rows that changed;
// any other list replaces them all.
#include "course/CourseRecords.h"

#include <QAbstractListModel>
#include <vector>

namespace vox {

class CourseListModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)
public:
    enum Role { StartTextRole = Qt::UserRole + 1, CaptionRole, PreviewRole, HasPreviewRole };
    Q_ENUM(Role)

    using QAbstractListModel::QAbstractListModel;

    const std::vector<CourseSession> &courses() const { return m_courses; }
    void setCourses(std::vector<CourseSession> courses);

    // "yyyy-MM-dd HH:mm:ss" in local time.
    static QString startText(const CourseSession &c);
    // "<n> 条翻译 · 时长 HH:MM:SS".
    static QString caption(const CourseSession &c);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void countChanged();

private:
    std::vector<CourseSession> m_courses;
};

} // namespace vox
