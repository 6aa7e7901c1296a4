#include "CourseListModel.h"

#include <algorithm>

namespace vox {

void CourseListModel::setCourses(std::vector<CourseSession> courses)
{
    const bool sameRows = courses.size() == m_courses.size() &&
                          std::equal(courses.begin(), courses.end(), m_courses.begin(),
                                     [](const CourseSession &a, const CourseSession &b) { return a.id == b.id; });
    if (!sameRows) {
        beginResetModel();
        m_courses = std::move(courses);
        endResetModel();
        Q_EMIT countChanged();
        return;
    }
    for (size_t i = 0; i < courses.size(); ++i) {
        if (m_courses[i] == courses[i])
            continue;
        m_courses[i] = std::move(courses[i]);
        Q_EMIT dataChanged(index(int(i)), index(int(i)));
    }
}

QString CourseListModel::startText(const CourseSession &c)
{
    return c.startDate.toQDateTime().toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString CourseListModel::caption(const CourseSession &c)
{
    return QStringLiteral("%1 条翻译 · 时长 ").arg(c.entries.size()) + formattedDuration(c.endDate.secondsSince(c.startDate));
}

int CourseListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_courses.size());
}

QVariant CourseListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const CourseSession &c = m_courses[size_t(index.row())];
    switch (role) {
    case StartTextRole:
        return startText(c);
    case CaptionRole:
        return caption(c);
    case PreviewRole:
        return c.entries.empty() ? QString() : c.entries.front().source;
    case HasPreviewRole:
        return !c.entries.empty();
    default:
        return {};
    }
}

QHash<int, QByteArray> CourseListModel::roleNames() const
{
    return {{StartTextRole, "startText"}, {CaptionRole, "caption"}, {PreviewRole, "preview"}, {HasPreviewRole, "hasPreview"}};
}

} // namespace vox
